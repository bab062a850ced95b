// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/layers_pane.h"

#include "canvas/view_state.h"
#include "model/project_session.h"
#include "panes/pane_layout_state.h"
#include "panes/pane_style.h"
#include "panes/type_sheets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>

namespace velmora {

namespace {

const QString eyeOpen = QString(QChar(0x25C9));                 // fisheye: shown
const QString eyeClosed = QString(QChar(0x25CB));               // open circle: hidden
const QString chevronDown = QString::fromUtf8("\xE2\x8C\x84");  // U+2304
const QString chevronRight = QString::fromUtf8("\xE2\x80\xBA"); // U+203A

} // namespace

LayersPane::LayersPane(ProjectSession* session, ViewState* view, PaneLayoutState* layout,
                       QWidget* parent)
    : QWidget(parent), m_session(session), m_view(view), m_layout(layout),
      m_title(new QLabel(tr("Layers"), this)), m_collapse(new QPushButton(this)),
      m_body(new QWidget(this)), m_visibleCount(new QLabel(m_body)),
      m_typeList(new QWidget(m_body)), m_rows(new QVBoxLayout(m_typeList))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 8, 10, 8);
    column->setSpacing(6);
    auto* header = new QHBoxLayout;
    header->addWidget(m_title);
    header->addStretch(1);
    m_collapse->setFixedSize(20, 20);
    setFlatLook(m_collapse, QStringLiteral("layersCollapse"));
    header->addWidget(m_collapse);
    column->addLayout(header);

    auto* body = new QVBoxLayout(m_body);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(6);
    auto* buttons = new QHBoxLayout;
    auto* showAll = new QPushButton(eyeOpen + u' ' + tr("Show All"), m_body);
    auto* hideAll = new QPushButton(eyeClosed + u' ' + tr("Hide All"), m_body);
    for (QPushButton* button : {showAll, hideAll}) {
        setFlatLook(button, QStringLiteral("showOrHideAll"));
        buttons->addWidget(button, 1);
    }
    body->addLayout(buttons);
    m_visibleCount->setTextFormat(Qt::RichText);
    body->addWidget(m_visibleCount);
    m_typeList->setToolTip(tr("Toggle visibility by type"));
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(4);
    body->addWidget(m_typeList);
    column->addWidget(m_body);
    column->addStretch(1);

    connect(showAll, &QPushButton::clicked, session, &ProjectSession::showAllTypes);
    connect(hideAll, &QPushButton::clicked, session, &ProjectSession::hideAllTypes);
    connect(m_collapse, &QPushButton::clicked, this,
            [this] { m_layout->setLayersPaneCollapsed(!m_layout->layersPaneCollapsed()); });
    connect(session, &ProjectSession::typesChanged, this, &LayersPane::rebuildRows);
    connect(session->document(), &ProjectDocument::changed, this, &LayersPane::rebuildRows);
    connect(layout, &PaneLayoutState::changed, this, &LayersPane::refresh);
    connect(view, &ViewState::appModeChanged, this, &LayersPane::refresh);
    rebuildRows();
}

void LayersPane::refresh()
{
    const bool collapsed = m_layout->layersPaneCollapsed();
    styleLabel(m_title, accentColor(m_view->appMode()), 13, 600);
    m_collapse->setText(collapsed ? chevronRight : chevronDown);
    m_collapse->setToolTip(collapsed ? tr("Expand Layers pane") : tr("Collapse Layers pane"));
    m_body->setVisible(!collapsed);
}

void LayersPane::rebuildRows()
{
    const ProjectData& project = m_session->project();
    const QSet<QString>& visible = m_session->visibleTypes();
    QHash<QString, qint64> counts;
    qint64 visibleNodes = 0;
    for (const NodeData& node : project.nodes) {
        ++counts[node.type];
        if (visible.contains(node.type))
            ++visibleNodes;
    }
    const QString grey = paneColor::grey.name();
    m_visibleCount->setText(
        QStringLiteral("<span style='color:%1;font-size:11px'>%2</span>"
                       "<span style='color:%3;font-weight:bold;font-size:11px'>%4</span>"
                       "<span style='color:%1;font-size:11px'> / %5</span>")
            .arg(grey, tr("Visible: ").toHtmlEscaped(), paneColor::liveAccent.name())
            .arg(visibleNodes)
            .arg(project.nodes.size()));

    QStringList types = m_session->typeColorMap().keys();
    std::sort(types.begin(), types.end());
    // The document changes with every pan step; rebuild the rows only when what they show does.
    QString signature;
    for (const QString& type : types) {
        const Rgb rgb = m_session->typeColorMap().value(type);
        signature += type + QLatin1Char('\x1f') + QString::number(rgb.red) + QLatin1Char(',') +
                     QString::number(rgb.green) + QLatin1Char(',') + QString::number(rgb.blue) +
                     QLatin1Char(',') + QString::number(counts.value(type)) +
                     (visible.contains(type) ? QLatin1Char('v') : QLatin1Char('h')) +
                     QLatin1Char('\x1e');
    }
    if (signature == m_rowsSignature && m_rows->count() == types.size()) {
        refresh();
        return;
    }
    m_rowsSignature = signature;
    // Rows go later: a click on one of their buttons may be what triggered this rebuild.
    while (QLayoutItem* item = m_rows->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    for (const QString& type : types) {
        const Rgb rgb = m_session->typeColorMap().value(type);
        auto* row = new QWidget(m_typeList);
        row->setObjectName(QStringLiteral("layerRow"));
        row->setProperty("layerType", type);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(6);
        auto* swatch = new QPushButton(row);
        swatch->setObjectName(QStringLiteral("swatch"));
        swatch->setFixedSize(16, 16);
        swatch->setToolTip(tr("Click to change color"));
        swatch->setStyleSheet(QStringLiteral("QPushButton { background: %1; border: none;"
                                             " border-radius: 4px; }")
                                  .arg(rgbColor(rgb.red, rgb.green, rgb.blue).name()));
        connect(swatch, &QPushButton::clicked, this, [this, type] { openColorPicker(type); });
        auto* info = new QVBoxLayout;
        info->setSpacing(0);
        auto* name = new QLabel(type, row);
        name->setObjectName(QStringLiteral("layerName"));
        name->setTextFormat(Qt::PlainText);
        auto* count = new QLabel(countText(counts.value(type), tr("node")), row);
        count->setObjectName(QStringLiteral("count"));
        info->addWidget(name);
        info->addWidget(count);
        const bool shown = visible.contains(type);
        auto* eye = new QPushButton(shown ? eyeOpen : eyeClosed, row);
        setFlatLook(eye, QStringLiteral("eye")); // white while checked (shown), else grey
        eye->setCheckable(true);
        eye->setChecked(shown);
        eye->setFixedSize(28, 28);
        connect(eye, &QPushButton::clicked, this, [this, type] { m_session->toggleType(type); });
        auto* solo = new QPushButton(tr("S"), row);
        setFlatLook(solo, QStringLiteral("solo"));
        solo->setFixedSize(28, 28);
        connect(solo, &QPushButton::clicked, this, [this, type] { m_session->soloType(type); });
        line->addWidget(swatch);
        line->addLayout(info, 1);
        line->addWidget(eye);
        line->addWidget(solo);
        m_rows->addWidget(row);
    }
    refresh();
}

void LayersPane::openColorPicker(const QString& type)
{
    auto* sheet = new ColorPickerSheet(m_session, type, window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

} // namespace velmora
