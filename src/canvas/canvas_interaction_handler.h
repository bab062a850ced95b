// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Connects the canvas controller to the canvas widget and the view state: forwards the widget's
// pointer, key and context-menu events to CanvasInteraction, lets the controller reach zoom and
// pan through ViewState, and hands the controller's gesture state and the search matches to the
// widget for drawing.

#include "canvas/canvas_input_handler.h"
#include "canvas/canvas_interaction.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace velmora {

class CanvasWidget;
class ProjectSession;
class ViewState;

class CanvasInteractionHandler final : public QObject,
                                       public CanvasInputHandler,
                                       private ViewAccess {
    Q_OBJECT
public:
    // Installs itself as the widget's input handler.
    CanvasInteractionHandler(CanvasWidget* canvas, ViewState* view, ProjectSession* session,
                             QObject* parent = nullptr);
    ~CanvasInteractionHandler() override;

    CanvasInteraction* interaction() const { return m_interaction; }
    // Runs for "Custom..." in the context menu's "Set Type".
    void setCustomTypeSheetOpener(std::function<void()> open)
    {
        m_openCustomType = std::move(open);
    }

    bool mousePress(QMouseEvent* event) override;
    bool mouseMove(QMouseEvent* event) override;
    bool mouseRelease(QMouseEvent* event) override;
    bool mouseDoubleClick(QMouseEvent* event) override;
    bool hoverLeave() override;
    bool focusLost() override;
    bool contextMenu(QContextMenuEvent* event) override;
    bool keyPress(QKeyEvent* event) override;

private:
    ViewTransform transform() const override;
    void dragPan(QSizeF translation) override;
    void endDragPan() override;
    QSize mapImageSize() const override;
    void zoomIn() override;
    void zoomOut() override;
    void zoomToNodes(const QSet<qint64>& nodeIds) override;

    void publishGesture();
    void publishSearchMatches();

    QPointer<CanvasWidget> m_canvas; // may be destroyed first
    ViewState* m_view;
    ProjectSession* m_session;
    CanvasInteraction* m_interaction;
    std::function<void()> m_openCustomType;
};

} // namespace velmora
