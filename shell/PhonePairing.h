#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What the window needs to pair a phone with the remote interface, handed to it by the program's
// start: the window itself knows nothing of the interface.
struct PhonePairing {
    // The addresses a phone opens, "http://HOST:PORT/#token=TOKEN", one per address of this
    // machine the interface listens on; none when it listens on this machine only.
    std::function<QStringList()> links;
    // Writes a new token, so that every paired device must pair again; false with the reason.
    std::function<bool(QString& reason)> newToken;
    // The port listened on, for the hint how to start for the studio network.
    quint16 port = 0;
};
