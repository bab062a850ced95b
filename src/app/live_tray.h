// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The system tray icon shown while any project window is in live mode: its colour is the worst
// status over the live windows' nodes, its tooltip the four counts, its menu "Show <project>"
// for every open project and "Quit". On a desktop without a tray it never appears, and closing
// a window never hides it to the background there.

#include "monitor/ping_status.h"
#include "panes/live_pane.h"

#include <QColor>
#include <QObject>
#include <QStringList>

class QMenu;
class QSystemTrayIcon;

namespace velmora {

class DocumentController;
class MainWindow;

struct TrayLook {
    PingStatus worst = PingStatus::unknown;
    QColor color;
    QString toolTip;
};

// Worst first: any offline, else any slow, else any unknown, else (all online) online. A
// window without nodes counts as unknown.
TrayLook trayLook(const LiveCounts& counts);

class LiveTray final : public QObject {
    Q_OBJECT
public:
    explicit LiveTray(DocumentController* controller);
    ~LiveTray() override;

    // Whether the desktop has a tray (asked once); tests stand in for a tray host.
    bool isAvailable() const { return m_available; }
    void setAvailable(bool available);

    // Shows, updates or hides the icon after publications, mode switches and windows coming
    // and going, and keeps the application running while a window monitors in the background.
    void refresh();

    // The icon while one is shown, else null.
    QSystemTrayIcon* icon() const { return m_icon; }
    TrayLook look() const { return m_look; }

private:
    void rebuildMenu(const QStringList& labels);

    DocumentController* m_controller;
    bool m_available;
    QSystemTrayIcon* m_icon = nullptr;
    QMenu* m_menu = nullptr;
    QStringList m_menuLabels;
    QList<MainWindow*> m_menuWindows; // compared only: the menu follows the set of windows
    TrayLook m_look;
};

} // namespace velmora
