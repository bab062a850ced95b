// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Receives the canvas's pointer and key events. The canvas widget forwards every event to its
// handler and only paints; the gesture logic (selection, drags, resizes, cable drawing) lives in
// an implementation of this interface. Each method returns true when it consumed the event.

class QContextMenuEvent;
class QKeyEvent;
class QMouseEvent;

namespace velmora {

class CanvasInputHandler {
public:
    virtual ~CanvasInputHandler() = default;
    virtual bool mousePress(QMouseEvent* event) = 0;
    virtual bool mouseMove(QMouseEvent* event) = 0;
    virtual bool mouseRelease(QMouseEvent* event) = 0;
    virtual bool mouseDoubleClick(QMouseEvent* event) = 0;
    virtual bool hoverLeave() = 0;
    // The canvas lost the keyboard focus: a running gesture will get no release.
    virtual bool focusLost() = 0;
    virtual bool contextMenu(QContextMenuEvent* event) = 0;
    virtual bool keyPress(QKeyEvent* event) = 0;
};

} // namespace velmora
