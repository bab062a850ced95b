// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding the widgets a flow opens by itself (modal dialogs run from the event loop).

#include <QApplication>
#include <QWidget>

namespace velmora::test {

// The first visible top-level widget of type T, or null.
template <typename T> T* visibleTopLevel()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(widget); found && found->isVisible())
            return found;
    }
    return nullptr;
}

} // namespace velmora::test
