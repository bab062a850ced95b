// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Cables" block of the left pane: start or cancel drawing a cable, delete the focused cable,
// and reset the whole layout after a confirmation.

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace velmora {

class ProjectSession;
class CanvasInteraction;

class CablesSection final : public QWidget {
    Q_OBJECT
public:
    // Asks the user to confirm "Reset Layout?"; true means "Reset Everything".
    using ResetConfirmation = std::function<bool(QWidget* parent)>;

    CablesSection(ProjectSession* session, CanvasInteraction* interaction,
                  QWidget* parent = nullptr);

    void setResetConfirmation(ResetConfirmation confirm) { m_confirmReset = std::move(confirm); }
    // The standard confirmation dialog.
    static bool confirmResetDialog(QWidget* parent);

    QPushButton* drawButton() const { return m_drawButton; }
    QPushButton* deleteButton() const { return m_deleteButton; }
    QPushButton* resetButton() const { return m_resetButton; }

    // Runs "Reset Layout...": resets everything when the user confirms.
    void requestReset();

private:
    void refresh();

    ProjectSession* m_session;
    CanvasInteraction* m_interaction;
    QLabel* m_title;
    QPushButton* m_drawButton;
    QPushButton* m_deleteButton;
    QPushButton* m_resetButton;
    ResetConfirmation m_confirmReset;
};

} // namespace velmora
