// Arbitrary bytes as a studio file ("Business Memory") through the real store. Every input is
// written as the file "fuzz" of a scratch folder and loaded into the file studio, which is emptied
// first as the program does before a preview. Whatever the bytes, the load must answer with its
// result and exactly the message that goes with it, and leave the file studio in order. When it
// placed units, they are copied into Studio A, saved and loaded again: a setup the program writes
// must come back with the same units, names and settings, or saving it loses data.

#include "files/StudioFileStore.h"
#include "files/XmlLayout.h"
#include "model/FixedNames.h"
#include "model/StrobeData.h"
#include "model/StudioData.h"
#include "model/StudioModel.h"
#include "model/TreeItemTag.h"
#include "platform/MessageBoxService.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {

// Larger inputs only make each run slower; nothing in the loader depends on a file's size.
constexpr std::size_t kMaxInput = 64 * 1024;

const QString kTitle = QStringLiteral("fuzz");
const QString kCopyTitle = QStringLiteral("fuzz-copy");
const QString kOpenFailed = QStringLiteral("Fail to open file");

// The scratch folder is left in place when a check fails, so that the file the program wrote in
// the round trip can be looked at.
std::string gScratchPath;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_studio_file: invariant violated: %s\n", what);
    if (!gScratchPath.empty()) {
        std::fprintf(stderr, "fuzz_studio_file: studio files kept in %s\n", gScratchPath.c_str());
    }
    std::abort();
}

void Require(bool ok, const char* what) {
    if (!ok) {
        Fail(what);
    }
}

// A name as readable ASCII: every code unit outside the printable range as \uXXXX, so that the
// characters a round trip changed show in the report.
std::string Escaped(const QString& text, qsizetype limit = 400) {
    std::string out;
    for (qsizetype i = 0; i < text.size() && i < limit; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c < 0x7F && c != u'\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            out += buf;
        }
    }
    if (text.size() > limit) {
        out += "...";
    }
    return out;
}

class RecordingBoxes final : public CMessageBoxService {
public:
    int Show(const QString& text, const QString& /*caption*/, Buttons /*buttons*/) override {
        texts.append(text);
        return kOk;
    }

    QStringList texts;
};

// What a unit carries into a studio file and must bring back out of it.
struct SavedUnit {
    QString sModelName;
    QString sLightName;
    StrobeSettings settings;

    friend bool operator==(const SavedUnit&, const SavedUnit&) = default;
};

using StudioUnits = std::array<std::optional<SavedUnit>, kSlotCount>;

StudioUnits Snapshot(const StudioData& studio) {
    StudioUnits units;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (const StrobeData* unit = studio.Unit(slot)) {
            units[static_cast<std::size_t>(slot)] =
                SavedUnit{unit->sModelName, unit->sLightName, unit->Settings()};
        }
    }
    return units;
}

// The studio's own invariant, checked against the slot names as they read on screen rather than
// against the table the model takes them from.
void CheckStudio(const StudioData& studio) {
    int used = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const auto i = static_cast<std::size_t>(slot);
        const StrobeData* unit = studio.pChItem[i].get();
        Require(studio.bChUsed[i] == (unit ? 1 : 0),
                "slot marked used differs from slot holding a unit");
        if (!unit) {
            continue;
        }
        ++used;
        Require(unit->nChNum == slot, "unit's slot number is not the slot it sits in");
        Require(unit->sChName == QString::asprintf("CH-%02d", slot + 1),
                "unit's slot name is not the name of its slot");
        Require(unit->pParent == &studio, "unit's parent is not the studio holding it");
    }
    Require(studio.nChItemCnt == used, "unit count differs from the number of used slots");
}

void ReportMismatch(int slot, const char* field, const QString& before, const QString& after) {
    std::fprintf(stderr,
                 "fuzz_studio_file: slot %d %s changed in the round trip\n"
                 "  loaded:   \"%s\"\n  reloaded: \"%s\"\n",
                 slot, field, Escaped(before).c_str(), Escaped(after).c_str());
}

std::string SettingsText(const StrobeSettings& s) {
    return QString::asprintf("%d %d %d %d %d %d %d %d %d", s.nFlashValue, s.bFlashCell, s.bFlashSnd,
                             s.bFlashCharge, s.bFlashPow, s.nModelValue, s.nModelMode1,
                             s.nModelMode2, s.bModelPow)
        .toStdString();
}

class Harness {
public:
    Harness() {
        Require(scratch_.isValid(), "cannot make a scratch folder");
        gScratchPath = QDir(scratch_.path()).filePath(StudioFileStore::kFolderName).toStdString();
        Require(QDir(scratch_.path()).mkpath(StudioFileStore::kFolderName),
                "cannot make the studio file folder");
        // Selecting Studio A in the tree marks it as a studio line; the round trip saves it.
        model_.pStudio[0]->nItemKind = TreeItemTag::StudioLine;
    }

    void Run(const QByteArray& bytes) {
        WriteInput(bytes);
        StudioData& fileStudio = *model_.pFileStudio;
        model_.ClearStudio(fileStudio);
        Require(fileStudio.nChItemCnt == 0, "clearing left units in the file studio");
        CheckStudio(fileStudio);

        std::array<int, kStudioCount> countsBefore{};
        for (int s = 0; s < kStudioCount; ++s) {
            countsBefore[static_cast<std::size_t>(s)] = model_.pStudio[s]->nChItemCnt;
        }

        boxes_.texts.clear();
        const int result = store_.LoadStudioFile(kTitle);
        if (result == 1) {
            Require(boxes_.texts.isEmpty(), "a load that succeeded showed a message");
        } else {
            Require(result == 0, "load answered neither 0 nor 1");
            Require(boxes_.texts == QStringList{kOpenFailed},
                    "a failed load did not show exactly \"Fail to open file\"");
        }
        // Whether or not it failed, what it placed must be in order: the preview shows it.
        CheckStudio(fileStudio);
        Require(fileStudio.nStudioNum == -1 && fileStudio.sStudioName.isEmpty(),
                "loading took the file's studio attributes into the file studio");
        for (int s = 0; s < kStudioCount; ++s) {
            Require(model_.pStudio[s]->nChItemCnt == countsBefore[static_cast<std::size_t>(s)],
                    "loading changed a studio other than the file studio");
        }

        if (result == 1 && fileStudio.nChItemCnt > 0) {
            RoundTrip();
        }
    }

private:
    static bool AllRepresentable(const StudioData& studio) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const StrobeData* unit = studio.Unit(slot);
            if (unit && (!XmlLayoutWriter::IsRepresentable(unit->sModelName) ||
                         !XmlLayoutWriter::IsRepresentable(unit->sLightName) ||
                         !XmlLayoutWriter::IsRepresentable(unit->sChName))) {
                return false;
            }
        }
        return true;
    }

    void WriteInput(const QByteArray& bytes) {
        QFile file(store_.PathForTitle(kTitle));
        Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate),
                "cannot open the scratch studio file");
        Require(file.write(bytes) == bytes.size(), "cannot write the scratch studio file");
    }

    // The way a setup reaches a file in the program: units placed in a studio, the preview's
    // names and settings copied onto them, the studio selected and saved.
    void RoundTrip() {
        StudioData& fileStudio = *model_.pFileStudio;
        StudioData& studioA = *model_.pStudio[0];
        const StudioUnits loaded = Snapshot(fileStudio);

        model_.ClearStudio(studioA);
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (loaded[static_cast<std::size_t>(slot)]) {
                Require(model_.PlaceUnit(slot, 0, std::make_unique<StrobeData>()) == nullptr,
                        "Studio A refused a unit for a slot 0..9");
            }
        }
        Require(StudioModel::CopyStudio(&studioA, fileStudio) == 1, "copying into Studio A failed");
        CheckStudio(studioA);
        Require(Snapshot(studioA) == loaded, "copying did not carry names and settings over");

        model_.pSelTag = &studioA;
        boxes_.texts.clear();
        // A file that declares an odd encoding can decode to names no XML file can carry; such a
        // setup must be refused with a message, never written in a form that reads back changed.
        if (!AllRepresentable(studioA)) {
            Require(store_.SaveStudioFile(kCopyTitle) == 0, "an unsavable name was saved");
            Require(boxes_.texts == QStringList{QStringLiteral("Fail to save file")},
                    "refusing an unsavable name showed no or another message");
            model_.pSelTag = nullptr;
            return;
        }
        Require(store_.SaveStudioFile(kCopyTitle) == 1, "saving the copied setup failed");
        Require(boxes_.texts.isEmpty(), "saving the copied setup showed a message");
        model_.pSelTag = nullptr;

        model_.ClearStudio(fileStudio);
        Require(store_.LoadStudioFile(kCopyTitle) == 1, "the program cannot read a file it wrote");
        Require(boxes_.texts.isEmpty(), "loading a file the program wrote showed a message");
        CheckStudio(fileStudio);

        const StudioUnits reloaded = Snapshot(fileStudio);
        bool same = true;
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const auto& before = loaded[static_cast<std::size_t>(slot)];
            const auto& after = reloaded[static_cast<std::size_t>(slot)];
            if (before.has_value() != after.has_value()) {
                std::fprintf(stderr, "fuzz_studio_file: slot %d %s in the round trip\n", slot,
                             before ? "lost its unit" : "gained a unit");
                same = false;
                continue;
            }
            if (!before) {
                continue;
            }
            if (before->sModelName != after->sModelName) {
                ReportMismatch(slot, "model name", before->sModelName, after->sModelName);
                same = false;
            }
            if (before->sLightName != after->sLightName) {
                ReportMismatch(slot, "light name", before->sLightName, after->sLightName);
                same = false;
            }
            if (before->settings != after->settings) {
                std::fprintf(stderr, "fuzz_studio_file: slot %d settings changed: %s -> %s\n", slot,
                             SettingsText(before->settings).c_str(),
                             SettingsText(after->settings).c_str());
                same = false;
            }
        }
        Require(same, "a saved setup did not load back as it was");
    }

    QTemporaryDir scratch_{QDir::tempPath() + QStringLiteral("/orvane-fuzz-studio-file-XXXXXX")};
    StudioModel model_;
    RecordingBoxes boxes_;
    StudioFileStore store_{&model_, &boxes_, QDir(scratch_.path())};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxInput) {
        return 0;
    }
    // One scratch folder for the whole process; the file in it is rewritten for every input.
    static Harness harness;
    harness.Run(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
