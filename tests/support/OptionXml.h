#pragma once

// "Option.xml" written and read by hand, as the program lays it out, so that a test or a benchmark
// controls every byte the program finds and sees every byte it wrote.

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QString>

#include <optional>

// Writes the file into `folder`, naming the port and the baud rate; false if it could not.
inline bool WriteOptionFile(const QString& folder, const QString& portName, int baud = 9600) {
    QFile file(QDir(folder).filePath(QStringLiteral("Option.xml")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const QByteArray text = QStringLiteral(
                                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<Option>\n"
                                "\t<ComSet>\n"
                                "\t\t<sComPort>%1</sComPort>\n"
                                "\t\t<nBaud>%2</nBaud>\n"
                                "\t</ComSet>\n"
                                "</Option>\n")
                                .arg(portName.toHtmlEscaped())
                                .arg(baud)
                                .toUtf8();
    return file.write(text) == text.size();
}

struct StoredOptions {
    QString portName;
    QString baud;
};

// The port name and baud rate the file in `folder` holds, read by their element names; empty when
// the file is missing or not laid out as the program writes it.
inline std::optional<StoredOptions> ReadOptionFile(const QString& folder) {
    QFile file(QDir(folder).filePath(QStringLiteral("Option.xml")));
    QDomDocument document;
    if (!file.open(QIODevice::ReadOnly) || !document.setContent(&file)) {
        return std::nullopt;
    }
    const QDomElement root = document.documentElement();
    const QDomElement comSet = root.firstChildElement(QStringLiteral("ComSet"));
    const QDomElement port = comSet.firstChildElement(QStringLiteral("sComPort"));
    const QDomElement baud = comSet.firstChildElement(QStringLiteral("nBaud"));
    if (root.tagName() != u"Option" || port.isNull() || baud.isNull()) {
        return std::nullopt;
    }
    return StoredOptions{port.text(), baud.text()};
}
