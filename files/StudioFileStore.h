#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

class CMessageBoxService;
class StudioModel;

// Reads and writes the studio files ("Business Memory"): one XML file per saved setup of a
// studio's units, named by its title. Files live in the folder "Business Memory" of the working
// folder (or of the base folder given, for tests).
class StudioFileStore {
public:
    static inline const QString kFolderName = QStringLiteral("Business Memory");

    StudioFileStore(StudioModel* model, CMessageBoxService* messages,
                    QDir baseDir = QDir(QDir::currentPath()))
        : model_(model), messages_(messages), baseDir_(std::move(baseDir)) {}

    // Titles of the studio files, in the order the folder lists them; creates the folder when it
    // is missing (and then lists nothing).
    QStringList ListStudioFiles() const;
    // Adds the file's units to the file studio (the caller empties it first). 1 on success; 0
    // after "Fail to open file", keeping the units placed before the failure.
    int LoadStudioFile(const QString& title);
    // Writes the studio of the selection under the title, replacing a file of that name. A studio
    // without units shows "No channel item." and writes nothing (1). 0 after "Fail to save file".
    int SaveStudioFile(const QString& title);

    // A title names a file inside the folder only if it is a plain name: no path separators, no
    // control characters, not "..". The empty title is allowed and names ".xml".
    static bool IsPlainTitle(const QString& title);
    QString PathForTitle(const QString& title) const;
    const QDir& BaseDir() const { return baseDir_; }

private:
    bool LoadInto(const QString& path);
    void Tell(const QString& text) const;

    StudioModel* model_;            // not owned
    CMessageBoxService* messages_;  // not owned
    QDir baseDir_;
};
