#pragma once

#include <QDir>
#include <QString>

class CMessageBoxService;
struct PortSettings;

// "Option.xml" in the working folder keeps the port name and the baud rate between runs.
class OptionFile {
public:
    static inline const QString kFileName = QStringLiteral("Option.xml");

    explicit OptionFile(CMessageBoxService* messages, QDir baseDir = QDir(QDir::currentPath()))
        : messages_(messages), baseDir_(std::move(baseDir)) {}

    // Reads the file into the record, values taken by position below the root's only child.
    // 1 when both values were read; 0 otherwise, without a message. Only a file that ends after
    // the port name changes the record on failure (the port name is kept).
    int LoadOptionFile(PortSettings& settings) const;
    // Writes the port name and baud rate, replacing the file only with a complete new one.
    // 1 when written; 0 after "Fail to save file".
    int SaveOptionFile(const PortSettings& settings) const;

    QString Path() const { return baseDir_.filePath(kFileName); }

private:
    CMessageBoxService* messages_;  // not owned
    QDir baseDir_;
};
