#include "remote/WebFiles.h"

#include <QFile>

#include <array>

namespace {

struct Entry {
    const char* path;
    const char* resource;
    const char* contentType;
};

// A fixed list: no request path is ever turned into a resource path.
constexpr std::array kFiles{
    Entry{"/", ":/web/index.html", "text/html; charset=utf-8"},
    Entry{"/index.html", ":/web/index.html", "text/html; charset=utf-8"},
    Entry{"/app.css", ":/web/app.css", "text/css; charset=utf-8"},
    Entry{"/app.js", ":/web/app.js", "text/javascript; charset=utf-8"},
    Entry{"/icon.svg", ":/web/icon.svg", "image/svg+xml"},
};

}  // namespace

namespace WebFiles {

std::optional<File> Find(const QByteArray& path) {
    for (const Entry& entry : kFiles) {
        if (path == entry.path) {
            QFile file(QString::fromLatin1(entry.resource));
            if (!file.open(QIODevice::ReadOnly)) {
                return std::nullopt;
            }
            return File{entry.contentType, file.readAll()};
        }
    }
    return std::nullopt;
}

}  // namespace WebFiles
