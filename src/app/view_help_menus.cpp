// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/view_help_menus.h"

#include "app/content_view.h"
#include "canvas/view_state.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

const char* const context = "velmora::MainWindow";

QString tr(const char* text)
{
    return QCoreApplication::translate(context, text);
}

QAction* viewAction(ContentView* view, const QString& name)
{
    QAction* action = view->findChild<QAction*>(name);
    Q_ASSERT(action);
    return action;
}

// Fit to Screen: the content view's own command for Ctrl+0 when it has one, else one added here.
QAction* fitAction(ContentView* view)
{
    const QKeySequence key(Qt::CTRL | Qt::Key_0);
    const QList<QAction*> actions = view->actions();
    for (QAction* action : actions) {
        if (action->shortcuts().contains(key))
            return action;
    }
    auto* action = new QAction(tr("Fit to Screen"), view);
    action->setObjectName(u"actionFitToScreen"_s);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(action, &QAction::triggered, view,
                     [state = view->viewState()] { state->fitToScreen(state->viewSize()); });
    view->addAction(action);
    return action;
}

void showShortcuts(QWidget* window)
{
    QString rows;
    for (const QString& line : shortcutLines(window)) {
        const qsizetype colon = line.lastIndexOf(u": "_s);
        rows += u"<tr><td>%1</td><td>&nbsp;&nbsp;<b>%2</b></td></tr>"_s.arg(
            line.left(colon).toHtmlEscaped(), line.mid(colon + 2).toHtmlEscaped());
    }
    auto* box = new QMessageBox(QMessageBox::NoIcon, tr("Keyboard Shortcuts"),
                                u"<table>%1</table>"_s.arg(rows), QMessageBox::Close, window);
    box->setObjectName(u"keyboardShortcuts"_s);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

QString aboutText()
{
    const QString url = QStringLiteral(VELMORA_ISSUES_URL);
    return tr("<h3>Velmora %1</h3>"
              "<p>Draw a small IP network and watch it live.</p>"
              "<p>Licence: GNU General Public License, version 3 or later.</p>"
              "<p>Report problems at <a href=\"%2\">%2</a>.</p>")
        .arg(QCoreApplication::applicationVersion().toHtmlEscaped(), url);
}

QStringList shortcutLines(const QWidget* window)
{
    QStringList lines;
    QList<const QAction*> seen;
    const auto note = [&](const QAction* action) {
        if (action->isSeparator() || action->shortcuts().isEmpty() || seen.contains(action))
            return;
        seen.append(action);
        QStringList keys;
        for (const QKeySequence& key : action->shortcuts())
            keys.append(key.toString(QKeySequence::NativeText));
        lines.append(QString(action->text()).remove(u'&') + u": "_s + keys.join(u", "_s));
    };
    // The menus first, in their order, then the canvas's own keys.
    for (const QMenu* menu : window->findChildren<QMenu*>()) {
        for (const QAction* action : menu->actions())
            note(action);
    }
    for (const QAction* action : window->findChildren<QAction*>())
        note(action);
    return lines;
}

void createViewAndHelpMenus(QMenuBar* menuBar, ContentView* view)
{
    QMenu* menu = menuBar->addMenu(tr("&View"));
    menu->setObjectName(u"menuView"_s);
    QAction* find = viewAction(view, u"actionFind"_s);
    find->setText(tr("Search Nodes…"));
    menu->addActions({viewAction(view, u"actionZoomIn"_s), viewAction(view, u"actionZoomOut"_s),
                      fitAction(view)});
    menu->addSeparator();
    menu->addAction(find);
    menu->addSeparator();
    auto* modes = new QActionGroup(menu);
    ViewState* state = view->viewState();
    const auto addMode = [&](const char* text, const QString& name, Qt::Key key, AppMode mode) {
        QAction* action = menu->addAction(tr(text));
        action->setObjectName(name);
        action->setShortcut(QKeySequence(Qt::CTRL | key));
        action->setCheckable(true);
        action->setChecked(state->appMode() == mode);
        modes->addAction(action);
        QObject::connect(action, &QAction::triggered, view,
                         [view, mode] { view->switchMode(mode); });
        QObject::connect(state, &ViewState::appModeChanged, action,
                         [action, mode](AppMode now) { action->setChecked(now == mode); });
    };
    addMode(QT_TRANSLATE_NOOP("velmora::MainWindow", "Edit Mode"), u"actionEditMode"_s, Qt::Key_1,
            AppMode::edit);
    addMode(QT_TRANSLATE_NOOP("velmora::MainWindow", "Live Mode"), u"actionLiveMode"_s, Qt::Key_2,
            AppMode::live);

    QMenu* help = menuBar->addMenu(tr("&Help"));
    help->setObjectName(u"menuHelp"_s);
    QWidget* window = view->window();
    QAction* keys = help->addAction(tr("Keyboard Shortcuts"));
    keys->setObjectName(u"actionKeyboardShortcuts"_s);
    QObject::connect(keys, &QAction::triggered, view, [window] { showShortcuts(window); });
    QAction* about = help->addAction(tr("About Velmora"));
    about->setObjectName(u"actionAbout"_s);
    about->setMenuRole(QAction::AboutRole);
    QObject::connect(about, &QAction::triggered, view,
                     [window] { QMessageBox::about(window, tr("About Velmora"), aboutText()); });
}

} // namespace velmora
