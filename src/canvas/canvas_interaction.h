// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The canvas's pointer controller. It tells clicks, double clicks and drags apart, runs the
// drag state machine (resize a node or the map, drag a cable point, move the selection, pan),
// draws new cables, applies the selection rules of both modes and carries the commands that
// keys and buttons run. It knows no widget: the canvas widget forwards positions (screen units
// of the canvas area) and modifiers. Zoom, pan and the mode are the view state's.

#include "canvas/cable_geometry.h"
#include "canvas/gesture_state.h"
#include "canvas/hit_test.h"
#include "canvas/view_transform.h"

#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <QUrl>

#include <functional>
#include <optional>

namespace velmora {

class ProjectSession;
class ViewState;

class CanvasInteraction final : public QObject {
    Q_OBJECT
public:
    // Pointer movement, in screen units, after which a press becomes a drag.
    static constexpr double dragThreshold = 5.0;

    using UrlOpener = std::function<void(const QUrl&)>;

    CanvasInteraction(ProjectSession* session, ViewState* view, QObject* parent = nullptr);

    ProjectSession* session() const { return m_session; }
    ViewState* view() const { return m_view; }
    const GestureState& gesture() const { return m_gesture; }
    // The geometry of the current project, view and gesture, for drawing and hit testing.
    CableGeometry cableGeometry() const;

    AppMode appMode() const;

    bool showSearchBar() const { return m_showSearchBar; }
    void setShowSearchBar(bool shown);
    void toggleSearchBar() { setShowSearchBar(!m_showSearchBar); }
    void closeSearch(); // hides the bar and empties the search text
    // "Select All" and "Zoom To" of the search bar; both do nothing without a match.
    void selectSearchResults();
    void zoomToSearchResults();

    // Opens URLs for "Open in Browser" and double clicks (default: QDesktopServices).
    void setUrlOpener(UrlOpener opener) { m_urlOpener = std::move(opener); }

    // Raw pointer input of the primary button, as the widget receives it. Every press starts
    // from a clean gesture: one whose release never came is ended first.
    void press(QPointF p);
    void move(QPointF p);
    void release(QPointF p, Qt::KeyboardModifiers modifiers);
    void doublePress(QPointF p); // the second press of a double click
    // The release of the current press will not arrive (a popup took it, the canvas lost the
    // focus, the pointer moves with the button up): the gesture ends as that release would,
    // except that a press that never became a drag is no click.
    void endLostPress();
    void hover(QPointF p);
    void hoverEnded();

    // Recognised gestures.
    void click(QPointF p, Qt::KeyboardModifiers modifiers);
    void doubleClick(QPointF p);
    void dragChanged(QPointF start, QSizeF translation);
    void dragEnded(QSizeF translation);

    // Commands.
    void escape();
    void openInBrowser(qint64 nodeId);

    // Cable drawing and point drags.
    void toggleCableDrawing();
    void addCablePoint(QPointF p);
    void cancelCableDrawing();
    void beginPointDrag(CablePointRef ref);
    void commitPointDrag();

signals:
    // The gesture state changed: the canvas should redraw.
    void gestureChanged();
    void searchBarShownChanged(bool shown);
    // A click reached the canvas (in-place editing elsewhere should end).
    void canvasClicked();

private:
    ViewTransform transform() const;
    bool isEdit() const { return appMode() == AppMode::edit; }
    bool startDrag(QPointF start); // true when the first call ends there
    void continueDrag(QSizeF translation);

    ProjectSession* m_session;
    ViewState* m_view;
    GestureState m_gesture;
    bool m_showSearchBar = false;
    UrlOpener m_urlOpener;

    // Press tracking that tells a click from a drag.
    std::optional<QPointF> m_pressPosition;
    QPointF m_lastPointer; // where the pressed pointer was last seen
    bool m_pressIsDrag = false;
    bool m_pressIsDoubleClick = false;
};

} // namespace velmora
