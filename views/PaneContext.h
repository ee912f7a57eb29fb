#pragma once

class CCommands;
class CConfirmationTracker;
class CMessageBoxService;
class CPaneHost;
class CZbProtocol;
class QObject;
class StudioFileStore;
class StudioModel;

// What a pane is given when it is attached: the collaborators it may use, and nothing else. None
// of them is owned by the pane; the window that holds the panes outlives them all.
struct PaneContext {
    QObject* frame = nullptr;   // takes the panes' messages to the window (toolbar state, re-scan)
    CPaneHost* host = nullptr;  // the other panes, found by their place
    StudioModel* model = nullptr;
    CZbProtocol* protocol = nullptr;
    StudioFileStore* fileStore = nullptr;
    CMessageBoxService* messages = nullptr;
    const CConfirmationTracker* confirmations = nullptr;  // whether units took what was sent
    CCommands* commands = nullptr;  // every change a pane makes goes through them
};

// The toolbar commands a pane switches on and off with WM_USER+50, by the index it names them with.
namespace ToolbarCommand {
constexpr int Load = 0;
constexpr int Save = 1;
}  // namespace ToolbarCommand
