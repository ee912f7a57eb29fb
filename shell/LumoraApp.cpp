#include "shell/LumoraApp.h"

#include "platform/QuitOnSignal.h"
#include "shell/MainFrame.h"

CLumoraApp::CLumoraApp(int& argc, char** argv) : QApplication(argc, argv) {
    // The settings key the program has always kept its recent-file list under.
    setOrganizationName(QStringLiteral("로컬 응용 프로그램 마법사에서 생성된 응용 프로그램"));
    setApplicationName(QStringLiteral("Lumora"));
    // No display name: once one is set, the X11 platform appends " — " and that name to the title
    // a window manager shows for every window whose caption does not already end in it, and
    // every caption must read exactly as written. Desktops take "Orvane" from the desktop entry.
    setDesktopFileName(QStringLiteral("orvane"));
}

CLumoraApp::~CLumoraApp() = default;

bool CLumoraApp::InitInstance() {
    return InitInstance(MainFrameOptions{});
}

bool CLumoraApp::InitInstance(const MainFrameOptions& options) {
    quitOnSignal_ = std::make_unique<CQuitOnSignal>();
    frame_ = std::make_unique<CMainFrame>(options);
    frame_->setWindowTitle(QStringLiteral("Orvane"));
    frame_->show();
    return true;
}
