#include "remote/SetupTitle.h"

#include "files/StudioFileStore.h"

#include <QFile>

namespace SetupTitle {

QString Problem(const QString& title) {
    if (title.isEmpty() || title == u"." || !StudioFileStore::IsPlainTitle(title)) {
        return QStringLiteral(
            "a title must not be empty, be \".\" or \"..\", or hold \"/\", "
            "\"\\\" or control characters");
    }
    const qsizetype bytes = QFile::encodeName(title + QStringLiteral(".xml")).size();
    if (bytes > kMaxFileNameBytes) {
        return QStringLiteral(
                   "the title is too long for a file name: %1 bytes with \".xml\", "
                   "at most %2")
            .arg(bytes)
            .arg(kMaxFileNameBytes);
    }
    return {};
}

}  // namespace SetupTitle
