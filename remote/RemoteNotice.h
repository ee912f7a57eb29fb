#pragma once

#include <QString>

class CMainFrame;
class CRemoteControl;

// How the start of the remote interface is told: on standard error, which a terminal shows, and
// in the window, which is all a start from the desktop menu shows. Each returns the lines for
// standard error.
namespace RemoteNotice {

// Where it listens, in the status bar; for an address other machines reach, with the warning
// that anyone there who holds the token can act on the lights.
QString Listening(CMainFrame& frame, const CRemoteControl& remote);

// It is off, and why: in the status bar, and once in a message box as soon as the window takes
// events. The program runs on without it.
QString Off(CMainFrame& frame, const QString& reason);

}  // namespace RemoteNotice
