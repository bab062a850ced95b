// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two sheets of node types: the colour picker of one type ("Color for <type>") and the
// custom type sheet that assigns a typed or chosen type to the selected nodes.

#include "model/type_colors.h"

#include <QColor>
#include <QDialog>

class QColorDialog;
class QLineEdit;
class QPushButton;
class QGraphicsOpacityEffect;

namespace velmora {

class ProjectSession;

class ColorPickerSheet final : public QDialog {
    Q_OBJECT
public:
    // Starts from the type's colour, grey when it has none.
    ColorPickerSheet(ProjectSession* session, const QString& type, QWidget* parent = nullptr);

    QColor tempColor() const;
    void setTempColor(const QColor& color);
    void applyColorPicker();  // records the colour for the type (no undo), then closes
    void cancelColorPicker(); // closes without a change

    QPushButton* applyButton() const { return m_apply; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    ProjectSession* m_session;
    QString m_type;
    QColorDialog* m_picker;
    QPushButton* m_cancel;
    QPushButton* m_apply;
};

class CustomTypeSheet final : public QDialog {
    Q_OBJECT
public:
    explicit CustomTypeSheet(ProjectSession* session, QWidget* parent = nullptr);

    QString bulkEditTypeValue() const;
    // Applies the trimmed text to the selection when it is not blank; always closes.
    void applyCustomType();

    QPushButton* applyButton() const { return m_apply; }
    QPushButton* cancelButton() const { return m_cancel; }
    QLineEdit* field() const { return m_field; }
    bool isApplyDimmed() const;

private:
    void refreshApply();

    ProjectSession* m_session;
    QLineEdit* m_field;
    QPushButton* m_cancel;
    QPushButton* m_apply;
    QGraphicsOpacityEffect* m_applyOpacity;
};

// Opens the custom type sheet over `parent` (the "Custom..." entries of the type menus).
void openCustomTypeSheet(ProjectSession* session, QWidget* parent);

} // namespace velmora
