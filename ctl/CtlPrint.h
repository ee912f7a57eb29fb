#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// How orvane-ctl writes the program's answers for a person to read.
namespace CtlPrint {

QString Status(const QJsonObject& status);
// One line per unit: "CH-03  Key / Left  flash 5.5  model 3.0 (off)  free  continuous  ..."
QString Unit(const QJsonObject& unit);
QString Units(const QJsonArray& units);
QString Event(const QByteArray& name, const QJsonObject& data);
// The steps of the history, newest first, the one undo would take marked with '>'.
QString History(const QJsonObject& history);

}  // namespace CtlPrint
