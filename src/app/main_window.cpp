// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include "app/content_view.h"
#include "app/document_controller.h"
#include "app/file_labels.h"
#include "app/map_export_flow.h"
#include "app/velmora_document.h"
#include "app/view_help_menus.h"
#include "canvas/canvas_widget.h"
#include "model/project_session.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace velmora {

MainWindow::~MainWindow()
{
    emit aboutToBeDestroyed();
}

MainWindow::MainWindow(VelmoraDocument* document, DocumentController* controller)
    : m_document(document), m_controller(controller), m_contentView(new ContentView(document, this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_document->setParent(this);
    setCentralWidget(m_contentView);
    setMinimumSize(minimumWindowSize);
    resize(defaultWindowSize);
    createMenus();
    updateTitle();
    connect(m_document, &VelmoraDocument::modifiedChanged, this, &QWidget::setWindowModified);
    connect(m_document, &VelmoraDocument::filePathChanged, this, &MainWindow::updateTitle);
    connect(m_controller, &DocumentController::recentFilesChanged, this,
            &MainWindow::rebuildRecentMenu);
    connect(m_controller, &DocumentController::openFilesChanged, this, &MainWindow::updateTitle);
}

ProjectSession* MainWindow::session() const
{
    return m_contentView->session();
}

void MainWindow::createMenus()
{
    const auto addAction = [this](QMenu* menu, const QString& text, const QString& name,
                                  const QKeySequence& keys, auto slot) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };

    QMenu* file = menuBar()->addMenu(tr("&File"));
    addAction(file, tr("New"), u"actionNew"_s, QKeySequence(Qt::CTRL | Qt::Key_N),
              [this] { m_controller->newDocument(); });
    addAction(file, tr("Open…"), u"actionOpen"_s, QKeySequence(Qt::CTRL | Qt::Key_O),
              [this] { m_controller->openWithDialog(this); });
    m_recentMenu = file->addMenu(tr("Open Recent"));
    m_recentMenu->setObjectName(u"menuOpenRecent"_s);
    connect(m_recentMenu, &QMenu::aboutToShow, this, &MainWindow::rebuildRecentMenu);
    rebuildRecentMenu();
    file->addSeparator();
    addAction(file, tr("Save"), u"actionSave"_s, QKeySequence(Qt::CTRL | Qt::Key_S),
              [this] { m_controller->save(this); });
    addAction(file, tr("Save As…"), u"actionSaveAs"_s,
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
              [this] { m_controller->saveAs(this); });
    addAction(file, tr("Export Map…"), u"actionExportMap"_s, QKeySequence(Qt::CTRL | Qt::Key_E),
              [this] { exportMap(); });
    file->addSeparator();
    addAction(file, tr("Close"), u"actionClose"_s, QKeySequence(Qt::CTRL | Qt::Key_W),
              [this] { close(); });
    file->addSeparator();
    QAction* quit = addAction(file, tr("Quit"), u"actionQuit"_s, QKeySequence(Qt::CTRL | Qt::Key_Q),
                              [this] { m_controller->quit(); });
    quit->setMenuRole(QAction::QuitRole);

    const ContentView::EditActions& commands = m_contentView->editActions();
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addActions({commands.undo, commands.redo});
    edit->addSeparator();
    edit->addActions({commands.copy, commands.paste});
    edit->addSeparator();
    edit->addAction(commands.selectAll);

    createViewAndHelpMenus(menuBar(), m_contentView);
}

void MainWindow::exportMap()
{
    const QString base = m_document->isUntitled()
                             ? QDir::home().filePath(m_document->displayName())
                             : QFileInfo(m_document->filePath()).path() + u'/' +
                                   QFileInfo(m_document->filePath()).completeBaseName();
    runMapExportFlow(this, *m_contentView->canvas(), m_controller->dialogs(), base + u".png"_s);
}

void MainWindow::rebuildRecentMenu()
{
    m_recentMenu->clear();
    const QStringList recent = m_controller->recentFiles();
    for (const QString& path : recent) {
        QString label = distinctFileLabel(path, recent);
        label.replace(u'&', u"&&"_s);
        QAction* action = m_recentMenu->addAction(label);
        action->setData(path);
        action->setToolTip(path);
        action->setStatusTip(path);
        connect(action, &QAction::triggered, this, [this, path] { m_controller->openFile(path); });
    }
    if (!recent.isEmpty())
        m_recentMenu->addSeparator();
    QAction* clear = m_recentMenu->addAction(tr("Clear Menu"));
    clear->setObjectName(u"actionClearRecent"_s);
    clear->setEnabled(!recent.isEmpty());
    connect(clear, &QAction::triggered, m_controller, &DocumentController::clearRecentFiles);
}

void MainWindow::updateTitle()
{
    // "[*]" is where Qt shows the modified marker; one in the file name is doubled to show as is.
    QString name = m_document->isUntitled()
                       ? m_document->displayName()
                       : distinctFileLabel(m_document->filePath(), m_controller->openFiles());
    setWindowTitle(name.replace(u"[*]"_s, u"[*][*]"_s) + u"[*] — Velmora"_s);
    setWindowModified(m_document->isModified());
}

void MainWindow::closeConfirmed()
{
    m_closeConfirmed = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_closeConfirmed && m_controller->keepsMonitoringWhenClosed(this)) {
        event->ignore();
        hide();
        m_inBackground = true;
        emit backgroundChanged();
        return;
    }
    if (m_closeConfirmed || m_controller->confirmClose(this)) {
        m_closeConfirmed = true;
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_inBackground) {
        m_inBackground = false;
        emit backgroundChanged();
    }
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    QTimer::singleShot(fitToScreenDelayMs, this, &MainWindow::fitToScreen);
}

void MainWindow::fitToScreen()
{
    if (QScreen* s = screen()) {
        // Fit the whole window, frame included, into the screen minus panels and docks.
        const QRect frame = frameGeometry();
        const QRect inner = geometry();
        const QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(),
                               frame.right() - inner.right(), frame.bottom() - inner.bottom());
        setGeometry(s->availableGeometry().marginsRemoved(margins));
    }
    m_contentView->windowShown();
}

} // namespace velmora
