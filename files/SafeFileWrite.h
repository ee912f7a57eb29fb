#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// Replaces a file only with a complete new one: the bytes go to a temporary file beside it, which
// takes the old file's place once everything is on disk. A crash or a full disk in between leaves
// the previous file as it was. Returns false when the file could not be written.
inline bool WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered, so that a write the disk cuts short shows in the count written here; through
    // the buffer a short final flush went unnoticed and the cut file replaced the good one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
