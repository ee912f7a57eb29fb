#include "remote/RemoteJson.h"

#include "link/ConfirmationTracker.h"
#include "model/StudioModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSet>

#include <cmath>
#include <vector>

namespace {

// A JSON string's text from its opening quote on, ending after its closing quote; its end is
// written to `end`. The text was already read whole by Qt's reader, so it is well formed.
QString StringAt(const QByteArray& text, qsizetype start, qsizetype& end) {
    end = start + 1;
    while (end < text.size() && text[end] != '"') {
        end += text[end] == '\\' ? 2 : 1;
    }
    ++end;
    // Decoded by Qt's reader too, so that an escaped letter and the letter are the same key.
    const QJsonDocument one = QJsonDocument::fromJson('[' + text.mid(start, end - start) + ']');
    return one.array().at(0).toString();
}

// The first key that an object in the text holds twice, or empty. Hand-written because neither
// Qt's reader nor its document model keeps a repeated key; this walks only strings and
// brackets, since Qt's reader has vouched for the rest.
std::optional<QString> RepeatedKey(const QByteArray& text) {
    std::vector<std::optional<QSet<QString>>> open;  // per bracket: the object's keys, or an array
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{' || c == '[') {
            open.emplace_back(c == '{' ? std::optional<QSet<QString>>(QSet<QString>{})
                                       : std::nullopt);
        } else if (c == '}' || c == ']') {
            open.pop_back();
        } else if (c == '"') {
            qsizetype end = 0;
            const QString string = StringAt(text, i, end);
            qsizetype next = end;
            while (next < text.size() && QByteArrayView(" \t\r\n").contains(text[next])) {
                ++next;
            }
            const bool isKey = next < text.size() && text[next] == ':';
            if (isKey && !open.empty() && open.back()) {
                if (open.back()->contains(string)) {
                    return string;
                }
                open.back()->insert(string);
            }
            i = end - 1;
        }
    }
    return std::nullopt;
}

}  // namespace

namespace RemoteJson {

std::optional<QJsonObject> StrictObject(const QByteArray& body, QString& reason) {
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &parse);
    if (parse.error != QJsonParseError::NoError || !document.isObject()) {
        reason = QStringLiteral("the body must be a JSON object");
        return std::nullopt;
    }
    if (const std::optional<QString> key = RepeatedKey(body)) {
        reason = QStringLiteral("the body holds the key \"%1\" more than once").arg(*key);
        return std::nullopt;
    }
    return document.object();
}

std::optional<int> StudioNumber(const QString& letter) {
    if (letter.size() != 1 || letter[0] < u'A' || letter[0] > u'E') {
        return std::nullopt;
    }
    return letter[0].unicode() - u'A';
}

QString StudioLetter(int studioNum) {
    return QString(QChar(u'A' + studioNum));
}

QJsonObject Unit(const StrobeData& u) {
    return {
        {QStringLiteral("channel"), u.nChNum + 1},
        {QStringLiteral("model_name"), u.sModelName},
        {QStringLiteral("light_name"), u.sLightName},
        {QStringLiteral("flash"), Level(u.nFlashValue)},
        {QStringLiteral("flash_on"), u.bFlashPow != 0},
        {QStringLiteral("model"), Level(u.nModelValue)},
        {QStringLiteral("model_on"), u.bModelPow != 0},
        {QStringLiteral("cell"), u.bFlashCell != 0},
        {QStringLiteral("sound"), u.bFlashSnd != 0},
        // As the grid shows them: only the value 1 lights the "P" and "C" icons.
        {QStringLiteral("model_mode"),
         u.nModelMode1 == 1 ? QStringLiteral("prop") : QStringLiteral("free")},
        {QStringLiteral("lamp_mode"),
         u.nModelMode2 == 1 ? QStringLiteral("continuous") : QStringLiteral("flash-prop")},
        {QStringLiteral("ticked"), u.bSelected != 0},
        {QStringLiteral("ready"), u.bFlashCharge != 0},
        {QStringLiteral("overheat"), u.nHeatLevel >= kOverheatLevel},
    };
}

QJsonObject UnitIn(const StudioData& studio, const StrobeData& unit) {
    QJsonObject object = Unit(unit);
    object.insert(QStringLiteral("studio"), StudioLetter(studio.nStudioNum));
    return object;
}

QJsonObject UnitIn(const StudioData& studio, const StrobeData& unit,
                   const CConfirmationTracker* confirmations) {
    QJsonObject object = UnitIn(studio, unit);
    const Confirmation state =
        confirmations ? confirmations->StateOf(unit) : Confirmation::Confirmed;
    object.insert(QStringLiteral("confirmed"),
                  state == Confirmation::Waiting        ? QStringLiteral("waiting")
                  : state == Confirmation::NotConfirmed ? QStringLiteral("no")
                                                        : QStringLiteral("yes"));
    return object;
}

std::optional<int> Tenths(const QJsonValue& value) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double tenths = value.toDouble() * 10.0;
    const double whole = std::round(tenths);
    if (!std::isfinite(tenths) || std::abs(tenths - whole) > 1e-6 || std::abs(whole) > 1e6) {
        return std::nullopt;
    }
    return static_cast<int>(whole);
}

QJsonValue Level(int tenths) {
    return tenths / 10.0;
}

QJsonObject Error(const QString& reason) {
    return {{QStringLiteral("error"), reason}};
}

QByteArray Compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

}  // namespace RemoteJson
