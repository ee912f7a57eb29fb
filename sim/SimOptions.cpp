#include "SimOptions.h"

#include <algorithm>
#include <initializer_list>
#include <limits>

#include "SimText.h"

namespace orvane::sim {
namespace {

constexpr std::int64_t kMinBaud = 50;
constexpr std::int64_t kMaxBaud = 4'000'000;

UnitSetup makeUnit(int studio, int slot, int flash, int model) {
    UnitSetup setup;
    setup.where = {studio, slot};
    setup.state.flash = flash;
    setup.state.model = model;
    return setup;
}

// STUDIO:SLOT or STUDIO:SLOT:FLASH,MODEL
std::optional<UnitSetup> parseUnit(std::string_view text) {
    const std::size_t firstColon = text.find(':');
    if (firstColon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<int> studio = parseStudio(text.substr(0, firstColon));
    const std::string_view rest = text.substr(firstColon + 1);
    const std::size_t secondColon = rest.find(':');
    const std::optional<std::int64_t> slot =
        parseNumber(rest.substr(0, secondColon), 0, kSlotCount - 1);
    if (!studio || !slot) {
        return std::nullopt;
    }
    UnitSetup setup;
    setup.where = {*studio, static_cast<int>(*slot)};
    if (secondColon == std::string_view::npos) {
        return setup;
    }
    const std::string_view levels = rest.substr(secondColon + 1);
    const std::size_t comma = levels.find(',');
    if (comma == std::string_view::npos) {
        return std::nullopt;
    }
    const auto flash = parseNumber(levels.substr(0, comma), kMinLevel, kMaxLevel);
    const auto model = parseNumber(levels.substr(comma + 1), kMinLevel, kMaxLevel);
    if (!flash || !model) {
        return std::nullopt;
    }
    setup.state.flash = static_cast<int>(*flash);
    setup.state.model = static_cast<int>(*model);
    return setup;
}

bool addUnit(SimOptions& options, const UnitSetup& setup) {
    const bool taken = std::ranges::any_of(
        options.units, [&](const UnitSetup& existing) { return existing.where == setup.where; });
    if (taken) {
        return false;
    }
    options.units.push_back(setup);
    return true;
}

std::string unitName(UnitAddress where) {
    return std::string(1, static_cast<char>('A' + where.studio)) + ":" + std::to_string(where.slot);
}

bool anyArgumentIs(std::span<const std::string_view> args,
                   std::initializer_list<std::string_view> names) {
    return std::ranges::any_of(
        args, [&](std::string_view arg) { return std::ranges::find(names, arg) != names.end(); });
}

// Reads the line one option at a time; the units are checked against each other at the end.
class OptionReader {
public:
    // Reads the option at args[i], and its value, moving i past what it used.
    std::optional<ArgumentError> read(std::span<const std::string_view> args, std::size_t& i) {
        std::string_view name = args[i];
        std::optional<std::string_view> inlineValue;
        if (const std::size_t equals = name.find('=');
            name.starts_with("--") && equals != std::string_view::npos) {
            inlineValue = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (name == "--demo") {
            if (inlineValue) {
                return ArgumentError{"--demo takes no value"};
            }
            demo_ = true;
            return std::nullopt;
        }
        const bool takesValue = name == "--link" || name == "--unit" || name == "--seed" ||
                                name == "--baud" || name == "--log";
        if (!takesValue) {
            return ArgumentError{"unknown argument '" + std::string(name) + "'"};
        }
        if (inlineValue) {
            return readValue(name, *inlineValue);
        }
        if (i + 1 < args.size()) {
            return readValue(name, args[++i]);
        }
        return ArgumentError{std::string(name) + " needs a value"};
    }

    ParsedArguments finish() {
        if (options_.linkPath.empty()) {
            return ArgumentError{"--link PATH is required"};
        }
        if (demo_) {
            options_.units = demoUnits();
        }
        for (const UnitSetup& unit : units_) {
            if (!addUnit(options_, unit)) {
                return ArgumentError{"unit " + unitName(unit.where) + " is given twice"};
            }
        }
        return options_;
    }

private:
    std::optional<ArgumentError> readValue(std::string_view name, std::string_view value) {
        if (name == "--link" || name == "--log") {
            if (value.empty()) {
                return ArgumentError{std::string(name) + " needs a path"};
            }
            (name == "--link" ? options_.linkPath : options_.logPath) = value;
        } else if (name == "--seed") {
            const auto seed = parseNumber(value, 0, std::numeric_limits<std::uint32_t>::max());
            if (!seed) {
                return ArgumentError{"--seed wants a number 0..4294967295, not '" +
                                     std::string(value) + "'"};
            }
            options_.seed = static_cast<std::uint32_t>(*seed);
        } else if (name == "--baud") {
            const auto baud = parseNumber(value, kMinBaud, kMaxBaud);
            if (!baud) {
                return ArgumentError{"--baud wants a line rate " + std::to_string(kMinBaud) + ".." +
                                     std::to_string(kMaxBaud) + ", not '" + std::string(value) +
                                     "'"};
            }
            options_.baud = *baud;
        } else {
            const std::optional<UnitSetup> unit = parseUnit(value);
            if (!unit) {
                return ArgumentError{
                    "--unit wants STUDIO:SLOT[:FLASH,MODEL] with STUDIO A..E, "
                    "SLOT 0..9 and levels 11..81, not '" +
                    std::string(value) + "'"};
            }
            units_.push_back(*unit);
        }
        return std::nullopt;
    }

    SimOptions options_;
    bool demo_ = false;
    std::vector<UnitSetup> units_;  // from --unit, in the order given
};

}  // namespace

std::vector<UnitSetup> demoUnits() {
    return {makeUnit(0, 0, 56, 41), makeUnit(0, 1, 45, 30), makeUnit(0, 2, 70, 62),
            makeUnit(0, 6, 33, 24), makeUnit(1, 0, 50, 40), makeUnit(1, 3, 64, 51)};
}

ParsedArguments parseArguments(std::span<const std::string_view> args) {
    // Someone asking for help gets it, even if the rest of the line is wrong; the version likewise.
    if (anyArgumentIs(args, {"--help", "-h"})) {
        return HelpRequested{};
    }
    if (anyArgumentIs(args, {"--version"})) {
        return VersionRequested{};
    }
    OptionReader reader;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (std::optional<ArgumentError> error = reader.read(args, i)) {
            return *error;
        }
    }
    return reader.finish();
}

std::string usageText(std::string_view program) {
    std::string text = "Usage: " + std::string(program) + " --link PATH [options]\n";
    text += R"(
A simulated radio dongle for flash heads, reached through a pseudo-terminal.

Options:
  --link PATH        make PATH a symbolic link to the simulated serial device (required);
                     an existing link is replaced, any other file is left alone
  --unit S:N[:F,M]   a head in studio S (A..E), slot N (0..9), flash level F and lamp
                     level M (11..81, default 50,40); repeatable
  --demo             four heads in Studio A and two in Studio B
  --seed N           seed for answer delays and garbage bytes (default 1)
  --baud N           send, and take what the program sends, no faster than a serial line at
                     N baud would, at ten bits a byte (default: no limit)
  --log FILE         write every frame received ("in") and sent ("out") to FILE
  --help             show this text
  --version          show the simulator's version

The device path is printed as the first line of standard output.
The dongle listens on no studio until it receives its first scan request; until then only
scans are answered.

Commands on standard input, one per line; each is answered with "ok" or "error: ...":
  unplug             hang up the device; the link is removed until the next plug, as a
                     device node vanishes when the dongle is pulled out
  plug               a fresh device behind the link; its path is printed before "ok"
  add S N            add a head with default settings
  remove S N         remove a head
  heat S N H         set a head's heat (0..254)
  mute S N           take a head out of the radio's reach: it hears and answers nothing
  unmute S N         bring it back
  garbage N          send N random bytes, none of them a frame start
  quit               exit
End of standard input does not stop the simulator; quit, SIGINT, SIGTERM or SIGHUP do.

Exit status: 0 after quit or a signal, 1 when the device, its link or the log cannot be set
up (an existing file or directory at the link path is never replaced), 2 for bad arguments.
)";
    return text;
}

}  // namespace orvane::sim
