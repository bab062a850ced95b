// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/map_layer_section.h"

#include "canvas/map_file.h"
#include "canvas/map_layer.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "panes/pane_style.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// The whole percentage nearest to `value`, so that it reads as the slider's position: a plain
// truncation shows 0.29 (28.999... in binary) as 28 %.
QString percent(double value)
{
    const double p = std::round(value * 100.0);
    const bool representable = std::isfinite(p) && std::abs(p) < 1e15;
    return QString::asprintf("%lld", representable ? static_cast<long long>(p) : 0LL) +
           QStringLiteral("%");
}

} // namespace

MapLayerSection::MapLayerSection(ProjectSession* session, ViewState* view, QWidget* parent)
    : QWidget(parent), m_session(session), m_view(view), m_title(new QLabel(tr("Map Layer"), this)),
      m_load(new QPushButton(this)), m_clear(new QPushButton(tr("Clear"), this)),
      m_sliders(new QWidget(this)), m_opacity(new QSlider(Qt::Horizontal, m_sliders)),
      m_saturation(new QSlider(Qt::Horizontal, m_sliders)), m_opacityValue(new QLabel(m_sliders)),
      m_saturationValue(new QLabel(m_sliders))
{
    m_chooseFile = [this] {
        return QFileDialog::getOpenFileName(
            this, tr("Load Map Image"), QString(),
            tr("Images (%1)").arg(floorPlanFilePatterns().join(u' ')));
    };
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(m_title);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    m_load->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_clear->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    setFlatLook(m_load, QStringLiteral("loadMap"));
    setFlatLook(m_clear, QStringLiteral("clearMap"));
    buttons->addWidget(m_load, 1);
    buttons->addWidget(m_clear, 1);
    column->addLayout(buttons);

    auto* grid = new QGridLayout(m_sliders);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    const auto addRow = [&](int row, const QString& name, QSlider* slider, QLabel* value,
                            int minimum) {
        auto* label = new QLabel(name, m_sliders);
        label->setObjectName(QStringLiteral("mapSlider"));
        label->setFixedWidth(55);
        slider->setRange(minimum, 100);
        slider->setFixedWidth(80);
        value->setObjectName(QStringLiteral("mapSlider"));
        value->setFixedWidth(32);
        grid->addWidget(label, row, 0);
        grid->addWidget(slider, row, 1);
        grid->addWidget(value, row, 2);
    };
    // The opacity never goes below 10 % so the image cannot vanish entirely.
    addRow(0, tr("Opacity"), m_opacity, m_opacityValue, 10);
    addRow(1, tr("Saturation"), m_saturation, m_saturationValue, 0);
    column->addWidget(m_sliders);

    connect(m_load, &QPushButton::clicked, this, &MapLayerSection::chooseAndLoadImage);
    connect(m_clear, &QPushButton::clicked, this, [this] { clearMapImage(*m_session); });
    connect(m_opacity, &QSlider::valueChanged, this,
            [this](int value) { m_view->setMapOpacity(value / 100.0); });
    connect(m_saturation, &QSlider::valueChanged, this,
            [this](int value) { m_view->setMapSaturation(value / 100.0); });
    connect(session->document(), &ProjectDocument::changed, this, &MapLayerSection::refresh);
    connect(view, &ViewState::mapAppearanceChanged, this, &MapLayerSection::refresh);
    connect(view, &ViewState::appModeChanged, this, &MapLayerSection::refresh);
    refresh();
}

void MapLayerSection::chooseAndLoadImage()
{
    const QString path = m_chooseFile ? m_chooseFile() : QString();
    if (path.isEmpty())
        return;
    // A file that cannot be read changes nothing; the user is told why without being blocked.
    if (const Expected<void> loaded = loadMapImage(*m_session, *m_view, path); !loaded) {
        auto* box =
            new QMessageBox(QMessageBox::Warning, tr("Load Map Image"),
                            tr("“%1” could not be used as a map.").arg(QFileInfo(path).fileName()),
                            QMessageBox::Ok, window());
        box->setObjectName(u"mapLoadError"_s);
        box->setInformativeText(loaded.error().message);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

void MapLayerSection::refresh()
{
    styleLabel(m_title, accentColor(m_view->appMode()), 11, 600);
    const bool hasImage = m_session->project().hasMapImage();
    m_load->setText(hasImage ? tr("Replace") : tr("Load Image"));
    m_clear->setVisible(hasImage);
    m_sliders->setVisible(hasImage);
    const QSignalBlocker blockOpacity(m_opacity);
    const QSignalBlocker blockSaturation(m_saturation);
    m_opacity->setValue(static_cast<int>(std::lround(m_view->mapOpacity() * 100.0)));
    m_saturation->setValue(static_cast<int>(std::lround(m_view->mapSaturation() * 100.0)));
    m_opacityValue->setText(percent(m_view->mapOpacity()));
    m_saturationValue->setText(percent(m_view->mapSaturation()));
}

} // namespace velmora
