// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The canvas's context menu, built from the selection at the moment it opens (not from the
// pointer position): node actions for one selected node, bulk actions for several, nothing
// without a selection.

#include <functional>

class QMenu;
class QWidget;

namespace velmora {

class CanvasInteraction;

// Builds the menu; the caller shows and deletes it. An empty menu means there is nothing to
// show. `openCustomTypeSheet` runs for "Custom..." of "Set Type".
QMenu* buildCanvasContextMenu(CanvasInteraction& interaction,
                              std::function<void()> openCustomTypeSheet, QWidget* parent);

} // namespace velmora
