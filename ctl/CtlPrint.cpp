#include "CtlPrint.h"

#include <QStringList>

namespace {

QString Flag(const QJsonObject& o, const char* key, const char* on, const char* off) {
    return QString::fromLatin1(o.value(QLatin1String(key)).toBool() ? on : off);
}

QString Level(const QJsonObject& o, const char* key) {
    return QString::number(o.value(QLatin1String(key)).toDouble(), 'f', 1);
}

QString Text(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString();
}

}  // namespace

namespace CtlPrint {

QString Status(const QJsonObject& status) {
    const auto studio = [&](const char* key) {
        const QJsonValue value = status.value(QLatin1String(key));
        return value.isString() ? QStringLiteral("Studio ") + value.toString()
                                : QStringLiteral("none");
    };
    return QStringLiteral("link:     %1 (%2)\nselected: %3\nscanned:  %4%5\n")
        .arg(Flag(status, "connected", "Zigbee connected", "Zigbee disconnected"),
             Text(status, "port"), studio("studio"), studio("tuned"),
             Flag(status, "scanning", " (scanning now)", ""));
}

QString Unit(const QJsonObject& u) {
    QStringList parts = {
        QStringLiteral("CH-%1").arg(u.value(QStringLiteral("channel")).toInt(), 2, 10,
                                    QLatin1Char('0')),
        Text(u, "model_name") + QStringLiteral(" / ") + Text(u, "light_name"),
        QStringLiteral("flash %1%2").arg(Level(u, "flash"), Flag(u, "flash_on", "", " (off)")),
        QStringLiteral("model %1%2").arg(Level(u, "model"), Flag(u, "model_on", "", " (off)")),
        Text(u, "model_mode"),
        Text(u, "lamp_mode"),
        Flag(u, "cell", "cell", "-"),
        Flag(u, "sound", "sound", "-"),
        Flag(u, "ticked", "ticked", "-"),
        Flag(u, "ready", "ready", "charging"),
    };
    if (u.value(QStringLiteral("overheat")).toBool()) {
        parts.append(QStringLiteral("OVERHEAT"));
    }
    return parts.join(QStringLiteral("  ")) + u'\n';
}

QString Units(const QJsonArray& units) {
    if (units.isEmpty()) {
        return QStringLiteral("no units\n");
    }
    QString text;
    for (const QJsonValue& unit : units) {
        text += Unit(unit.toObject());
    }
    return text;
}

QString Event(const QByteArray& name, const QJsonObject& data) {
    if (name == "status") {
        return QStringLiteral("status: ") + Status(data).simplified() + u'\n';
    }
    if (name == "link") {
        return QStringLiteral("link: %1 (%2)\n")
            .arg(Flag(data, "connected", "connected", "disconnected"), Text(data, "port"));
    }
    if (name == "scan") {
        return QStringLiteral("scan: Studio %1 %2\n")
            .arg(Text(data, "studio"), Text(data, "state"));
    }
    if (name == "unit-placed" || name == "unit-changed") {
        return QStringLiteral("%1: Studio %2  %3")
            .arg(name == "unit-placed" ? QStringLiteral("placed") : QStringLiteral("changed"),
                 Text(data, "studio"), Unit(data));
    }
    if (name == "undo" || name == "redo") {
        return QString::fromUtf8(name) + QStringLiteral(": ") + Text(data, "step") + u'\n';
    }
    return QString::fromUtf8(name) + u'\n';
}

QString History(const QJsonObject& history) {
    const QJsonArray steps = history.value(QStringLiteral("steps")).toArray();
    if (steps.isEmpty()) {
        return QStringLiteral("no steps to undo or redo\n");
    }
    QString text;
    bool marked = false;
    for (const QJsonValue& value : steps) {
        const QJsonObject step = value.toObject();
        const bool done = step.value(QStringLiteral("done")).toBool();
        // The newest step still done is the one undo takes back.
        const bool next = done && !marked;
        marked = marked || next;
        text += QStringLiteral("%1 %2%3\n")
                    .arg(next ? QStringLiteral(">") : QStringLiteral(" "),
                         step.value(QStringLiteral("text")).toString(),
                         done ? QString() : QStringLiteral("  (undone)"));
    }
    return text;
}

}  // namespace CtlPrint
