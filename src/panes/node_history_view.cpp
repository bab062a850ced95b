// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/node_history_view.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmora {
namespace {

constexpr int sparklineHeight = 28;
constexpr qint64 hourMs = 3'600'000;

QString durationText(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    if (seconds < 60)
        return NodeHistoryView::tr("%1 s").arg(seconds);
    if (seconds < 3600)
        return NodeHistoryView::tr("%1 min").arg(seconds / 60);
    return NodeHistoryView::tr("%1 h %2 min").arg(seconds / 3600).arg(seconds / 60 % 60);
}

QString clockTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(u"HH:mm"_s);
}

QString percentText(std::optional<double> value)
{
    return value ? NodeHistoryView::tr("%1%").arg(*value, 0, 'f', 1) : u"–"_s;
}

} // namespace

QString outageText(const Outage& outage, qint64 nowMs)
{
    const qint64 end = outage.endMs.value_or(nowMs);
    if (!outage.endMs)
        return NodeHistoryView::tr("Offline since %1 (%2)")
            .arg(clockTime(outage.startMs), durationText(end - outage.startMs));
    return NodeHistoryView::tr("Offline %1–%2 (%3)")
        .arg(clockTime(outage.startMs), clockTime(end), durationText(end - outage.startMs));
}

NodeHistoryView::NodeHistoryView(HistoryReader* reader, QWidget* parent)
    : QWidget(parent), m_reader(reader), m_figures(new QLabel(this)), m_outages(new QLabel(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, sparklineHeight + 4, 0, 0);
    layout->setSpacing(2);
    for (QLabel* label : {m_figures, m_outages}) {
        label->setObjectName(u"detailsValue"_s);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true); // the pane is narrow; a long line must not widen it
        layout->addWidget(label);
    }
    m_outages->setObjectName(u"historyOutages"_s);
}

void NodeHistoryView::showAddress(const QString& address)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (address == m_address && m_readAt.isValid() && m_readAt.secsTo(now) < 15)
        return;
    m_address = address;
    m_readAt = now;
    const qint64 nowMs = now.toMSecsSinceEpoch();
    m_firstMinute = (nowMs - hourMs) / 60'000;
    m_points.clear();
    for (const LatencyAggregate& minute : m_reader->minutes(address, nowMs - hourMs)) {
        if (minute.replies > 0)
            m_points.append({minute.start, minute.meanMs});
    }
    QStringList loss, availability;
    std::optional<HistorySummary> week;
    for (const auto& [name, span] : {std::pair(u"1 h"_s, hourMs), std::pair(u"24 h"_s, 24 * hourMs),
                                     std::pair(u"7 d"_s, 168 * hourMs)}) {
        const std::optional<HistorySummary> s = m_reader->summary(address, nowMs - span);
        loss.append(name + u" "_s + percentText(s ? s->lossPercent() : std::nullopt));
        availability.append(name + u" "_s + percentText(s ? s->availabilityPercent : std::nullopt));
        week = s;
    }
    m_figures->setText(
        tr("Loss: %1\nAvailability: %2").arg(loss.join(u" · "_s), availability.join(u" · "_s)));
    QStringList outages;
    if (week) {
        for (qsizetype i = week->outages.size() - 1; i >= 0 && outages.size() < 5; --i)
            outages.append(outageText(week->outages[i], nowMs));
    }
    m_outages->setText(outages.isEmpty() ? tr("No outages in 7 days") : outages.join(u'\n'));
    update();
}

QString NodeHistoryView::figuresText() const
{
    return m_figures->text();
}

QString NodeHistoryView::outagesText() const
{
    return m_outages->text();
}

void NodeHistoryView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF box(0.5, 0.5, width() - 1.0, sparklineHeight - 1.0);
    painter.setPen(QColor(128, 128, 128, 90));
    painter.drawRect(box);
    if (m_points.isEmpty())
        return;
    double top = 0;
    for (const auto& point : std::as_const(m_points))
        top = std::max(top, point.second);
    top = std::max(top * 1.1, 0.01);
    QPainterPath path;
    for (const auto& [minute, ms] : std::as_const(m_points)) {
        const QPointF p(box.left() + box.width() * double(minute - m_firstMinute) / 60.0,
                        box.bottom() - box.height() * ms / top);
        if (path.elementCount() == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(52, 199, 89), 1.5));
    if (m_points.size() == 1)
        painter.drawEllipse(path.currentPosition(), 1.5, 1.5);
    painter.drawPath(path);
}

} // namespace velmora
