#include "CtlCommand.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>

#include <map>

namespace {

using Kind = CtlCommand::Kind;

const std::map<QString, Kind> kCommands = {
    {QStringLiteral("status"), Kind::Status},   {QStringLiteral("studio"), Kind::Studio},
    {QStringLiteral("scan"), Kind::Scan},       {QStringLiteral("units"), Kind::Units},
    {QStringLiteral("set"), Kind::Set},         {QStringLiteral("test"), Kind::Test},
    {QStringLiteral("tick"), Kind::Tick},       {QStringLiteral("group"), Kind::Group},
    {QStringLiteral("setups"), Kind::Setups},   {QStringLiteral("load"), Kind::Load},
    {QStringLiteral("save"), Kind::Save},       {QStringLiteral("watch"), Kind::Watch},
    {QStringLiteral("undo"), Kind::Undo},       {QStringLiteral("redo"), Kind::Redo},
    {QStringLiteral("history"), Kind::History},
};

// Thrown inside the parse only, for a wrong line; it becomes CtlParse::error.
struct Wrong {
    QString reason;
};

QString Studio(const QString& text) {
    const QString letter = text.toUpper();
    if (letter.size() != 1 || letter[0] < u'A' || letter[0] > u'E') {
        throw Wrong{QStringLiteral("'%1' is no studio: A to E").arg(text)};
    }
    return letter;
}

int Channel(const QString& text) {
    bool ok = false;
    const int channel = text.toInt(&ok);
    if (!ok || channel < 1 || channel > 10) {
        throw Wrong{QStringLiteral("'%1' is no channel: 1 to 10").arg(text)};
    }
    return channel;
}

bool OnOff(const QString& key, const QString& value) {
    if (value == u"on") {
        return true;
    }
    if (value == u"off") {
        return false;
    }
    throw Wrong{QStringLiteral("%1 takes on or off, not '%2'").arg(key, value)};
}

// A number of one decimal at most ("5.5", "+1.0", "-0.3", "8"), as tenths within the limits.
std::optional<int> Tenths(const QString& text, int min, int max) {
    static const QRegularExpression number(QStringLiteral("^[+-]?\\d{1,2}(\\.\\d)?$"));
    if (!number.match(text).hasMatch()) {
        return std::nullopt;
    }
    const int tenths = qRound(text.toDouble() * 10.0);
    if (tenths < min || tenths > max) {
        return std::nullopt;
    }
    return tenths;
}

// The KEY VALUE pairs of set and group, as the body's keys. For group, flash and model take an
// offset; for set, a level. Both take on and off for the switches.
QByteArray Changes(const QStringList& words, bool group) {
    if (words.isEmpty()) {
        throw Wrong{QStringLiteral("nothing to change")};
    }
    QJsonObject body;
    const auto put = [&](const QString& key, const QJsonValue& value) {
        if (body.contains(key)) {
            throw Wrong{QStringLiteral("%1 is given twice").arg(key)};
        }
        body.insert(key, value);
    };
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString key = words[i];
        if (group && key == u"test") {
            put(QStringLiteral("test"), true);
            continue;
        }
        if (i + 1 >= words.size()) {
            throw Wrong{QStringLiteral("%1 needs a value").arg(key)};
        }
        const QString value = words[++i];
        if (key == u"flash" || key == u"model") {
            if (value == u"on" || value == u"off") {
                put(key + QStringLiteral("_on"), value == u"on");
                continue;
            }
            const std::optional<int> tenths =
                group ? Tenths(value, -81, 81) : Tenths(value, 11, 81);
            if (!tenths) {
                throw Wrong{group ? QStringLiteral("%1 takes on, off or an offset from -8.1 to "
                                                   "+8.1, not '%2'")
                                        .arg(key, value)
                                  : QStringLiteral("%1 takes on, off or a power from 1.1 to 8.1, "
                                                   "not '%2'")
                                        .arg(key, value)};
            }
            put(group ? key + QStringLiteral("_offset") : key, *tenths / 10.0);
        } else if (key == u"cell" || key == u"sound") {
            put(key, OnOff(key, value));
        } else if (!group && (key == u"tick" || key == u"ticked")) {
            put(QStringLiteral("ticked"), OnOff(key, value));
        } else if (key == u"mode" || key == u"model_mode") {
            if (value != u"free" && value != u"prop") {
                throw Wrong{QStringLiteral("mode takes free or prop, not '%1'").arg(value)};
            }
            put(QStringLiteral("model_mode"), value);
        } else if (key == u"lamp" || key == u"lamp_mode") {
            if (value != u"continuous" && value != u"flash-prop") {
                throw Wrong{
                    QStringLiteral("lamp takes continuous or flash-prop, not '%1'").arg(value)};
            }
            put(QStringLiteral("lamp_mode"), value);
        } else {
            throw Wrong{QStringLiteral("unknown setting '%1'").arg(key)};
        }
    }
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

void NeedCount(const QStringList& words, qsizetype min, qsizetype max, const QString& command) {
    if (words.size() < min || words.size() > max) {
        throw Wrong{QStringLiteral("wrong number of arguments for %1").arg(command)};
    }
}

// The words after the command, read into what the command needs.
void ReadArguments(const QStringList& words, const QString& name, CtlCommand& command) {
    switch (command.kind) {
        case Kind::Status:
        case Kind::Setups:
        case Kind::Watch:
        case Kind::Units:
        case Kind::Undo:
        case Kind::Redo:
        case Kind::History:
            NeedCount(words, 0, 0, name);
            break;
        case Kind::Studio:
            NeedCount(words, 1, 1, name);
            command.studio = Studio(words[0]);
            break;
        case Kind::Scan:
            NeedCount(words, 0, 1, name);
            if (!words.isEmpty()) {
                command.studio = Studio(words[0]);
            }
            break;
        case Kind::Set:
            if (words.isEmpty()) {
                throw Wrong{QStringLiteral("set needs a channel and KEY VALUE pairs")};
            }
            command.channel = Channel(words[0]);
            command.body = Changes(words.mid(1), false);
            break;
        case Kind::Test:
            NeedCount(words, 1, 1, name);
            command.channel = Channel(words[0]);
            break;
        case Kind::Tick:
            NeedCount(words, 2, 2, name);
            command.channel = Channel(words[0]);
            command.body = Changes({QStringLiteral("tick"), words[1]}, false);
            break;
        case Kind::Group:
            command.body = Changes(words, true);
            break;
        case Kind::Load:
        case Kind::Save:
            NeedCount(words, 1, 1, name);
            command.title = words[0];
            if (command.title.isEmpty()) {
                throw Wrong{QStringLiteral("a setup needs a title")};
            }
            break;
        case Kind::Help:
        case Kind::Version:
            break;
    }
}

CtlCommand Parse(const QStringList& arguments) {
    CtlCommand command;
    QStringList words;
    bool commandSeen = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        // Before the command, options; after it, only --json, so that "-0.5" stays a value.
        const auto value = [&](const QString& name) {
            if (arg.startsWith(name + u'=')) {
                return arg.mid(name.size() + 1);
            }
            if (i + 1 >= arguments.size()) {
                throw Wrong{QStringLiteral("%1 needs a value").arg(name)};
            }
            return arguments[++i];
        };
        if (arg == u"--json") {
            command.json = true;
        } else if (!commandSeen && (arg == u"--help" || arg == u"-h")) {
            command.kind = Kind::Help;
            return command;
        } else if (!commandSeen && arg == u"--version") {
            command.kind = Kind::Version;
            return command;
        } else if (!commandSeen && (arg == u"--url" || arg.startsWith(u"--url="))) {
            command.url = value(QStringLiteral("--url"));
            const QUrl url(command.url);
            if (!url.isValid() || url.scheme() != u"http" || url.host().isEmpty()) {
                throw Wrong{
                    QStringLiteral("--url takes http://HOST:PORT, not '%1'").arg(command.url)};
            }
        } else if (!commandSeen && (arg == u"--token-file" || arg.startsWith(u"--token-file="))) {
            command.tokenFile = value(QStringLiteral("--token-file"));
        } else if (!commandSeen && (arg == u"--studio" || arg.startsWith(u"--studio="))) {
            command.studio = Studio(value(QStringLiteral("--studio")));
        } else if (!commandSeen && arg.startsWith(u'-')) {
            throw Wrong{QStringLiteral("unknown option '%1'").arg(arg)};
        } else if (!commandSeen) {
            const auto found = kCommands.find(arg);
            if (found == kCommands.end()) {
                throw Wrong{QStringLiteral("unknown command '%1'").arg(arg)};
            }
            command.kind = found->second;
            commandSeen = true;
        } else {
            words.append(arg);
        }
    }
    if (!commandSeen) {
        throw Wrong{QStringLiteral("no command given")};
    }
    ReadArguments(words, arguments.mid(1).join(u' '), command);
    return command;
}

}  // namespace

CtlParse ParseCtlArguments(const QStringList& arguments) {
    try {
        return {Parse(arguments), {}};
    } catch (const Wrong& wrong) {
        return {std::nullopt, wrong.reason};
    }
}

QString CtlUsage() {
    return QStringLiteral(
        "Usage: orvane-ctl [--url URL] [--token-file FILE] [--studio S] COMMAND [ARG...]\n"
        "Controls a running 'orvane --remote PORT' as its window would be used.\n"
        "\n"
        "Commands:\n"
        "  status                  link state, port, selected and scanned studio\n"
        "  studio S                select studio S (A..E) as a click on its line does\n"
        "  scan [S]                scan studio S (default: the selected one), wait, list units\n"
        "  units [--json]          the units of the selected studio (or --studio S)\n"
        "  set CH KEY VALUE ...    change unit CH (1..10) as its panel does; keys:\n"
        "                            flash 1.1..8.1|on|off   model 1.1..8.1|on|off\n"
        "                            cell on|off   sound on|off   tick on|off\n"
        "                            mode free|prop   lamp continuous|flash-prop\n"
        "  test CH                 test flash of unit CH\n"
        "  tick CH on|off          tick or untick unit CH in the grid\n"
        "  group KEY VALUE ...     change the ticked units as the group panel does; keys:\n"
        "                            flash +-OFFSET|on|off   model +-OFFSET|on|off\n"
        "                            cell, sound, mode, lamp as for set; test\n"
        "  setups                  the saved setups\n"
        "  load TITLE              load a setup onto the selected studio\n"
        "  save TITLE              save the selected studio as a setup\n"
        "  watch [--json]          print events (link, scans, units) until interrupted\n"
        "  undo                    take back the last change of units (sends what restores them)\n"
        "  redo                    do the change taken back again\n"
        "  history                 the steps, newest first; '>' marks the one undo would take\n"
        "\n"
        "Options:\n"
        "  --url URL               the program's address (default http://127.0.0.1:8717)\n"
        "  --token-file FILE       the token (default $XDG_CONFIG_HOME/orvane/remote-token)\n"
        "  --studio S              the studio for units, set, test, tick and group\n"
        "  --json                  print the program's JSON answer\n"
        "  -h, --help              show this text\n"
        "  --version               show the version\n"
        "\n"
        "Exit status: 0 done, 2 wrong usage or values, 3 no program answered (or the one\n"
        "listening on this machine belongs to another user, and got nothing), 4 the program\n"
        "refused (its reason is printed).\n");
}
