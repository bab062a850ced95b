// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/canvas_context_menu.h"

#include "canvas/cable_geometry.h"
#include "canvas/canvas_interaction.h"
#include "model/node_operations.h"
#include "model/project_session.h"
#include "monitor/alert_mutes.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>

namespace velmora {

namespace {

// The menu's texts, translated in one context.
struct MenuText {
    Q_DECLARE_TR_FUNCTIONS(CanvasContextMenu)
};

QIcon swatch(const Rgb& color)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(QColor::fromRgbF(float(color.red), float(color.green), float(color.blue)));
    return QIcon(pixmap);
}

// Menu text shows "&" itself only when doubled; a single one marks a shortcut key.
QString menuText(const QString& text)
{
    return QString(text).replace(u'&', QStringLiteral("&&"));
}

// Marks an action that destroys data (styles may show it in red).
void markDestructive(QAction* action)
{
    action->setProperty("destructive", true);
}

void addSingleNodeItems(QMenu* menu, CanvasInteraction& interaction, const NodeData& node)
{
    ProjectSession* session = interaction.session();
    const qint64 id = node.id;
    const QString ip = node.ip;

    QObject::connect(menu->addAction(MenuText::tr("Open in Browser")), &QAction::triggered,
                     &interaction, [&interaction, id] { interaction.openInBrowser(id); });
    QObject::connect(menu->addAction(MenuText::tr("Copy IP")), &QAction::triggered, menu, [ip] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(ip);
    });
    menu->addSeparator();

    QMenu* match = menu->addMenu(MenuText::tr("Match Size"));
    const qsizetype sameType = otherNodesOfSameType(*session, id);
    if (sameType >= 1) {
        const QString label = MenuText::tr("Apply to all \"%1\" (%2)")
                                  .arg(menuText(node.type), QString::number(sameType));
        QObject::connect(match->addAction(label), &QAction::triggered, session,
                         [session, id] { matchSizeOfType(*session, id); });
    }
    const qsizetype nodeCount = session->project().nodes.size();
    if (nodeCount >= 2) {
        const QString label = MenuText::tr("Apply to all nodes (%1)").arg(nodeCount - 1);
        QObject::connect(match->addAction(label), &QAction::triggered, session,
                         [session, id] { matchSizeOfAll(*session, id); });
    }
    menu->addSeparator();

    QObject::connect(menu->addAction(MenuText::tr("Duplicate")), &QAction::triggered, session,
                     [session, id] { session->duplicateNode(id); });
    QAction* remove = menu->addAction(MenuText::tr("Delete Node"));
    markDestructive(remove);
    QObject::connect(remove, &QAction::triggered, session, &ProjectSession::deleteSelection);
}

void addMultiNodeItems(QMenu* menu, CanvasInteraction& interaction,
                       const std::function<void()>& openCustomTypeSheet)
{
    ProjectSession* session = interaction.session();
    const int count = int(session->selectedNodes().size());

    QMenu* setType = menu->addMenu(MenuText::tr("Set Type"));
    const QMap<QString, Rgb>& colors = session->typeColorMap();
    for (auto it = colors.cbegin(); it != colors.cend(); ++it) {
        const QString& type = it.key();
        QObject::connect(setType->addAction(swatch(it.value()), menuText(type)),
                         &QAction::triggered, session,
                         [session, type] { session->applyTypeToSelection(type); });
    }
    QAction* custom = setType->addAction(MenuText::tr("Custom..."));
    QObject::connect(custom, &QAction::triggered, menu, [openCustomTypeSheet] {
        if (openCustomTypeSheet)
            openCustomTypeSheet();
    });

    QMenu* match = menu->addMenu(MenuText::tr("Match Size"));
    QObject::connect(match->addAction(MenuText::tr("Make all selected match (%1)").arg(count)),
                     &QAction::triggered, session, [session] { matchSizeOfSelection(*session); });
    menu->addSeparator();

    QObject::connect(menu->addAction(MenuText::tr("Copy %n Nodes", nullptr, count)),
                     &QAction::triggered, session, &ProjectSession::copySelection);
    QObject::connect(menu->addAction(MenuText::tr("Duplicate %n Nodes", nullptr, count)),
                     &QAction::triggered, session, &ProjectSession::duplicateSelectedNodes);
    QAction* remove = menu->addAction(MenuText::tr("Delete %n Nodes", nullptr, count));
    markDestructive(remove);
    QObject::connect(remove, &QAction::triggered, session, &ProjectSession::deleteSelection);
}

} // namespace

void addMuteAlertsMenu(QMenu* menu, AlertMutes& mutes, const QString& address, const QDateTime& now,
                       const std::function<void()>& changed)
{
    if (mutes.isMuted(address, now)) {
        QObject::connect(menu->addAction(MenuText::tr("Unmute Alerts")), &QAction::triggered, menu,
                         [&mutes, address, changed] {
                             mutes.unmute(address);
                             changed();
                         });
        return;
    }
    QMenu* mute = menu->addMenu(MenuText::tr("Mute Alerts"));
    const std::pair<QString, std::optional<std::chrono::seconds>> choices[] = {
        {MenuText::tr("1 Hour"), std::chrono::hours(1)},
        {MenuText::tr("8 Hours"), std::chrono::hours(8)},
        {MenuText::tr("Until Unmuted"), std::nullopt}};
    for (const auto& [text, duration] : choices) {
        QObject::connect(mute->addAction(text), &QAction::triggered, menu,
                         [&mutes, address, duration, changed] {
                             mutes.mute(address, duration, QDateTime::currentDateTimeUtc());
                             changed();
                         });
    }
}

QMenu* buildCanvasContextMenu(CanvasInteraction& interaction,
                              const std::function<void()>& openCustomTypeSheet, QWidget* parent,
                              const NodeMenuExtension& extension)
{
    auto* menu = new QMenu(parent);
    const ProjectSession& session = *interaction.session();
    const QSet<qint64>& selected = session.selectedNodes();
    if (selected.size() == 1) {
        if (const NodeData* node = findNode(session.project(), *selected.cbegin())) {
            addSingleNodeItems(menu, interaction, *node);
            if (extension) {
                menu->addSeparator();
                extension(menu, node->id);
            }
        }
    } else if (selected.size() >= 2) {
        addMultiNodeItems(menu, interaction, openCustomTypeSheet);
    }
    return menu;
}

} // namespace velmora
