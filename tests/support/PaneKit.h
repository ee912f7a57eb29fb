#pragma once

// What a pane is attached with when it is tested on its own, without a main window: the model, a
// protocol whose frames are written down instead of going to a line, a real studio-file store in a
// scratch folder, recorded message boxes, and a host that writes down what reaches the window and
// the other panes.

#include "commands/Commands.h"
#include "files/StudioFileStore.h"
#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "support/NotifyRecorder.h"
#include "support/RecordingLinkWriter.h"
#include "support/RecordingMessageBox.h"
#include "views/PaneContext.h"
#include "views/PaneHost.h"
#include "views/RecordFollower.h"

#include <QDir>
#include <QSize>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

#include <gtest/gtest.h>

// Stands where the main window stands: `frame` takes the messages for the window itself, and each
// other pane is a plain widget whose messages are written down and kept back.
class PaneHostStandIn final : public CPaneHost {
public:
    PaneHostStandIn() {
        studioList.Watch(studioListPane_.get());
        control.Watch(controlPane_.get());
        navigation.Watch(navigationPane_.get());
    }

    QWidget* StudioListPane() const override { return studioListPane_.get(); }
    QWidget* ControlPane() const override { return controlPane_.get(); }
    QWidget* NavigationPane() const override { return navigationPane_.get(); }

    // A toolbar command as the window shows it after the panes' WM_USER+50: off until a pane
    // switches it on, as Load and Save start.
    bool IsCommandEnabled(int index) const {
        bool enabled = false;
        for (const NotifyRecorder::Message& m : frame.messages) {
            if (m.message == Msg::EnableCommand && m.wParam == index) {
                enabled = m.lParam != 0;
            }
        }
        return enabled;
    }

    NotifyRecorder frame;
    NotifyRecorder studioList;
    NotifyRecorder control;
    NotifyRecorder navigation;

private:
    const std::unique_ptr<QWidget> studioListPane_ = std::make_unique<QWidget>();
    const std::unique_ptr<QWidget> controlPane_ = std::make_unique<QWidget>();
    const std::unique_ptr<QWidget> navigationPane_ = std::make_unique<QWidget>();
};

struct PaneKit {
    PaneContext Context() {
        return {&host.frame, &host, &model, &protocol, &fileStore, &messages, nullptr, &commands};
    }
    QString Folder() const { return folder.path(); }

    // A pane attached with this kit and shown as a window of its own, at `size` when one is given;
    // nullptr (and a test failure) when it is not shown.
    template <class Pane>
    std::unique_ptr<Pane> ShowPane(QSize size = {}) {
        auto pane = std::make_unique<Pane>(nullptr);
        pane->Attach(Context());
        if (size.isValid()) {
            pane->resize(size);
        }
        pane->show();
        if (!QTest::qWaitForWindowExposed(pane.get())) {
            ADD_FAILURE() << "the pane was not shown";
            return nullptr;
        }
        return pane;
    }

    QTemporaryDir folder;
    StudioModel model;
    RecordingMessageBox messages;
    RecordingLinkWriter link;
    CZbProtocol protocol{nullptr, &link};
    StudioFileStore fileStore{&model, &messages, QDir(folder.path())};
    PaneHostStandIn host;
    CCommands commands{model, protocol, QDir(folder.path())};
    // The panes hear of the changes the commands make as in the window.
    CRecordFollower follower{model, host};
};
