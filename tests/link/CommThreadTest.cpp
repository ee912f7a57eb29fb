#include "RecordingHandler.h"
#include "link/CommThread.h"
#include "link/ReceiveFramer.h"
#include "link/ZbProtocol.h"
#include "model/StrobeData.h"
#include "support/NotifyRecorder.h"
#include "support/PseudoTerminal.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWaitMs = 5000;

int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

// 0 when a user without privileges could open the path right now, else the errno met. The tests
// may run as root, for whom a line's exclusive mark does not count, so then the attempt is made by
// a child process that gave its privileges up first. The child reports through a pipe rather than
// its exit status, which a sanitizer may overwrite with its own.
int UnprivilegedOpenError(const QString& path) {
    const QByteArray native = path.toLocal8Bit();
    const auto attempt = [&native]() {
        const int fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return errno;
        }
        ::close(fd);
        return 0;
    };
    if (::geteuid() != 0) {
        return attempt();
    }
    ::chmod(native.constData(), 0666);  // a new terminal belongs to its creator alone
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        int result = -1;
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            result = attempt();
        }
        [[maybe_unused]] const auto n = ::write(report[1], &result, sizeof result);
        ::_exit(0);
    }
    ::close(report[1]);
    int result = -1;
    if (child > 0 && ::read(report[0], &result, sizeof result) != sizeof result) {
        result = -1;
    }
    ::close(report[0]);
    if (child > 0) {
        ::waitpid(child, nullptr, 0);
    }
    return result;
}

Bytes TakeAll(ReceiveQueue& queue) {
    Bytes bytes;
    for (int n = queue.Count(); n > 0; --n) {
        bytes.push_back(queue.TakeOldest());
    }
    return bytes;
}

// The test thread plays the user-interface thread: it owns the link and the notify object and
// runs the event loop that delivers what the reader posts.
class CommThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.IsOpen()) << "no pseudo-terminal available"; }

    PortSettings Settings(int baudRate = 9600) const {
        PortSettings settings;
        settings.sPortName = pty.SlavePath();
        settings.nBaudRate = baudRate;
        return settings;
    }

    template <class Predicate>
    static bool WaitFor(Predicate predicate) {
        return QTest::qWaitFor(predicate, kWaitMs);
    }

    // Delivers everything posted to the recorder so far. Once Close (or the destructor) has
    // joined the reader, that is everything the reader will ever post.
    void DeliverPosted() { QCoreApplication::sendPostedEvents(&recorder); }

    NotifyRecorder recorder;
    PseudoTerminal pty;
};

}  // namespace

// --- Opening -------------------------------------------------------------------------------------

TEST_F(CommThreadTest, OpensATerminalByAbsolutePathInRawModeAndStartsTheReader) {
    CCommThread link(&recorder);
    ASSERT_EQ(link.Open(Settings()), 1);
    EXPECT_TRUE(link.IsConnected());
    EXPECT_EQ(link.PortPath(), pty.SlavePath());

    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.SlaveFd(), &tio), 0);
    // Nothing may be echoed, translated, or taken as a signal or as flow control.
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL), tcflag_t{CREAD | CLOCAL});

    ASSERT_TRUE(pty.Send({0x42}));
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(Msg::BytesWaiting) >= 1; }));
    EXPECT_EQ(TakeAll(link.Queue()), (Bytes{0x42}));
}

TEST_F(CommThreadTest, PortNameWithoutLeadingSlashIsOpenedUnderDev) {
    ASSERT_TRUE(pty.SlavePath().startsWith(QStringLiteral("/dev/")));
    PortSettings settings = Settings();
    settings.sPortName = pty.SlavePath().mid(5);  // "pts/N", as a user would type "ttyUSB0"
    CCommThread link(&recorder);
    ASSERT_EQ(link.Open(settings), 1);
    EXPECT_EQ(link.PortPath(), pty.SlavePath());

    const Bytes frame{0xFF, 0x05, 0x00, 0x00, 0x41};
    EXPECT_EQ(link.Write(frame), 5);
    EXPECT_EQ(pty.Receive(frame.size()), frame);
}

TEST_F(CommThreadTest, OpenedRateSetsTheLineSpeedAndTheWriteTimeOutPerByte) {
    struct Case {
        int baud;
        speed_t speed;
        int msPerByte;
    };
    const Case cases[] = {{1200, B1200, 16},
                          {4800, B4800, 4},
                          {9600, B9600, 2},
                          {19200, B19200, 1},
                          {115200, B115200, 0}};
    CCommThread link(&recorder);
    for (const Case& c : cases) {
        ASSERT_EQ(link.Open(Settings(c.baud)), 1) << c.baud;
        EXPECT_EQ(link.WriteMsPerByte(), c.msPerByte) << c.baud;
        termios tio{};
        ASSERT_EQ(::tcgetattr(pty.SlaveFd(), &tio), 0);
        EXPECT_EQ(::cfgetispeed(&tio), c.speed) << c.baud;
        EXPECT_EQ(::cfgetospeed(&tio), c.speed) << c.baud;
        link.Close();
    }
}

TEST_F(CommThreadTest, ParityAndStopCodesReachTheLineAsTheSettingsRecordNamesThem) {
    // A pseudo-terminal forces eight data bits and drops the parity-enable bit whatever it is
    // told, so only the kind of parity and the stop bits can be seen on it; every data size the
    // record allows must still be taken.
    struct Case {
        int dataBits;
        int parity;  // 0 none, 1 odd, 2 even, 3 mark, 4 space
        int stop;    // 0 one, 2 two
        tcflag_t flags;
    };
    const Case cases[] = {
        {8, 0, 0, 0},
        {8, 1, 0, PARODD},
        {7, 2, 2, CSTOPB},
        {6, 3, 0, PARODD | CMSPAR},
        {5, 4, 2, CMSPAR | CSTOPB},
    };
    CCommThread link(&recorder);
    for (const Case& c : cases) {
        PortSettings settings = Settings();
        settings.nDataBits = static_cast<std::uint8_t>(c.dataBits);
        settings.nParity = static_cast<std::uint8_t>(c.parity);
        settings.nStopBits = static_cast<std::uint8_t>(c.stop);
        ASSERT_EQ(link.Open(settings), 1) << "data bits " << c.dataBits;
        termios tio{};
        ASSERT_EQ(::tcgetattr(pty.SlaveFd(), &tio), 0);
        EXPECT_EQ(tio.c_cflag & (PARODD | CMSPAR | CSTOPB), c.flags)
            << "parity code " << c.parity << ", stop code " << c.stop;
        link.Close();
    }
}

TEST_F(CommThreadTest, RefusesWhatIsNotATerminalWithoutCreatingOrTruncatingAnything) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray content = "someone else's file";
    const QString regular = dir.filePath(QStringLiteral("ttyREGULAR"));
    {
        QFile file(regular);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
    }
    const QString missing = dir.filePath(QStringLiteral("ttyMISSING"));
    const QString fifo = dir.filePath(QStringLiteral("ttyFIFO"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);

    const int descriptorsBefore = OpenDescriptorCount();
    for (const QString& path : {regular, missing, fifo, dir.path(), QStringLiteral("/dev/null")}) {
        CCommThread link(&recorder);
        PortSettings settings;
        settings.sPortName = path;
        EXPECT_EQ(link.Open(settings), 0) << path.toStdString();
        EXPECT_FALSE(link.IsConnected()) << path.toStdString();
        EXPECT_EQ(link.Write(Bytes{0x41, 0x42}), 0) << path.toStdString();
    }
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);

    QFile file(regular);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), content);
    EXPECT_FALSE(QFile::exists(missing));
    // No reader was started, so none may report its end.
    DeliverPosted();
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_TRUE(recorder.alerts.empty());
}

TEST_F(CommThreadTest, RefusesLineSettingsTheLineCannotTakeAndLeavesThePortFree) {
    struct Case {
        const char* what;
        int baud;
        int dataBits;
        int stop;
        int parity;
    };
    const Case cases[] = {
        {"rate 0", 0, 8, 0, 0},
        {"negative rate", -9600, 8, 0, 0},
        {"unknown rate", 12345, 8, 0, 0},
        {"four data bits", 9600, 4, 0, 0},
        {"nine data bits", 9600, 9, 0, 0},
        {"one and a half stop bits", 9600, 8, 1, 0},
        {"parity code 5", 9600, 8, 0, 5},
    };
    const int descriptorsBefore = OpenDescriptorCount();
    CCommThread link(&recorder);
    for (const Case& c : cases) {
        PortSettings settings = Settings(c.baud);
        settings.nDataBits = static_cast<std::uint8_t>(c.dataBits);
        settings.nStopBits = static_cast<std::uint8_t>(c.stop);
        settings.nParity = static_cast<std::uint8_t>(c.parity);
        EXPECT_EQ(link.Open(settings), 0) << c.what;
        EXPECT_FALSE(link.IsConnected()) << c.what;
        EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore) << c.what;
    }
    // Neither the lock nor the exclusive mark of a refused open may stay behind.
    EXPECT_EQ(UnprivilegedOpenError(pty.SlavePath()), 0);
    CCommThread other(&recorder);
    EXPECT_EQ(other.Open(Settings()), 1);
    DeliverPosted();
    EXPECT_TRUE(recorder.alerts.empty());
}

TEST_F(CommThreadTest, SecondLinkIsRefusedWhileTheFirstHoldsThePortAndGetsItAfterClose) {
    CCommThread first(&recorder);
    CCommThread second(&recorder);
    ASSERT_EQ(first.Open(Settings()), 1);
    EXPECT_EQ(second.Open(Settings()), 0);
    EXPECT_FALSE(second.IsConnected());
    EXPECT_EQ(second.Write(Bytes{0x01}), 0);

    // The refused attempt took nothing from the holder.
    const Bytes frame{0xFF, 0x05, 0x00, 0x00, 0x42};
    EXPECT_EQ(first.Write(frame), 5);
    EXPECT_EQ(pty.Receive(frame.size()), frame);
    ASSERT_TRUE(pty.Send({0x60}));
    ASSERT_TRUE(WaitFor([&] { return first.Queue().Count() == 1; }));

    first.Close();
    EXPECT_EQ(second.Open(Settings()), 1);
}

TEST_F(CommThreadTest, OtherUsersAreKeptOffAnOpenPortAndLetOnAgainAfterClose) {
    CCommThread holder(&recorder);
    CCommThread refused(&recorder);
    ASSERT_EQ(holder.Open(Settings()), 1);
    EXPECT_EQ(UnprivilegedOpenError(pty.SlavePath()), EBUSY);
    ASSERT_EQ(refused.Open(Settings()), 0);
    EXPECT_EQ(UnprivilegedOpenError(pty.SlavePath()), EBUSY)
        << "a refused opener lifted the holder's exclusive mark";
    holder.Close();
    // A terminal keeps its mark past the last close while its other side lives (a simulated
    // dongle, say); left there, it would refuse this very program's next open by a normal user.
    EXPECT_EQ(UnprivilegedOpenError(pty.SlavePath()), 0);
}

TEST_F(CommThreadTest, OpenOnARunningLinkIsRefusedAndTheLinkKeepsRunning) {
    CCommThread link(&recorder);
    ASSERT_EQ(link.Open(Settings(9600)), 1);
    PseudoTerminal elsewhere;
    ASSERT_TRUE(elsewhere.IsOpen());
    PortSettings settings;
    settings.sPortName = elsewhere.SlavePath();
    settings.nBaudRate = 1200;
    EXPECT_EQ(link.Open(settings), 0);
    EXPECT_TRUE(link.IsConnected());
    EXPECT_EQ(link.PortPath(), pty.SlavePath());
    EXPECT_EQ(link.WriteMsPerByte(), 2);

    ASSERT_TRUE(pty.Send({0x5A}));
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(Msg::BytesWaiting) >= 1; }));
    EXPECT_EQ(recorder.Count(Msg::ReaderEnded), 0);
    EXPECT_EQ(TakeAll(link.Queue()), (Bytes{0x5A}));
}

// --- Writing -------------------------------------------------------------------------------------

TEST_F(CommThreadTest, WriteWhileClosedReturnsZeroAndSendsNothing) {
    CCommThread link(&recorder);
    const Bytes frame{0xFF, 0x05, 0x00, 0x00, 0x41};
    EXPECT_EQ(link.Write(frame), 0);  // never opened
    ASSERT_EQ(link.Open(Settings()), 1);
    link.Close();
    EXPECT_EQ(link.Write(frame), 0);  // closed again

    // A marker written past the link: it must be the first thing the peer reads.
    const Bytes marker{0x4D, 0x4B};
    ASSERT_EQ(::write(pty.SlaveFd(), marker.data(), marker.size()),
              static_cast<ssize_t>(marker.size()));
    EXPECT_EQ(pty.Receive(marker.size()), marker);
}

TEST_F(CommThreadTest, WriteWhileConnectedDeliversEveryByteValueUnchanged) {
    CCommThread link(&recorder);
    ASSERT_EQ(link.Open(Settings(9600)), 1);
    Bytes all(256);
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(link.Write(all), 256);
    EXPECT_EQ(pty.Receive(all.size()), all);
}

// A peer that stops reading stalls the line. Above 19200 baud the time per byte rounds to 0, yet
// the window that writes must still get its thread back: the write gives up having written less,
// and the link stays as after any failed write.
TEST_F(CommThreadTest, WriteToAStalledLineReturnsInBoundedTimeHavingWrittenLess) {
    using Clock = std::chrono::steady_clock;
    CCommThread link(&recorder);
    ASSERT_EQ(link.Open(Settings(115200)), 1);
    ASSERT_EQ(link.WriteMsPerByte(), 0);

    struct Outcome {
        bool filled = false;
        int frameWritten = -1;
        Clock::duration frameTook{};
    };
    const Bytes chunk(512, 0x55);
    const Bytes frame{0xFF, 0x07, 0x13, 0x00, 0x01, 0x39, 0x29};
    // On a thread of its own, so that a write that never returns fails the test instead of
    // hanging it.
    auto writes = std::async(std::launch::async, [&] {
        Outcome outcome;
        // The line holds some tens of kilobytes; 2 MB that all fit would mean it never stalls.
        for (int n = 0; n < 4096 && !outcome.filled; ++n) {
            outcome.filled = link.Write(chunk) < static_cast<int>(chunk.size());
        }
        const auto start = Clock::now();
        outcome.frameWritten = link.Write(frame);
        outcome.frameTook = Clock::now() - start;
        return outcome;
    });
    if (writes.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "a write to the stalled line had not returned after 30 s";
        while (writes.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
            pty.Drain();  // the peer reads again and lets the writer go
        }
    }
    const Outcome outcome = writes.get();
    EXPECT_TRUE(outcome.filled);
    EXPECT_LT(outcome.frameWritten, static_cast<int>(frame.size()));
    EXPECT_LT(outcome.frameTook, std::chrono::seconds(5));
    EXPECT_TRUE(link.IsConnected());

    // Once the peer reads again, the line takes whole frames again.
    EXPECT_GT(pty.Drain(), 0u);
    EXPECT_EQ(link.Write(frame), static_cast<int>(frame.size()));
}

// --- The reader ----------------------------------------------------------------------------------

TEST_F(CommThreadTest, OneBatchGivesOneBytesWaitingAndReachesTheQueueUntranslated) {
    CCommThread link(&recorder);
    ASSERT_EQ(link.Open(Settings()), 1);
    // Return, line feed, interrupt, XON, XOFF, end-of-file, erase, NUL, 0xFF, suspend: a cooked
    // line would translate, swallow or act on every one of them.
    const Bytes batch{0x0D, 0x0A, 0x03, 0x11, 0x13, 0x04, 0x7F, 0x00, 0xFF, 0x1A};
    ASSERT_TRUE(pty.Send(batch));
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(Msg::BytesWaiting) >= 1; }));
    link.Close();
    DeliverPosted();

    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[0].message, Msg::BytesWaiting);
    EXPECT_EQ(recorder.messages[0].wParam, 0);
    EXPECT_EQ(recorder.messages[0].lParam, 0);
    EXPECT_EQ(recorder.messages[1].message, Msg::ReaderEnded);
    EXPECT_EQ(TakeAll(link.Queue()), batch);
}

TEST_F(CommThreadTest, CloseWakesTheIdleReaderWhichHasPostedReaderEndedOnceWhenCloseReturns) {
    CCommThread link(&recorder);
    ASSERT_EQ(link.Open(Settings()), 1);

    // A reader deaf to the wake-up would keep Close waiting for ever; the watchdog then hangs the
    // line up, which ends any reader, so that the test fails instead of hanging.
    std::mutex mutex;
    std::condition_variable closedSignal;
    bool closed = false;
    bool neededHangUp = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!closedSignal.wait_for(lock, std::chrono::milliseconds(kWaitMs),
                                   [&] { return closed; })) {
            neededHangUp = true;
            pty.HangUp();
        }
    });
    link.Close();
    {
        std::lock_guard lock(mutex);
        closed = true;
    }
    closedSignal.notify_one();
    watchdog.join();
    EXPECT_FALSE(neededHangUp) << "Close returned only once the line was hung up";
    EXPECT_FALSE(link.IsConnected());

    // Close joined the reader, so its last message is queued already: nothing to wait for.
    DeliverPosted();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].message, Msg::ReaderEnded);
    EXPECT_EQ(recorder.messages[0].wParam, 0);
    EXPECT_EQ(recorder.messages[0].lParam, 0);

    link.Close();  // no reader left to tell anything
    DeliverPosted();
    EXPECT_EQ(recorder.messages.size(), 1u);
}

TEST_F(CommThreadTest, DestroyingAnOpenLinkEndsTheReaderOnceAndFreesThePort) {
    auto link = std::make_unique<CCommThread>(&recorder);
    ASSERT_EQ(link->Open(Settings()), 1);
    ASSERT_TRUE(pty.Send({0x01, 0x02}));
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(Msg::BytesWaiting) >= 1; }));
    link.reset();
    DeliverPosted();
    EXPECT_EQ(recorder.Count(Msg::ReaderEnded), 1);

    CCommThread next(&recorder);
    EXPECT_EQ(next.Open(Settings()), 1);
}

TEST_F(CommThreadTest, ReaderPostsLinkLostExactlyOnceWhenPeerHangsUp) {
    CCommThread link(&recorder);
    ASSERT_EQ(link.Open(Settings()), 1);
    pty.HangUp();
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(Msg::ReaderEnded) >= 1; }));
    const auto& ended = recorder.messages.back();
    EXPECT_EQ(ended.message, Msg::ReaderEnded);
    EXPECT_EQ(ended.wParam, 0);
    EXPECT_EQ(ended.lParam, 0);

    // The main frame closes the lost link; that must not report the loss a second time.
    link.Close();
    DeliverPosted();
    EXPECT_EQ(recorder.Count(Msg::ReaderEnded), 1);
    EXPECT_FALSE(link.IsConnected());
}

TEST_F(CommThreadTest, LinkLostToAHangUpOpensAgainOnTheReturningDongle) {
    CCommThread link(&recorder);
    ASSERT_EQ(link.Open(Settings()), 1);
    pty.HangUp();
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(Msg::ReaderEnded) >= 1; }));

    // As the main frame may do on ReaderEnded: open again at once, without a Close first.
    PseudoTerminal returned;
    ASSERT_TRUE(returned.IsOpen());
    PortSettings settings = Settings();
    settings.sPortName = returned.SlavePath();
    ASSERT_EQ(link.Open(settings), 1);
    EXPECT_TRUE(link.IsConnected());

    ASSERT_TRUE(returned.Send({0x33, 0x44}));
    ASSERT_TRUE(WaitFor([&] { return link.Queue().Count() == 2; }));
    const Bytes frame{0xFF, 0x05, 0x00, 0x00, 0x44};
    EXPECT_EQ(link.Write(frame), 5);
    EXPECT_EQ(returned.Receive(frame.size()), frame);

    link.Close();
    DeliverPosted();
    EXPECT_EQ(recorder.Count(Msg::ReaderEnded), 2);  // one per reader
    EXPECT_EQ(TakeAll(link.Queue()), (Bytes{0x33, 0x44}));
}

// --- The receive queue behind the link -----------------------------------------------------------

TEST_F(CommThreadTest, BatchThatDoesNotFitWholeIsDroppedWholeAndBufferFullIsToldOncePerOpenPort) {
    CCommThread link(&recorder);
    ASSERT_EQ(link.Open(Settings(115200)), 1);

    Bytes queued(4000);
    for (std::size_t i = 0; i < queued.size(); ++i) {
        queued[i] = static_cast<std::uint8_t>(i % 251);
    }
    for (std::size_t at = 0; at < queued.size(); at += 500) {
        ASSERT_TRUE(pty.Send(std::span<const std::uint8_t>(queued).subspan(at, 500)));
    }
    ASSERT_TRUE(WaitFor([&] { return link.Queue().Count() == 4000; }));
    EXPECT_TRUE(recorder.alerts.empty());

    const Bytes oneTooMany(96, 0xAA);  // 95 slots are free
    ASSERT_TRUE(pty.Send(oneTooMany));
    ASSERT_TRUE(WaitFor([&] { return recorder.alerts.size() == 1; }));
    EXPECT_EQ(recorder.alerts[0].caption, QStringLiteral("CCommThread"));
    EXPECT_EQ(recorder.alerts[0].text, QStringLiteral("Buffer full"));
    EXPECT_EQ(link.Queue().Count(), 4000);

    const Bytes fits(95, 0x55);
    ASSERT_TRUE(pty.Send(fits));
    ASSERT_TRUE(WaitFor([&] { return link.Queue().Count() == 4095; }));

    // Full now: not even one byte fits, and the user has been told already.
    const int wakeUps = recorder.Count(Msg::BytesWaiting);
    ASSERT_TRUE(pty.Send({0x77}));
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(Msg::BytesWaiting) > wakeUps; }));
    EXPECT_EQ(recorder.alerts.size(), 1u);
    EXPECT_EQ(link.Queue().Count(), 4095);

    // The port opened again tells it again.
    link.Close();
    ASSERT_EQ(link.Open(Settings(115200)), 1);
    ASSERT_TRUE(pty.Send({0x78}));
    ASSERT_TRUE(WaitFor([&] { return recorder.alerts.size() == 2; }));
    EXPECT_EQ(recorder.alerts[1].text, QStringLiteral("Buffer full"));

    Bytes expected = queued;
    expected.insert(expected.end(), fits.begin(), fits.end());
    EXPECT_EQ(TakeAll(link.Queue()), expected);
}

TEST_F(CommThreadTest, BytesLeftInTheQueueSurviveCloseAndOpen) {
    CCommThread link(&recorder);
    ASSERT_EQ(link.Open(Settings()), 1);
    ASSERT_TRUE(pty.Send({0xFF, 0x07, 0x13}));
    ASSERT_TRUE(WaitFor([&] { return link.Queue().Count() == 3; }));

    link.Close();
    EXPECT_EQ(link.Queue().Count(), 3);
    ASSERT_EQ(link.Open(Settings()), 1);
    EXPECT_EQ(link.Queue().Count(), 3);

    ASSERT_TRUE(pty.Send({0x00, 0x03, 0x30, 0x20}));
    ASSERT_TRUE(WaitFor([&] { return link.Queue().Count() == 7; }));
    EXPECT_EQ(TakeAll(link.Queue()), (Bytes{0xFF, 0x07, 0x13, 0x00, 0x03, 0x30, 0x20}));
}

// --- A whole conversation ------------------------------------------------------------------------

TEST_F(CommThreadTest, PeerFramesAreDecodedThroughTheRingAndSendsReachThePeerByteForByte) {
    RecordingHandler handler;
    CCommThread link(&recorder);
    CZbProtocol protocol(&handler, &link);
    CReceiveFramer framer(protocol);
    // What the main frame does with BytesWaiting.
    recorder.onMessage = [&](const WindowMessageEvent& message) {
        if (message.Message() == Msg::BytesWaiting) {
            framer.Run(link.Queue());
        }
    };
    ASSERT_EQ(link.Open(Settings(115200)), 1);

    // Line noise, then a setting report cut in two across wake-ups, then a state report.
    ASSERT_TRUE(pty.Send({0x00, 0x12, 0xFF, 0x07, 0x13}));
    ASSERT_TRUE(WaitFor(
        [&] { return recorder.Count(Msg::BytesWaiting) >= 1 && link.Queue().Count() == 0; }));
    EXPECT_TRUE(handler.events.empty());
    ASSERT_TRUE(pty.Send({0x00, 0x03, 0x30, 0x20, 0xFF, 0x07, 0x61, 0x00, 0x04, 0x00, 0x01}));
    ASSERT_TRUE(WaitFor([&] { return handler.events.size() >= 3; }));
    EXPECT_EQ(handler.events,
              (std::vector<QString>{"setting 3 slot 0 value 0x3020",
                                    "setting 3 slot 1 value 0x3020", "state 1 slot 2 value 1"}));

    // The program's frames reach the dongle whole and unchanged...
    EXPECT_EQ(protocol.SendScanRequest(2), 1);
    EXPECT_EQ(pty.Receive(kScanRequestLength), (Bytes{0xFF, 0x05, 0x00, 0x00, 0x43}));
    StrobeData unit;
    unit.nChNum = 6;
    unit.nFlashValue = 81;
    unit.nModelValue = 33;
    EXPECT_EQ(protocol.SendSetting(0, &unit, SettingType::FlashPower), 1);
    const Bytes setting = pty.Receive(kSettingLength);
    EXPECT_EQ(setting, (Bytes{0xFF, 0x07, 0x13, 0x02, 0x00, 0x51, 0x21}));

    // ...and the dongle's confirmation, the same frame sent back, reports that slot's new value.
    ASSERT_TRUE(pty.Send(setting));
    ASSERT_TRUE(WaitFor([&] { return handler.events.size() >= 4; }));
    EXPECT_EQ(handler.events.size(), 4u);
    EXPECT_EQ(handler.events.back(), QStringLiteral("setting 3 slot 6 value 0x5121"));
}
