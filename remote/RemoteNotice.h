#pragma once

#include <QString>

#include <functional>

class CMessageBoxService;
class CRemoteControl;
class QObject;

// How the start of the remote interface is told: on standard error, which a terminal shows, and
// in the window, which is all a start from the desktop menu shows. Each returns the lines for
// standard error.
namespace RemoteNotice {

// Where the window tells it, without this layer knowing the window.
struct Window {
    // The status bar's remote state: a short text and the whole story.
    std::function<void(const QString& text, const QString& details)> showState;
    CMessageBoxService& boxes;
    // A box waits for the event loop, and is not shown once this is gone.
    QObject& context;
};

// Where it listens, in the status bar; for an address other machines reach, with the warning
// that anyone there who holds the token can act on the lights.
QString Listening(const Window& window, const CRemoteControl& remote);

// It is off, and why: in the status bar, and once in a message box as soon as the window takes
// events. The program runs on without it.
QString Off(const Window& window, const QString& reason);

}  // namespace RemoteNotice
