// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Colours and small widget helpers shared by the side panes: the mode accent colour, style
// sheets for the flat rounded buttons, and section titles.

#include "canvas/hit_test.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QString>

namespace velmora {

inline QColor rgbColor(double r, double g, double b, double a = 1.0)
{
    return QColor::fromRgbF(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b),
                            static_cast<float>(a));
}

// Blue while editing, green while live.
inline QColor accentColor(AppMode mode)
{
    return mode == AppMode::live ? rgbColor(0.29, 0.87, 0.5) : rgbColor(0.29, 0.56, 0.89);
}

inline const QColor paneGrey = QColor::fromRgbF(0.56f, 0.56f, 0.58f);

inline QString cssColor(const QColor& color)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF());
}

// A flat button: `background` fill, corner radius 4, `text` colour, font size `fontSize`, a
// vertical inset of `inset` units.
inline void styleButton(QPushButton* button, const QColor& background, const QColor& text,
                        int fontSize = 11, int inset = 6, bool semibold = false)
{
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: none;"
                                         " border-radius: 4px; padding: %3px 6px;"
                                         " font-size: %4px; font-weight: %5; }"
                                         "QPushButton:disabled { color: rgba(128,128,128,0.5); }")
                              .arg(cssColor(background), cssColor(text))
                              .arg(inset)
                              .arg(fontSize)
                              .arg(semibold ? 600 : 400));
}

// The text colour alone. A label's own style sheet wins over the panes' general text colour,
// which a palette set in code would not.
inline void setLabelColor(QLabel* label, const QColor& color)
{
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; }").arg(cssColor(color)));
}

inline void styleLabel(QLabel* label, const QColor& color, int fontSize, int weight = 400)
{
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; font-size: %2px; font-weight: %3; }")
                             .arg(cssColor(color))
                             .arg(fontSize)
                             .arg(weight));
}

// The dark look of a sheet, through its palette so that every part of it follows (an embedded
// colour dialog included) whichever window it opens over.
inline void applySheetLook(QWidget* sheet)
{
    QPalette palette = sheet->palette();
    palette.setColor(QPalette::Window, QColor(30, 30, 32));
    palette.setColor(QPalette::WindowText, QColor(235, 235, 240));
    palette.setColor(QPalette::Base, QColor(38, 38, 38));
    palette.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(140, 140, 145));
    palette.setColor(QPalette::Button, QColor(51, 51, 51));
    palette.setColor(QPalette::ButtonText, Qt::white);
    sheet->setPalette(palette);
    sheet->setAutoFillBackground(true);
}

// "3 nodes", "1 node": the noun takes an s unless the count is exactly 1.
inline QString countText(qint64 count, const QString& noun)
{
    return QString::asprintf("%lld ", static_cast<long long>(count)) + noun +
           (count == 1 ? QString() : QStringLiteral("s"));
}

} // namespace velmora
