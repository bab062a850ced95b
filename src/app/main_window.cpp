// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include "app/content_view.h"
#include "app/document_controller.h"
#include "app/velmora_document.h"
#include "model/project_session.h"

#include <QAbstractSpinBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace velmora {

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
        if (!keys.isEmpty())
            action->setShortcut(keys);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };

    QMenu* file = menuBar()->addMenu(u"&File"_s);
    addAction(file, u"New"_s, u"actionNew"_s, QKeySequence(Qt::CTRL | Qt::Key_N),
              [this] { m_controller->newDocument(); });
    addAction(file, u"Open…"_s, u"actionOpen"_s, QKeySequence(Qt::CTRL | Qt::Key_O),
              [this] { m_controller->openWithDialog(this); });
    m_recentMenu = file->addMenu(u"Open Recent"_s);
    m_recentMenu->setObjectName(u"menuOpenRecent"_s);
    connect(m_recentMenu, &QMenu::aboutToShow, this, &MainWindow::rebuildRecentMenu);
    rebuildRecentMenu();
    file->addSeparator();
    addAction(file, u"Save"_s, u"actionSave"_s, QKeySequence(Qt::CTRL | Qt::Key_S),
              [this] { m_controller->save(this); });
    addAction(file, u"Save As…"_s, u"actionSaveAs"_s,
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
              [this] { m_controller->saveAs(this); });
    file->addSeparator();
    addAction(file, u"Close"_s, u"actionClose"_s, QKeySequence(Qt::CTRL | Qt::Key_W),
              [this] { close(); });
    file->addSeparator();
    QAction* quit = addAction(file, u"Quit"_s, u"actionQuit"_s, QKeySequence(Qt::CTRL | Qt::Key_Q),
                              [this] { m_controller->quit(); });
    quit->setMenuRole(QAction::QuitRole);

    QMenu* edit = menuBar()->addMenu(u"&Edit"_s);
    addAction(edit, u"Undo"_s, u"actionUndo"_s, QKeySequence(Qt::CTRL | Qt::Key_Z),
              [this] { perform(EditCommand::undo); });
    addAction(edit, u"Redo"_s, u"actionRedo"_s, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
              [this] { perform(EditCommand::redo); });
    edit->addSeparator();
    addAction(edit, u"Copy"_s, u"actionCopy"_s, QKeySequence(Qt::CTRL | Qt::Key_C),
              [this] { perform(EditCommand::copy); });
    addAction(edit, u"Paste"_s, u"actionPaste"_s, QKeySequence(Qt::CTRL | Qt::Key_V),
              [this] { perform(EditCommand::paste); });
    edit->addSeparator();
    addAction(edit, u"Select All"_s, u"actionSelectAll"_s, QKeySequence(Qt::CTRL | Qt::Key_A),
              [this] { perform(EditCommand::selectAll); });
}

void MainWindow::rebuildRecentMenu()
{
    m_recentMenu->clear();
    const QStringList recent = m_controller->recentFiles();
    for (const QString& path : recent) {
        QString label = QFileInfo(path).fileName();
        label.replace(u'&', u"&&"_s);
        QAction* action = m_recentMenu->addAction(label);
        action->setData(path);
        action->setToolTip(path);
        action->setStatusTip(path);
        connect(action, &QAction::triggered, this, [this, path] { m_controller->openFile(path); });
    }
    if (!recent.isEmpty())
        m_recentMenu->addSeparator();
    QAction* clear = m_recentMenu->addAction(u"Clear Menu"_s);
    clear->setObjectName(u"actionClearRecent"_s);
    clear->setEnabled(!recent.isEmpty());
    connect(clear, &QAction::triggered, m_controller, &DocumentController::clearRecentFiles);
}

void MainWindow::updateTitle()
{
    // "[*]" is where Qt shows the modified marker; one in the file name is doubled to show as is.
    setWindowTitle(m_document->displayName().replace(u"[*]"_s, u"[*][*]"_s) + u"[*] — Velmora"_s);
    setWindowModified(m_document->isModified());
}

QWidget* focusedTextField(QWidget* focus)
{
    for (QWidget* w = focus; w; w = w->parentWidget()) {
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QTextEdit*>(w) ||
            qobject_cast<QPlainTextEdit*>(w))
            return w;
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(w))
            return spin->findChild<QLineEdit*>();
        if (auto* combo = qobject_cast<QComboBox*>(w))
            return combo->isEditable() ? combo->lineEdit() : nullptr;
        // A text field is the focus widget itself or, for compound editors, its owner a step
        // up; stop at the first widget that is neither.
        if (w != focus)
            break;
    }
    return nullptr;
}

void MainWindow::perform(EditCommand command)
{
    ProjectSession* s = session();
    if (command == EditCommand::undo) {
        s->undo();
        return;
    }
    if (command == EditCommand::redo) {
        s->redo();
        return;
    }
    if (QWidget* text = focusedTextField(focusWidget())) {
        // copy(), paste() and selectAll() are slots of every supported text widget.
        const char* slot = command == EditCommand::copy    ? "copy"
                           : command == EditCommand::paste ? "paste"
                                                           : "selectAll";
        QMetaObject::invokeMethod(text, slot);
        return;
    }
    switch (command) {
    case EditCommand::copy:
        s->copySelection();
        break;
    case EditCommand::paste:
        s->pasteClipboard();
        break;
    case EditCommand::selectAll:
        s->selectAll();
        break;
    case EditCommand::undo:
    case EditCommand::redo:
        break;
    }
}

void MainWindow::closeConfirmed()
{
    m_closeConfirmed = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
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
