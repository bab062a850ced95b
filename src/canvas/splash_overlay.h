// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The splash screen drawn over the whole window when it first appears; it removes itself when
// its sequence has run.

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace velmora {

class SplashOverlay final : public QWidget {
    Q_OBJECT
public:
    explicit SplashOverlay(QWidget* parent);

    void start();
    void finish(); // hides it at once (tests, or a window closed early)
    bool showSplash() const { return m_showSplash; }
    // Draws the splash as it looks `seconds` after the start (used by paintEvent and tests).
    void paintAt(QPainter& painter, QSizeF size, double seconds) const;

signals:
    void finished();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void tick();

    QTimer* m_timer;
    QElapsedTimer m_clock;
    bool m_showSplash = true;
};

} // namespace velmora
