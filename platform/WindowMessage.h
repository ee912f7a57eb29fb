#pragma once

#include <QCoreApplication>
#include <QEvent>

#include <cstdint>

// The program's private messages have fixed numbers counted from WM_USER, so that a number seen in
// a log or a trace always names the same message.
inline constexpr int WM_USER = 0x400;

enum class Msg : int {
    UnitPlaced = WM_USER + 10,             // main frame -> studio list: a new unit was placed
    ApplyName = WM_USER + 11,              // main frame -> studio list: "Name" command
    ScanStarted = WM_USER + 12,            // main frame -> studio list: a scan of a studio started
    RebuildSelectedStudio = WM_USER + 13,  // control panel -> studio list: rebuild after Load
    ShowStudio = WM_USER + 20,             // studio list -> navigation view
    SelectUnitRow = WM_USER + 21,          // studio list -> navigation view
    UnitAdded = WM_USER + 22,              // studio list -> navigation view
    UnitSettingChanged = WM_USER + 23,     // main frame / control panel -> navigation view
    UnitRefreshed = WM_USER + 24,          // main frame -> navigation view
    TickedUnitsChanged = WM_USER + 25,     // group panel -> navigation view
    PanelModeChanged = WM_USER + 26,       // control panel -> navigation view
    ShowSelectedUnit = WM_USER + 30,       // navigation grid -> control panel
    StudioHasNoUnits = WM_USER + 31,       // navigation view -> control panel
    SelectedUnitSettingChanged = WM_USER + 32,  // main frame -> control panel
    SelectedUnitRefreshed = WM_USER + 33,       // main frame -> control panel
    SaveCommand = WM_USER + 34,                 // main frame -> control panel
    LoadCommand = WM_USER + 35,                 // main frame -> control panel
    EnableCommand = WM_USER + 50,               // views -> main frame: toolbar command on/off
    BytesWaiting = WM_USER + 60,                // reader thread -> main frame
    ReaderEnded = WM_USER + 61,                 // reader thread -> main frame: link lost
    UnitCreated = WM_USER + 70,                 // event handler -> main frame
    UnitStatusRefreshed = WM_USER + 71,         // event handler -> main frame
    UnitSettingReported = WM_USER + 72,         // event handler -> main frame
    RescanSelectedStudio = WM_USER + 73,        // studio list -> main frame
    UnitConfirmationChanged = WM_USER + 74,     // main frame -> navigation view, control panel
};

// One window message travelling as a Qt event. lParam carries a record pointer (the model owns the
// record; a receiver never frees it) or a plain number.
//
// A posted message may be delivered after its record is gone, and a new record may since have
// been made at the same address. Such a message carries the record's stamp as well: a number the
// owner never gives twice, so the receiver can ask the owner whether the record it names still
// lives before touching it. Stamp 0 names no record.
class WindowMessageEvent final : public QEvent {
public:
    WindowMessageEvent(Msg message, std::intptr_t wParam, std::intptr_t lParam,
                       std::uint64_t stamp = 0)
        : QEvent(Type()), message_(message), wParam_(wParam), lParam_(lParam), stamp_(stamp) {}

    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    Msg Message() const { return message_; }
    std::intptr_t WParam() const { return wParam_; }
    std::intptr_t LParam() const { return lParam_; }
    std::uint64_t Stamp() const { return stamp_; }

    template <class Record>
    Record* LParamAs() const {
        return reinterpret_cast<Record*>(lParam_);
    }

private:
    Msg message_;
    std::intptr_t wParam_;
    std::intptr_t lParam_;
    std::uint64_t stamp_;
};

template <class Record>
std::intptr_t AsLParam(Record* record) {
    return reinterpret_cast<std::intptr_t>(record);
}

// Returns the message an event carries, or nullptr for every other event.
inline const WindowMessageEvent* AsWindowMessage(const QEvent* event) {
    return event->type() == WindowMessageEvent::Type()
               ? static_cast<const WindowMessageEvent*>(event)
               : nullptr;
}

// Posted: queued for the receiver's thread and handled later, in order of posting. Safe from any
// thread; Qt drops what is still queued for a receiver that is destroyed.
inline void PostWindowMessage(QObject* receiver, Msg message, std::intptr_t wParam = 0,
                              std::intptr_t lParam = 0, std::uint64_t stamp = 0) {
    QCoreApplication::postEvent(receiver, new WindowMessageEvent(message, wParam, lParam, stamp));
}

// Sent: handled before the call returns. The receiver must live on the calling thread.
inline bool SendWindowMessage(QObject* receiver, Msg message, std::intptr_t wParam = 0,
                              std::intptr_t lParam = 0) {
    WindowMessageEvent event(message, wParam, lParam);
    return QCoreApplication::sendEvent(receiver, &event);
}
