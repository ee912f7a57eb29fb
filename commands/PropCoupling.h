#pragma once

#include <algorithm>

// While a unit's lamp mode is "Prop", its modelling lamp follows its flash and the other way
// round: a change of one power moves the other by as much, each stopping at its own ends.
namespace PropCoupling {

inline constexpr int kMinLevel = 11;
inline constexpr int kMaxLevel = 81;

inline int Follow(int other, int delta, int min = kMinLevel, int max = kMaxLevel) {
    return std::clamp(other + delta, min, max);
}

}  // namespace PropCoupling
