// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Alerts" button (bell, with a badge counting the kept alerts) and the history panel it
// opens: every kept alert with its icon, colour and texts, "No alerts" when there are none, and
// "Clear All".

#include <QIcon>
#include <QWidget>

class QLabel;
class QPushButton;
class QTimer;
class QToolButton;
class QVBoxLayout;

namespace velmora {

class AlertCenter;

QIcon bellIcon(const QColor& color, int size = 14);

class AlertHistory final : public QWidget {
    Q_OBJECT
public:
    explicit AlertHistory(AlertCenter* center, QWidget* parent = nullptr);

    bool showAlertHistory() const { return m_showAlertHistory; }
    void setShowAlertHistory(bool shown);

    QToolButton* alertsButton() const { return m_button; }
    int alertsButtonHeight() const;
    QPushButton* clearAllButton() const { return m_clearAll; }
    // The badge's text; empty while the badge is hidden (no alerts).
    QString badgeText() const;
    // Titles of the listed alerts in list order; {"No alerts"} for an empty history.
    QStringList listedTexts() const;
    void refresh();

signals:
    // The panel opened or closed: the owner places the widget again.
    void showAlertHistoryChanged(bool shown);
    // An entry was clicked: the (first) node it is about.
    void alertNodeChosen(qint64 nodeId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AlertCenter* m_center;
    bool m_showAlertHistory = false;
    QToolButton* m_button;
    QLabel* m_badge;
    QWidget* m_panel;
    QVBoxLayout* m_list;
    QPushButton* m_clearAll;
    QTimer* m_ageTimer; // keeps the ages current while the panel is open
};

} // namespace velmora
