#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "SimUnit.h"

namespace orvane::sim {

enum class CommandKind { Unplug, Plug, Add, Remove, Heat, Mute, Unmute, Garbage, Quit };

struct ConsoleCommand {
    CommandKind kind = CommandKind::Quit;
    UnitAddress where;
    int value = 0;  // the heat for Heat, the byte count for Garbage
};

struct BlankLine {};

struct CommandError {
    std::string message;
};

using ParsedCommand = std::variant<BlankLine, ConsoleCommand, CommandError>;

inline constexpr int kMaxGarbageBytes = 1'000'000;

ParsedCommand parseCommand(std::string_view line);

}  // namespace orvane::sim
