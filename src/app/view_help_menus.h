// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The View menu (zoom, Fit to Screen, Search Nodes…, the Edit Mode / Live Mode pair) and the Help
// menu (Keyboard Shortcuts, About Velmora) of a project window. Every item runs the same
// operation as the button or key it stands for.

#include <QStringList>

class QMenuBar;
class QWidget;

namespace velmora {

class ContentView;

void createViewAndHelpMenus(QMenuBar* menuBar, ContentView* view);

// "Velmora <version>", the licence and where to report problems, as rich text.
QString aboutText();
// Every command of `window` that has a key, as "command: keys" lines in menu order.
QStringList shortcutLines(const QWidget* window);

} // namespace velmora
