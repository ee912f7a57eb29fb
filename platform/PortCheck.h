#pragma once

#include "platform/PortProblem.h"

#include <QString>

#include <optional>

// Finding out why a port cannot be used, from the file system and /proc alone: nothing here opens
// the device, so it is safe to ask about any name the user points at.
namespace PortCheck {

// The problem an errno of open() or of taking the line for exclusive use stands for.
PortProblem ProblemForError(int error);

// What stands in the way before any open: a missing path, a path that cannot be looked at, or
// something that is not a terminal line. None when the path is a terminal; error gets the errno
// of a failed look, 0 otherwise.
PortProblem ProblemBeforeOpen(const QString& path, int& error);

// The process whose lock on the device /proc/locks lists, as a serial program takes one to hold
// the line for itself; excludeSelf leaves out this process's own.
std::optional<PortHolder> FindLockHolder(const QString& path, bool excludeSelf);

// The process holding the device: the one with a lock on it, else one whose descriptors in /proc
// lead to it (this process's own and those that cannot be read are skipped). The process hintPid
// is looked at first, so that asking again about the same holder does not walk every process.
std::optional<PortHolder> FindHolder(const QString& path, qint64 hintPid = 0);

// Everything that can be told about a port without opening it: whether it is there, a terminal,
// open to this user for reading and writing, and not locked by another program. Line settings
// and a line marked for exclusive use are only found by an open.
PortReport Check(const QString& portName);

}  // namespace PortCheck
