#pragma once

#include "remote/RemoteEndpoint.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What a command line of orvane-ctl asks for, before anything is sent: the program's address,
// the token file, and the command with its arguments checked and turned into what the request
// carries. Nothing here touches the network.
struct CtlCommand {
    enum class Kind {
        Help,     // print the usage
        Version,  // print the version
        Status,
        Studio,  // select a studio
        Scan,
        Units,
        Set,    // PATCH a unit
        Test,   // test flash of a unit
        Tick,   // PATCH a unit's tick
        Group,  // the ticked units
        Setups,
        Load,
        Save,
        Watch,
        Undo,     // take back the last step
        Redo,     // do the step taken back again
        History,  // the steps undo and redo can take
    };

    Kind kind = Kind::Help;
    QString url = RemoteEndpoint().Url();
    QString tokenFile;  // empty: the default place
    QString studio;     // "A".."E"; empty: the studio of the selection
    int channel = 0;    // 1..10 for Set, Test, Tick
    QString title;      // Load, Save
    QByteArray body;    // JSON for Set, Tick, Group
    bool json = false;  // print JSON instead of text
};

// The parse's outcome: a command, or the reason the line is wrong (exit code 2).
struct CtlParse {
    std::optional<CtlCommand> command;
    QString error;
};

CtlParse ParseCtlArguments(const QStringList& arguments);

QString CtlUsage();
