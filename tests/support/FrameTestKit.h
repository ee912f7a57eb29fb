#pragma once

// What the tests of the main frame and of the panes inside it share: a frame built in a scratch
// folder with recorded message boxes, or shown with its port on a pseudo-terminal that the test
// plays the dongle on; a log of what reaches the three panes; a hand for the modal dialogs a
// blocking call opens; and the simulated dongle.

#include "platform/WindowMessage.h"
#include "shell/MainFrame.h"
#include "support/OptionXml.h"
#include "support/PseudoTerminal.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace orvane::test {

// A main frame in a folder of its own, with every message box written down instead of shown.
struct FrameInFolder {
    explicit FrameInFolder(int scanTickMs = 1000);
    ~FrameInFolder();

    // Builds the frame; call after anything the constructor should find (such as Option.xml).
    CMainFrame& Make();
    QString Folder() const { return folder.path(); }

    QTemporaryDir folder;
    RecordingMessageBox messages;
    int scanTickMs;
    std::unique_ptr<CMainFrame> frame;
};

// A shown main frame whose Option.xml names a pseudo-terminal, once it has opened it.
struct FrameOnPty {
    // Writes Option.xml, builds and shows the frame, which opens the line as it is built; false
    // (with a test failure) when any of that fails.
    bool Start();
    CMainFrame& Frame() const { return *f.frame; }
    // Nothing went out since the test last read the line: a frame the frame's protocol writes now
    // is the next to arrive.
    void ExpectNothingWritten();

    // Declared first, so that the frame lets go of the line before the line goes.
    PseudoTerminal pty;
    FrameInFolder f;
};

// Writes down every window message the three panes receive, in order of arrival, and whether it
// arrived while a call made through During() was still running (sent) or only afterwards, when the
// event loop delivered it (posted). Panes also message each other while they handle what the frame
// told them; those messages are marked, so that a test can look at the frame's routing alone.
class PaneMessageLog final : public QObject {
public:
    enum class Pane { StudioList, Control, Navigation };

    struct Entry {
        Pane pane;
        Msg message;
        std::intptr_t wParam;
        std::intptr_t lParam;
        bool duringCall;
        bool fromPane;  // sent by a pane while it handled a message of its own

        friend void PrintTo(const Entry& e, std::ostream* os);
    };

    explicit PaneMessageLog(CMainFrame& frame);

    // Runs the call and marks everything that reaches a pane before it returns.
    void During(const std::function<void()>& call);

    // Lets the event loop run until nothing is left for the frame or the panes: every posted
    // message, and whatever handling it posts in turn, has been delivered. False if that did not
    // happen within the deadline.
    bool Settle(int deadlineMs = 5000);

    // Waits until a pane has received the message; false at the deadline.
    bool WaitFor(Pane pane, Msg message, int deadlineMs = 5000);

    // What the frame passed on, leaving out what the panes told each other; Of and Count look
    // at the same part, for one pane.
    std::vector<Entry> Routed() const;
    std::vector<Entry> Of(Pane pane) const;
    int Count(Pane pane, Msg message) const;

    std::vector<Entry> entries;  // everything, the panes' own messages included
    // Called as each entry is written down, while the pane has not yet handled it.
    std::function<void(const Entry&)> onEntry;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    static QEvent::Type SentinelType();

    QPointer<QWidget> panes_[3];
    bool duringCall_ = false;
    int paneDepth_ = 0;  // panes handling a window message right now
    int traffic_ = 0;    // window messages seen by the frame and the panes together
    bool sentinelArrived_ = false;
};

// Acts on the modal dialogs a blocking call opens. A timer of its own, which the dialog's event
// loop runs, hands the active modal widget to `step` until the step says it is done with it. A
// dialog still open when the deadline passes is rejected, so no test can hang on one.
class ModalHand final : public QObject {
public:
    // Returns true once it is finished with the dialog (it is not called again after that).
    using Step = std::function<bool(QWidget* modal)>;

    explicit ModalHand(Step step, int deadlineMs = 20000);

    bool Finished() const { return finished_; }
    bool GaveUp() const { return gaveUp_; }
    int ModalsSeen() const { return modalsSeen_; }

private:
    void Poll();

    Step step_;
    QTimer timer_;
    QElapsedTimer clock_;
    int deadlineMs_;
    QPointer<QWidget> lastModal_;
    int modalsSeen_ = 0;
    bool finished_ = false;
    bool gaveUp_ = false;
};

// Writes down the window messages the frame itself receives, and whether a modal dialog was open
// when each arrived.
class FrameInbox final : public QObject {
public:
    struct Arrival {
        Msg message;
        bool duringModal;
    };

    explicit FrameInbox(CMainFrame& frame) { frame.installEventFilter(this); }

    int Count(Msg message, bool duringModalOnly = false) const;

    std::vector<Arrival> arrivals;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The simulated dongle, started with a link (and a frame log) in a scratch folder of its own.
class Dongle {
public:
    explicit Dongle(std::vector<std::string> args);

    // Starts the simulator; false (with a test failure) if it does not come up.
    bool Start();
    bool Started() const { return process_ != nullptr; }

    // The stable path the program is given as its port: a symbolic link to the current pty.
    QString LinkPath() const;
    // The pty's own device, as /proc shows it among a process's open files.
    const std::string& DevicePath() const { return devicePath_; }

    // Sends one console command and reads every line it answers, up to and including "ok";
    // empty when the answer was an error or did not come.
    std::optional<std::vector<std::string>> Command(const std::string& line);

    // The lines of the frame log, such as "12.345 in FF 05 00 00 41", without their time stamp.
    std::vector<std::string> LoggedFrames() const;
    bool Logged(const std::string& frame) const;
    int CountLogged(const std::string& frame) const;

private:
    sim::test::TempDir dir_;
    std::vector<std::string> args_;
    std::unique_ptr<sim::test::SimProcess> process_;
    std::string devicePath_;
};

// The paths this process holds open, as /proc/self/fd resolves them.
std::vector<std::string> OpenFilesOfThisProcess();

// Frames as the simulator logs them.
inline const std::string kScanStudioA = "in FF 05 00 00 41";
inline const std::string kScanStudioC = "in FF 05 00 00 43";

}  // namespace orvane::test
