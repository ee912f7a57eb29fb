#include "remote/RemoteJson.h"

#include "model/StudioModel.h"

#include <QJsonDocument>

#include <cmath>

namespace RemoteJson {

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
