#include "files/StudioFileStore.h"

#include "files/SafeFileWrite.h"
#include "files/XmlLayout.h"
#include "model/StudioModel.h"
#include "platform/MessageBoxService.h"
#include "platform/TextToInt.h"

#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <array>
#include <memory>

Q_LOGGING_CATEGORY(lcFiles, "orvane.files", QtWarningMsg)

namespace {

const QString kExtension = QStringLiteral("xml");
const QString kRootName = QStringLiteral("StudioManage");

// The ten value elements of a unit, in the order they are written and read back.
constexpr std::array<QStringView, 10> kValueNames = {
    u"nFlashValue", u"bFlashCell",  u"bFlashSnd",   u"bFlashCharge", u"bFlashPow",
    u"nModelValue", u"nModelMode1", u"nModelMode2", u"bModelPow",    u"sLightName",
};

std::array<int*, 9> SettingFields(StrobeData& unit) {
    return {&unit.nFlashValue,  &unit.bFlashCell,  &unit.bFlashSnd,
            &unit.bFlashCharge, &unit.bFlashPow,   &unit.nModelValue,
            &unit.nModelMode1,  &unit.nModelMode2, &unit.bModelPow};
}

// Element children only: comments and processing instructions between elements would otherwise
// shift the positions the values are read by.
QList<QDomElement> ChildElements(const QDomNode& parent) {
    QList<QDomElement> children;
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        children.append(e);
    }
    return children;
}

}  // namespace

bool StudioFileStore::IsPlainTitle(const QString& title) {
    if (title == u"..") {
        return false;
    }
    for (const QChar c : title) {
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F) {
            return false;
        }
    }
    return true;
}

QString StudioFileStore::PathForTitle(const QString& title) const {
    return baseDir_.filePath(kFolderName + u'/' + title + u'.' + kExtension);
}

QStringList StudioFileStore::ListStudioFiles() const {
    const QString folder = baseDir_.filePath(kFolderName);
    if (!QFileInfo(folder).isDir()) {
        baseDir_.mkdir(kFolderName);
        return {};
    }
    // Sorted by name, as people expect a list of setups to read; the folder itself keeps no order.
    const QFileInfoList files = QDir(folder).entryInfoList(
        {QStringLiteral("*.") + kExtension}, QDir::Files | QDir::Hidden | QDir::CaseSensitive,
        QDir::Name | QDir::IgnoreCase);
    QStringList titles;
    for (const QFileInfo& file : files) {
        // The title is the name without its last extension, so "My.Setup.xml" reads "My.Setup".
        titles.append(file.completeBaseName());
    }
    return titles;
}

int StudioFileStore::LoadStudioFile(const QString& title) {
    if (!IsPlainTitle(title) || !LoadInto(PathForTitle(title))) {
        Tell(QStringLiteral("Fail to open file"));
        return 0;
    }
    return 1;
}

bool StudioFileStore::LoadInto(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QDomDocument document;
    if (!document.setContent(&file)) {
        qCDebug(lcFiles) << "not well-formed:" << path;
        return false;
    }
    const QDomElement root = document.documentElement();
    if (root.isNull() || root.tagName() != kRootName) {
        return false;
    }
    StudioData& fileStudio = *model_->pFileStudio;
    // Every child of the root is taken as a studio whatever its name; all their units merge into
    // the file studio. The studio's own attributes are not used.
    for (const QDomElement& studio : ChildElements(root)) {
        for (const QDomElement& strobe : ChildElements(studio)) {
            auto unit = std::make_unique<StrobeData>();
            if (strobe.hasAttribute(QStringLiteral("nChNum"))) {
                unit->nChNum = TextToInt(strobe.attribute(QStringLiteral("nChNum")));
            }
            if (strobe.hasAttribute(QStringLiteral("sModelName"))) {
                unit->sModelName = strobe.attribute(QStringLiteral("sModelName"));
            }
            const QList<QDomElement> values = ChildElements(strobe);
            if (values.size() < static_cast<qsizetype>(kValueNames.size())) {
                return false;
            }
            const auto fields = SettingFields(*unit);
            for (std::size_t i = 0; i < fields.size(); ++i) {
                *fields[i] = TextToInt(values[static_cast<qsizetype>(i)].text());
            }
            unit->sLightName = values[9].text();
            // A slot outside 0..9 is read but not placed; a later unit for a slot wins.
            const int slot = unit->nChNum;
            model_->PlaceUnit(fileStudio, slot, std::move(unit));
        }
    }
    return true;
}

int StudioFileStore::SaveStudioFile(const QString& title) {
    // With nothing selected there is no studio, and so no unit, to save.
    const StudioData* studio = model_->SelectedStudio();
    if (!studio || studio->nChItemCnt == 0) {
        Tell(QStringLiteral("No channel item."));
        return 1;
    }
    if (!IsPlainTitle(title)) {
        Tell(QStringLiteral("Fail to save file"));
        return 0;
    }
    XmlLayoutWriter xml;
    xml.Start(kRootName, 0);
    xml.Start(u"Studio", 1);
    xml.Attribute(u"nStudioNum", studio->nStudioNum);
    xml.Attribute(u"sStudioName", studio->sStudioName);
    xml.Attribute(u"nChItemCnt", studio->nChItemCnt);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        StrobeData* unit = studio->bChUsed[slot] ? studio->Unit(slot) : nullptr;
        if (!unit) {
            continue;
        }
        xml.Start(u"Strobe", 2);
        xml.Attribute(u"nChNum", unit->nChNum);
        xml.Attribute(u"sChName", unit->sChName);
        xml.Attribute(u"sModelName", unit->sModelName);
        const auto fields = SettingFields(*unit);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            xml.TextElement(kValueNames[i], 3, QString::asprintf("%d", *fields[i]));
        }
        xml.TextElement(kValueNames[9], 3, unit->sLightName);
        xml.End(3);
    }
    xml.End(2);
    xml.End(1);

    QDir(baseDir_).mkpath(kFolderName);
    if (!xml.CanSave() || !WriteFileAtomically(PathForTitle(title), xml.Bytes())) {
        Tell(QStringLiteral("Fail to save file"));
        return 0;
    }
    return 1;
}

void StudioFileStore::Tell(const QString& text) const {
    if (messages_) {
        messages_->Show(text, kAppTitle, CMessageBoxService::Buttons::Ok);
    }
}
