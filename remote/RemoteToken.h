#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The shared secret of the remote interface: a file that only its owner may read, holding one line
// of hexadecimal digits. The program creates it at its first start with the interface on; clients
// such as orvane-ctl read it. The token itself never goes into a message or a log.
namespace RemoteToken {

inline constexpr int kRandomBytes = 32;  // 256 random bits
inline constexpr int kMinLength = 32;    // a token a user wrote must hold at least 128 bits of hex

// $XDG_CONFIG_HOME/orvane/remote-token, or ~/.config/orvane/remote-token when XDG_CONFIG_HOME is
// unset or not an absolute path.
QString DefaultPath();

// Reads the token. Nothing here ever waits: a FIFO or a device at the path is refused, not read.
// A file that others may read or write, that is not a regular file of this user, that is a
// symbolic link, or that holds too short a token is refused: empty, with the path and the reason.
std::optional<QByteArray> Read(const QString& path, QString& reason);

// Whether the token's folder is fit to hold it: a folder of this user's own that nobody else may
// enter, itself no symbolic link. False with the path and the reason.
bool CheckFolder(const QString& folder, QString& reason);

// Reads the token after checking its folder.
std::optional<QByteArray> ReadInPrivateFolder(const QString& path, QString& reason);

// Reads the token, first creating the file (mode 0600, missing folders 0700) with a new random
// token when there is none. The folder is checked as CheckFolder does.
std::optional<QByteArray> ReadOrCreate(const QString& path, QString& reason);

// Replaces the token with a new random one, so that every holder of the old one must pair again.
std::optional<QByteArray> Renew(const QString& path, QString& reason);

// Whether a presented token is the right one, in a time that does not tell how much of it was
// right, nor how long the right one is.
bool Matches(QByteArrayView presented, QByteArrayView expected);

}  // namespace RemoteToken
