#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>

class CCommands;
class CConfirmationTracker;
class StudioModel;
struct StrobeData;

// What changes in the program, told as events: the link coming and going, a scan starting and
// ending, units placed and changed (by the units' reports or by anyone's commands), steps undone
// and redone. It follows the model's notifications and the commands' signals, and changes nothing.
class CEventFeed final : public QObject {
    Q_OBJECT
public:
    // Without a tracker every unit reads as confirmed, and no confirmation is told.
    CEventFeed(CCommands& commands, const CConfirmationTracker* confirmations);

signals:
    // name: "link", "scan", "unit-placed", "unit-changed", "undo" or "redo".
    void Event(const QByteArray& name, const QJsonObject& data);

private:
    void OnLinkChanged();
    void TellUnit(const QByteArray& name, const StrobeData* unit);
    void TellStep(const QByteArray& name, const QString& step);

    CCommands& commands_;
    StudioModel& model_;
    const CConfirmationTracker* confirmations_;
    int linkShown_ = -1;  // unknown until the link is first told
};
