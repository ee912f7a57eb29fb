#include "remote/EventFeed.h"

#include "commands/Commands.h"
#include "link/ConfirmationTracker.h"
#include "model/StudioModel.h"
#include "remote/RemoteJson.h"

CEventFeed::CEventFeed(CCommands& commands, const CConfirmationTracker* confirmations)
    : commands_(commands), model_(commands.Model()), confirmations_(confirmations) {
    const ModelEvents& events = model_.Events();
    connect(&events, &ModelEvents::UnitPlaced, this,
            [this](StrobeData* unit) { TellUnit("unit-placed", unit); });
    connect(&events, &ModelEvents::UnitChanged, this,
            [this](StrobeData* unit, int, bool) { TellUnit("unit-changed", unit); });
    connect(&events, &ModelEvents::TickedUnitsChanged, this, [this](StudioData* studio, int) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const StrobeData* unit = studio->bChUsed[slot] ? studio->Unit(slot) : nullptr;
            if (unit && unit->bSelected) {
                TellUnit("unit-changed", unit);
            }
        }
    });
    connect(&events, &ModelEvents::TickChanged, this,
            [this](StrobeData* unit) { TellUnit("unit-changed", unit); });
    connect(&events, &ModelEvents::NamesChanged, this,
            [this](StrobeData* unit) { TellUnit("unit-changed", unit); });
    // A unit's confirmation mark changes with no change of its values: a page that shows the
    // mark learns it here.
    if (confirmations_) {
        connect(confirmations_, &CConfirmationTracker::StateChanged, this,
                [this](StrobeData* unit) { TellUnit("unit-changed", unit); });
    }
    connect(&commands_, &CCommands::LinkChanged, this, &CEventFeed::OnLinkChanged);
    for (const bool started : {true, false}) {
        connect(&commands_, started ? &CCommands::ScanStarted : &CCommands::ScanFinished, this,
                [this, started](StudioData* studio) {
                    emit Event(
                        "scan",
                        {{QStringLiteral("studio"), RemoteJson::StudioLetter(studio->nStudioNum)},
                         {QStringLiteral("state"),
                          started ? QStringLiteral("started") : QStringLiteral("finished")}});
                });
    }
    connect(&commands_, &CCommands::Undone, this,
            [this](const QString& step) { TellStep("undo", step); });
    connect(&commands_, &CCommands::Redone, this,
            [this](const QString& step) { TellStep("redo", step); });
    linkShown_ = commands_.Connected() ? 1 : 0;
}

void CEventFeed::OnLinkChanged() {
    // Told when the link comes or goes, not each time the port's reason is looked at again.
    const bool connected = commands_.Connected();
    if (linkShown_ == (connected ? 1 : 0)) {
        return;
    }
    linkShown_ = connected ? 1 : 0;
    emit Event("link", {{QStringLiteral("connected"), connected},
                        {QStringLiteral("port"), commands_.Port()},
                        {QStringLiteral("reason"), commands_.PortReason()}});
}

void CEventFeed::TellUnit(const QByteArray& name, const StrobeData* unit) {
    if (unit && unit->pParent) {
        emit Event(name, RemoteJson::UnitIn(*static_cast<const StudioData*>(unit->pParent), *unit,
                                            confirmations_));
    }
}

void CEventFeed::TellStep(const QByteArray& name, const QString& step) {
    emit Event(name, {{QStringLiteral("step"), step}});
}
