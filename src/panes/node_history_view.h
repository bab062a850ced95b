// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history part of the node details in live mode: the last hour's latency as a sparkline,
// loss and availability over 1 h, 24 h and 7 d, and the last five outages.

#include "history/history_reader.h"

#include <QDateTime>
#include <QWidget>

class QLabel;

namespace velmora {

// "Offline 14:02–14:07 (5 min)", or "Offline since 14:02 (5 min)" while it lasts.
QString outageText(const Outage& outage, qint64 nowMs);

class NodeHistoryView final : public QWidget {
    Q_OBJECT
public:
    explicit NodeHistoryView(HistoryReader* reader, QWidget* parent = nullptr);

    // Reads `address`'s history again when it is another address or 15 s have passed.
    void showAddress(const QString& address);

    QString figuresText() const;
    QString outagesText() const;
    // The last hour's mean latency per minute (ms), oldest first; empty minutes are absent.
    const QList<std::pair<qint64, double>>& sparkline() const { return m_points; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    HistoryReader* m_reader;
    QString m_address;
    QDateTime m_readAt;
    QList<std::pair<qint64, double>> m_points; // minute, ms
    qint64 m_firstMinute = 0;
    QLabel* m_figures;
    QLabel* m_outages;
};

} // namespace velmora
