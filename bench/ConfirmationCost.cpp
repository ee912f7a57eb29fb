// What following changes until the units confirm them adds to the report path: a status report of
// a unit in slot 2, decoded and handled, with the event handler alone (BM_ReportWithoutTracker) and
// behind the tracker with 0, 1 or 10 units still waiting for an answer (BM_ReportThroughTracker/N).
// In the program every report takes the second road; the difference is the bookkeeping's cost.

#include "link/ConfirmationTracker.h"
#include "link/ReceiveFramer.h"
#include "link/ReceiveQueue.h"
#include "link/StrobeEventHandler.h"
#include "link/ZbProtocol.h"
#include "model/StudioModel.h"

#include <QObject>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>

namespace {

// Slot 2's status: switched on, flash 5.0, lamp 4.0, nothing else set.
constexpr std::array<std::uint8_t, 14> kStatusReport = {0xFF, 0x0E, 0x01, 0x00, 0x04, 1, 50,
                                                        40,   0,    0,    0,    0,    1, 0};

struct Studio {
    Studio() {
        StudioData* studio = model.Studio(0);
        studio->nItemKind = TreeItemTag::StudioLine;
        model.pSelTag = studio;
        for (int slot = 0; slot < kSlotCount; ++slot) {
            model.PlaceUnit(slot, 0, std::make_unique<StrobeData>());
        }
    }
    StudioModel model;
    QObject frame;  // takes what the handler sends and posts, and does nothing with it
    CStrobeEventHandler handler{&frame, &model};
};

void Decode(benchmark::State& state, CZbProtocol& protocol) {
    CReceiveFramer framer(protocol);
    ReceiveQueue queue;
    for (auto _ : state) {
        queue.Push(kStatusReport);
        framer.Run(queue);
    }
}

void BM_ReportWithoutTracker(benchmark::State& state) {
    Studio studio;
    CZbProtocol protocol(&studio.handler, nullptr);
    Decode(state, protocol);
}
BENCHMARK(BM_ReportWithoutTracker)->Unit(benchmark::kNanosecond);

void BM_ReportThroughTracker(benchmark::State& state) {
    Studio studio;
    CConfirmationTracker tracker(studio.handler, studio.model);
    CZbProtocol protocol(&tracker, nullptr);
    protocol.SetSendObserver(&tracker);
    // Units asked for a flash power they have not confirmed: slot 2 answers with another one.
    for (int slot = 0; slot < state.range(0); ++slot) {
        StrobeData* unit = studio.model.Studio(0)->Unit(slot);
        unit->nFlashValue = 60;
        protocol.SendSetting(0, unit, SettingType::FlashPower);
    }
    Decode(state, protocol);
}
BENCHMARK(BM_ReportThroughTracker)->Arg(0)->Arg(1)->Arg(10)->Unit(benchmark::kNanosecond);

}  // namespace
