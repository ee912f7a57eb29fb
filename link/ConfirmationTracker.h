#pragma once

#include "link/SendObserver.h"
#include "link/ZbEventHandler.h"

#include <QBasicTimer>
#include <QObject>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class StudioModel;

// Whether a unit has taken what the program last sent it.
enum class Confirmation {
    Confirmed,     // nothing sent is still unanswered (or the answer is only just due)
    Waiting,       // sent a moment ago and not yet answered
    NotConfirmed,  // no matching answer within kConfirmTimeoutMs; until one arrives
};

// The settings of a unit whose confirmation the panel shows on one of its read-outs.
enum class ConfirmationGroup { Flash, Model };

// Follows every change sent to units until each addressed unit reports the value that was sent: a
// setting report of that type, a status report, or a power table carrying it; a test flash until
// the unit reports it fired. Only the latest value sent counts, as the frame carried it. The
// tracker stands between the decoder and the event handler, so it sees each report right after the
// handler has put it into the records, and it is told of each frame the protocol handed to the
// line; a frame replaced while it waited for the line is never told of, and never waited for.
//
// User-interface thread only.
class CConfirmationTracker final : public QObject, public CZbEventHandler, public CSendObserver {
    Q_OBJECT
public:
    // How long a unit may take to answer before it counts as not confirmed.
    static constexpr std::int64_t kConfirmTimeoutMs = 1000;
    // A shorter wait is not shown at all, so that a quick answer never flickers on the screen.
    static constexpr std::int64_t kWaitingShownMs = 150;

    using Clock = std::function<std::int64_t()>;  // milliseconds, never going back

    // handler gets every report first; the model resolves slots to units as the handler does.
    CConfirmationTracker(CZbEventHandler& handler, const StudioModel& model, Clock clock = {});

    Confirmation StateOf(const StrobeData& unit) const;
    Confirmation StateOf(const StrobeData& unit, ConfirmationGroup group) const;

    // Called for each unit whose shown state (overall or of a group) changed.
    void SetOnChanged(std::function<void(StrobeData&)> onChanged);

    // Moves the shown states on to the clock's time; the tracker's own timer calls this while
    // anything is unanswered.
    void Tick();

signals:
    // The same news as SetOnChanged's, for those other than the window that follow it.
    void StateChanged(StrobeData* unit);

public:
    int OnUnitStatus(int nSlot, const StrobeData& status, int nReserved) override;
    int OnSettingReport(std::uint8_t nType, int nSlot, int nValue,
                        std::span<const std::uint8_t> frame) override;
    int OnStateReport(std::uint8_t nCode, int nSlot, std::uint8_t nValue) override;
    int OnMonitorReport(std::uint8_t nCode, int nSlot, std::uint8_t nValue) override;

    void OnFrameSent(const SentFrame& sent) override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    // What a unit is asked to take, one entry per setting.
    enum Item {
        FlashPower,
        ModelPower,
        Mode1,
        Mode2,
        Cell,
        Sound,
        FlashSwitch,
        LampSwitch,
        TestFlash,
        kItemCount
    };
    struct ItemInfo;
    static const std::array<ItemInfo, kItemCount> kItems;

    struct Expected {
        bool open = false;
        int value = 0;
        std::int64_t sentMs = 0;
    };
    struct Shown {
        Confirmation unit = Confirmation::Confirmed;
        Confirmation flash = Confirmation::Confirmed;
        Confirmation model = Confirmation::Confirmed;
        friend bool operator==(const Shown&, const Shown&) = default;
    };
    struct Record {
        StrobeData* unit = nullptr;
        std::uint64_t serial = 0;
        std::array<Expected, kItemCount> expected{};
        Shown shown;
    };

    static int ValueOf(const StrobeSettings& settings, Item item);
    static bool ItemOf(SettingType type, Item& item);

    Record* Find(const StrobeData& unit);
    const Record* Find(const StrobeData& unit) const;
    void Expect(const StrobeData& unit, Item item, int value);
    // Calls visit for every live unit the frame reached.
    template <class Visit>
    void ForEachAddressed(const SentFrame& sent, Visit visit) const;
    // Closes what was sent to the unit for the items a report covered, where the values the report
    // carried are those sent; a value the unit's record kept because the report's was unusable
    // confirms nothing. Whether anything that was waiting was closed.
    bool Match(StrobeData* unit, std::initializer_list<Item> items, const StrobeSettings& reported);
    StrobeData* UnitAt(int slot) const;
    static Confirmation StateOf(const Expected& expected, std::int64_t now);
    static Shown ShownOf(const Record& record, std::int64_t now);
    // Tells of every changed record, forgets the dead and the settled, and runs the timer only
    // while something can still change by time alone.
    void Publish();

    CZbEventHandler& handler_;
    const StudioModel& model_;
    Clock clock_;
    std::function<void(StrobeData&)> onChanged_;
    std::vector<Record> records_;
    QBasicTimer timer_;
    std::int64_t timerDueMs_ = -1;  // when the running timer fires; -1: it is stopped
};
