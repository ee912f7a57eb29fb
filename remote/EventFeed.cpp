#include "remote/EventFeed.h"

#include "model/StudioModel.h"
#include "platform/WindowMessage.h"
#include "remote/RemoteJson.h"
#include "shell/MainFrame.h"

CEventFeed::CEventFeed(CMainFrame& frame)
    : frame_(frame),
      model_(frame.Model()),
      studioList_(frame.StudioListPane()),
      navigation_(frame.NavigationPane()) {
    studioList_->installEventFilter(this);
    navigation_->installEventFilter(this);
    connect(&frame_, &CMainFrame::ConnectionShown, this, &CEventFeed::OnConnectionShown);
    connect(&frame_, &CMainFrame::ScanStarted, this,
            [this](const StudioData* studio) { OnScan(studio, true); });
    connect(&frame_, &CMainFrame::ScanFinished, this,
            [this](const StudioData* studio) { OnScan(studio, false); });
    linkShown_ = frame_.IsConnected() ? 1 : 0;
}

void CEventFeed::OnConnectionShown(bool connected) {
    // The reconnect timer says "disconnected" every half second while the port stays shut.
    if (linkShown_ == (connected ? 1 : 0)) {
        return;
    }
    linkShown_ = connected ? 1 : 0;
    emit Event("link", {{QStringLiteral("connected"), connected},
                        {QStringLiteral("port"), frame_.Settings().sPortName}});
}

void CEventFeed::OnScan(const StudioData* studio, bool started) {
    scanning_ = started;
    if (started) {
        ++scansStarted_;
    }
    emit Event("scan", {{QStringLiteral("studio"), RemoteJson::StudioLetter(studio->nStudioNum)},
                        {QStringLiteral("state"),
                         started ? QStringLiteral("started") : QStringLiteral("finished")}});
}

void CEventFeed::TellUnit(const QByteArray& name, const StrobeData* unit) {
    if (unit && unit->pParent) {
        emit Event(name, RemoteJson::UnitIn(*static_cast<const StudioData*>(unit->pParent), *unit));
    }
}

bool CEventFeed::eventFilter(QObject* watched, QEvent* event) {
    const WindowMessageEvent* m = AsWindowMessage(event);
    if (!m) {
        return false;
    }
    // Looked at before the pane handles it; the model already holds what the message tells. A
    // queued message's unit is looked up as the pane will look it up: one freed since is not told.
    const StrobeData* lParam =
        m->Stamp() != 0 ? model_.LiveUnit(m->LParam(), m->Stamp()) : m->LParamAs<StrobeData>();
    if (watched == studioList_ && m->Message() == Msg::UnitPlaced) {
        TellUnit("unit-placed", lParam);
    } else if (watched == navigation_) {
        switch (m->Message()) {
            case Msg::UnitSettingChanged:
                // lParam 0: the unit of the selection, as the grid takes it.
                TellUnit("unit-changed", lParam ? lParam : model_.SelectedUnit());
                break;
            case Msg::UnitRefreshed:
                TellUnit("unit-changed", lParam);
                break;
            case Msg::TickedUnitsChanged:
                // The group panel changed the ticked units of the studio of the selection.
                if (const StudioData* studio = model_.SelectedStudio()) {
                    for (int slot = 0; slot < kSlotCount; ++slot) {
                        const StrobeData* unit = studio->Unit(slot);
                        if (unit && unit->bSelected) {
                            TellUnit("unit-changed", unit);
                        }
                    }
                }
                break;
            default:
                break;
        }
    }
    return false;
}
