#include "SimCommand.h"

#include <optional>
#include <vector>

#include "SimText.h"

namespace orvane::sim {
namespace {

struct Verb {
    std::string_view name;
    CommandKind kind;
    std::size_t arguments;
    std::string_view usage;
};

constexpr Verb kVerbs[] = {
    {"unplug", CommandKind::Unplug, 0, "unplug"},
    {"plug", CommandKind::Plug, 0, "plug"},
    {"add", CommandKind::Add, 2, "add STUDIO SLOT"},
    {"remove", CommandKind::Remove, 2, "remove STUDIO SLOT"},
    {"heat", CommandKind::Heat, 3, "heat STUDIO SLOT HEAT"},
    {"mute", CommandKind::Mute, 2, "mute STUDIO SLOT"},
    {"unmute", CommandKind::Unmute, 2, "unmute STUDIO SLOT"},
    {"garbage", CommandKind::Garbage, 1, "garbage COUNT"},
    {"quit", CommandKind::Quit, 0, "quit"},
};

std::optional<UnitAddress> parseAddress(std::string_view studio, std::string_view slot) {
    const auto studioNumber = parseStudio(studio);
    const auto slotNumber = parseNumber(slot, 0, kSlotCount - 1);
    if (!studioNumber || !slotNumber) {
        return std::nullopt;
    }
    return UnitAddress{*studioNumber, static_cast<int>(*slotNumber)};
}

}  // namespace

ParsedCommand parseCommand(std::string_view line) {
    const std::vector<std::string_view> words = splitWords(line);
    if (words.empty()) {
        return BlankLine{};
    }
    const Verb* verb = nullptr;
    for (const Verb& candidate : kVerbs) {
        if (candidate.name == words[0]) {
            verb = &candidate;
        }
    }
    if (!verb) {
        return CommandError{"unknown command '" + std::string(words[0]) + "'"};
    }
    if (words.size() != verb->arguments + 1) {
        return CommandError{"usage: " + std::string(verb->usage)};
    }

    ConsoleCommand command;
    command.kind = verb->kind;
    switch (verb->kind) {
        case CommandKind::Unplug:
        case CommandKind::Plug:
        case CommandKind::Quit:
            return command;
        case CommandKind::Garbage: {
            const auto count = parseNumber(words[1], 0, kMaxGarbageBytes);
            if (!count) {
                return CommandError{"garbage wants a count 0.." + std::to_string(kMaxGarbageBytes)};
            }
            command.value = static_cast<int>(*count);
            return command;
        }
        case CommandKind::Add:
        case CommandKind::Remove:
        case CommandKind::Heat:
        case CommandKind::Mute:
        case CommandKind::Unmute:
            break;
    }
    const std::optional<UnitAddress> where = parseAddress(words[1], words[2]);
    if (!where) {
        return CommandError{"a head is named by a studio A..E and a slot 0..9"};
    }
    command.where = *where;
    if (verb->kind == CommandKind::Heat) {
        const auto heat = parseNumber(words[3], 0, kMaxHeat);
        if (!heat) {
            return CommandError{"heat wants a level 0.." + std::to_string(kMaxHeat)};
        }
        command.value = static_cast<int>(*heat);
    }
    return command;
}

}  // namespace orvane::sim
