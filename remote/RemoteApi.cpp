#include "remote/RemoteApi.h"

#include "commands/Commands.h"
#include "commands/PropCoupling.h"
#include "files/StudioFileStore.h"
#include "link/ConfirmationTracker.h"
#include "model/StudioModel.h"
#include "remote/RemoteJson.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonParseError>

#include <array>
#include <map>
#include <vector>

using Method = QHttpServerRequest::Method;

ApiReply Refusal(int status, const QString& reason) {
    return {status, QJsonDocument(RemoteJson::Error(reason)), false, {}};
}

namespace {

// What a key of a request body holds, and how it is read.
enum class Kind {
    Level,      // a power level, 1.1..8.1
    Offset,     // a change of the group panel's offset, -8.1..8.1
    Switch,     // true or false
    ModelMode,  // "free" (0) or "prop" (1)
    LampMode,   // "flash-prop" (0) or "continuous" (1)
    Press,      // true: press the button
};

struct Field {
    const char* key;
    Kind kind;
};

// The keys of a body, read into whole numbers (levels and offsets in tenths, switches and modes
// 0 or 1), or the reason the body is refused.
struct Changes {
    std::map<QString, int> values;
    QString error;

    bool Has(const char* key) const { return values.count(QString::fromLatin1(key)) != 0; }
    int Value(const char* key) const { return values.at(QString::fromLatin1(key)); }
};

// 0 for the first text, 1 for the second.
std::optional<int> OneOf(const QJsonValue& value, QStringView zero, QStringView one) {
    const QString text = value.toString();
    if (!value.isString() || (text != zero && text != one)) {
        return std::nullopt;
    }
    return text == one ? 1 : 0;
}

std::optional<int> ReadValue(const QJsonValue& value, Kind kind) {
    switch (kind) {
        case Kind::Level: {
            const std::optional<int> tenths = RemoteJson::Tenths(value);
            if (tenths && *tenths >= PropCoupling::kMinLevel &&
                *tenths <= PropCoupling::kMaxLevel) {
                return tenths;
            }
            return std::nullopt;
        }
        case Kind::Offset: {
            const std::optional<int> tenths = RemoteJson::Tenths(value);
            if (tenths && std::abs(*tenths) <= PropCoupling::kMaxLevel) {
                return tenths;
            }
            return std::nullopt;
        }
        case Kind::Switch:
            return value.isBool() ? std::optional<int>(value.toBool() ? 1 : 0) : std::nullopt;
        case Kind::ModelMode:
            return OneOf(value, u"free", u"prop");
        case Kind::LampMode:
            return OneOf(value, u"flash-prop", u"continuous");
        case Kind::Press:
            return value == QJsonValue(true) ? std::optional<int>(1) : std::nullopt;
    }
    return std::nullopt;
}

QString Expected(Kind kind) {
    switch (kind) {
        case Kind::Level:
            return QStringLiteral("a power level from 1.1 to 8.1 in steps of 0.1");
        case Kind::Offset:
            return QStringLiteral("an offset from -8.1 to 8.1 in steps of 0.1");
        case Kind::Switch:
            return QStringLiteral("true or false");
        case Kind::ModelMode:
            return QStringLiteral("\"free\" or \"prop\"");
        case Kind::LampMode:
            return QStringLiteral("\"continuous\" or \"flash-prop\"");
        case Kind::Press:
            return QStringLiteral("true");
    }
    return {};
}

// The switches and modes a unit and the ticked units both take.
std::vector<Field> WithSwitches(std::initializer_list<Field> own) {
    std::vector<Field> fields(own);
    fields.insert(fields.end(), {{"flash_on", Kind::Switch},
                                 {"model_on", Kind::Switch},
                                 {"cell", Kind::Switch},
                                 {"sound", Kind::Switch},
                                 {"model_mode", Kind::ModelMode},
                                 {"lamp_mode", Kind::LampMode}});
    return fields;
}

Changes ReadChanges(const QByteArray& body, const std::vector<Field>& fields) {
    Changes changes;
    const QJsonObject object =
        RemoteJson::StrictObject(body, changes.error).value_or(QJsonObject());
    if (!changes.error.isEmpty()) {
        return changes;
    }
    for (auto it = object.begin(); it != object.end(); ++it) {
        const auto field = std::find_if(fields.begin(), fields.end(), [&](const Field& f) {
            return it.key() == QLatin1String(f.key);
        });
        if (field == fields.end()) {
            changes.error = QStringLiteral("unknown key \"%1\"").arg(it.key());
            return changes;
        }
        const std::optional<int> value = ReadValue(it.value(), field->kind);
        if (!value) {
            changes.error = QStringLiteral("%1 must be %2").arg(it.key(), Expected(field->kind));
            return changes;
        }
        changes.values[it.key()] = *value;
    }
    if (changes.values.empty()) {
        changes.error = QStringLiteral("nothing to change");
    }
    return changes;
}

ApiReply Reply(int status, const QJsonObject& object) {
    return {status, QJsonDocument(object), false, {}};
}

std::optional<int> Get(const Changes& changes, const char* key) {
    return changes.Has(key) ? std::optional<int>(changes.Value(key)) : std::nullopt;
}

// The switches and modes both kinds of change take, read from a body.
struct BodySwitches {
    std::optional<int> flashOn, cell, sound, modelMode, lampMode, modelOn;
};

BodySwitches SwitchesFrom(const Changes& c) {
    return {Get(c, "flash_on"),   Get(c, "cell"),      Get(c, "sound"),
            Get(c, "model_mode"), Get(c, "lamp_mode"), Get(c, "model_on")};
}

UnitChange UnitChangeFrom(const Changes& c) {
    UnitChange change;
    CopySwitches(change, SwitchesFrom(c));
    change.flash = Get(c, "flash");
    change.model = Get(c, "model");
    return change;
}

GroupChange GroupChangeFrom(const Changes& c) {
    GroupChange change;
    CopySwitches(change, SwitchesFrom(c));
    change.flashOffset = Get(c, "flash_offset");
    change.modelOffset = Get(c, "model_offset");
    return change;
}

// How a refusal of the commands is answered.
int StatusOf(CommandRefusal refusal) {
    switch (refusal) {
        case CommandRefusal::None:
            return 200;
        case CommandRefusal::BadValue:
            return 400;
        case CommandRefusal::NoUnit:
        case CommandRefusal::NoSetup:
            return 404;
        case CommandRefusal::FileFailed:
            return 500;
        default:
            return 409;
    }
}

}  // namespace

struct CRemoteApi::Route {
    std::array<const char*, 5> pattern;  // "{}" takes any segment, which goes into Args
    Method method;
    Handler handler;
};

CRemoteApi::CRemoteApi(CCommands& commands, const CConfirmationTracker* confirmations)
    : commands_(commands), model_(commands.Model()), confirmations_(confirmations) {}

ApiReply CRemoteApi::Handle(const ApiRequest& request) {
    static const Route kRoutes[] = {
        {{"status"}, Method::Get, &CRemoteApi::Status},
        {{"studios", "{}", "select"}, Method::Post, &CRemoteApi::Select},
        {{"studios", "{}", "scan"}, Method::Post, &CRemoteApi::Scan},
        {{"studios", "{}", "units"}, Method::Get, &CRemoteApi::Units},
        {{"studios", "{}", "units", "{}"}, Method::Get, &CRemoteApi::UnitOne},
        {{"studios", "{}", "units", "{}"}, Method::Patch, &CRemoteApi::ChangeUnit},
        {{"studios", "{}", "units", "{}", "test"}, Method::Post, &CRemoteApi::TestFlash},
        {{"studios", "{}", "group"}, Method::Post, &CRemoteApi::ChangeGroup},
        {{"setups"}, Method::Get, &CRemoteApi::Setups},
        {{"setups", "{}"}, Method::Get, &CRemoteApi::Preview},
        {{"setups", "{}"}, Method::Put, &CRemoteApi::Save},
        {{"setups", "{}", "load"}, Method::Post, &CRemoteApi::Load},
        {{"events"}, Method::Get, &CRemoteApi::Events},
        {{"undo"}, Method::Post, &CRemoteApi::Undo},
        {{"redo"}, Method::Post, &CRemoteApi::Redo},
        {{"history"}, Method::Get, &CRemoteApi::History},
    };
    QByteArrayList allowed;
    for (const Route& route : kRoutes) {
        Args args;
        qsizetype length = 0;
        bool matches = true;
        for (const char* segment : route.pattern) {
            if (!segment) {
                break;
            }
            if (length >= request.path.size() ||
                (qstrcmp(segment, "{}") != 0 && request.path[length] != QLatin1String(segment))) {
                matches = false;
                break;
            }
            if (qstrcmp(segment, "{}") == 0) {
                args.append(request.path[length]);
            }
            ++length;
        }
        if (!matches || length != request.path.size()) {
            continue;
        }
        if (route.method == request.method) {
            return (this->*route.handler)(args, request.body);
        }
        allowed.append(route.method == Method::Get     ? "GET"
                       : route.method == Method::Post  ? "POST"
                       : route.method == Method::Patch ? "PATCH"
                                                       : "PUT");
    }
    if (!allowed.isEmpty()) {
        ApiReply reply = Refusal(
            405,
            QStringLiteral("this path takes %1 only").arg(QString::fromLatin1(allowed.join(", "))));
        reply.allow = allowed.join(", ");
        return reply;
    }
    return Refusal(404, QStringLiteral("no such path"));
}

// ---- Checks shared by the acting routes -----------------------------------------------------

std::optional<ApiReply> CRemoteApi::Refused(const CommandResult& result) {
    if (result) {
        return std::nullopt;
    }
    return Refusal(StatusOf(result.refusal), result.reason);
}

std::optional<ApiReply> CRemoteApi::FindStudioToChange(const QString& letter,
                                                       const QString& bodyError,
                                                       StudioData*& studio) const {
    studio = StudioNamed(letter);
    if (!studio) {
        return Refusal(404, QStringLiteral("no studio \"%1\"").arg(letter));
    }
    if (!bodyError.isEmpty()) {
        return Refusal(400, bodyError);
    }
    // During a scan the studio's units are being found again: asked again later, they are there.
    if (commands_.Scanning()) {
        return Refusal(409, QStringLiteral("scanning: a channel scan is running"));
    }
    return Refused(commands_.CheckTuned(*studio));
}

StudioData* CRemoteApi::StudioNamed(const QString& letter) const {
    const std::optional<int> number = RemoteJson::StudioNumber(letter);
    return number ? model_.Studio(*number) : nullptr;
}

StrobeData* CRemoteApi::UnitOn(const StudioData& studio, const QString& channel) const {
    bool ok = false;
    const int number = channel.toInt(&ok);
    const bool digits =
        std::all_of(channel.begin(), channel.end(), [](QChar c) { return c.isDigit(); });
    if (!ok || !digits || number < 1 || number > kSlotCount || !studio.bChUsed[number - 1]) {
        return nullptr;
    }
    return studio.Unit(number - 1);
}

QJsonObject CRemoteApi::UnitJson(const StudioData& studio, const StrobeData& unit) const {
    return RemoteJson::UnitIn(studio, unit, confirmations_);
}

QJsonArray CRemoteApi::UnitsOf(const StudioData& studio, bool tickedOnly) const {
    QJsonArray units;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const StrobeData* unit = studio.bChUsed[slot] ? studio.Unit(slot) : nullptr;
        if (unit && (!tickedOnly || unit->bSelected)) {
            units.append(UnitJson(studio, *unit));
        }
    }
    return units;
}

QJsonDocument CRemoteApi::StatusJson() const {
    const StudioData* selected = model_.SelectedStudio();
    const auto letterOr = [](const StudioData* studio) {
        return studio ? QJsonValue(RemoteJson::StudioLetter(studio->nStudioNum))
                      : QJsonValue(QJsonValue::Null);
    };
    return QJsonDocument(QJsonObject{
        {QStringLiteral("connected"), commands_.Connected()},
        {QStringLiteral("port"), commands_.Port()},
        {QStringLiteral("reason"), commands_.PortReason()},
        {QStringLiteral("studio"), letterOr(selected)},
        {QStringLiteral("tuned"), letterOr(model_.pScanStudio)},
        {QStringLiteral("scanning"), commands_.Scanning()},
    });
}

QJsonObject CRemoteApi::HistoryJson() const {
    QUndoStack& history = commands_.History();
    QJsonArray steps;
    for (int i = history.count() - 1; i >= 0; --i) {
        steps.append(QJsonObject{{QStringLiteral("text"), history.text(i)},
                                 {QStringLiteral("done"), i < history.index()}});
    }
    return {{QStringLiteral("steps"), steps},
            {QStringLiteral("undo"),
             history.canUndo() ? QJsonValue(history.undoText()) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("redo"),
             history.canRedo() ? QJsonValue(history.redoText()) : QJsonValue(QJsonValue::Null)}};
}

// ---- Routes ---------------------------------------------------------------------------------

ApiReply CRemoteApi::Status(const Args&, const QByteArray&) {
    return {200, StatusJson(), false, {}};
}

ApiReply CRemoteApi::Select(const Args& args, const QByteArray&) {
    StudioData* studio = StudioNamed(args[0]);
    if (!studio) {
        return Refusal(404, QStringLiteral("no studio \"%1\"").arg(args[0]));
    }
    const CommandResult selected = commands_.Select(*studio);
    if (auto refusal = Refused(selected)) {
        return *refusal;
    }
    if (!selected.scanStarted) {
        return {200, StatusJson(), false, {}};
    }
    // The studio's units must be found again before they can be reached.
    QJsonObject status = StatusJson().object();
    status.insert(QStringLiteral("scanning"), true);
    return Reply(202, status);
}

ApiReply CRemoteApi::Scan(const Args& args, const QByteArray&) {
    StudioData* studio = StudioNamed(args[0]);
    if (!studio) {
        return Refusal(404, QStringLiteral("no studio \"%1\"").arg(args[0]));
    }
    if (commands_.Scanning()) {
        return Refusal(409, QStringLiteral("scanning: a channel scan is running"));
    }
    // Scan acts on the studio of the selection, so the studio is selected first, as the user
    // would. That may itself start the scan of the studio: then it is the scan asked for.
    bool started = false;
    if (model_.SelectedStudio() != studio) {
        started = commands_.Select(*studio).scanStarted;
    }
    if (!started) {
        if (auto refusal = Refused(commands_.Scan(*studio))) {
            return *refusal;
        }
    }
    return Reply(202, {{QStringLiteral("studio"), args[0]}, {QStringLiteral("scanning"), true}});
}

ApiReply CRemoteApi::Units(const Args& args, const QByteArray&) {
    const StudioData* studio = StudioNamed(args[0]);
    if (!studio) {
        return Refusal(404, QStringLiteral("no studio \"%1\"").arg(args[0]));
    }
    return {200, QJsonDocument(UnitsOf(*studio)), false, {}};
}

ApiReply CRemoteApi::UnitOne(const Args& args, const QByteArray&) {
    const StudioData* studio = StudioNamed(args[0]);
    const StrobeData* unit = studio ? UnitOn(*studio, args[1]) : nullptr;
    if (!unit) {
        return Refusal(404, QStringLiteral("no unit %1 in studio \"%2\"").arg(args[1], args[0]));
    }
    return Reply(200, UnitJson(*studio, *unit));
}

ApiReply CRemoteApi::ChangeUnit(const Args& args, const QByteArray& body) {
    static const std::vector<Field> kFields =
        WithSwitches({{"flash", Kind::Level}, {"model", Kind::Level}, {"ticked", Kind::Switch}});
    const Changes changes = ReadChanges(body, kFields);
    StudioData* studio = nullptr;
    if (auto refusal = FindStudioToChange(args[0], changes.error, studio)) {
        return *refusal;
    }
    StrobeData* unit = UnitOn(*studio, args[1]);
    if (!unit) {
        return Refusal(404,
                       QStringLiteral("Studio %1 has no unit on channel %2").arg(args[0], args[1]));
    }
    const UnitChange change = UnitChangeFrom(changes);
    if (!change.Empty()) {
        if (auto refusal =
                Refused(commands_.ChangeUnit(*unit, change, CCommands::Origin::Remote))) {
            return *refusal;
        }
    }
    if (changes.Has("ticked")) {
        commands_.Tick(*unit, changes.Value("ticked") == 1);
    }
    return Reply(200, UnitJson(*studio, *unit));
}

ApiReply CRemoteApi::TestFlash(const Args& args, const QByteArray&) {
    StudioData* studio = nullptr;
    if (auto refusal = FindStudioToChange(args[0], {}, studio)) {
        return *refusal;
    }
    StrobeData* unit = UnitOn(*studio, args[1]);
    if (!unit) {
        return Refusal(404,
                       QStringLiteral("Studio %1 has no unit on channel %2").arg(args[0], args[1]));
    }
    if (auto refusal = Refused(commands_.TestFlash(*unit, CCommands::Origin::Remote))) {
        return *refusal;
    }
    return Reply(200, UnitJson(*studio, *unit));
}

ApiReply CRemoteApi::ChangeGroup(const Args& args, const QByteArray& body) {
    static const std::vector<Field> kFields = WithSwitches(
        {{"flash_offset", Kind::Offset}, {"model_offset", Kind::Offset}, {"test", Kind::Press}});
    const Changes changes = ReadChanges(body, kFields);
    StudioData* studio = nullptr;
    if (auto refusal = FindStudioToChange(args[0], changes.error, studio)) {
        return *refusal;
    }
    GroupChange change = GroupChangeFrom(changes);
    const bool anyChange = change.flashOffset || change.modelOffset || change.flashOn ||
                           change.cell || change.sound || change.modelMode || change.lampMode ||
                           change.modelOn;
    if (anyChange) {
        if (auto refusal =
                Refused(commands_.ChangeTicked(*studio, change, CCommands::Origin::Remote))) {
            return *refusal;
        }
    }
    if (changes.Has("test")) {
        if (auto refusal = Refused(commands_.TestTicked(*studio, CCommands::Origin::Remote))) {
            return *refusal;
        }
    }
    return Reply(
        200, {{QStringLiteral("studio"), args[0]},
              {QStringLiteral("flash_offset"), RemoteJson::Level(change.flashOffset.value_or(0))},
              {QStringLiteral("model_offset"), RemoteJson::Level(change.modelOffset.value_or(0))},
              {QStringLiteral("units"), UnitsOf(*studio, true)}});
}

ApiReply CRemoteApi::Setups(const Args&, const QByteArray&) {
    return {200, QJsonDocument(QJsonArray::fromStringList(commands_.Setups())), false, {}};
}

ApiReply CRemoteApi::Preview(const Args& args, const QByteArray&) {
    const QString& title = args[0];
    // Read into a model of its own: a look at a file changes nothing the window shows.
    StudioModel scratch;
    if (auto refusal = Refused(commands_.ReadSetup(title, scratch))) {
        return *refusal;
    }
    return Reply(200, {{QStringLiteral("title"), title},
                       {QStringLiteral("units"), UnitsOf(*scratch.pFileStudio)}});
}

ApiReply CRemoteApi::Load(const Args& args, const QByteArray&) {
    const QString& title = args[0];
    if (auto refusal = Refused(commands_.Load(title, CCommands::Origin::Remote))) {
        return *refusal;
    }
    const StudioData* studio = model_.SelectedStudio();
    return Reply(200, {{QStringLiteral("studio"), RemoteJson::StudioLetter(studio->nStudioNum)},
                       {QStringLiteral("title"), title},
                       {QStringLiteral("units"), UnitsOf(*studio)}});
}

ApiReply CRemoteApi::Save(const Args& args, const QByteArray&) {
    const QString& title = args[0];
    if (auto refusal = Refused(commands_.Save(title, CCommands::Origin::Remote))) {
        return *refusal;
    }
    const StudioFileStore files(&model_, nullptr, commands_.WorkDir());
    return Reply(
        200, {{QStringLiteral("title"), title},
              {QStringLiteral("path"), QFileInfo(files.PathForTitle(title)).absoluteFilePath()}});
}

ApiReply CRemoteApi::Events(const Args&, const QByteArray&) {
    return {200, StatusJson(), true, {}};
}

ApiReply CRemoteApi::Undo(const Args&, const QByteArray&) {
    if (auto refusal = Refused(commands_.Undo(CCommands::Origin::Remote))) {
        return *refusal;
    }
    return Reply(200, HistoryJson());
}

ApiReply CRemoteApi::Redo(const Args&, const QByteArray&) {
    if (auto refusal = Refused(commands_.Redo(CCommands::Origin::Remote))) {
        return *refusal;
    }
    return Reply(200, HistoryJson());
}

ApiReply CRemoteApi::History(const Args&, const QByteArray&) {
    return Reply(200, HistoryJson());
}
