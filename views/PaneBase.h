#pragma once

#include "platform/WindowMessage.h"
#include "views/PaneContext.h"

#include <QWidget>

// What the three panes share: the collaborators they are attached with, and one place where window
// messages arrive.
class CPaneBase : public QWidget {
    Q_OBJECT
public:
    explicit CPaneBase(QWidget* parent) : QWidget(parent) {}

    // Called by the window that holds the panes once the pane sits in its splitter.
    void Attach(const PaneContext& context);

protected:
    bool event(QEvent* e) override;
    // Handles one window message; false leaves it to the default handling.
    virtual bool OnMessage(const WindowMessageEvent& message) = 0;
    // Runs once, when the pane has its collaborators.
    virtual void OnInitialUpdate() {}

    const PaneContext& Context() const { return context_; }
    QObject* MainFrame() const { return context_.frame; }
    // The window holding the panes, through which a pane reaches the others.
    CPaneHost* Host() const { return context_.host; }
    StudioModel* Model() const { return context_.model; }

private:
    PaneContext context_;
};
