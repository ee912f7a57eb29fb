#pragma once

#include <QApplication>

#include <memory>

class CMainFrame;
class CQuitOnSignal;
struct MainFrameOptions;

// The application object: sets up the program's identity and settings, then builds and shows the
// one main window.
class CLumoraApp final : public QApplication {
    Q_OBJECT
public:
    CLumoraApp(int& argc, char** argv);
    ~CLumoraApp() override;

    // Builds and shows the main window; false when it could not be built.
    bool InitInstance();
    bool InitInstance(const MainFrameOptions& options);
    CMainFrame* MainFrame() const { return frame_.get(); }

private:
    std::unique_ptr<CQuitOnSignal> quitOnSignal_;
    std::unique_ptr<CMainFrame> frame_;
};
