#include "shell/MainFrame.h"
#include "shell/PhoneDialog.h"

#include "commands/Commands.h"
#include "link/CommThread.h"
#include "link/ConfirmationTracker.h"
#include "link/PortReportText.h"
#include "link/ReceiveFramer.h"
#include "link/StrobeEventHandler.h"
#include "link/ZbProtocol.h"
#include "link/ui/ComSettingDlg.h"
#include "model/StudioModel.h"
#include "panels/ControlFormView.h"
#include "platform/AlertEvent.h"
#include "platform/PortCheck.h"
#include "platform/QtMessageBoxService.h"
#include "platform/TipAndDescription.h"
#include "resources/Images.h"
#include "shell/AboutDlg.h"
#include "shell/ConnectionPane.h"
#include "shell/HistoryActions.h"
#include "shell/StrobeSplitterWnd.h"
#include "shell/WaitingDlg.h"
#include "views/NavigationFormView.h"
#include "views/RecordFollower.h"
#include "views/StudioListFormView.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QLoggingCategory>
#include <QPainter>
#include <QStatusBar>
#include <QTimerEvent>
#include <QToolBar>

Q_LOGGING_CATEGORY(lcShell, "orvane.shell", QtWarningMsg)

namespace {

constexpr int kReconnectMs = 500;

struct CommandInfo {
    const char* text;
    int id;  // the command id the toolbar has always carried
};
constexpr std::array<CommandInfo, CMainFrame::kCommandCount> kCommands = {{
    {"Load", 32780},
    {"Save", 32781},
    {"Scan", 32782},
    {"Name", 32783},
    {"Com", 32784},
}};

// The panes name the toolbar commands by these indexes in their messages.
static_assert(CMainFrame::Load == ToolbarCommand::Load && CMainFrame::Save == ToolbarCommand::Save);

// The desktop theme's phone, or a drawn one where the theme has none.
QIcon PhoneIcon() {
    const QIcon themed = QIcon::fromTheme(QStringLiteral("phone"));
    if (!themed.isNull()) {
        return themed;
    }
    QPixmap pixmap(30, 30);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x1f, 0x5f, 0xa8), 2));
    painter.drawRoundedRect(QRectF(9, 3, 12, 24), 2.5, 2.5);
    painter.drawLine(QPointF(13, 23), QPointF(17, 23));
    return QIcon(pixmap);
}

}  // namespace

CMainFrame::CMainFrame(Options options)
    : options_(std::move(options)),
      ownMessages_(options_.messages ? nullptr : std::make_unique<CQtMessageBoxService>(this)),
      messages_(options_.messages ? options_.messages : ownMessages_.get()),
      model_(std::make_unique<StudioModel>()),
      fileStore_(model_.get(), messages_, options_.workDir),
      optionFile_(messages_, options_.workDir) {
    setWindowTitle(QStringLiteral("Orvane"));
    setWindowIcon(AppIcon());
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    // Dragged smaller, the window stops at 800 x 500; anything larger is taken as it is.
    setMinimumSize(800, 500);
    resize(800, 500);

    // Defaults first; the file then brings the port name and baud rate of the last run.
    portSettings_ = PortSettings{};
    optionFile_.LoadOptionFile(portSettings_);
    link_ = std::make_unique<CCommThread>(this);
    eventHandler_ = std::make_unique<CStrobeEventHandler>(this, model_.get());
    confirmations_ = std::make_unique<CConfirmationTracker>(*eventHandler_, *model_);
    protocol_ = std::make_unique<CZbProtocol>(confirmations_.get(), link_.get());
    protocol_->SetSendObserver(confirmations_.get());
    confirmations_->SetOnChanged([this](StrobeData& unit) { OnConfirmationChanged(unit); });
    framer_ = std::make_unique<CReceiveFramer>(*protocol_);
    commands_ = std::make_unique<CCommands>(*model_, *protocol_, options_.workDir);
    connect(commands_.get(), &CCommands::ScanStarted, this, &CMainFrame::OnScanStarted);
    // Posted: the selection that needs the scan is still changing, and the scan frees the units
    // it may name.
    connect(commands_.get(), &CCommands::RescanNeeded, this,
            [this] { PostWindowMessage(this, Msg::RescanSelectedStudio); });
    // The port is tried before any widget is made: the first accessible name connects Qt to the
    // desktop's session bus and waits for it (a bus started on demand, a busy one, one that never
    // answers), and a restarted program must find its dongle at once. What the reader posts
    // meanwhile waits in the queue for the panes below.
    const bool opened = link_->Open(portSettings_) != 0;
    // After the protocol: the group settings panel keeps a pointer to it from its first update.
    BuildPanes();
    BuildBars();
    BuildDocumentCommands();
    SetConnected(opened, link_->LastOpenProblem());
    if (!opened) {
        reconnectTimer_.start(kReconnectMs, this);
    }
}

CMainFrame::~CMainFrame() {
    // The reader must be gone before anything it could post to goes; Close waits for it.
    if (connected_) {
        link_->Close();
    }
    link_.reset();
    // The panes hold plain pointers to the model: let them go before it does.
    std::unique_ptr<QWidget> panes(takeCentralWidget());
}

void CMainFrame::BuildPanes() {
    outerSplitter_ = new CStrobeSplitterWnd(this);
    outerSplitter_->setObjectName(QStringLiteral("outerSplitter"));
    innerSplitter_ = new CStrobeSplitterWnd(outerSplitter_);
    innerSplitter_->setObjectName(QStringLiteral("innerSplitter"));
    auto* studioList = new CStudioListFormView(innerSplitter_);
    auto* control = new CControlFormView(innerSplitter_);
    innerSplitter_->addWidget(studioList);
    innerSplitter_->addWidget(control);
    auto* navigation = new CNavigationFormView(outerSplitter_);
    outerSplitter_->addWidget(innerSplitter_);
    outerSplitter_->addWidget(navigation);
    for (CStrobeSplitterWnd* splitter : {outerSplitter_, innerSplitter_}) {
        splitter->SetMinimumColumnWidth(0, 100);
        splitter->SetMinimumColumnWidth(1, 100);
    }
    const PaneContext context{this,        this,      model_.get(),         protocol_.get(),
                              &fileStore_, messages_, confirmations_.get(), commands_.get()};
    for (CPaneBase* pane : std::initializer_list<CPaneBase*>{studioList, control, navigation}) {
        pane->Attach(context);
    }
    setCentralWidget(outerSplitter_);
    follower_ = new CRecordFollower(*model_, *this, this);
}

void CMainFrame::BuildBars() {
    auto* toolbar = addToolBar(QStringLiteral("Toolbar"));
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setMovable(false);
    toolbar->setIconSize(QSize(30, 30));
    toolbar->setAccessibleName(QStringLiteral("Toolbar"));
    toolbar_ = toolbar;
    for (int i = 0; i < kCommandCount; ++i) {
        const QString text = QString::fromLatin1(kCommands[i].text);
        auto* action = new QAction(ToolbarIcon(i), text, this);
        action->setObjectName(text.toLower() + QStringLiteral("Action"));
        action->setToolTip(text);
        action->setData(kCommands[i].id);
        action->setEnabled(commandEnabled_[i] != 0);
        actions_[i] = action;
        if (i == Scan || i == Com) {
            toolbar->addSeparator();
        }
        toolbar->addAction(action);
    }
    connect(actions_[Load], &QAction::triggered, this,
            [this] { SendWindowMessage(ControlPane(), Msg::LoadCommand); });
    connect(actions_[Save], &QAction::triggered, this,
            [this] { SendWindowMessage(ControlPane(), Msg::SaveCommand); });
    connect(actions_[Scan], &QAction::triggered, this, &CMainFrame::OnScan);
    connect(actions_[Name], &QAction::triggered, this,
            [this] { SendWindowMessage(StudioListPane(), Msg::ApplyName); });
    connect(actions_[Com], &QAction::triggered, this, &CMainFrame::OnComSetting);
    BuildHistoryCommands(*toolbar);

    auto* about = new QAction(QStringLiteral("About"), this);
    about->setShortcut(QKeySequence::HelpContents);
    about->setShortcutContext(Qt::ApplicationShortcut);
    connect(about, &QAction::triggered, this, &CMainFrame::ShowAbout);
    addAction(about);

    statusText_ = new QLabel(QStringLiteral(" "), this);
    statusText_->setFixedWidth(500);
    connectionText_ = new CConnectionPane(this);
    connectionText_->setFixedWidth(150);
    statusBar()->addWidget(statusText_);
    statusBar()->addWidget(connectionText_);
    remoteText_ = new QLabel(this);
    remoteText_->setObjectName(QStringLiteral("remoteText"));
    remoteText_->setTextFormat(Qt::PlainText);
    remoteText_->hide();
    statusBar()->addPermanentWidget(remoteText_);
}

void CMainFrame::ShowRemoteState(const QString& text, const QString& details) {
    remoteText_->setText(text);
    SetTipAndDescription(*remoteText_, details);
    remoteText_->show();
}

void CMainFrame::SetPhonePairing(PhonePairing pairing) {
    phonePairing_ = std::move(pairing);
    if (phoneAction_ || !toolbar_) {
        return;
    }
    const QString text = QStringLiteral("Phone");
    phoneAction_ = new QAction(PhoneIcon(), text, this);
    phoneAction_->setObjectName(QStringLiteral("phoneAction"));
    phoneAction_->setToolTip(QStringLiteral("Pair a phone as the remote"));
    toolbar_->addAction(phoneAction_);
    if (QWidget* button = toolbar_->widgetForAction(phoneAction_)) {
        button->setAccessibleName(text);
    }
    connect(phoneAction_, &QAction::triggered, this, [this] {
        CPhoneDialog dialog(phonePairing_, messages_, this);
        dialog.exec();
    });
}

void CMainFrame::BuildHistoryCommands(QToolBar& toolbar) {
    auto* history = new CHistoryActions(commands_->History(), toolbar, *this);
    undoAction_ = history->Undo();
    redoAction_ = history->Redo();
    connect(undoAction_, &QAction::triggered, this, &CMainFrame::OnUndo);
    connect(redoAction_, &QAction::triggered, this, &CMainFrame::OnRedo);
}

void CMainFrame::OnUndo() {
    ShowRefusal(commands_->Undo());
}

void CMainFrame::OnRedo() {
    ShowRefusal(commands_->Redo());
}

void CMainFrame::ShowRefusal(const CommandResult& result) {
    if (!result) {
        messages_->Show(result.reason, result.caption.isEmpty() ? kAppTitle : result.caption,
                        CMessageBoxService::Buttons::Ok);
    }
}

void CMainFrame::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    // Sized once the window has its real width, so that the layout does not rescale them.
    if (!panesSized_) {
        panesSized_ = true;
        outerSplitter_->SetColumnWidths(525, 275);
        innerSplitter_->SetColumnWidths(200, 325);
    }
}

void CMainFrame::BuildDocumentCommands() {
    // The window has no menu; Ctrl+N, Ctrl+O and Ctrl+S still reach the (empty) document.
    const auto add = [this](QKeySequence::StandardKey key, const QString& text, auto handler) {
        auto* action = new QAction(text, this);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
    };
    add(QKeySequence::New, QStringLiteral("New"), [this] { document_.OnNewDocument(); });
    add(QKeySequence::Open, QStringLiteral("Open"), [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"));
        if (!path.isEmpty() && !document_.OnOpenDocument(path)) {
            messages_->Show(QStringLiteral("Failed to open document."), kAppTitle,
                            CMessageBoxService::Buttons::Ok);
        }
    });
    add(QKeySequence::Save, QStringLiteral("Save"), [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"));
        if (!path.isEmpty() && !document_.OnSaveDocument(path)) {
            messages_->Show(QStringLiteral("Failed to save document."), kAppTitle,
                            CMessageBoxService::Buttons::Ok);
        }
    });
}

QWidget* CMainFrame::StudioListPane() const {
    return innerSplitter_->Pane(0);
}
QWidget* CMainFrame::ControlPane() const {
    return innerSplitter_->Pane(1);
}
QWidget* CMainFrame::NavigationPane() const {
    return outerSplitter_->Pane(1);
}

QString CMainFrame::ConnectionText() const {
    return connectionText_->text();
}

bool CMainFrame::event(QEvent* e) {
    if (const WindowMessageEvent* message = AsWindowMessage(e)) {
        return OnMessage(*message);
    }
    if (e->type() == AlertEvent::Type()) {
        const auto* alert = static_cast<const AlertEvent*>(e);
        ShowAlert(alert->Caption(), alert->Text());
        return true;
    }
    return QMainWindow::event(e);
}

bool CMainFrame::OnMessage(const WindowMessageEvent& m) {
    // A unit named by a message that waited in the queue may have been freed meanwhile, by a scan
    // that cleared its studio: such a message has nothing left to tell anyone.
    if (m.Stamp() != 0 && !model_->LiveUnit(m.LParam(), m.Stamp())) {
        return true;
    }
    const auto isSelectedUnit = [this](const WindowMessageEvent& msg) {
        return msg.LParamAs<StrobeData>() == model_->SelectedUnit();
    };
    switch (m.Message()) {
        case Msg::EnableCommand:
            SetCommandEnabled(static_cast<int>(m.WParam()), static_cast<int>(m.LParam()));
            return true;
        case Msg::BytesWaiting:
            framer_->Run(link_->Queue());
            return true;
        case Msg::ReaderEnded:
            OnLinkLost();
            return true;
        case Msg::UnitCreated:
            PostWindowMessage(StudioListPane(), Msg::UnitPlaced, m.WParam(), m.LParam(), m.Stamp());
            emit model_->Events().UnitPlaced(m.LParamAs<StrobeData>());
            return true;
        case Msg::UnitStatusRefreshed:
            PostWindowMessage(NavigationPane(), Msg::UnitRefreshed, m.WParam(), m.LParam(),
                              m.Stamp());
            if (isSelectedUnit(m)) {
                PostWindowMessage(ControlPane(), Msg::SelectedUnitRefreshed, m.WParam(), m.LParam(),
                                  m.Stamp());
            }
            emit model_->Events().UnitChanged(m.LParamAs<StrobeData>(), ModelEvents::kAllSettings,
                                              true);
            return true;
        case Msg::UnitSettingReported:
            SendWindowMessage(NavigationPane(), Msg::UnitSettingChanged, m.WParam(), m.LParam());
            if (isSelectedUnit(m)) {
                SendWindowMessage(ControlPane(), Msg::SelectedUnitSettingChanged, m.WParam(),
                                  m.LParam());
            }
            if (m.LParam() != 0) {
                emit model_->Events().UnitChanged(m.LParamAs<StrobeData>(),
                                                  static_cast<int>(m.WParam()), true);
            }
            return true;
        case Msg::RescanSelectedStudio:
            OnScan();
            return true;
        default:
            return false;
    }
}

void CMainFrame::OnConfirmationChanged(StrobeData& unit) {
    // Sent, not posted: the tracker hands over a unit that is alive now.
    SendWindowMessage(NavigationPane(), Msg::UnitConfirmationChanged, unit.nChNum, AsLParam(&unit));
    if (&unit == model_->SelectedUnit()) {
        SendWindowMessage(ControlPane(), Msg::UnitConfirmationChanged, unit.nChNum,
                          AsLParam(&unit));
    }
}

void CMainFrame::SetCommandEnabled(int index, int value) {
    if (index < 0 || index >= kCommandCount) {
        return;
    }
    commandEnabled_[index] = value;
    actions_[index]->setEnabled(value == 1);
}

void CMainFrame::timerEvent(QTimerEvent* e) {
    if (e->timerId() == reconnectTimer_.timerId()) {
        OnReconnectTick();
        return;
    }
    QMainWindow::timerEvent(e);
}

void CMainFrame::OnReconnectTick() {
    if (connected_) {
        return;
    }
    const bool opened = link_->Open(portSettings_) != 0;
    SetConnected(opened, link_->LastOpenProblem());
    if (opened) {
        reconnectTimer_.stop();
    }
}

void CMainFrame::OnLinkLost() {
    // Until the next try, a look that opens nothing tells what became of the port: after a pull
    // the device is usually gone already.
    SetConnected(false, PortCheck::Check(link_->LastOpenProblem().port));
    reconnectTimer_.start(kReconnectMs, this);
}

void CMainFrame::SetConnected(bool connected, const PortReport& report) {
    connected_ = connected ? 1 : 0;
    connectionText_->Show(connected, report);
    commands_->SetLink(connected, report.port, connected ? QString() : PortReportText(report));
    if (comDialog_) {
        comDialog_->UpdatePortReason();
    }
    emit ConnectionShown(connected);
}

void CMainFrame::OnComSetting() {
    // The port the link tries reads as the status bar tells it; any other is looked at afresh.
    CComSettingDlg dialog(&portSettings_, this, [this](const QString& portName) {
        const PortReport& shown = connectionText_->Report();
        return portName == shown.port ? shown : PortCheck::Check(portName);
    });
    comDialog_ = &dialog;
    reconnectTimer_.stop();
    if (connected_) {
        // The reader ends at once and its ReaderEnded arrives while the dialog runs, which starts
        // the reconnect ticks again on the settings of before.
        link_->Close();
        connected_ = 0;
    }
    const int result = dialog.DoModal();
    comDialog_ = nullptr;
    if (result == CComSettingDlg::kIdOk) {
        if (connected_) {
            // Reopened on the old settings while the dialog ran: the new ones apply next time.
            reconnectTimer_.start(kReconnectMs, this);
        } else {
            const bool opened = link_->Open(portSettings_) != 0;
            SetConnected(opened, link_->LastOpenProblem());
            if (!opened) {
                reconnectTimer_.start(kReconnectMs, this);
            }
        }
        optionFile_.SaveOptionFile(portSettings_);
    } else {
        // A port the ticks reopened during the dialog stays open; say so rather than claim it lost.
        SetConnected(connected_ != 0, connectionText_->Report());
        reconnectTimer_.start(kReconnectMs, this);
    }
}

void CMainFrame::OnScan() {
    // Before anything is selected there is no studio to scan.
    StudioData* studio = model_->SelectedStudio();
    if (!studio) {
        return;
    }
    scanDialogOwnRun_ = true;
    const bool started = static_cast<bool>(commands_->Scan(*studio));
    scanDialogOwnRun_ = false;
    if (started) {
        RunScanDialog(studio);
    }
}

void CMainFrame::OnScanStarted(StudioData* studio) {
    SendWindowMessage(StudioListPane(), Msg::ScanStarted, 0, AsLParam(studio));
    if (!scanDialogOwnRun_) {
        // A scan asked for elsewhere (a selection that needs one, the remote interface): its
        // dialog holds the window once the asker is done.
        QMetaObject::invokeMethod(
            this, [this, studio] { RunScanDialog(studio); }, Qt::QueuedConnection);
    }
}

void CMainFrame::RunScanDialog(StudioData* studio) {
    emit ScanStarted(studio);
    // Units that answer are created and shown while the dialog counts.
    CWaitingDlg dialog(studio->sStudioName, this, options_.scanTickMs);
    dialog.exec();
    commands_->EndScan();
    emit ScanFinished(studio);
}

void CMainFrame::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::ShowAlert(const QString& caption, const QString& text) {
    qCWarning(lcShell) << caption << text;
    messages_->Show(text, caption, CMessageBoxService::Buttons::Ok);
}
