// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where live mode takes its statuses from: this computer's pings (the default) or a Prometheus
// server. The choice and the server's settings are kept in QSettings; the "Status Source" row
// of Live Mode Options shows and changes them.

#include "monitor/prometheus_source.h"
#include "panes/pane_style.h"

#include <QDialog>
#include <QPushButton>

class QLabel;
class QLineEdit;

namespace velmora {

struct StatusSourceChoice {
    bool prometheus = false;
    PrometheusSource::Settings server;

    bool operator==(const StatusSourceChoice& other) const
    {
        return prometheus == other.prometheus && server.url == other.server.url &&
               server.user == other.server.user && server.password == other.server.password &&
               server.selector == other.server.selector;
    }
    // From and to the application's settings (group "statusSource").
    static StatusSourceChoice load();
    void save() const;
};

// Asks for the server's address, basic-authentication user and password, and label selector.
class PrometheusDialog final : public QDialog {
    Q_OBJECT
public:
    explicit PrometheusDialog(const PrometheusSource::Settings& settings,
                              QWidget* parent = nullptr);
    PrometheusSource::Settings settings() const;

private:
    void check();

    QLineEdit* m_url;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_selector;
    QLabel* m_problem;
};

// The "Status Source" option row: its value, and a menu to choose "This computer (ICMP)" or
// "Prometheus…".
class StatusSourceRow final : public LabelRowButton {
    Q_OBJECT
public:
    explicit StatusSourceRow(QWidget* parent = nullptr);
    void setChoice(const StatusSourceChoice& choice);
    QString valueText() const;

signals:
    // A new choice was made (and saved).
    void choiceChanged(const velmora::StatusSourceChoice& choice);

private:
    StatusSourceChoice m_choice;
    QLabel* m_value;
};

} // namespace velmora
