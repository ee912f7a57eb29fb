#pragma once

#include "platform/WindowMessage.h"

#include <QWidget>

class CPaneHost;
class StudioModel;

// What the three panes share: the main frame and the model they are attached to, and one place
// where window messages arrive.
class CPaneBase : public QWidget {
    Q_OBJECT
public:
    explicit CPaneBase(QWidget* parent) : QWidget(parent) {}

    // Called by the main frame once the pane sits in its splitter.
    void Attach(QObject* mainFrame, StudioModel* model);

protected:
    bool event(QEvent* e) override;
    // Handles one window message; false leaves it to the default handling.
    virtual bool OnMessage(const WindowMessageEvent& message) = 0;
    // Runs once, when the pane has its main frame and model.
    virtual void OnInitialUpdate() {}

    QObject* MainFrame() const { return mainFrame_; }
    // The window holding the panes, through which a pane reaches the others.
    CPaneHost* Host() const { return host_; }
    StudioModel* Model() const { return model_; }

private:
    QObject* mainFrame_ = nullptr;  // not owned
    CPaneHost* host_ = nullptr;     // the same window, seen as the holder of the panes
    StudioModel* model_ = nullptr;  // not owned
};
