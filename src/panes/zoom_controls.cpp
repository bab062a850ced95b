// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/zoom_controls.h"

#include "canvas/view_state.h"
#include "panes/pane_style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace velmora {

QString ZoomControls::percentText(double zoom)
{
    const double percent = std::trunc(zoom * 100.0);
    const long long value = std::isfinite(percent) ? static_cast<long long>(percent) : 0;
    return QString::asprintf("%lld", value) + QStringLiteral("%");
}

ZoomControls::ZoomControls(ViewState* view, QWidget* parent)
    : QWidget(parent), m_view(view), m_percent(new QLabel(this)),
      m_zoomOut(new QPushButton(QString(QChar(0x2212)), this)),
      m_zoomIn(new QPushButton(tr("+"), this)), m_fit(new QPushButton(tr("Fit to Screen"), this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    auto* title = new QLabel(tr("Zoom:"), this);
    title->setObjectName(QStringLiteral("zoomTitle"));
    m_percent->setObjectName(QStringLiteral("zoomPercent"));
    row->addWidget(title);
    row->addWidget(m_percent);
    row->addStretch(1);
    for (QPushButton* button : {m_zoomOut, m_zoomIn}) {
        button->setObjectName(QStringLiteral("zoomStep"));
        button->setFixedSize(24, 24);
        button->setFlat(true);
        row->addWidget(button);
    }
    column->addLayout(row);
    setFlatLook(m_fit, QStringLiteral("fitToScreen"));
    column->addWidget(m_fit);

    connect(m_zoomOut, &QPushButton::clicked, view, &ViewState::zoomOut);
    connect(m_zoomIn, &QPushButton::clicked, view, &ViewState::zoomIn);
    connect(m_fit, &QPushButton::clicked, this,
            [this] { m_view->fitToScreen(m_view->viewSize()); });
    connect(view, &ViewState::viewChanged, this, &ZoomControls::refresh);
    refresh();
}

void ZoomControls::refresh()
{
    m_percent->setText(percentText(m_view->zoom()));
}

} // namespace velmora
