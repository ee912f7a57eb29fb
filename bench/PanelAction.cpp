// How long a user's action in the control panel takes to reach the dongle. The benchmark plays the
// dongle on a pseudo-terminal and talks to a real, shown main window that found the port through
// its own Option.xml, with a unit in Studio A slot 0 as the unit of the selection, so the panel's
// real handlers, the protocol and the serial link run as in the program.
//
// A sample starts just before the mouse press is delivered (a press and a release on the flash
// power slider's thumb, or a click on the Test button) and gives two figures:
//   returned_  until the mouse calls have returned: the handler writes the frame synchronously on
//              the user-interface thread, so this is the moment the link's write has returned;
//   (none)     until the last byte of the 7-byte setting frame has been read on the dongle's end.
// The two differ by the time the kernel takes to hand the written bytes from the terminal's
// program end to its dongle end, which it does in a worker of its own: on a loaded machine that
// worker waits for a processor. Every frame is checked byte for byte, and nothing else may arrive
// after it.
//
// A pseudo-terminal does not pace bytes at the line rate: the 7 bytes take about 7 ms on the wire
// at 9600 baud, which is not part of these figures. Each sample starts once the link reckons the
// line idle, since the link holds a frame back while the line is still carrying the last one.

#include "BenchFrame.h"
#include "link/CommThread.h"
#include "link/UnitMask.h"
#include "model/StudioModel.h"
#include "platform/WindowMessage.h"
#include "shell/MainFrame.h"
#include "toolkit/CoolSliderCtrl.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWarmUpSamples = 50;
constexpr int kSamples = 2000;
constexpr int kSlot = 0;
constexpr int kMinPower = 11;
constexpr int kPowerSteps = 71;  // 11..81
constexpr int kModelValue = 30;
constexpr std::size_t kFrameLength = 7;
constexpr std::uint8_t kFlashPowerCommand = 0x13;
constexpr std::uint8_t kTestFlashCommand = 0x1B;

enum class Action { SliderRelease, TestClick };

using Frame = std::array<std::uint8_t, kFrameLength>;

// The frame the panel must write for a sample: start, length, command, the unit's slot mask (high
// byte first), then flash and lamp power for the slider, two zero bytes for a test flash.
Frame Expected(Action action, int flashValue) {
    const std::uint16_t mask = MaskFromSlot(kSlot);
    const auto byte = [](int value) { return static_cast<std::uint8_t>(value); };
    if (action == Action::SliderRelease) {
        return {0xFF,
                byte(kFrameLength),
                kFlashPowerCommand,
                byte(mask >> 8),
                byte(mask & 0xFF),
                byte(flashValue),
                byte(kModelValue)};
    }
    return {0xFF, byte(kFrameLength), kTestFlashCommand, byte(mask >> 8), byte(mask & 0xFF), 0, 0};
}

// Where the slider's thumb is drawn, found the way the slider's own hit test finds it.
QPoint ThumbCentre(const COXCoolSliderCtrl& slider) {
    QStyleOptionSlider option;
    option.initFrom(&slider);
    option.subControls = QStyle::SC_None;
    option.activeSubControls = QStyle::SC_None;
    option.orientation = slider.orientation();
    option.minimum = slider.minimum();
    option.maximum = slider.maximum();
    option.sliderPosition = slider.sliderPosition();
    option.sliderValue = slider.value();
    option.singleStep = slider.singleStep();
    option.pageStep = slider.pageStep();
    option.tickPosition = slider.tickPosition();
    option.tickInterval = slider.tickInterval();
    option.upsideDown =
        slider.invertedAppearance() != (slider.layoutDirection() == Qt::RightToLeft);
    return slider.style()
        ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider)
        .center();
}

// The main window attached to a pseudo-terminal, connected, with a unit in Studio A slot 0 as the
// unit of the selection and shown in the control panel.
class Rig : public bench::FrameOnTerminal {
public:
    // Empty when everything is in place, otherwise what went wrong.
    QString SetUp() {
        QWidget* panel = Window().ControlPane();
        StudioModel& model = Window().Model();
        auto placed = std::make_unique<StrobeData>();
        placed->bFlashPow = 1;  // switched on, or the panel disables its controls
        placed->nFlashValue = 40;
        placed->nModelValue = kModelValue;
        placed->nModelMode1 = 0;  // "Free": the lamp power does not follow the flash power
        if (model.PlaceUnit(kSlot, 0, std::move(placed))) {
            return QStringLiteral("Studio A refused the unit");
        }
        unit_ = model.pStudio[0]->Unit(kSlot);
        if (!unit_ || unit_->pParent != model.pStudio[0].get()) {
            return QStringLiteral("the unit is not in Studio A");
        }
        unit_->nItemKind = TreeItemTag::UnitLine;
        model.pSelTag = unit_;
        SendWindowMessage(panel, Msg::ShowSelectedUnit);
        QCoreApplication::processEvents();

        slider_ = panel->findChild<COXCoolSliderCtrl*>(QStringLiteral("flashSlider"));
        test_ = panel->findChild<QAbstractButton*>(QStringLiteral("testButton"));
        if (!slider_ || !test_) {
            return QStringLiteral("the panel has no flashSlider or testButton");
        }
        if (!slider_->isVisible() || !slider_->isEnabled() || !test_->isVisible() ||
            !test_->isEnabled()) {
            return QStringLiteral("the panel does not offer the unit's controls");
        }
        Pty().Drain();
        return {};
    }

    // One action and its frame. Fills in both latencies; empty, or what went wrong.
    QString Sample(Action action, int n, double& returnedSeconds, double& lastByteSeconds) {
        int flashValue = 0;
        QPoint at;
        if (action == Action::SliderRelease) {
            // A different value every time, set the way the program sets it, which the slider
            // does not report; the release then sends wherever the thumb is.
            flashValue = kMinPower + (n * 29) % kPowerSteps;
            slider_->SetPos(flashValue);
            at = ThumbCentre(*slider_);
        } else {
            at = test_->rect().center();
        }
        const Frame expected = Expected(action, flashValue);
        Frame got{};
        std::size_t have = 0;

        bench::WaitForIdleLine(Window().Link());
        const Clock::time_point start = Clock::now();
        if (action == Action::SliderRelease) {
            QTest::mousePress(slider_, Qt::LeftButton, Qt::NoModifier, at);
            QTest::mouseRelease(slider_, Qt::LeftButton, Qt::NoModifier, at);
        } else {
            QTest::mouseClick(test_, Qt::LeftButton, Qt::NoModifier, at);
        }
        const Clock::time_point returned = Clock::now();
        Clock::time_point lastByte = returned;
        const Clock::time_point deadline = start + bench::kSampleGiveUp;
        while (have < got.size()) {
            const std::size_t read = Pty().ReadAvailable(std::span(got).subspan(have));
            if (read > 0) {
                have += read;
                lastByte = Clock::now();
            } else if (Clock::now() > deadline) {
                return QStringLiteral("only %1 of %2 frame bytes arrived")
                    .arg(have)
                    .arg(got.size());
            }
        }
        returnedSeconds = std::chrono::duration<double>(returned - start).count();
        lastByteSeconds = std::chrono::duration<double>(lastByte - start).count();

        if (got != expected) {
            return QStringLiteral("wrong frame: %1, expected %2")
                .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(got.data()),
                                                    static_cast<qsizetype>(got.size()))
                                             .toHex(' ')),
                     QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(expected.data()),
                                                    static_cast<qsizetype>(expected.size()))
                                             .toHex(' ')));
        }
        // Let the messages the handler posted be handled, as the event loop would, before looking
        // for anything written after the frame.
        QCoreApplication::processEvents();
        std::array<std::uint8_t, 64> extra{};
        if (const std::size_t more = Pty().ReadAvailable(extra); more != 0) {
            return QStringLiteral("%1 more bytes followed the frame").arg(more);
        }
        if (action == Action::SliderRelease && unit_->nFlashValue != flashValue) {
            return QStringLiteral("the unit holds flash power %1, the slider said %2")
                .arg(unit_->nFlashValue)
                .arg(flashValue);
        }
        return {};
    }

private:
    StrobeData* unit_ = nullptr;
    COXCoolSliderCtrl* slider_ = nullptr;
    QAbstractButton* test_ = nullptr;
};

void BM_PanelActionToLastByte(benchmark::State& state, Action action) {
    Rig rig;
    bench::Samples returnedSamples(static_cast<std::size_t>(state.max_iterations));
    bench::Samples lastByteSamples(static_cast<std::size_t>(state.max_iterations));
    const auto sample = [&](int n, double& lastByte, bool timed) {
        double returned = 0.0;
        const QString error = rig.Sample(action, n, returned, lastByte);
        if (timed && error.isEmpty()) {
            returnedSamples.Add(returned);
            lastByteSamples.Add(lastByte);
        }
        return error;
    };
    if (bench::RunSampled(state, rig, kWarmUpSamples, sample)) {
        lastByteSamples.Report(state);
        returnedSamples.Report(state, "returned_");
    }
}
constexpr auto kTimed = &bench::TimedInMicroseconds<kSamples>;
BENCHMARK_CAPTURE(BM_PanelActionToLastByte, slider_release, Action::SliderRelease)->Apply(kTimed);
BENCHMARK_CAPTURE(BM_PanelActionToLastByte, test_click, Action::TestClick)->Apply(kTimed);

}  // namespace
