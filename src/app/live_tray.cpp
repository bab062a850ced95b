// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/live_tray.h"

#include "app/content_view.h"
#include "app/document_controller.h"
#include "app/main_window.h"
#include "app/velmora_document.h"
#include "canvas/canvas_renderer.h"
#include "canvas/view_state.h"
#include "monitor/ping_manager.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

QIcon statusIcon(const QColor& color)
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const double ring = std::max(1.0, size / 12.0);
        painter.setPen(QPen(QColor(20, 20, 20), ring));
        painter.setBrush(color);
        painter.drawEllipse(QRectF(ring / 2, ring / 2, size - ring, size - ring));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

TrayLook trayLook(const LiveCounts& counts)
{
    TrayLook look;
    if (counts.offline > 0)
        look.worst = PingStatus::offline;
    else if (counts.slow > 0)
        look.worst = PingStatus::slow;
    else if (counts.unknown > 0 || counts.online == 0)
        look.worst = PingStatus::unknown;
    else
        look.worst = PingStatus::online;
    look.color = toColor(statusColor(look.worst));
    look.toolTip = LiveTray::tr("Velmora: %1 online, %2 slow, %3 offline, %4 unknown")
                       .arg(counts.online)
                       .arg(counts.slow)
                       .arg(counts.offline)
                       .arg(counts.unknown);
    return look;
}

LiveTray::LiveTray(DocumentController* controller)
    : QObject(controller), m_controller(controller),
      m_available(QSystemTrayIcon::isSystemTrayAvailable())
{
}

LiveTray::~LiveTray()
{
    delete m_menu;
}

void LiveTray::setAvailable(bool available)
{
    m_available = available;
    refresh();
}

void LiveTray::refresh()
{
    const QList<MainWindow*> windows = m_controller->windows();
    LiveCounts total;
    bool anyLive = false;
    bool anyInBackground = false;
    QStringList labels;
    for (MainWindow* window : windows) {
        labels.append(tr("Show %1").arg(window->document()->displayName()));
        anyInBackground = anyInBackground || window->isInBackground();
        const ContentView* view = window->contentView();
        if (view->viewState()->appMode() != AppMode::live)
            continue;
        anyLive = true;
        const LiveCounts counts =
            countStatuses(view->session()->nodes(), view->pingManager()->nodeStatuses());
        total.online += counts.online;
        total.slow += counts.slow;
        total.offline += counts.offline;
        total.unknown += counts.unknown;
    }
    // A window monitoring in the background keeps the application running; once none is left
    // and no window is open either, the application ends as it would have.
    const bool wasKeptRunning = !QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(!anyInBackground);
    if (wasKeptRunning && windows.isEmpty())
        QCoreApplication::quit();

    if (!anyLive || !m_available) {
        if (m_icon)
            m_icon->hide();
        return;
    }
    const TrayLook look = trayLook(total);
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(this);
        m_menu = new QMenu;
        m_icon->setContextMenu(m_menu);
        connect(m_icon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger && !m_menu->actions().isEmpty())
                        m_menu->actions().constFirst()->trigger();
                });
    }
    if (!m_icon->isVisible() || look.worst != m_look.worst)
        m_icon->setIcon(statusIcon(look.color));
    m_icon->setToolTip(look.toolTip);
    m_look = look;
    if (labels != m_menuLabels || windows != m_menuWindows || m_menu->actions().isEmpty())
        rebuildMenu(labels);
    m_icon->show();
}

void LiveTray::rebuildMenu(const QStringList& labels)
{
    const QList<MainWindow*> windows = m_controller->windows();
    m_menuLabels = labels;
    m_menuWindows = windows;
    m_menu->clear();
    for (qsizetype i = 0; i < windows.size() && i < labels.size(); ++i) {
        QString label = labels.at(i);
        QAction* show = m_menu->addAction(label.replace(u'&', u"&&"_s));
        connect(show, &QAction::triggered, this, [window = QPointer<MainWindow>(windows.at(i))] {
            if (!window)
                return;
            window->show();
            window->raise();
            window->activateWindow();
        });
    }
    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(tr("Quit"));
    connect(quit, &QAction::triggered, m_controller, &DocumentController::quit);
}

} // namespace velmora
