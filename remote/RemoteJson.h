#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

class CConfirmationTracker;
struct StrobeData;
struct StudioData;

// How the remote interface writes and reads the program's things: studios by letter ("A".."E"),
// units by the channel the screen shows (CH-01 is 1), power levels as numbers of one decimal (5.5
// is kept as 55 tenths).
namespace RemoteJson {

// 0..4 for "A".."E"; empty for anything else.
std::optional<int> StudioNumber(const QString& letter);
QString StudioLetter(int studioNum);

QJsonObject Unit(const StrobeData& unit);
QJsonObject UnitIn(const StudioData& studio, const StrobeData& unit);
// With "confirmed": "yes", "waiting" or "no"; without a tracker every unit reads as confirmed.
QJsonObject UnitIn(const StudioData& studio, const StrobeData& unit,
                   const CConfirmationTracker* confirmations);

// A number of tenths from a JSON number that is a whole number of tenths (5.5, -0.3, 8); empty
// for anything else.
std::optional<int> Tenths(const QJsonValue& value);
// "5.5" as a JSON number.
QJsonValue Level(int tenths);

// A request's body as a JSON object, or empty with the reason: not JSON, not an object, or an
// object (at any depth) that holds a key twice, which Qt's reader would take silently with the
// last value winning.
std::optional<QJsonObject> StrictObject(const QByteArray& body, QString& reason);

// The body of an error answer.
QJsonObject Error(const QString& reason);
QByteArray Compact(const QJsonObject& object);

}  // namespace RemoteJson
