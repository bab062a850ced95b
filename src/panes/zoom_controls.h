// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Zoom:" with the zoom as a whole percentage, the zoom-out and zoom-in buttons and
// "Fit to Screen".

#include <QWidget>

class QLabel;
class QPushButton;

namespace velmora {

class ViewState;

class ZoomControls final : public QWidget {
    Q_OBJECT
public:
    explicit ZoomControls(ViewState* view, QWidget* parent = nullptr);

    QLabel* percentLabel() const { return m_percent; }
    QPushButton* zoomOutButton() const { return m_zoomOut; }
    QPushButton* zoomInButton() const { return m_zoomIn; }
    QPushButton* fitButton() const { return m_fit; }

    // zoom x 100 truncated towards zero, as "%lld%".
    static QString percentText(double zoom);

private:
    void refresh();

    ViewState* m_view;
    QLabel* m_percent;
    QPushButton* m_zoomOut;
    QPushButton* m_zoomIn;
    QPushButton* m_fit;
};

} // namespace velmora
