#pragma once

#include <QString>

#include <optional>

// Why a serial port could not be opened, in the terms the fix depends on.
enum class PortProblem {
    None,              // opened, or nothing was found in the way
    NoSuchDevice,      // nothing at the path (an unplugged adapter), or a name that leads nowhere
    PermissionDenied,  // the user may not open the device
    InUse,             // another opener holds the line
    NotATerminal,      // something is there, but it is no serial line
    LineSettingsRefused,  // the line will not take the baud rate, data bits, parity or stop bits
    Other,                // any other refusal of the system; the error number tells which
};

// A process that holds the device open, as /proc shows it.
struct PortHolder {
    qint64 pid = 0;
    QString name;  // its command name, /proc/PID/comm

    friend bool operator==(const PortHolder&, const PortHolder&) = default;
};

// What is known about one port: the outcome of the last open, or of a look that opens nothing.
struct PortReport {
    QString port;  // the port name as the settings record holds it
    QString path;  // the device it stands for; empty when the name leads nowhere under /dev
    PortProblem problem = PortProblem::None;
    int error = 0;                     // errno of the call that failed, 0 when no call failed
    std::optional<PortHolder> holder;  // who holds it, when the problem is InUse and /proc tells
    bool open = false;                 // the link has the port open

    friend bool operator==(const PortReport&, const PortReport&) = default;
};
