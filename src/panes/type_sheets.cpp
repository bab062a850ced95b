// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/type_sheets.h"

#include "model/project_session.h"
#include "panes/pane_icons.h"
#include "panes/pane_style.h"

#include <QColorDialog>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>

namespace velmora {

ColorPickerSheet::ColorPickerSheet(ProjectSession* session, const QString& type, QWidget* parent)
    : QDialog(parent), m_session(session), m_type(type), m_picker(new QColorDialog(this)),
      m_cancel(new QPushButton(tr("Cancel"), this)), m_apply(new QPushButton(tr("Apply"), this))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Color for %1").arg(type));
    applySheetLook(this);
    auto* column = new QVBoxLayout(this);
    auto* title = new QLabel(windowTitle(), this);
    title->setTextFormat(Qt::PlainText);
    styleLabel(title, QColor(Qt::white), 13, 600);
    column->addWidget(title);
    // The colour dialog is embedded as a plain widget; the sheet's own buttons decide.
    m_picker->setWindowFlags(Qt::Widget);
    m_picker->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
    const auto it = session->typeColorMap().constFind(type);
    m_picker->setCurrentColor(it != session->typeColorMap().cend()
                                  ? rgbColor(it->red, it->green, it->blue)
                                  : QColor(Qt::gray));
    column->addWidget(m_picker);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    styleButton(m_cancel, paneColor::button, Qt::white);
    styleButton(m_apply, paneColor::editAccent, Qt::white);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_apply);
    column->addLayout(buttons);
    connect(m_cancel, &QPushButton::clicked, this, &ColorPickerSheet::cancelColorPicker);
    connect(m_apply, &QPushButton::clicked, this, &ColorPickerSheet::applyColorPicker);
}

QColor ColorPickerSheet::tempColor() const
{
    return m_picker->currentColor();
}

void ColorPickerSheet::setTempColor(const QColor& color)
{
    m_picker->setCurrentColor(color);
}

void ColorPickerSheet::applyColorPicker()
{
    const QColor color = tempColor().toRgb();
    if (!m_type.isNull())
        m_session->setTypeColor(m_type, Rgb{color.redF(), color.greenF(), color.blueF()});
    accept();
}

void ColorPickerSheet::cancelColorPicker()
{
    reject();
}

CustomTypeSheet::CustomTypeSheet(ProjectSession* session, QWidget* parent)
    : QDialog(parent), m_session(session), m_field(new QLineEdit(this)),
      m_cancel(new QPushButton(tr("Cancel"), this)), m_apply(new QPushButton(tr("Apply"), this)),
      m_applyOpacity(new QGraphicsOpacityEffect(m_apply))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Set Custom Type"));
    applySheetLook(this);
    auto* column = new QVBoxLayout(this);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    auto* symbol = new QLabel(this);
    symbol->setPixmap(symbolIcon(PaneSymbol::tag, Qt::white, 15).pixmap(15, 15));
    titleRow->addWidget(symbol);
    auto* title = new QLabel(windowTitle(), this);
    styleLabel(title, QColor(Qt::white), 15, 600);
    titleRow->addWidget(title, 1);
    column->addLayout(titleRow);
    const qsizetype count = session->selectedNodes().size();
    auto* subtitle = new QLabel(tr("Apply to %1").arg(countText(count, tr("selected node"))), this);
    styleLabel(subtitle, paneColor::grey, 11);
    column->addWidget(subtitle);

    auto* fieldTitle = new QLabel(tr("Type Name"), this);
    styleLabel(fieldTitle, QColor(Qt::white), 11, 500);
    column->addWidget(fieldTitle);
    m_field->setPlaceholderText(tr("Enter type name..."));
    column->addWidget(m_field);

    QStringList types = session->typeColorMap().keys();
    std::sort(types.begin(), types.end());
    if (!types.isEmpty()) {
        auto* existing = new QLabel(tr("Or choose existing"), this);
        styleLabel(existing, paneColor::grey, 11, 500);
        column->addWidget(existing);
        auto* grid = new QGridLayout;
        grid->setSpacing(4);
        for (qsizetype i = 0; i < types.size(); ++i) {
            const QString& type = types.at(i);
            // "&&" shows the "&" of a type such as "R&D" instead of marking a shortcut key.
            auto* button = new QPushButton(QString(type).replace(u'&', QStringLiteral("&&")), this);
            styleButton(button, paneColor::idleButton, Qt::white, 11, 4);
            connect(button, &QPushButton::clicked, this, [this, type] { m_field->setText(type); });
            grid->addWidget(button, static_cast<int>(i / 3), static_cast<int>(i % 3));
        }
        column->addLayout(grid);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    styleButton(m_cancel, paneColor::button, Qt::white);
    styleButton(m_apply, paneColor::confirm, Qt::white);
    m_apply->setGraphicsEffect(m_applyOpacity);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_apply);
    column->addLayout(buttons);

    connect(m_field, &QLineEdit::textChanged, this, &CustomTypeSheet::refreshApply);
    connect(m_field, &QLineEdit::returnPressed, this, &CustomTypeSheet::applyCustomType);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_apply, &QPushButton::clicked, this, &CustomTypeSheet::applyCustomType);
    refreshApply();
}

QString CustomTypeSheet::bulkEditTypeValue() const
{
    return m_field->text();
}

bool CustomTypeSheet::isApplyDimmed() const
{
    return m_applyOpacity->opacity() < 1.0;
}

void CustomTypeSheet::refreshApply()
{
    m_applyOpacity->setOpacity(m_field->text().trimmed().isEmpty() ? 0.5 : 1.0);
}

void CustomTypeSheet::applyCustomType()
{
    const QString trimmed = m_field->text().trimmed();
    if (!trimmed.isEmpty())
        m_session->applyTypeToSelection(trimmed);
    m_field->clear();
    accept();
}

void openCustomTypeSheet(ProjectSession* session, QWidget* parent)
{
    auto* sheet = new CustomTypeSheet(session, parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

} // namespace velmora
