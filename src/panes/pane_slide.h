// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Places the two side panes over the canvas and, for the changes that call for it (the mode
// switch, collapsing or expanding all panes), moves them to their new places over 0.25 s,
// easing in and out, instead of at once.

#include <QObject>
#include <QRect>

#include <functional>

class QVariantAnimation;
class QWidget;

namespace velmora {

class PaneSlide final : public QObject {
    Q_OBJECT
public:
    static constexpr int durationMs = 250;

    PaneSlide(QWidget* left, QWidget* right, QObject* parent = nullptr);

    // Where the panes belong now; while a slide runs they keep moving towards these places.
    void place(const QRect& left, const QRect& right);
    // Runs `change`, which places the panes anew, and slides them there from where they were.
    void slide(const std::function<void()>& change);

private:
    void apply(double progress);

    QWidget* m_left;
    QWidget* m_right;
    QVariantAnimation* m_animation;
    QRect m_leftFrom, m_rightFrom, m_leftTo, m_rightTo;
};

} // namespace velmora
