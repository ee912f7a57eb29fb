#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>

class CMainFrame;
class StudioModel;
struct StrobeData;
struct StudioData;

// What the window shows as it changes, told as events: the link coming and going, a scan starting
// and ending, units placed and changed. It only looks on: it watches the messages that reach the
// panes and the signals of the main frame, and changes nothing.
class CEventFeed final : public QObject {
    Q_OBJECT
public:
    explicit CEventFeed(CMainFrame& frame);

    bool Scanning() const { return scanning_; }
    // How many scans have started since the feed began: a scan that starts while a request is
    // still being taken shows here.
    int ScansStarted() const { return scansStarted_; }

signals:
    // name: "link", "scan", "unit-placed" or "unit-changed".
    void Event(const QByteArray& name, const QJsonObject& data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnConnectionShown(bool connected);
    void OnScan(const StudioData* studio, bool started);
    // A unit named by a message, told only once it is found in the model: a message may have
    // waited in the queue while its unit was freed.
    void TellUnit(const QByteArray& name, const StrobeData* unit);

    CMainFrame& frame_;
    StudioModel& model_;
    QObject* studioList_;
    QObject* navigation_;
    int linkShown_ = -1;  // unknown until the status bar first says
    bool scanning_ = false;
    int scansStarted_ = 0;
};
