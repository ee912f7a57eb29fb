#pragma once

#include <QSlider>

#include <functional>

// A horizontal slider with a flat, light look: a thin groove, filled up to the thumb, and a plain
// round-cornered thumb.
//
// It tells its owner about the user's changes in two steps: ThumbTrack while the thumb moves, and
// ThumbReleased once the user is done with it. Owners that act on a value only once, such as
// sending it to a unit, listen to ThumbReleased. What the program sets with SetPos or SetRange is
// not reported.
//
// What counts as done:
//   - the mouse button is let go, also after a press that moved nothing, and also after a press on
//     the groove that stepped the thumb by a page;
//   - each key that steps the thumb (arrows, Page Up, Page Down, Home, End), since the step has no
//     drag to end;
//   - each turn of the mouse wheel, for the same reason, but only while the slider has the
//     keyboard focus: a wheel turned over a slider the user is not working with scrolls past it.
// ThumbTrack comes only when the position changed; ThumbReleased comes every time, with the
// position the thumb ended at.
class COXCoolSliderCtrl : public QSlider {
    Q_OBJECT
public:
    explicit COXCoolSliderCtrl(QWidget* parent = nullptr);

    // The position is kept inside the range; a position outside it moves to the nearest end.
    void SetRange(int min, int max);
    void SetPos(int position);
    // Where the thumb is, also while the user drags it.
    int GetPos() const { return sliderPosition(); }
    // Whether the mouse holds the thumb: a drag, as opposed to a key or wheel step.
    bool IsHeldByMouse() const { return mouseGesture_; }

signals:
    void ThumbTrack(int position);
    void ThumbReleased(int position);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void OnAction(int action);
    // Starts a user's gesture: the position it starts from, so that only changes are tracked.
    void BeginGesture();
    // A key or wheel step, handled by the slider itself: done once it moved the thumb.
    void Step(const std::function<void()>& handle);

    int trackedPos_ = 0;
    bool stepped_ = false;       // the current key or wheel event moved the thumb by a step
    bool mouseGesture_ = false;  // a mouse press has been taken and not yet released
};
