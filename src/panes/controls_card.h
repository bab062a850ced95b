// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Controls" help card: one row per pointer or key control, label then description.

#include <QList>
#include <QPair>
#include <QString>
#include <QWidget>

namespace velmora {

// The rows of the card, in display order.
QList<QPair<QString, QString>> controlsHelpRows();

class ControlsCard final : public QWidget {
    Q_OBJECT
public:
    explicit ControlsCard(QWidget* parent = nullptr);
};

} // namespace velmora
