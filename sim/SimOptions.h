#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "SimUnit.h"

namespace orvane::sim {

struct UnitSetup {
    UnitAddress where;
    UnitState state;
};

struct SimOptions {
    std::string linkPath;
    std::vector<UnitSetup> units;
    std::uint32_t seed = 1;
    std::optional<std::int64_t> baud;  // empty: send as fast as the terminal takes it
    std::string logPath;               // empty: no log
};

struct HelpRequested {};
struct VersionRequested {};

struct ArgumentError {
    std::string message;
};

using ParsedArguments = std::variant<SimOptions, HelpRequested, VersionRequested, ArgumentError>;

// args excludes the program name.
ParsedArguments parseArguments(std::span<const std::string_view> args);

// The heads --demo puts in place: four in Studio A and two in Studio B.
std::vector<UnitSetup> demoUnits();

std::string usageText(std::string_view program);

}  // namespace orvane::sim
