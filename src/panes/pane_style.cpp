// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/pane_style.h"

#include "canvas/canvas_renderer.h"
#include "monitor/ping_status.h"

#include <QApplication>
#include <QLayout>
#include <QPalette>
#include <QStyle>

namespace velmora {

namespace {

// Rules by object name; "@name" stands for a colour of the table below.
const char* const sheetTemplate = R"(
#leftPane, #rightColumn, #searchBar, #controlsCard { background: rgba(26, 26, 28, 242);
    border: 1px solid rgba(255, 255, 255, 20); }
QLabel { color: rgb(235, 235, 240); }
QToolTip { color: white; background: rgb(40, 40, 40); border: 1px solid rgb(70, 70, 70); }
QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }
QLineEdit { background: rgb(38, 38, 38); color: white; border: 1px solid rgb(70, 70, 70);
    border-radius: 4px; padding: 3px; }
QDialog { background: @sheet; }

QPushButton#clearAlerts, QPushButton#layersCollapse, QPushButton#showOrHideAll,
QPushButton#eye, QPushButton#solo, QPushButton#leftCollapse, QPushButton#loadMap,
QPushButton#clearMap, QPushButton#editMode, QPushButton#liveMode, QPushButton#rootButton,
QPushButton#zoomToNode, QPushButton#fitToScreen { border: none; border-radius: 4px;
    padding: 6px 6px; font-size: 11px; font-weight: 400; color: white; background: @button; }
QPushButton#clearAlerts:disabled, QPushButton#layersCollapse:disabled,
QPushButton#showOrHideAll:disabled, QPushButton#eye:disabled, QPushButton#solo:disabled,
QPushButton#leftCollapse:disabled, QPushButton#loadMap:disabled, QPushButton#clearMap:disabled,
QPushButton#editMode:disabled, QPushButton#liveMode:disabled, QPushButton#rootButton:disabled,
QPushButton#zoomToNode:disabled, QPushButton#fitToScreen:disabled {
    color: rgba(128, 128, 128, 0.5); }
QPushButton#clearAlerts { padding: 3px 6px; font-size: 10px; }
QPushButton#layersCollapse, QPushButton#leftCollapse { background: transparent; color: @grey;
    padding: 0px 6px; }
QPushButton#layersCollapse { font-size: 13px; }
QPushButton#leftCollapse { font-size: 14px; }
QPushButton#showOrHideAll, QPushButton#rootButton, QPushButton#zoomToNode,
QPushButton#fitToScreen { padding: 4px 6px; }
QPushButton#eye, QPushButton#solo { padding: 0px 6px; }
QPushButton#eye { font-size: 12px; color: @grey; }
QPushButton#eye:checked { color: white; }
QPushButton#solo { font-weight: 500; }
QPushButton#loadMap { background: @mapLoad; }
QPushButton#clearMap { background: @mapClear; color: @grey; }
QPushButton#editMode, QPushButton#liveMode { background: @idleButton; color: @grey; }
QPushButton#editMode[current="true"] { background: @edit; color: white; font-weight: 600; }
QPushButton#liveMode[current="true"] { background: @confirm; color: white; font-weight: 600; }
QPushButton#rootButton { color: @amber; }
QPushButton#fitToScreen { background: @idleButton; }

QPushButton#searchNodes { color: white; background: rgb(51, 51, 51); border-radius: 4px;
    padding: 5px; font-size: 11px; }
QLabel#searchCount { color: @live; }
QLabel#readoutValue { color: @valueGrey; }
QLabel#rootName { color: @amber; }
QLabel#zoomTitle { color: white; font-size: 11px; font-weight: 400; }
QLabel#zoomPercent { color: @grey; font-size: 11px; font-weight: 400; }
QPushButton#zoomStep { background: rgb(64, 64, 64); color: white; border: none;
    border-radius: 4px; font-size: 14px; font-weight: bold; padding: 0; }
QLabel#mapSlider { color: @grey; font-size: 10px; font-weight: 400; }

QPushButton#drawCable, QPushButton#deleteCable { color: white; border: none;
    border-radius: 4px; padding: 6px; font-size: 11px; }
QPushButton#drawCable { background: @cableIdle; }
QPushButton#drawCable[drawing="true"] { background: @cableDrawing; }
QPushButton#deleteCable { background: @cableDelete; }
QPushButton#resetLayout { color: @resetText; background: @resetBackground; border: none;
    border-radius: 4px; padding: 6px; font-size: 10px; }

QLabel#detailsTitle, QLabel#liveTitle { color: white; font-size: 11px; font-weight: 600; }
QLabel#rootBadge { color: black; background: @amber; font-weight: 700; font-size: 9px;
    border-radius: 3px; padding: 1px 4px; }
QLabel#detailsLabel { color: @grey; font-size: 11px; font-weight: 400; }
QLabel#detailsValue { color: white; font-size: 11px; font-weight: 400; }
QLabel#detailsHops { color: @amber; font-size: 11px; font-weight: 400; }
QLabel#detailsStatus { font-size: 11px; font-weight: 400; }

QLabel#statusDot { border-radius: 4px; }
QLabel#statusName, QLabel#intervalTitle { color: @grey; font-size: 11px; font-weight: 400; }
QLabel#statusCount { font-size: 11px; font-weight: 600; }
QLabel#liveNotice, QLabel#recommendation { color: @grey; font-size: 10px; font-weight: 400; }
QLabel#liveOptionsTitle { color: white; font-size: 12px; font-weight: 400; }
QPushButton#liveOption { border: none; background: transparent; }
QPushButton#statusRow { border: none; background: transparent; text-align: left; }
QLabel#liveOptionName { color: white; font-size: 11px; font-weight: 400; }
QLabel#optionBadge { color: @grey; background: @button; font-size: 10px; font-weight: 600;
    border-radius: 3px; padding: 1px 5px; }
QLabel#optionBadge[on="true"] { color: @live; background: @confirm; }
QToolButton#intervalButton { color: white; background: rgb(45, 45, 48);
    border: 1px solid rgb(70, 70, 70); border-radius: 4px; padding: 3px 6px; font-size: 11px; }
QToolButton#intervalButton::menu-indicator { image: none; width: 0px; }

QToolButton#alertsButton { color: white; background: rgba(40, 40, 42, 242); border: none;
    border-radius: 6px; padding: 5px 18px 5px 8px; font-size: 11px; }
QLabel#alertsBadge { color: white; background: @alertRed; border-radius: 7px; font-size: 9px;
    font-weight: 700; padding: 0px 4px; }
QWidget#alertHistoryPanel { background: rgba(30, 30, 32, 250); border-radius: 10px; }
QLabel#alertsTitle, QLabel#alertTitle { color: white; font-size: 12px; font-weight: 600; }
QLabel#noAlerts, QLabel#alertMessage { color: @grey; font-size: 11px; font-weight: 400; }
QLabel#alertTime { color: @grey; font-size: 10px; font-weight: 400; }

QLabel#layerName { color: white; font-size: 12px; font-weight: 500; }
QLabel#count { color: @grey; font-size: 10px; font-weight: 400; }

#nodesPane { background: @background; }
#nodesPane QLabel { color: white; }
QToolButton#nodesChevron { color: white; font-size: 18px; border: none;
    background: transparent; }
QLabel#bulkTypeLabel { color: white; font-size: 11px; }
QToolButton#setTypeButton { color: white; font-size: 11px; background: @button; border: none;
    border-radius: 4px; padding: 3px 8px; }
QPushButton#exportNodes, QPushButton#importNodes, QPushButton#addNode { color: white;
    border: none; border-radius: 4px; padding: 4px 8px; font-size: 11px; }
QPushButton#exportNodes { background: @button; }
QPushButton#importNodes { background: @importBlue; }
QPushButton#addNode { background: @edit; }
QPushButton#sortButton { color: @edit; background: transparent; border: none; text-align: left;
    padding: 2px 4px; font-size: 11px; font-weight: 600; }
QPushButton#sortButton[sorted="true"] { color: @live; }
QTableView#nodesTable { background: transparent; color: white; }
QLineEdit#cellEditor { background: rgb(45, 45, 48); color: white; border: 1px solid @edit;
    padding: 0 2px; }

#csvImportSheet { background: rgb(36, 36, 38); }
QLabel#csvTitle { color: white; font-size: 17px; font-weight: 600; }
QLabel#csvFile { color: @grey; font-size: 12px; font-weight: 400; }
QLabel#csvFound { color: @live; font-size: 13px; font-weight: 600; }
QLabel#csvHeading { color: @edit; font-size: 13px; font-weight: 600; }
QLabel#csvPreviewTitle { color: white; font-size: 13px; font-weight: 600; }
QLabel#csvChoice { color: @grey; font-size: 16px; }
QLabel#csvChoice[on="true"] { color: @edit; }
QLabel#csvOption { color: white; font-size: 13px; font-weight: 400; }
QLabel#csvNote { color: @grey; font-size: 10px; font-weight: 400; }
QLabel#csvWarning { color: @amber; font-size: 10px; font-weight: 400; }
QLabel#csvColumn { color: @grey; font-size: 11px; font-weight: 600; }
QLabel#csvCell { color: white; font-size: 11px; font-weight: 400; }
QLabel#csvMore { color: @grey; font-size: 11px; font-weight: 400; }
QFrame#csvDivider { background: @divider; border: none; }
QPushButton#csvCancel, QPushButton#csvImport { color: white; border: none; border-radius: 6px;
    padding: 8px 0; font-size: 13px; }
QPushButton#csvCancel { background: @button; font-weight: 400; }
QPushButton#csvImport { background: @confirm; font-weight: 600; }
)";

// Longer names first, so that no name is replaced inside another.
const std::pair<const char*, QColor> sheetColors[] = {
    {"@resetBackground", rgbColor(0.15, 0.15, 0.15)},
    {"@cableDrawing", rgbColor(0.5, 0.3, 0.1)},
    {"@cableDelete", rgbColor(0.4, 0.15, 0.15)},
    {"@background", paneColor::background},
    {"@idleButton", paneColor::idleButton},
    {"@importBlue", rgbColor(0.13, 0.26, 0.38)},
    {"@cableIdle", rgbColor(0.29, 0.22, 0.13)},
    {"@resetText", rgbColor(0.5, 0.5, 0.5)},
    {"@valueGrey", paneColor::valueGrey},
    {"@alertRed", paneColor::alertRed},
    {"@mapClear", rgbColor(0.23, 0.23, 0.23)},
    {"@confirm", paneColor::confirm},
    {"@divider", rgbColor(0.3, 0.3, 0.3)},
    {"@mapLoad", rgbColor(0.29, 0.23, 0.42)},
    {"@button", paneColor::button},
    {"@amber", paneColor::amber},
    {"@sheet", paneColor::sheet},
    {"@edit", paneColor::editAccent},
    {"@live", paneColor::liveAccent},
    {"@grey", paneColor::grey},
};

QString buildPaneStyleSheet()
{
    QString sheet = QString::fromUtf8(sheetTemplate);
    for (const auto& [name, color] : sheetColors)
        sheet.replace(QLatin1String(name), cssColor(color));
    // Live status colours, as the canvas draws them.
    for (PingStatus status :
         {PingStatus::online, PingStatus::offline, PingStatus::slow, PingStatus::unknown}) {
        const QString name = pingStatusName(status);
        const QString color = cssColor(toColor(statusColor(status)));
        sheet += QStringLiteral("QLabel#statusDot[status=\"%1\"] { background: %2; }\n"
                                "QLabel#statusCount[status=\"%1\"],"
                                " QLabel#detailsStatus[status=\"%1\"] { color: %2; }\n")
                     .arg(name, color);
    }
    return sheet;
}

} // namespace

QString paneStyleSheet()
{
    static const QString sheet = buildPaneStyleSheet();
    return sheet;
}

void setFlatLook(QPushButton* button, const QString& objectName)
{
    button->setObjectName(objectName);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
}

// The width stays the button's own (the pane decides it); the height is what the labels need
// at that width.
QSize LabelRowButton::sizeHint() const
{
    const QSize own = QPushButton::sizeHint();
    return layout() ? QSize(own.width(), std::max(own.height(), layout()->sizeHint().height()))
                    : own;
}

QSize LabelRowButton::minimumSizeHint() const
{
    return QPushButton::minimumSizeHint();
}

bool LabelRowButton::hasHeightForWidth() const
{
    return layout() ? layout()->hasHeightForWidth() : QPushButton::hasHeightForWidth();
}

int LabelRowButton::heightForWidth(int width) const
{
    return layout() ? layout()->totalHeightForWidth(width) : QPushButton::heightForWidth(width);
}

void setLookState(QWidget* widget, const char* name, const QVariant& value)
{
    if (widget->property(name) == value)
        return;
    widget->setProperty(name, value);
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
    widget->update();
}

void styleButton(QPushButton* button, const QColor& background, const QColor& text, int fontSize,
                 int inset, int weight)
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
                              .arg(weight));
}

void setLabelColor(QLabel* label, const QColor& color)
{
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; }").arg(cssColor(color)));
}

void styleLabel(QLabel* label, const QColor& color, int fontSize, int weight)
{
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; font-size: %2px; font-weight: %3; }")
                             .arg(cssColor(color))
                             .arg(fontSize)
                             .arg(weight));
}

void applySheetLook(QWidget* sheet)
{
    sheet->setPalette(darkPalette(sheet->palette()));
    sheet->setAutoFillBackground(true);
}

QPalette darkPalette(QPalette palette)
{
    palette.setColor(QPalette::Window, paneColor::sheet);
    palette.setColor(QPalette::WindowText, QColor(235, 235, 240));
    palette.setColor(QPalette::Base, QColor(38, 38, 38));
    palette.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(140, 140, 145));
    palette.setColor(QPalette::Button, QColor(51, 51, 51));
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Light, QColor(80, 80, 84));
    palette.setColor(QPalette::Midlight, QColor(64, 64, 68));
    palette.setColor(QPalette::Mid, QColor(45, 45, 48));
    palette.setColor(QPalette::Dark, QColor(20, 20, 22));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, paneColor::editAccent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(45, 45, 48));
    palette.setColor(QPalette::ToolTipText, Qt::white);
    palette.setColor(QPalette::Link, paneColor::editAccent.lighter(130));
    palette.setColor(QPalette::BrightText, Qt::white);
    const QColor disabledText(120, 120, 125);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    return palette;
}

void applyApplicationPalette()
{
    QApplication::setPalette(darkPalette(QApplication::palette()));
}

QString countText(qint64 count, const QString& noun)
{
    return QString::asprintf("%lld ", static_cast<long long>(count)) + noun +
           (count == 1 ? QString() : QStringLiteral("s"));
}

} // namespace velmora
