// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Controls" help card: one row per pointer or key control, label then description. It
// collapses to its title like the other panes.

#include <QList>
#include <QPair>
#include <QString>
#include <QWidget>

class QPushButton;

namespace velmora {

// The rows of the card, in display order.
QList<QPair<QString, QString>> controlsHelpRows();

class ControlsCard final : public QWidget {
    Q_OBJECT
public:
    explicit ControlsCard(QWidget* parent = nullptr);

    void setCollapsed(bool collapsed);
    QPushButton* collapseButton() const { return m_collapse; }

signals:
    // The card's own collapse button was pressed; the owner decides and calls setCollapsed().
    void collapseRequested(bool collapsed);

private:
    QWidget* m_rows;
    QPushButton* m_collapse;
    bool m_collapsed = false;
};

} // namespace velmora
