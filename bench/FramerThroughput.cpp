// How fast received bytes turn into event-handler calls: the real framer and decoder on a stream
// shaped like what a busy studio sends, fed the way the reader thread and the window hand bytes
// over, through the receive ring.

#include "link/Frame.h"
#include "link/ReceiveFramer.h"
#include "link/ReceiveQueue.h"
#include "link/ZbEventHandler.h"
#include "link/ZbProtocol.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numeric>
#include <random>
#include <span>
#include <vector>

namespace {

class CountingHandler final : public CZbEventHandler {
public:
    int OnUnitStatus(int, const StrobeData&, int) override { return Count(); }
    int OnSettingReport(std::uint8_t, int, int, std::span<const std::uint8_t>) override {
        return Count();
    }
    int OnStateReport(std::uint8_t, int, std::uint8_t) override { return Count(); }
    int OnMonitorReport(std::uint8_t, int, std::uint8_t) override { return Count(); }

    std::int64_t events = 0;

private:
    int Count() {
        ++events;
        return 1;
    }
};

struct MixedStream {
    std::vector<std::uint8_t> bytes;
    std::int64_t frames = 0;  // complete frames in the stream
    std::int64_t events = 0;  // handler calls they must produce
};

// Mostly 7-byte setting, state and monitor reports for one to three units, some status reports,
// now and then a power table, and a little line noise between frames. The noise runs are at most
// three bytes: too short to complete a frame of their own, and every real frame restarts at its
// 0xFF, so the noise costs time but never changes the events.
MixedStream BuildMixedStream(std::size_t minSize) {
    std::mt19937 rng(0x0EA5E);  // fixed, so every run measures the same stream
    auto below = [&rng](unsigned n) { return static_cast<std::uint8_t>(rng() % n); };
    auto plausible = [&]() { return static_cast<std::uint8_t>(11 + below(71)); };  // 1.1 .. 8.1

    MixedStream s;
    std::array<int, 10> order{};
    std::iota(order.begin(), order.end(), 0);
    auto addMask = [&](int count) {
        std::shuffle(order.begin(), order.end(), rng);
        unsigned mask = 0;
        for (int i = 0; i < count; ++i) {
            const int slot = order[static_cast<std::size_t>(i)];
            mask |= slot < 5 ? 1u << slot : 0x100u << (slot - 5);
        }
        s.bytes.push_back(static_cast<std::uint8_t>(mask >> 8));
        s.bytes.push_back(static_cast<std::uint8_t>(mask & 0xFF));
        s.events += count;
    };

    // Noise only ever stands between two frames, so runs of it never join up, not even across
    // the wrap from the stream's end to its start.
    bool afterNoise = true;
    while (s.bytes.size() < minSize || afterNoise) {
        const unsigned pick = below(100);
        if (pick < 3 && !afterNoise) {
            for (int n = 1 + below(3); n > 0; --n) {
                s.bytes.push_back(below(256));
            }
            afterNoise = true;
            continue;
        }
        afterNoise = false;
        ++s.frames;
        const int units = 1 + below(3);
        if (pick < 80) {
            static constexpr std::uint8_t kCommands[] = {0x13, 0x14, 0x17, 0x18, 0x1C,
                                                         0x1D, 0x61, 0x6B, 0x3A};
            s.bytes.insert(s.bytes.end(),
                           {kFrameStart, kSettingLength, kCommands[below(std::size(kCommands))]});
            addMask(units);
            s.bytes.insert(s.bytes.end(), {plausible(), plausible()});
        } else if (pick < 97) {
            s.bytes.insert(s.bytes.end(),
                           {kFrameStart, kUnitSettingsLength, Command::UnitSettings});
            addMask(units);
            s.bytes.insert(s.bytes.end(), {1, plausible(), plausible(), below(2), below(2),
                                           below(2), below(2), below(2), 0});
        } else {
            s.bytes.insert(s.bytes.end(), {kFrameStart, kPowerTableLength,
                                           static_cast<std::uint8_t>(0x1E + below(2))});
            for (int i = 0; i < 20; ++i) {
                s.bytes.push_back(plausible());
            }
            s.events += 1;
        }
    }
    return s;
}

const MixedStream& Stream() {
    static const MixedStream stream = BuildMixedStream(64 * 1024);
    return stream;
}

void ReportRates(benchmark::State& state, const MixedStream& stream) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.bytes.size()));
    state.SetItemsProcessed(state.iterations() * stream.frames);
    state.counters["events"] = benchmark::Counter(
        static_cast<double>(state.iterations() * stream.events), benchmark::Counter::kIsRate);
}

// A handler count off from what the stream holds means the stream or the framer is broken, and
// the figures would be meaningless.
bool CheckEvents(benchmark::State& state, const CountingHandler& handler,
                 const MixedStream& stream) {
    if (handler.events != state.iterations() * stream.events) {
        state.SkipWithError("the handler saw another number of events than the stream holds");
        return false;
    }
    return true;
}

// Args: read_chunk is the most the reader pushes at once (the link reads at most 2048 bytes);
// fill_ring 0 runs the framer after every push, as when the window keeps up, 1 only once the ring
// is full, as when it falls behind.
void BM_FramerDecodeMixedStream(benchmark::State& state) {
    const MixedStream& stream = Stream();
    const auto readChunk = static_cast<std::size_t>(state.range(0));
    const bool fillRing = state.range(1) != 0;

    CountingHandler handler;
    CZbProtocol protocol(&handler, nullptr);
    CReceiveFramer framer(protocol);
    const auto queue = std::make_unique<ReceiveQueue>();

    for (auto _ : state) {
        std::span<const std::uint8_t> left(stream.bytes);
        while (!left.empty()) {
            const auto room =
                static_cast<std::size_t>(ReceiveQueue::kCapacity - 1 - queue->Count());
            const std::size_t n = std::min({readChunk, left.size(), room});
            queue->Push(left.first(n));
            left = left.subspan(n);
            if (!fillRing || n == room || left.empty()) {
                framer.Run(*queue);
            }
        }
        benchmark::DoNotOptimize(handler.events);
    }
    if (CheckEvents(state, handler, stream)) {
        ReportRates(state, stream);
    }
}
BENCHMARK(BM_FramerDecodeMixedStream)
    ->ArgNames({"read_chunk", "fill_ring"})
    ->Args({16, 0})
    ->Args({2048, 0})
    ->Args({2048, 1})
    ->MinTime(1.0);

// The same stream straight into the framer, without the ring: what the ring itself costs.
void BM_FramerFeedMixedStream(benchmark::State& state) {
    const MixedStream& stream = Stream();
    CountingHandler handler;
    CZbProtocol protocol(&handler, nullptr);
    CReceiveFramer framer(protocol);
    for (auto _ : state) {
        framer.Feed(stream.bytes);
        benchmark::DoNotOptimize(handler.events);
    }
    if (CheckEvents(state, handler, stream)) {
        ReportRates(state, stream);
    }
}
BENCHMARK(BM_FramerFeedMixedStream)->MinTime(1.0);

}  // namespace
