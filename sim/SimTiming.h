#pragma once

#include <cstdint>

// How long the simulated radio and heads take. The program waits three seconds for scan answers,
// so the latest answer leaves comfortable room inside that window.
namespace orvane::sim::timing {

inline constexpr std::int64_t kScanAnswerMinMs = 100;
inline constexpr std::int64_t kScanAnswerMaxMs = 2500;
inline constexpr std::int64_t kScanWindowMs = 3000;

// Confirmations are quick but not instant, so the program never relies on a same-tick answer.
inline constexpr std::int64_t kReplyLatencyMinMs = 5;
inline constexpr std::int64_t kReplyLatencyMaxMs = 40;

inline constexpr std::int64_t kRecycleBaseMs = 150;
inline constexpr std::int64_t kRecyclePerLevelMs = 10;

inline constexpr std::int64_t kHeatDecayIntervalMs = 1000;

constexpr std::int64_t recycleMs(int level) {
    return kRecycleBaseMs + kRecyclePerLevelMs * level;
}

// Eight full-power flashes in a row must take a head well past the program's overheat mark of 60.
constexpr int heatPerFlash(int level) {
    return level / 8 + 1;
}

}  // namespace orvane::sim::timing
