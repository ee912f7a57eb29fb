#pragma once

#include "files/OptionFile.h"
#include "files/StudioFileStore.h"
#include "link/PortSettings.h"
#include "model/StudioData.h"
#include "platform/PortProblem.h"
#include "platform/WindowMessage.h"
#include "shell/LumoraDoc.h"
#include "shell/PhonePairing.h"
#include "views/PaneHost.h"

#include <QBasicTimer>
#include <QDir>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>

class CCommands;
class CComSettingDlg;
class CCommThread;
class CConfirmationTracker;
class CConnectionPane;
class CMessageBoxService;
class CQtMessageBoxService;
class CReceiveFramer;
class CRecordFollower;
class CStrobeEventHandler;
class CStrobeSplitterWnd;
class CZbProtocol;
class QAction;
class QToolBar;
class QLabel;
class StudioModel;
struct StrobeData;

struct MainFrameOptions {
    QDir workDir = QDir(QDir::currentPath());  // where "Option.xml" and the studio files live
    CMessageBoxService* messages = nullptr;    // nullptr: real message boxes
    int scanTickMs = 1000;                     // one dot of the scan dialog
};

// The main window and the program's switchboard: it owns the model, the serial link and the
// protocol objects, keeps the port open, runs the channel scan, and passes every message between
// the reader thread, the event handler and the three panes. The panes never talk to each other
// directly; the frame finds them by their place in the splitters.
class CMainFrame final : public QMainWindow, public CPaneHost {
    Q_OBJECT
public:
    // Toolbar commands, by the index that WM_USER+50 names them with.
    enum Command { Load = 0, Save = 1, Scan = 2, Name = 3, Com = 4, kCommandCount = 5 };

    using Options = MainFrameOptions;

    CMainFrame() : CMainFrame(Options{}) {}
    explicit CMainFrame(Options options);
    ~CMainFrame() override;

    // The panes, found by splitter position as every route of the frame finds them.
    QWidget* StudioListPane() const override;
    QWidget* ControlPane() const override;
    QWidget* NavigationPane() const override;

    StudioModel& Model() const { return *model_; }
    CCommThread& Link() const { return *link_; }
    CZbProtocol& Protocol() const { return *protocol_; }
    // Every action on the units, the studios and the setups, for the window and everyone else.
    CCommands& Commands() const { return *commands_; }
    const CConfirmationTracker& Confirmations() const { return *confirmations_; }
    StudioFileStore& FileStore() { return fileStore_; }
    CMessageBoxService& Messages() const { return *messages_; }
    const PortSettings& Settings() const { return portSettings_; }
    bool IsConnected() const { return connected_ != 0; }
    bool IsReconnecting() const { return reconnectTimer_.isActive(); }
    QString ConnectionText() const;
    // The status bar's connection pane, whose tooltip says what stands in the port's way.
    CConnectionPane& ConnectionPane() const { return *connectionText_; }
    // The remote interface's state in the status bar: a short text, and the whole story (where
    // it listens and who may reach it, or why it is off) in its tooltip and description. Shown
    // only once set: without --remote the bar says nothing of it.
    void ShowRemoteState(const QString& text, const QString& details);
    const QLabel* RemoteState() const { return remoteText_; }
    bool IsCommandEnabled(Command command) const { return commandEnabled_[command] == 1; }
    QAction* CommandAction(Command command) const { return actions_[command]; }

    // The toolbar commands, also reachable from the keyboard.
    void OnScan();
    void OnUndo();
    void OnRedo();
    // The Undo and Redo buttons of the toolbar.
    QAction* UndoAction() const { return undoAction_; }
    QAction* RedoAction() const { return redoAction_; }
    // With the remote interface on: the toolbar's "Phone" button, after Undo and Redo, opens the
    // dialog that pairs a phone. Without it the window has no such button.
    void SetPhonePairing(PhonePairing pairing);
    QAction* PhoneAction() const { return phoneAction_; }
    void OnComSetting();
    void ShowAbout();
    CLumoraDoc& Document() { return document_; }

signals:
    // For onlookers such as the remote interface; the window itself does not use them.
    // The status bar was set to say the link is up or down (also when it already said so).
    void ConnectionShown(bool connected);
    // A channel scan of the studio began, with its request sent, and ended with its dialog.
    void ScanStarted(const StudioData* studio);
    void ScanFinished(const StudioData* studio);

protected:
    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void BuildPanes();
    void BuildBars();
    void BuildDocumentCommands();
    void BuildHistoryCommands(QToolBar& toolbar);
    void ShowRefusal(const struct CommandResult& result);
    // A scan started by the commands: the tree empties the studio, and the scan's dialog counts
    // unless the toolbar's Scan runs it itself.
    void OnScanStarted(StudioData* studio);
    void RunScanDialog(StudioData* studio);
    bool OnMessage(const WindowMessageEvent& message);
    void OnReconnectTick();
    void OnLinkLost();
    // Shows the link state with what is known about the port, here and in an open Com dialog.
    void SetConnected(bool connected, const PortReport& report);
    void SetCommandEnabled(int index, int value);
    void OnConfirmationChanged(StrobeData& unit);
    void ShowAlert(const QString& caption, const QString& text);

    Options options_;
    std::unique_ptr<CQtMessageBoxService> ownMessages_;
    CMessageBoxService* messages_;
    // Created first and freed after the link, so nothing the link delivers can find it gone.
    std::unique_ptr<StudioModel> model_;
    CLumoraDoc document_;
    StudioFileStore fileStore_;
    OptionFile optionFile_;
    PortSettings portSettings_;
    std::unique_ptr<CCommThread> link_;
    std::unique_ptr<CStrobeEventHandler> eventHandler_;
    // Between the decoder and the handler, and told of every frame the protocol sends.
    std::unique_ptr<CConfirmationTracker> confirmations_;
    std::unique_ptr<CZbProtocol> protocol_;
    std::unique_ptr<CReceiveFramer> framer_;
    std::unique_ptr<CCommands> commands_;
    CRecordFollower* follower_ = nullptr;  // a child of the frame
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    bool scanDialogOwnRun_ = false;
    QBasicTimer reconnectTimer_;
    int connected_ = 0;
    std::array<int, kCommandCount> commandEnabled_ = {0, 0, 1, 1, 1};
    std::array<QAction*, kCommandCount> actions_{};
    CStrobeSplitterWnd* outerSplitter_ = nullptr;
    CStrobeSplitterWnd* innerSplitter_ = nullptr;
    QLabel* statusText_ = nullptr;
    CConnectionPane* connectionText_ = nullptr;
    QLabel* remoteText_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QAction* phoneAction_ = nullptr;
    PhonePairing phonePairing_;
    QPointer<CComSettingDlg> comDialog_;  // while the Com command runs it
    bool panesSized_ = false;
};
