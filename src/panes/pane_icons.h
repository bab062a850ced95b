// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Symbols the panes draw themselves, so that every button and sheet shows its symbol whether or
// not the desktop has an icon theme. Each icon is built once per symbol, colour and size and
// shared afterwards: panes rebuilt on every change reuse the same pixmaps.

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

#include <functional>

namespace velmora {

enum class PaneSymbol {
    tag,      // a price tag: types
    pencil,   // a custom entry
    document, // a text document: the CSV import sheet
    trash,    // delete
    cable,    // two dots joined by a bent line: draw a cable
    xmark,    // cancel
    search,   // a magnifying glass
};

// `size` logical pixels square, drawn at twice that resolution for high-density screens.
QIcon symbolIcon(PaneSymbol symbol, const QColor& color, int size = 16);

// The icon or pixmap stored under `key`, built by `build` the first time the key is asked for.
QIcon cachedIcon(const QString& key, const std::function<QIcon()>& build);
QPixmap cachedPixmap(const QString& key, const std::function<QPixmap()>& build);

} // namespace velmora
