#include "FrameTestKit.h"

#include "link/ZbProtocol.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

namespace orvane::test {

using namespace std::chrono_literals;

FrameInFolder::FrameInFolder(int tickMs) : scanTickMs(tickMs) {
    EXPECT_TRUE(folder.isValid());
}

FrameInFolder::~FrameInFolder() = default;

CMainFrame& FrameInFolder::Make() {
    MainFrameOptions options;
    options.workDir = QDir(folder.path());
    options.messages = &messages;
    options.scanTickMs = scanTickMs;
    frame = std::make_unique<CMainFrame>(options);
    return *frame;
}

bool FrameOnPty::Start() {
    if (!pty.IsOpen() || !f.folder.isValid() || !WriteOptionFile(f.Folder(), pty.SlavePath())) {
        ADD_FAILURE() << "no pseudo-terminal or no Option.xml naming it";
        return false;
    }
    CMainFrame& frame = f.Make();
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame) ||
        !QTest::qWaitFor([&frame] { return frame.IsConnected(); }, 5000)) {
        ADD_FAILURE() << "the frame did not show or did not open " << pty.SlavePath().toStdString();
        return false;
    }
    return true;
}

void FrameOnPty::ExpectNothingWritten() {
    const std::vector<std::uint8_t> sentinel = {0xFF, 0x05, 0x00, 0x00, 0x45};
    Frame().Protocol().SendScanRequest(4);
    EXPECT_EQ(pty.Receive(sentinel.size()), sentinel) << "a frame went out before the sentinel";
}

void PrintTo(const PaneMessageLog::Entry& e, std::ostream* os) {
    static const char* const kPanes[] = {"studio list", "control", "navigation"};
    *os << "{" << kPanes[static_cast<int>(e.pane)] << ", WM_USER+"
        << static_cast<int>(e.message) - WM_USER << ", " << e.wParam << ", " << e.lParam << ", "
        << (e.duringCall ? "during the call" : "after the call")
        << (e.fromPane ? ", from a pane" : "") << "}";
}

PaneMessageLog::PaneMessageLog(CMainFrame& frame)
    : panes_{frame.StudioListPane(), frame.ControlPane(), frame.NavigationPane()} {
    frame.installEventFilter(this);
    for (const QPointer<QWidget>& pane : panes_) {
        if (pane) {
            pane->installEventFilter(this);
        }
    }
}

void PaneMessageLog::During(const std::function<void()>& call) {
    duringCall_ = true;
    call();
    duringCall_ = false;
}

bool PaneMessageLog::eventFilter(QObject* watched, QEvent* event) {
    const WindowMessageEvent* message = AsWindowMessage(event);
    if (!message) {
        return false;
    }
    ++traffic_;
    for (int i = 0; i < 3; ++i) {
        if (watched != panes_[i].data()) {
            continue;
        }
        entries.push_back({static_cast<Pane>(i), message->Message(), message->WParam(),
                           message->LParam(), duringCall_, paneDepth_ > 0});
        if (onEntry) {
            onEntry(entries.back());
        }
        // The pane handles the message inside this call, so that whatever it sends meanwhile is
        // known to come from a pane. A custom event goes nowhere but to event() anyway; only the
        // sender's return value is lost, and no sender in the program looks at it.
        ++paneDepth_;
        static_cast<QObject*>(watched)->event(event);
        --paneDepth_;
        return true;
    }
    return false;
}

QEvent::Type PaneMessageLog::SentinelType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool PaneMessageLog::event(QEvent* event) {
    if (event->type() == SentinelType()) {
        sentinelArrived_ = true;
        return true;
    }
    return QObject::event(event);
}

bool PaneMessageLog::Settle(int deadlineMs) {
    // Posted events are delivered in the order they were posted, so once a sentinel posted now
    // arrives, everything posted before it has been handled. A round in which nothing reached the
    // frame or a pane shows that the handling posted nothing further.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < deadlineMs) {
        const int before = traffic_;
        sentinelArrived_ = false;
        QCoreApplication::postEvent(this, new QEvent(SentinelType()));
        if (!QTest::qWaitFor([this] { return sentinelArrived_; }, deadlineMs)) {
            return false;
        }
        if (traffic_ == before) {
            return true;
        }
    }
    return false;
}

bool PaneMessageLog::WaitFor(Pane pane, Msg message, int deadlineMs) {
    return QTest::qWaitFor([&] { return Count(pane, message) > 0; }, deadlineMs);
}

std::vector<PaneMessageLog::Entry> PaneMessageLog::Routed() const {
    std::vector<Entry> result;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(result),
                 [](const Entry& e) { return !e.fromPane; });
    return result;
}

std::vector<PaneMessageLog::Entry> PaneMessageLog::Of(Pane pane) const {
    std::vector<Entry> result;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(result),
                 [pane](const Entry& e) { return e.pane == pane && !e.fromPane; });
    return result;
}

int PaneMessageLog::Count(Pane pane, Msg message) const {
    return static_cast<int>(std::count_if(entries.begin(), entries.end(), [&](const Entry& e) {
        return e.pane == pane && e.message == message && !e.fromPane;
    }));
}

ModalHand::ModalHand(Step step, int deadlineMs) : step_(std::move(step)), deadlineMs_(deadlineMs) {
    clock_.start();
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, &ModalHand::Poll);
    timer_.start();
}

void ModalHand::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != lastModal_) {
        lastModal_ = modal;
        ++modalsSeen_;
    }
    if (clock_.elapsed() > deadlineMs_) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            gaveUp_ = true;
            dialog->reject();
        }
        return;
    }
    if (modal && !finished_ && step_(modal)) {
        finished_ = true;
    }
}

int FrameInbox::Count(Msg message, bool duringModalOnly) const {
    return static_cast<int>(std::count_if(arrivals.begin(), arrivals.end(), [&](const Arrival& a) {
        return a.message == message && (a.duringModal || !duringModalOnly);
    }));
}

bool FrameInbox::eventFilter(QObject* /*watched*/, QEvent* event) {
    if (const WindowMessageEvent* message = AsWindowMessage(event)) {
        arrivals.push_back({message->Message(), QApplication::activeModalWidget() != nullptr});
    }
    return false;
}

Dongle::Dongle(std::vector<std::string> args) : args_(std::move(args)) {}

bool Dongle::Start() {
    std::vector<std::string> args = {"--link", (dir_.path() / "dongle").string(), "--log",
                                     (dir_.path() / "frames.log").string()};
    args.insert(args.end(), args_.begin(), args_.end());
    process_ = std::make_unique<sim::test::SimProcess>(args, dir_.path() / "stderr.txt");
    if (!process_->started()) {
        ADD_FAILURE() << "the simulator did not start";
        process_.reset();
        return false;
    }
    const std::optional<std::string> device = process_->readLine(10s);
    if (!device || device->empty() || device->front() != '/') {
        ADD_FAILURE() << "the simulator did not name its pty";
        process_.reset();
        return false;
    }
    devicePath_ = *device;
    return true;
}

QString Dongle::LinkPath() const {
    return QString::fromStdString((dir_.path() / "dongle").string());
}

std::optional<std::vector<std::string>> Dongle::Command(const std::string& line) {
    if (!process_) {
        return std::nullopt;
    }
    std::vector<std::string> answer;
    std::optional<std::string> next = process_->command(line, 10s);
    while (next) {
        answer.push_back(*next);
        if (*next == "ok") {
            return answer;
        }
        if (next->starts_with("error")) {
            return std::nullopt;
        }
        next = process_->readLine(10s);
    }
    return std::nullopt;
}

std::vector<std::string> Dongle::LoggedFrames() const {
    std::vector<std::string> frames;
    std::ifstream log(dir_.path() / "frames.log");
    std::string line;
    while (std::getline(log, line)) {
        const std::size_t space = line.find(' ');
        if (space != std::string::npos) {
            frames.push_back(line.substr(space + 1));
        }
    }
    return frames;
}

bool Dongle::Logged(const std::string& frame) const {
    return CountLogged(frame) > 0;
}

int Dongle::CountLogged(const std::string& frame) const {
    const std::vector<std::string> frames = LoggedFrames();
    return static_cast<int>(std::count(frames.begin(), frames.end(), frame));
}

std::vector<std::string> OpenFilesOfThisProcess() {
    std::vector<std::string> targets;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code ignored;
        const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), ignored);
        if (!ignored) {
            targets.push_back(target.string());
        }
    }
    return targets;
}

}  // namespace orvane::test
