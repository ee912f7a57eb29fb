#pragma once

class QWidget;

// What a pane needs of the window that holds it: the other panes, found by their place in the
// splitters. Panes never keep pointers to each other.
class CPaneHost {
public:
    virtual QWidget* StudioListPane() const = 0;
    virtual QWidget* ControlPane() const = 0;
    virtual QWidget* NavigationPane() const = 0;

protected:
    ~CPaneHost() = default;
};
