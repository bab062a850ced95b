// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/pane_slide.h"

#include <QVariantAnimation>
#include <QWidget>

namespace velmora {

PaneSlide::PaneSlide(QWidget* left, QWidget* right, QObject* parent)
    : QObject(parent), m_left(left), m_right(right), m_animation(new QVariantAnimation(this))
{
    m_animation->setObjectName(QStringLiteral("layoutAnimation"));
    m_animation->setDuration(durationMs);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& progress) { apply(progress.toDouble()); });
}

void PaneSlide::place(const QRect& left, const QRect& right)
{
    m_leftTo = left;
    m_rightTo = right;
    apply(m_animation->state() == QAbstractAnimation::Stopped
              ? 1.0
              : m_animation->currentValue().toDouble());
}

void PaneSlide::slide(const std::function<void()>& change)
{
    const QRect left = m_left->geometry();
    const QRect right = m_right->geometry();
    m_animation->stop();
    change();
    m_leftFrom = left;
    m_rightFrom = right;
    m_animation->start();
    apply(0.0);
}

void PaneSlide::apply(double progress)
{
    const auto between = [progress](const QRect& from, const QRect& to) {
        if (progress >= 1.0)
            return to;
        const auto mix = [progress](int a, int b) { return qRound(a + (b - a) * progress); };
        return QRect(mix(from.x(), to.x()), mix(from.y(), to.y()), mix(from.width(), to.width()),
                     mix(from.height(), to.height()));
    };
    m_left->setGeometry(between(m_leftFrom, m_leftTo));
    m_right->setGeometry(between(m_rightFrom, m_rightTo));
}

} // namespace velmora
