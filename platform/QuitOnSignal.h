#pragma once

#include <QObject>

#include <array>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a normal quit of the event loop, so that the program shuts
// down the way closing its window does: port closed, reader joined, everything freed.
class CQuitOnSignal final : public QObject {
public:
    explicit CQuitOnSignal(QObject* parent = nullptr);
    ~CQuitOnSignal() override;

private:
    std::array<int, 2> pipe_{-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};
