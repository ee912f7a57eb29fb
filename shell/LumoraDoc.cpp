#include "shell/LumoraDoc.h"

#include "files/SafeFileWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString kRecentGroup = QStringLiteral("Recent File List");
}

bool CLumoraDoc::OnOpenDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    Serialize(file, false);
    AddToRecentFiles(path);
    return true;
}

bool CLumoraDoc::OnSaveDocument(const QString& path) {
    if (!WriteFileAtomically(path, QByteArray())) {
        return false;
    }
    AddToRecentFiles(path);
    return true;
}

QStringList CLumoraDoc::RecentFiles() const {
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    QStringList files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!file.isEmpty()) {
            files.append(file);
        }
    }
    return files;
}

void CLumoraDoc::AddToRecentFiles(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList files = RecentFiles();
    files.removeAll(absolute);
    files.prepend(absolute);
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= files.size()) {
            settings.setValue(key, files[i - 1]);
        } else {
            settings.remove(key);
        }
    }
}
