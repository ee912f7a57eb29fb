// How long a remote request takes to reach the dongle: the same path as bench/PanelAction.cpp
// measures for a click, started by an HTTP request instead. The benchmark plays the dongle on a
// pseudo-terminal and talks to a real, shown main window with the remote interface on an
// ephemeral port, with a unit in Studio A slot 0 shown in the grid and Studio A as the scanned
// studio, so the interface's server, its routes, the panel's handlers, the protocol and the serial
// link all run as in the program.
//
// A sample starts when the client has handed the whole request to its socket (a fresh connection
// each time, opened beforehand: the interface takes one request per connection) and gives:
//   (none)     until the last byte of the 7-byte setting frame has been read on the dongle's end;
//   answered_  until the HTTP answer has been read whole by the client.
// The requests are PATCH {"flash": X} (the slider's road, a different level each time) and POST
// .../test (the Test button's road). Every frame is checked byte for byte, every answer for 200,
// and nothing else may reach the line.

#include "BenchSupport.h"
#include "commands/Commands.h"
#include "link/CommThread.h"
#include "link/UnitMask.h"
#include "model/StudioModel.h"
#include "platform/WindowMessage.h"
#include "remote/RemoteControl.h"
#include "shell/MainFrame.h"
#include "support/OptionXml.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <memory>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kGiveUp = std::chrono::milliseconds(2000);
constexpr int kWarmUpSamples = 50;
constexpr int kSamples = 2000;
constexpr int kSlot = 0;
constexpr int kModelValue = 30;
constexpr std::size_t kFrameLength = 7;

enum class Action { PatchFlash, TestFlash };

using Frame = std::array<std::uint8_t, kFrameLength>;

class Rig {
public:
    QString SetUp() {
        const QDir dir(workDir_.path());
        if (!workDir_.isValid() || !pty_.IsOpen() ||
            !WriteOptionFile(dir.path(), pty_.SlavePath(), 9600)) {
            return QStringLiteral("no scratch folder, pseudo-terminal or Option.xml");
        }
        CRemoteControl::Options options;
        options.endpoint.port = 0;
        options.tokenPath = dir.filePath(QStringLiteral("remote-token"));
        remote_ = std::make_unique<CRemoteControl>(options);
        MainFrameOptions frameOptions;
        frameOptions.workDir = dir;
        frameOptions.messages = &messages_;
        frame_ = std::make_unique<CMainFrame>(frameOptions);
        frame_->show();
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
        while (!frame_->IsConnected()) {
            if (Clock::now() > deadline) {
                return QStringLiteral("the main window never opened the port");
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        QString reason;
        if (!remote_->Start({frame_->Commands(), &frame_->Confirmations()}, reason)) {
            return reason;
        }
        QFile token(options.tokenPath);
        token.open(QIODevice::ReadOnly);
        authorization_ = "Authorization: Bearer " + token.readAll().trimmed() + "\r\n";

        // Studio A as a scan leaves it: selected, scanned, its unit shown in the tree and grid.
        StudioModel& model = frame_->Model();
        StudioData& studio = *model.pStudio[0];
        auto unit = std::make_unique<StrobeData>();
        unit->nFlashValue = 40;
        unit->nModelValue = kModelValue;
        model.PlaceUnit(kSlot, 0, std::move(unit));
        model.pSelTag = &studio;
        model.pScanStudio = &studio;
        SendWindowMessage(frame_->StudioListPane(), Msg::RebuildSelectedStudio);
        QCoreApplication::processEvents();
        unit_ = studio.Unit(kSlot);
        if (model.SelectedUnit() != unit_) {
            return QStringLiteral("the grid did not make the unit current");
        }
        pty_.Drain();
        return {};
    }

    QString Sample(Action action, int n, double& lastByteSeconds, double& answeredSeconds) {
        const int flash = 11 + (n * 29) % 71;
        const QByteArray body =
            action == Action::PatchFlash
                ? QByteArray("{\"flash\":") + QByteArray::number(flash / 10.0) + '}'
                : QByteArray();
        const QByteArray request =
            (action == Action::PatchFlash ? "PATCH /api/v1/studios/A/units/1 HTTP/1.1\r\n"
                                          : "POST /api/v1/studios/A/units/1/test HTTP/1.1\r\n") +
            authorization_ + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
            body;
        const std::uint16_t mask = MaskFromSlot(kSlot);
        const Frame expected = action == Action::PatchFlash
                                   ? Frame{0xFF,
                                           7,
                                           0x13,
                                           static_cast<std::uint8_t>(mask >> 8),
                                           static_cast<std::uint8_t>(mask),
                                           static_cast<std::uint8_t>(flash),
                                           kModelValue}
                                   : Frame{0xFF,
                                           7,
                                           0x1B,
                                           static_cast<std::uint8_t>(mask >> 8),
                                           static_cast<std::uint8_t>(mask),
                                           0,
                                           0};

        const int client = Connect();
        if (client < 0) {
            return QStringLiteral("cannot connect");
        }
        // The server takes the connection before the clock starts, on an idle line.
        QCoreApplication::processEvents();
        bench::WaitForIdleLine(frame_->Link());
        Frame got{};
        std::size_t have = 0;
        QByteArray answer;
        const Clock::time_point start = Clock::now();
        ::send(client, request.constData(), static_cast<size_t>(request.size()), 0);
        Clock::time_point lastByte{};
        Clock::time_point answered{};
        const Clock::time_point deadline = start + kGiveUp;
        while (have < got.size() || answered == Clock::time_point{}) {
            QCoreApplication::processEvents();
            if (have < got.size()) {
                if (const std::size_t read = pty_.ReadAvailable(std::span(got).subspan(have))) {
                    have += read;
                    lastByte = Clock::now();
                }
            }
            std::array<char, 1024> buffer{};
            const ssize_t n2 = ::recv(client, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (n2 > 0) {
                answer.append(buffer.data(), n2);
            } else if (n2 == 0 && answered == Clock::time_point{}) {
                answered = Clock::now();
            }
            if (Clock::now() > deadline) {
                ::close(client);
                return QStringLiteral("%1 of 7 frame bytes, answer %2")
                    .arg(have)
                    .arg(QString::fromLatin1(answer.left(40)));
            }
        }
        ::close(client);
        if (got != expected) {
            return QStringLiteral("wrong frame");
        }
        if (!answer.startsWith("HTTP/1.1 200")) {
            return QStringLiteral("answer: ") + QString::fromLatin1(answer.left(200));
        }
        QCoreApplication::processEvents();
        std::array<std::uint8_t, 64> extra{};
        if (pty_.ReadAvailable(extra) != 0) {
            return QStringLiteral("more bytes followed the frame");
        }
        lastByteSeconds = std::chrono::duration<double>(lastByte - start).count();
        answeredSeconds = std::chrono::duration<double>(answered - start).count();
        return {};
    }

    QString Afterwards() const {
        return messages_.Shown().isEmpty()
                   ? QString()
                   : QStringLiteral("a message box came up: ") + messages_.Shown().first();
    }

    ~Rig() {
        if (remote_) {
            remote_->Stop();
        }
        frame_.reset();
    }

private:
    int Connect() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(remote_->Port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    QTemporaryDir workDir_;
    bench::PseudoTerminal pty_;
    bench::SilentMessageBox messages_;
    std::unique_ptr<CRemoteControl> remote_;
    std::unique_ptr<CMainFrame> frame_;
    QByteArray authorization_;
    StrobeData* unit_ = nullptr;
};

void BM_RemoteRequestToLastByte(benchmark::State& state, Action action) {
    Rig rig;
    if (const QString error = rig.SetUp(); !error.isEmpty()) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    double lastByte = 0.0;
    double answered = 0.0;
    int n = 0;
    for (; n < kWarmUpSamples; ++n) {
        if (const QString error = rig.Sample(action, n, lastByte, answered); !error.isEmpty()) {
            state.SkipWithError(("warm-up: " + error).toStdString().c_str());
            return;
        }
    }
    bench::Samples lastByteSamples(static_cast<std::size_t>(state.max_iterations));
    bench::Samples answeredSamples(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        if (const QString error = rig.Sample(action, n++, lastByte, answered); !error.isEmpty()) {
            state.SkipWithError(error.toStdString().c_str());
            break;
        }
        state.SetIterationTime(lastByte);
        lastByteSamples.Add(lastByte);
        answeredSamples.Add(answered);
    }
    if (state.error_occurred()) {
        return;
    }
    if (const QString error = rig.Afterwards(); !error.isEmpty()) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    lastByteSamples.Report(state);
    answeredSamples.Report(state, "answered_");
}
BENCHMARK_CAPTURE(BM_RemoteRequestToLastByte, patch_flash, Action::PatchFlash)
    ->UseManualTime()
    ->Iterations(kSamples)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RemoteRequestToLastByte, test_flash, Action::TestFlash)
    ->UseManualTime()
    ->Iterations(kSamples)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
