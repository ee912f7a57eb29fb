// The setups ("Business Memory"): listing, saving and loading them as commands.

#include "commands/Commands.h"
#include "commands/UnitsStep.h"
#include "files/StudioFileStore.h"
#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "platform/MessageBoxService.h"

#include <memory>

namespace {

// The file store tells the user what went wrong in a message box; a command gives it back as its
// refusal instead, with the box's caption, for its caller to show or to answer with.
class CWrittenDown final : public CMessageBoxService {
public:
    int Show(const QString& text, const QString& caption, Buttons) override {
        if (text_.isEmpty()) {
            text_ = text;
            caption_ = caption;
        }
        return kCancel;
    }
    bool Told() const { return !text_.isEmpty(); }
    CommandResult Refused(CommandRefusal refusal) const {
        return CommandResult::Refused(refusal, text_, caption_);
    }

private:
    QString text_;
    QString caption_;
};

// The longest file name most Linux file systems take, in bytes.
constexpr qsizetype kMaxFileName = 255;

}  // namespace

QString CCommands::TitleProblem(const QString& title) {
    if (title.isEmpty() || title == u"." || !StudioFileStore::IsPlainTitle(title)) {
        return QStringLiteral(
            "a title must not be empty, be \".\" or \"..\" or hold \"/\", "
            "\"\\\" or control characters");
    }
    if ((title + QStringLiteral(".xml")).toUtf8().size() > kMaxFileName) {
        return QStringLiteral("the title is too long for a file name");
    }
    return {};
}

QStringList CCommands::Setups() const {
    CWrittenDown quiet;
    return StudioFileStore(&model_, &quiet, workDir_).ListStudioFiles();
}

CommandResult CCommands::Save(const QString& title, Origin origin) {
    if (origin == Origin::Remote) {
        if (const QString problem = TitleProblem(title); !problem.isEmpty()) {
            return CommandResult::Refused(CommandRefusal::BadValue, problem);
        }
    }
    const StudioData* selected = model_.SelectedStudio();
    if (origin == Origin::Remote && (!selected || selected->nChItemCnt == 0)) {
        return CommandResult::Refused(CommandRefusal::NoUnits, QStringLiteral("No channel item."),
                                      kAppTitle);
    }
    CWrittenDown told;
    StudioFileStore store(&model_, &told, workDir_);
    const bool written = store.SaveStudioFile(title) != 0;
    if (told.Told()) {
        return told.Refused(written ? CommandRefusal::NoUnits : CommandRefusal::FileFailed);
    }
    emit SetupsChanged();
    return {};
}

CommandResult CCommands::ReadSetup(const QString& title, StudioModel& into) const {
    if (const QString problem = TitleProblem(title); !problem.isEmpty()) {
        return CommandResult::Refused(CommandRefusal::BadValue, problem);
    }
    if (!Setups().contains(title)) {
        return CommandResult::Refused(CommandRefusal::NoSetup,
                                      QStringLiteral("no setup titled \"%1\"").arg(title));
    }
    CWrittenDown told;
    StudioFileStore store(&into, &told, workDir_);
    into.ClearStudio(*into.pFileStudio);
    if (!store.LoadStudioFile(title) || told.Told()) {
        return told.Refused(CommandRefusal::FileFailed);
    }
    return {};
}

CommandResult CCommands::Load(const QString& title, Origin origin) {
    // Read into a model of its own: the studio-file box's preview stays what the user picked.
    StudioModel scratch;
    if (CommandResult read = ReadSetup(title, scratch); !read) {
        return read;
    }
    return LoadFrom(*scratch.pFileStudio, title, origin);
}

CommandResult CCommands::LoadFrom(const StudioData& setup, const QString& title, Origin origin) {
    StudioData* studio = model_.SelectedStudio();
    if (!studio) {
        return CommandResult::Refused(CommandRefusal::NoStudio,
                                      QStringLiteral("no studio is selected to load onto"));
    }
    if (studio->nChItemCnt > 0 && origin == Origin::Remote) {
        if (CommandResult acting = CheckActing(origin); !acting) {
            return acting;
        }
        if (CommandResult tuned = CheckTuned(*studio); !tuned) {
            return tuned;
        }
    }
    auto step = std::make_unique<CUnitsStep>(*this, *studio, CUnitsStep::Road::Whole,
                                             QStringLiteral("Load \"%1\"").arg(title), clock_());
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (const StrobeData* unit = studio->bChUsed[slot] ? studio->Unit(slot) : nullptr) {
            step->Before(*unit);
        }
    }
    // Only the slots used on both sides take settings: a setup never creates or removes units.
    StudioModel::CopyStudio(studio, setup);
    step->After(CUnitsStep::kNames | CUnitsStep::kFlash | CUnitsStep::kModel, false);
    emit model_.Events().StudioLoaded(studio);
    // Every unit gets its complete settings, one after another, whether the setup changed it or
    // not: the units then agree with what the program shows.
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (StrobeData* unit = studio->bChUsed[slot] ? studio->Unit(slot) : nullptr) {
            protocol_.SendUnitSettings(0, unit);
            emit model_.Events().UnitChanged(unit, ModelEvents::kAllSettings, false);
        }
    }
    Push(step.release());
    return {};
}
