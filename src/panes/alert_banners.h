// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The alert banner stack over the canvas: the first five visible alerts, oldest first, each with
// an icon and colour by type, its title, message and age, and a close button. Also the type
// icons and colours the alert history reuses.

#include "monitor/alert_types.h"

#include <QColor>
#include <QIcon>
#include <QUuid>
#include <QWidget>

class QTimer;
class QVBoxLayout;

namespace velmora {

class AlertCenter;

// Offline red, online green, slow amber.
QColor alertTypeColor(AlertType type);
// Painted wifi symbols: crossed out for offline, plain for online, with "!" for slow; `size`
// logical pixels at twice the resolution. Each is painted once and shared.
QPixmap alertTypePixmap(AlertType type, int size = 16);
QIcon closeIcon(const QColor& color, int size = 10);

// One alert's row: icon, title, message, relative time; the banner adds a close button.
QWidget* makeAlertRow(const NetworkAlert& alert, const QString& message, const QString& time,
                      QWidget* parent);

class AlertBanners final : public QWidget {
    Q_OBJECT
public:
    static constexpr qsizetype maxBanners = 5;
    static constexpr int bannerWidth = 280;

    explicit AlertBanners(AlertCenter* center, QWidget* parent = nullptr);

    // The alerts now shown as banners, in stack order.
    QList<QUuid> shownAlertIds() const { return m_shown; }
    void refresh();

private:
    AlertCenter* m_center;
    QVBoxLayout* m_layout;
    QList<QUuid> m_shown;
    QTimer* m_ageTimer; // keeps "now"/"1m ago" current while banners are up
};

} // namespace velmora
