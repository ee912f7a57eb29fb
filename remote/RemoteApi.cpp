#include "remote/RemoteApi.h"

#include "files/StudioFileStore.h"
#include "model/StudioModel.h"
#include "panels/BusinessMemoryBox.h"
#include "panels/PanelLook.h"
#include "remote/EventFeed.h"
#include "remote/MessageRelay.h"
#include "remote/RemoteJson.h"
#include "remote/SetupTitle.h"
#include "shell/MainFrame.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonParseError>

#include <array>
#include <map>
#include <vector>

using Method = QHttpServerRequest::Method;
using Panel = CWindowHands::Panel;

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
            if (tenths && *tenths >= PanelLook::kMinPower && *tenths <= PanelLook::kMaxPower) {
                return tenths;
            }
            return std::nullopt;
        }
        case Kind::Offset: {
            const std::optional<int> tenths = RemoteJson::Tenths(value);
            if (tenths && std::abs(*tenths) <= PanelLook::kMaxPower) {
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

// The check boxes and buttons of both panels that the body's keys click, in the order they are
// clicked. Switching a unit on comes first and switching it off last, so that the changes between
// find it on; the powers' sliders are let go before the switches are clicked.
struct Click {
    const char* key;
    const char* button;  // the unit panel's name; the group panel's has "sel" before it
    enum { Check, Inverted, Radio, Press } how;
};
constexpr std::array<Click, 6> kClicks = {{
    {"cell", "cellCheck", Click::Check},
    {"sound", "soundCheck", Click::Check},
    {"model_mode", nullptr, Click::Radio},
    {"lamp_mode", nullptr, Click::Radio},
    {"model_on", "offCheck", Click::Inverted},
    {"test", "testButton", Click::Press},
}};

const char* RadioFor(const char* key, int value) {
    if (qstrcmp(key, "model_mode") == 0) {
        return value ? "propRadio" : "freeRadio";
    }
    return value ? "continuousRadio" : "flashPropRadio";
}

// Clicks through the changes on one panel; the powers are given as the slider positions to let
// go at (levels, or the group panel's offsets). False when the window did not take a click.
bool ApplyOnPanel(CWindowHands& hands, Panel panel, const Changes& changes,
                  std::optional<int> flashAt, std::optional<int> modelAt) {
    bool taken = true;
    const auto power = QStringLiteral("powerButton");
    if (changes.Has("flash_on") && changes.Value("flash_on") == 1) {
        taken &= hands.ClickSwitch(panel, power, true);
    }
    if (flashAt) {
        taken &= hands.ReleasePower(panel, true, *flashAt);
    }
    if (modelAt) {
        taken &= hands.ReleasePower(panel, false, *modelAt);
    }
    for (const Click& click : kClicks) {
        if (!changes.Has(click.key)) {
            continue;
        }
        const int value = changes.Value(click.key);
        switch (click.how) {
            case Click::Check:
                taken &= hands.ClickSwitch(panel, QString::fromLatin1(click.button), value == 1);
                break;
            case Click::Inverted:
                taken &= hands.ClickSwitch(panel, QString::fromLatin1(click.button), value == 0);
                break;
            case Click::Radio:
                taken &= hands.ClickButton(panel, QString::fromLatin1(RadioFor(click.key, value)));
                break;
            case Click::Press:
                taken &= hands.ClickButton(panel, QString::fromLatin1(click.button));
                break;
        }
    }
    if (changes.Has("flash_on") && changes.Value("flash_on") == 0) {
        taken &= hands.ClickSwitch(panel, power, false);
    }
    return taken;
}

bool AnyTicked(const StudioData& studio) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const StrobeData* unit = studio.Unit(slot);
        if (unit && unit->bSelected) {
            return true;
        }
    }
    return false;
}

QJsonArray UnitsOf(const StudioData& studio, bool tickedOnly = false) {
    QJsonArray units;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const StrobeData* unit = studio.Unit(slot);
        if (unit && (!tickedOnly || unit->bSelected)) {
            units.append(RemoteJson::Unit(*unit));
        }
    }
    return units;
}

}  // namespace

struct CRemoteApi::Route {
    std::array<const char*, 5> pattern;  // "{}" takes any segment, which goes into Args
    Method method;
    Handler handler;
};

CRemoteApi::CRemoteApi(CMainFrame& frame, CMessageRelay& messages, CEventFeed& feed)
    : frame_(frame), model_(frame.Model()), messages_(messages), feed_(feed), hands_(frame) {}

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

std::optional<ApiReply> CRemoteApi::Busy() const {
    if (!CWindowHands::WindowBusy()) {
        return std::nullopt;
    }
    // The window takes no click while a dialog holds it, and a request does not race the user.
    return Refusal(409, feed_.Scanning()
                            ? QStringLiteral("a channel scan is running")
                            : QStringLiteral("a dialog is open in the window; answer it first"));
}

std::optional<ApiReply> CRemoteApi::FindStudioToAct(const QString& letter,
                                                    StudioData*& studio) const {
    studio = StudioNamed(letter);
    if (!studio) {
        return Refusal(404, QStringLiteral("no studio \"%1\"").arg(letter));
    }
    return Busy();
}

std::optional<ApiReply> CRemoteApi::FindUnitToAct(StudioData& studio, const Args& args,
                                                  StrobeData*& unit) const {
    unit = UnitOn(studio, args[1]);
    if (!unit) {
        return Refusal(404,
                       QStringLiteral("Studio %1 has no unit on channel %2").arg(args[0], args[1]));
    }
    return Busy();
}

std::optional<ApiReply> CRemoteApi::CheckChange(const StudioData* studio, const QString& letter,
                                                const QString& bodyError) const {
    if (!studio) {
        return Refusal(404, QStringLiteral("no studio \"%1\"").arg(letter));
    }
    if (!bodyError.isEmpty()) {
        return Refusal(400, bodyError);
    }
    return NotTuned(*studio);
}

std::optional<ApiReply> CRemoteApi::NotTuned(const StudioData& studio) const {
    if (model_.pScanStudio == &studio) {
        return std::nullopt;
    }
    // Frames carry no studio: they reach the units of whichever studio the dongle last scanned.
    const QString letter = RemoteJson::StudioLetter(studio.nStudioNum);
    if (!model_.pScanStudio) {
        return Refusal(
            409,
            QStringLiteral("no studio has been scanned yet; scan Studio %1 first").arg(letter));
    }
    return Refusal(409, QStringLiteral("the dongle is tuned to Studio %1 and frames carry no "
                                       "studio; scan Studio %2 first")
                            .arg(RemoteJson::StudioLetter(model_.pScanStudio->nStudioNum), letter));
}

std::optional<ApiReply> CRemoteApi::BadTitle(const QString& title, bool mustBeListed) const {
    if (const QString problem = SetupTitle::Problem(title); !problem.isEmpty()) {
        return Refusal(400, problem);
    }
    if (mustBeListed && !hands_.MemoryBox().Titles().contains(title)) {
        return Refusal(404, QStringLiteral("no setup titled \"%1\"").arg(title));
    }
    return std::nullopt;
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

QJsonDocument CRemoteApi::StatusJson() const {
    const StudioData* selected = model_.SelectedStudio();
    const auto letterOr = [](const StudioData* studio) {
        return studio ? QJsonValue(RemoteJson::StudioLetter(studio->nStudioNum))
                      : QJsonValue(QJsonValue::Null);
    };
    return QJsonDocument(QJsonObject{
        {QStringLiteral("connected"), frame_.IsConnected()},
        {QStringLiteral("port"), frame_.Settings().sPortName},
        {QStringLiteral("studio"), letterOr(selected)},
        {QStringLiteral("tuned"), letterOr(model_.pScanStudio)},
        {QStringLiteral("scanning"), feed_.Scanning()},
    });
}

// ---- Routes ---------------------------------------------------------------------------------

ApiReply CRemoteApi::Status(const Args&, const QByteArray&) {
    return {200, StatusJson(), false, {}};
}

ApiReply CRemoteApi::Select(const Args& args, const QByteArray&) {
    StudioData* studio = nullptr;
    if (auto refusal = FindStudioToAct(args[0], studio)) {
        return *refusal;
    }
    hands_.ClickStudio(*studio);
    return {200, StatusJson(), false, {}};
}

ApiReply CRemoteApi::Scan(const Args& args, const QByteArray&) {
    StudioData* studio = nullptr;
    if (auto refusal = FindStudioToAct(args[0], studio)) {
        return *refusal;
    }
    if (!frame_.CommandAction(CMainFrame::Scan)->isEnabled()) {
        return Refusal(409, QStringLiteral("the Scan command is disabled"));
    }
    // Scan acts on the studio of the selection, so the studio is selected first, as the user
    // would. That click may itself start the re-scan of the studio; then it is the scan asked for.
    const int scansBefore = feed_.ScansStarted();
    if (model_.SelectedStudio() != studio) {
        hands_.ClickStudio(*studio);
    }
    // The scan's dialog holds the window for seconds: it runs after this answer has gone, and
    // after any re-scan the click posted, in the order the window takes its messages.
    QMetaObject::invokeMethod(
        this,
        [this, scansBefore] {
            if (feed_.ScansStarted() == scansBefore && !CWindowHands::WindowBusy()) {
                hands_.ClickScan();
            }
        },
        Qt::QueuedConnection);
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
    return Reply(200, RemoteJson::UnitIn(*studio, *unit));
}

ApiReply CRemoteApi::ChangeUnit(const Args& args, const QByteArray& body) {
    StudioData* studio = StudioNamed(args[0]);
    static const std::vector<Field> kFields =
        WithSwitches({{"flash", Kind::Level}, {"model", Kind::Level}, {"ticked", Kind::Switch}});
    const Changes changes = ReadChanges(body, kFields);
    if (auto refusal = CheckChange(studio, args[0], changes.error)) {
        return *refusal;
    }
    StrobeData* unit = nullptr;
    if (auto refusal = FindUnitToAct(*studio, args, unit)) {
        return *refusal;
    }
    // A unit switched off takes nothing but being switched on: the panel disables the rest.
    const bool switchedOn = changes.Has("flash_on") && changes.Value("flash_on") == 1;
    const auto anyKeyBut = [&](std::initializer_list<QStringView> others) {
        return std::any_of(changes.values.begin(), changes.values.end(), [&](const auto& v) {
            return std::find(others.begin(), others.end(), v.first) == others.end();
        });
    };
    const bool panelKeys = anyKeyBut({u"ticked"});
    if (unit->bFlashPow == 0 && !switchedOn && anyKeyBut({u"ticked", u"flash_on"})) {
        return Refusal(
            409,
            QStringLiteral("%1 is switched off: only flash_on can change it").arg(unit->sChName));
    }

    if (!hands_.ClickUnit(*unit) || (panelKeys && !hands_.ShowPanel(Panel::Unit))) {
        return Refusal(409, QStringLiteral("the window did not select %1").arg(unit->sChName));
    }
    const auto level = [&](const char* key) {
        return changes.Has(key) ? std::optional<int>(changes.Value(key)) : std::nullopt;
    };
    bool taken = ApplyOnPanel(hands_, Panel::Unit, changes, level("flash"), level("model"));
    if (changes.Has("ticked")) {
        taken &= hands_.ClickUnitBox(*unit, changes.Value("ticked") == 1);
    }
    if (!taken) {
        return Refusal(409, QStringLiteral("the window did not take every change"));
    }
    return Reply(200, RemoteJson::UnitIn(*studio, *unit));
}

ApiReply CRemoteApi::TestFlash(const Args& args, const QByteArray&) {
    StudioData* studio = StudioNamed(args[0]);
    if (auto refusal = CheckChange(studio, args[0], {})) {
        return *refusal;
    }
    StrobeData* unit = nullptr;
    if (auto refusal = FindUnitToAct(*studio, args, unit)) {
        return *refusal;
    }
    if (unit->bFlashPow == 0) {
        return Refusal(409, QStringLiteral("%1 is switched off").arg(unit->sChName));
    }
    if (!hands_.ClickUnit(*unit) || !hands_.ShowPanel(Panel::Unit) ||
        !hands_.ClickButton(Panel::Unit, QStringLiteral("testButton"))) {
        return Refusal(409, QStringLiteral("the window did not take the test flash"));
    }
    return Reply(200, RemoteJson::UnitIn(*studio, *unit));
}

ApiReply CRemoteApi::ChangeGroup(const Args& args, const QByteArray& body) {
    StudioData* studio = StudioNamed(args[0]);
    static const std::vector<Field> kFields = WithSwitches(
        {{"flash_offset", Kind::Offset}, {"model_offset", Kind::Offset}, {"test", Kind::Press}});
    const Changes changes = ReadChanges(body, kFields);
    if (auto refusal = CheckChange(studio, args[0], changes.error)) {
        return *refusal;
    }
    if (!AnyTicked(*studio)) {
        return Refusal(409, QStringLiteral("no unit of Studio %1 is ticked").arg(args[0]));
    }
    // The panel's offsets count from when it was last brought up, and bringing it up resets them.
    const bool shown = hands_.PanelShown() == Panel::Group;
    std::array<std::optional<int>, 2> offsets;
    for (const bool flash : {true, false}) {
        const char* key = flash ? "flash_offset" : "model_offset";
        if (!changes.Has(key)) {
            continue;
        }
        const int from = shown ? hands_.GroupOffset(flash) : 0;
        const int to = from + changes.Value(key);
        if (std::abs(to) > PanelLook::kMaxPower) {
            return Refusal(400, QStringLiteral("%1 would take the panel's offset from %2 to %3, "
                                               "beyond -8.1..8.1")
                                    .arg(QString::fromLatin1(key), PanelLook::OffsetText(from),
                                         PanelLook::OffsetText(to)));
        }
        offsets[flash ? 0 : 1] = to;
    }
    if (auto busy = Busy()) {
        return *busy;
    }
    if (model_.SelectedStudio() != studio) {
        hands_.ClickStudio(*studio);
    }
    if (model_.SelectedStudio() != studio || !hands_.ShowPanel(Panel::Group) ||
        !ApplyOnPanel(hands_, Panel::Group, changes, offsets[0], offsets[1])) {
        return Refusal(409, QStringLiteral("the window did not take every change"));
    }
    return Reply(200,
                 {{QStringLiteral("studio"), args[0]},
                  {QStringLiteral("flash_offset"), RemoteJson::Level(hands_.GroupOffset(true))},
                  {QStringLiteral("model_offset"), RemoteJson::Level(hands_.GroupOffset(false))},
                  {QStringLiteral("units"), UnitsOf(*studio, true)}});
}

ApiReply CRemoteApi::Setups(const Args&, const QByteArray&) {
    return {200, QJsonDocument(QJsonArray::fromStringList(hands_.MemoryBox().Titles())), false, {}};
}

ApiReply CRemoteApi::Preview(const Args& args, const QByteArray&) {
    const QString& title = args[0];
    if (auto refusal = BadTitle(title, true)) {
        return *refusal;
    }
    // Read into a model of its own: a look at a file changes nothing the window shows.
    StudioModel scratch;
    CMessageRelay::Capture capture(messages_);
    StudioFileStore store(&scratch, &messages_, frame_.FileStore().BaseDir());
    if (!store.LoadStudioFile(title)) {
        return Refusal(500, capture.Texts().join(u'\n'));
    }
    return Reply(200, {{QStringLiteral("title"), title},
                       {QStringLiteral("units"), UnitsOf(*scratch.pFileStudio)}});
}

ApiReply CRemoteApi::Load(const Args& args, const QByteArray&) {
    const QString& title = args[0];
    if (auto refusal = BadTitle(title, true)) {
        return *refusal;
    }
    if (auto busy = Busy()) {
        return *busy;
    }
    StudioData* studio = model_.SelectedStudio();
    if (!studio) {
        return Refusal(409, QStringLiteral("no studio is selected to load onto"));
    }
    if (studio->nChItemCnt > 0) {
        if (auto refusal = NotTuned(*studio)) {
            return *refusal;
        }
    }
    // The file is picked in the list as the user would, which reads it; Load follows only when
    // it could be read.
    CMessageRelay::Capture capture(messages_);
    CBusinessMemoryBox& box = hands_.MemoryBox();
    if (!box.PickFile(title) || !capture.Texts().isEmpty()) {
        return Refusal(500, capture.Texts().join(u'\n'));
    }
    box.LoadConfirmed();
    return Reply(200, {{QStringLiteral("studio"), RemoteJson::StudioLetter(studio->nStudioNum)},
                       {QStringLiteral("title"), title},
                       {QStringLiteral("units"), UnitsOf(*studio)}});
}

ApiReply CRemoteApi::Save(const Args& args, const QByteArray&) {
    const QString& title = args[0];
    if (auto refusal = BadTitle(title, false)) {
        return *refusal;
    }
    if (auto busy = Busy()) {
        return *busy;
    }
    // Refused before the box is touched, so a refusal leaves the window as it was.
    const StudioData* selected = model_.SelectedStudio();
    if (!selected || selected->nChItemCnt == 0) {
        return Refusal(409, QStringLiteral("No channel item."));
    }
    CMessageRelay::Capture capture(messages_);
    CBusinessMemoryBox& box = hands_.MemoryBox();
    box.TypeFileName(title);
    const bool written = box.SaveConfirmed();
    if (!written || !capture.Texts().isEmpty()) {
        return Refusal(500, capture.Texts().join(u'\n'));
    }
    return Reply(200, {{QStringLiteral("title"), title},
                       {QStringLiteral("path"),
                        QFileInfo(frame_.FileStore().PathForTitle(title)).absoluteFilePath()}});
}

ApiReply CRemoteApi::Events(const Args&, const QByteArray&) {
    return {200, StatusJson(), true, {}};
}
