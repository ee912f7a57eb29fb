#pragma once

#include <QString>
#include <QStringList>

class QIODevice;

// The document of the single-document window. It holds no data: the studios and units live in the
// model. New, Open and Save still work as a document program's do, and what was opened or saved
// lands in the recent-file list.
class CLumoraDoc {
public:
    static constexpr int kRecentFileCount = 4;
    static inline const QString kTypeName = QStringLiteral("Lumora.Document");

    bool OnNewDocument() { return true; }
    // Reads and writes nothing: there is nothing in the document to keep.
    void Serialize(QIODevice& /*file*/, bool /*storing*/) {}

    // Opens or saves at path; false when the file cannot be read or written.
    bool OnOpenDocument(const QString& path);
    bool OnSaveDocument(const QString& path);

    // Most recent first, at most four, kept in the application's settings.
    QStringList RecentFiles() const;

private:
    void AddToRecentFiles(const QString& path);
};
