// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Edit" / "Live" switch. Pressing a button requests its mode even when it is current, so
// the switch sequence (monitoring, pulse, alert reset) runs again.

#include "canvas/hit_test.h"

#include <QWidget>

class QPushButton;

namespace velmora {

class ViewState;

class ModeSwitch final : public QWidget {
    Q_OBJECT
public:
    explicit ModeSwitch(ViewState* view, QWidget* parent = nullptr);

    QPushButton* editButton() const { return m_edit; }
    QPushButton* liveButton() const { return m_live; }

signals:
    void modeRequested(velmora::AppMode mode);

private:
    void refresh();

    ViewState* m_view;
    QPushButton* m_edit;
    QPushButton* m_live;
};

} // namespace velmora
