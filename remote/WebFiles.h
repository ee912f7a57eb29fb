#pragma once

#include <QByteArray>

#include <optional>

// The phone page's files, compiled into the program: the page, its style and its script. They hold
// no secret, so they are served without the token; what they do needs it.
namespace WebFiles {

struct File {
    QByteArray contentType;
    QByteArray body;
};

// The file a request's path names ("/" is the page), or nothing.
std::optional<File> Find(const QByteArray& path);

}  // namespace WebFiles
