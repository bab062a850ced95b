// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/selection_readouts.h"

#include "canvas/canvas_interaction.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "panes/pane_style.h"

#include <QGridLayout>
#include <QLabel>

namespace velmora {

QString selectedReadout(AppMode mode, qint64 nodeCount, qint64 cableCount)
{
    const QString nodes = countText(nodeCount, SelectionReadouts::tr("node"));
    if (mode == AppMode::live)
        return nodeCount == 0 ? SelectionReadouts::tr("None") : nodes;
    if (nodeCount == 0 && cableCount == 0)
        return SelectionReadouts::tr("None");
    return SelectionReadouts::tr("%1, %2").arg(
        nodes, countText(cableCount, SelectionReadouts::tr("cable")));
}

std::optional<QString> rootReadout(const ProjectSession& session)
{
    const std::optional<qint64> root = session.rootNodeId();
    if (!root)
        return std::nullopt;
    for (const NodeData& node : session.project().nodes) {
        if (node.id == *root)
            return node.name;
    }
    return std::nullopt;
}

SelectionReadouts::SelectionReadouts(ProjectSession* session, CanvasInteraction* interaction,
                                     QWidget* parent)
    : QWidget(parent), m_session(session), m_interaction(interaction),
      m_selectedLabel(new QLabel(tr("Selected:"), this)), m_selectedValue(new QLabel(this)),
      m_nodesLabel(new QLabel(tr("Nodes:"), this)), m_nodesValue(new QLabel(this)),
      m_rootLabel(new QLabel(tr("Root:"), this)), m_rootValue(new QLabel(this))
{
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_selectedLabel, 0, 0);
    layout->addWidget(m_selectedValue, 0, 1);
    layout->addWidget(m_nodesLabel, 1, 0);
    layout->addWidget(m_nodesValue, 1, 1);
    layout->addWidget(m_rootLabel, 2, 0);
    layout->addWidget(m_rootValue, 2, 1);
    layout->setColumnStretch(1, 1);
    m_selectedValue->setObjectName(QStringLiteral("readoutValue"));
    m_nodesValue->setObjectName(QStringLiteral("readoutValue"));
    m_rootValue->setObjectName(QStringLiteral("rootName"));
    m_rootValue->setTextFormat(Qt::PlainText); // a node name, shown as typed

    connect(session, &ProjectSession::selectionChanged, this, &SelectionReadouts::refresh);
    connect(session, &ProjectSession::rootChanged, this, &SelectionReadouts::refresh);
    connect(session->document(), &ProjectDocument::changed, this, &SelectionReadouts::refresh);
    connect(interaction->view(), &ViewState::appModeChanged, this, &SelectionReadouts::refresh);
    refresh();
}

QString SelectionReadouts::selectedText() const
{
    return m_selectedValue->text();
}

QString SelectionReadouts::nodesText() const
{
    return m_nodesValue->text();
}

QString SelectionReadouts::rootText() const
{
    return m_rootLabel->isHidden() ? QString() : m_rootValue->text();
}

void SelectionReadouts::refresh()
{
    const AppMode mode = m_interaction->appMode();
    const QColor accent = accentColor(mode);
    for (QLabel* label : {m_selectedLabel, m_nodesLabel, m_rootLabel})
        setLabelColor(label, accent);
    m_selectedValue->setText(selectedReadout(mode, m_session->selectedNodes().size(),
                                             m_session->selectedCableIds().size()));
    m_nodesValue->setText(QString::number(m_session->project().nodes.size()));
    const std::optional<QString> root = rootReadout(*m_session);
    m_rootLabel->setHidden(!root);
    m_rootValue->setHidden(!root);
    m_rootValue->setText(root.value_or(QString()));
}

} // namespace velmora
