// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The look of the side panes in one place: the named colours, the window's style sheet that
// gives every pane widget its fixed look, and the helpers for looks that change with state or
// data (the mode accent, a type's colour) or that belong to a sheet opened outside the window.

#include "canvas/hit_test.h"

#include <QColor>
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

// The named colours of the panes.
namespace paneColor {
inline const QColor editAccent = rgbColor(0.29, 0.56, 0.89);
inline const QColor liveAccent = rgbColor(0.29, 0.87, 0.5);
inline const QColor grey = rgbColor(0.56, 0.56, 0.58);       // secondary text
inline const QColor valueGrey = rgbColor(0.6, 0.6, 0.6);     // read-out values
inline const QColor amber = rgbColor(0.98, 0.75, 0.14);      // the root, slow hosts
inline const QColor alertRed = rgbColor(0.95, 0.3, 0.3);     // offline alerts
inline const QColor button = rgbColor(0.25, 0.25, 0.25);     // plain button background
inline const QColor idleButton = rgbColor(0.2, 0.2, 0.2);    // quieter button background
inline const QColor confirm = rgbColor(0.17, 0.42, 0.29);    // "Import", "Apply", live switch
inline const QColor background = rgbColor(0.11, 0.11, 0.12); // the nodes pane
inline const QColor sheet = QColor(30, 30, 32);              // dialogs over the window
} // namespace paneColor

// Blue while editing, green while live.
inline QColor accentColor(AppMode mode)
{
    return mode == AppMode::live ? paneColor::liveAccent : paneColor::editAccent;
}

inline QString cssColor(const QColor& color)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF());
}

// The style sheet of the window's content: the dark panes and the fixed look of every pane
// widget, found by object name. Widgets whose look follows state or data style themselves with
// the helpers below; their own sheet wins over this one.
QString paneStyleSheet();

// A flat button with a pointing cursor whose look the style sheet gives by `objectName`.
void setFlatLook(QPushButton* button, const QString& objectName);

// A button whose content is a layout of labels (a title and a value), sized by that layout
// rather than by a button text, so a title that wraps in the narrow pane gets its second line.
class LabelRowButton : public QPushButton {
public:
    using QPushButton::QPushButton;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
};

// Sets a property the style sheet's rules select on ("[drawing=\"true\"]") and restyles the
// widget when it changed.
void setLookState(QWidget* widget, const char* name, const QVariant& value);

// For sheets opened outside the window: a flat button with `background` fill, corner radius 4,
// `text` colour, font size `fontSize`, a vertical inset of `inset` units, font weight `weight`.
void styleButton(QPushButton* button, const QColor& background, const QColor& text,
                 int fontSize = 11, int inset = 6, int weight = 400);

// The text colour alone. A label's own style sheet wins over the panes' general text colour,
// which a palette set in code would not.
void setLabelColor(QLabel* label, const QColor& color);
void styleLabel(QLabel* label, const QColor& color, int fontSize, int weight = 400);

// The dark look of a sheet, through its palette so that every part of it follows (an embedded
// colour dialog included) whichever window it opens over.
void applySheetLook(QWidget* sheet);
// The application's dark colours over `palette`: sheets, and every dialog once applied to the
// whole application (file, colour and message dialogs included).
QPalette darkPalette(QPalette palette);
void applyApplicationPalette();

// "3 nodes", "1 node": the noun takes an s unless the count is exactly 1.
QString countText(qint64 count, const QString& noun);

} // namespace velmora
