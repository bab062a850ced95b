// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The canvas's context menu, built from the selection at the moment it opens (not from the
// pointer position): node actions for one selected node, bulk actions for several, nothing
// without a selection.

#include <QDateTime>

#include <functional>

class QMenu;
class QString;
class QWidget;

namespace velmora {

class AlertMutes;
class CanvasInteraction;

// Adds items for one selected node to its menu (the live monitoring's "Mute Alerts").
using NodeMenuExtension = std::function<void(QMenu* menu, qint64 nodeId)>;

// Builds the menu; the caller shows and deletes it. An empty menu means there is nothing to
// show. `openCustomTypeSheet` runs for "Custom..." of "Set Type"; `extension` adds to the menu
// of a single node.
QMenu* buildCanvasContextMenu(CanvasInteraction& interaction,
                              const std::function<void()>& openCustomTypeSheet, QWidget* parent,
                              const NodeMenuExtension& extension = {});

// "Mute Alerts" with 1 hour, 8 hours and until unmuted, or "Unmute Alerts" for a muted
// `address`; `changed` runs after either.
void addMuteAlertsMenu(QMenu* menu, AlertMutes& mutes, const QString& address, const QDateTime& now,
                       const std::function<void()>& changed);

} // namespace velmora
