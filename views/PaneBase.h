#pragma once

#include "platform/WindowMessage.h"

#include <QWidget>

class QLabel;
class StudioModel;

// What the three panes share: the main frame and the model they are attached to, a caption line,
// and one place where window messages arrive.
class CPaneBase : public QWidget {
    Q_OBJECT
public:
    CPaneBase(const QString& caption, QWidget* parent);

    // Called by the main frame once the pane sits in its splitter.
    void Attach(QObject* mainFrame, StudioModel* model);

protected:
    bool event(QEvent* e) override;
    // Handles one window message; false leaves it to the default handling.
    virtual bool OnMessage(const WindowMessageEvent& message) = 0;

    QObject* MainFrame() const { return mainFrame_; }
    StudioModel* Model() const { return model_; }

private:
    QObject* mainFrame_ = nullptr;  // not owned
    StudioModel* model_ = nullptr;  // not owned
    QLabel* caption_;
};
