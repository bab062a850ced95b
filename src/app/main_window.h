// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window of one open project: the content view, the File and Edit menus, the title with the
// unsaved-changes marker, and the first-show resize to the screen's available area. The Edit
// menu's commands are the content view's and act on this window only.

#include <QMainWindow>

class QMenu;

namespace velmora {

class ContentView;
class DocumentController;
class ProjectSession;
class VelmoraDocument;

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    static constexpr QSize minimumWindowSize{1000, 600};
    static constexpr QSize defaultWindowSize{1280, 800};
    // Delay between the window first appearing and its resize to the screen's available area.
    static constexpr int fitToScreenDelayMs = 100;

    // Takes ownership of `document`.
    MainWindow(VelmoraDocument* document, DocumentController* controller);
    ~MainWindow() override;

    VelmoraDocument* document() const { return m_document; }
    ContentView* contentView() const { return m_contentView; }
    ProjectSession* session() const;

    // Closes without asking about unsaved changes (the caller has asked already).
    void closeConfirmed();

    // Closed while monitoring with "Keep monitoring when the window is closed" on: hidden, still
    // open and monitoring, until shown again or closed by Quit.
    bool isInBackground() const { return m_inBackground; }

signals:
    void backgroundChanged();
    // From the destructor, while the window is still whole, so that lists of windows drop it
    // before its parts go (QObject::destroyed comes when it is a plain QObject already).
    void aboutToBeDestroyed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createMenus();
    void updateTitle();
    void rebuildRecentMenu();
    void fitToScreen();
    void exportMap();

    VelmoraDocument* m_document;
    DocumentController* m_controller;
    ContentView* m_contentView;
    QMenu* m_recentMenu = nullptr;
    bool m_shownOnce = false;
    bool m_closeConfirmed = false;
    bool m_inBackground = false;
};

} // namespace velmora
