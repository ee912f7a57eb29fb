#pragma once

#include <QString>

// Why a command did nothing. Each has its own text; the window turns some of them into its message
// boxes, the remote interface every one of them into its answer.
enum class CommandRefusal {
    None,           // done
    NotConnected,   // the port is closed, so nothing would reach the units
    NotTuned,       // the dongle listens to another studio, or to none yet
    NoStudio,       // nothing selected, or no such studio
    NoUnit,         // the unit is not there (any more)
    SwitchedOff,    // a unit switched off takes nothing but being switched on
    Scanning,       // a channel scan is running
    NothingTicked,  // a group command with no unit ticked
    BadValue,       // a value the units cannot take, or a title that names no plain file
    NoSetup,        // no setup file of that title
    FileFailed,     // the setup file could not be read or written
    NoUnits,        // the studio has no unit to save
    NothingToUndo,
    NothingToRedo,
};

// What a command did: nothing, with the refusal and its reason; or its change, with whether it
// started a channel scan.
struct CommandResult {
    CommandRefusal refusal = CommandRefusal::None;
    QString reason;
    // A refusal the window shows as a message box carries its caption; empty: no box.
    QString caption;
    bool scanStarted = false;

    explicit operator bool() const { return refusal == CommandRefusal::None; }

    static CommandResult Refused(CommandRefusal refusal, QString reason, QString caption = {}) {
        return {refusal, std::move(reason), std::move(caption), false};
    }
};
