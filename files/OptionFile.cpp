#include "files/OptionFile.h"

#include "files/SafeFileWrite.h"
#include "files/XmlLayout.h"
#include "link/PortSettings.h"
#include "platform/MessageBoxService.h"
#include "platform/TextToInt.h"

#include <QDomDocument>
#include <QFile>

int OptionFile::LoadOptionFile(PortSettings& settings) const {
    QFile file(Path());
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    QDomDocument document;
    if (!document.setContent(&file)) {
        return 0;
    }
    const QDomElement root = document.documentElement();
    if (root.isNull() || root.tagName() != u"Option") {
        return 0;
    }
    // Exactly one element below the root, whatever its name; its first two elements are the port
    // name and the baud rate, whatever theirs.
    const QDomElement comSet = root.firstChildElement();
    if (comSet.isNull() || !comSet.nextSiblingElement().isNull()) {
        return 0;
    }
    const QDomElement port = comSet.firstChildElement();
    if (port.isNull()) {
        return 0;
    }
    settings.sPortName = port.text();
    const QDomElement baud = port.nextSiblingElement();
    if (baud.isNull()) {
        return 0;
    }
    settings.nBaudRate = TextToInt(baud.text());
    return 1;
}

int OptionFile::SaveOptionFile(const PortSettings& settings) const {
    XmlLayoutWriter xml;
    xml.Start(u"Option", 0);
    xml.Start(u"ComSet", 1);
    xml.TextElement(u"sComPort", 2, settings.sPortName);
    xml.TextElement(u"nBaud", 2, QString::asprintf("%d", settings.nBaudRate));
    xml.End(2);
    xml.End(1);
    if (!xml.CanSave() || !WriteFileAtomically(Path(), xml.Bytes())) {
        if (messages_) {
            messages_->Show(QStringLiteral("Fail to save file"), kAppTitle,
                            CMessageBoxService::Buttons::Ok);
        }
        return 0;
    }
    return 1;
}
