#include "link/CommThread.h"

#include "platform/AlertEvent.h"
#include "platform/PortCheck.h"
#include "platform/WindowMessage.h"

#include <QLoggingCategory>

#include <array>
#include <cerrno>
#include <system_error>

Q_LOGGING_CATEGORY(lcLink, "orvane.link", QtWarningMsg)

namespace {
const QString kAlertCaption = QStringLiteral("CCommThread");
}

CCommThread::CCommThread(QObject* notifyWindow) : commNotifyWindow_(notifyWindow) {}

CCommThread::~CCommThread() {
    StopReaderAndClose();
}

int CCommThread::Open(const PortSettings& settings) {
    if (IsConnected() && readerRunning_.load(std::memory_order_acquire)) {
        return 0;
    }
    // A reader that ended on its own (a pulled device) leaves its port open until now.
    StopReaderAndClose();

    portPath_ = CSerialDevice::PathForPort(settings.sPortName);
    PortReport report;
    report.port = settings.sPortName;
    report.path = portPath_;
    // A rate of 0 would divide by zero in the write time-out, and no line runs at it anyway.
    if (settings.nBaudRate <= 0) {
        report.problem = PortProblem::LineSettingsRefused;
        report.error = EINVAL;
        lastOpen_ = std::move(report);
        return 0;
    }
    const SerialLineSettings line{settings.nBaudRate, settings.nDataBits, settings.nStopBits,
                                  settings.nParity};
    if (!device_.Open(portPath_, line)) {
        report.problem = device_.LastOpenProblem();
        report.error = device_.LastOpenError();
        if (report.problem == PortProblem::InUse) {
            report.holder = HolderAfterRefusal();
        }
        lastOpen_ = std::move(report);
        return 0;
    }
    writeMsPerByte_ = WriteMsPerByteFor(settings.nBaudRate);
    lineClock_.SetBaudRate(settings.nBaudRate);
    bufferFullTold_.store(false, std::memory_order_relaxed);
    connected_.store(1, std::memory_order_release);
    readerRunning_.store(true, std::memory_order_release);
    try {
        reader_ = std::thread(&CCommThread::ThreadWatchComm, this);
    } catch (const std::system_error& error) {
        readerRunning_.store(false, std::memory_order_release);
        PostAlert(commNotifyWindow_, kAlertCaption,
                  QStringLiteral("Error while creating ThreadWatchComm, ") + portPath_);
        Close();
        report.problem = PortProblem::Other;
        report.error = error.code().value();
        lastOpen_ = std::move(report);
        return 0;
    }
    report.open = true;
    lastOpen_ = std::move(report);
    qCDebug(lcLink) << "opened" << portPath_ << settings.nBaudRate;
    return 1;
}

std::optional<PortHolder> CCommThread::HolderAfterRefusal() const {
    // Walking every process's descriptors takes milliseconds, and the port is retried every half
    // second: the holder found on the last try is asked first, and a holder the walk could not
    // find is not looked for again while the port stays refused. A lock is cheap to read anew.
    const bool sameSpell = lastOpen_.problem == PortProblem::InUse && lastOpen_.path == portPath_;
    if (sameSpell && !lastOpen_.holder) {
        return PortCheck::FindLockHolder(portPath_, false);
    }
    return PortCheck::FindHolder(portPath_, lastOpen_.holder ? lastOpen_.holder->pid : 0);
}

void CCommThread::Close() {
    StopReaderAndClose();
    lastOpen_.open = false;
}

void CCommThread::StopReaderAndClose() {
    connected_.store(0, std::memory_order_release);
    device_.Wake();
    if (reader_.joinable()) {
        reader_.join();
    }
    device_.Purge();
    device_.Close();
}

int CCommThread::Write(std::span<const std::uint8_t> bytes) {
    if (!IsConnected() || bytes.empty()) {
        return 0;
    }
    const LineClock::Clock::time_point now = LineClock::Clock::now();
    const int written = device_.Write(bytes, WriteTimeoutMs(bytes.size()));
    lineClock_.Handed(static_cast<std::size_t>(written), now);
    return written;
}

std::chrono::nanoseconds CCommThread::LineBusyFor() const {
    if (!IsConnected()) {
        return {};
    }
    const std::chrono::nanoseconds byClock = lineClock_.BusyFor(LineClock::Clock::now());
    const std::chrono::nanoseconds byDriver = lineClock_.ByteTime() * device_.BytesUnsent();
    return std::max(byClock, byDriver);
}

int CCommThread::Read(std::span<std::uint8_t> buffer) {
    if (device_.BytesWaiting() == 0) {
        return 0;
    }
    return device_.Read(buffer.first(std::min<std::size_t>(buffer.size(), kReadChunk)));
}

void CCommThread::ThreadWatchComm() {
    std::array<std::uint8_t, kReadChunk> buffer{};
    while (connected_.load(std::memory_order_acquire) == 1) {
        const CSerialDevice::WaitResult event = device_.Wait();
        if (event != CSerialDevice::WaitResult::Readable) {
            break;
        }
        int n = 0;
        do {
            n = Read(buffer);
            const auto batch =
                std::span<const std::uint8_t>(buffer).first(static_cast<std::size_t>(n));
            // A batch that does not fit whole is dropped whole; what is queued stays.
            if (!queue_.Push(batch) && !bufferFullTold_.exchange(true)) {
                PostAlert(commNotifyWindow_, kAlertCaption, QStringLiteral("Buffer full"));
            }
        } while (n != 0);
        PostWindowMessage(commNotifyWindow_, Msg::BytesWaiting);
    }
    // Cleared first, so that a reopen triggered by ReaderEnded finds the port free.
    readerRunning_.store(false, std::memory_order_release);
    PostWindowMessage(commNotifyWindow_, Msg::ReaderEnded);
}
