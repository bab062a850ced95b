// SPDX-License-Identifier: GPL-3.0-or-later
// The widgets around the canvas controller: context menu contents and actions, search results
// and the search bar, the selection read-outs, the "Cables" section and the help card.

#include "canvas/canvas_context_menu.h"
#include "canvas/canvas_interaction.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "model/search.h"
#include "panes/cables_section.h"
#include "panes/controls_card.h"
#include "panes/search_bar.h"
#include "panes/selection_readouts.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace velmora;

namespace {

NodeData makeNode(qint64 id, const QString& name, const QString& type, const QString& ip,
                  double scale = 1.0)
{
    NodeData n;
    n.id = id;
    n.name = name;
    n.type = type;
    n.ip = ip;
    n.x = double(id) * 300.0;
    n.scale = scale;
    return n;
}

ProjectData network()
{
    ProjectData p;
    p.nodes = {
        makeNode(1, QStringLiteral("core-router"), QStringLiteral("Core"),
                 QStringLiteral("10.0.1.5"), 2.0),
        makeNode(2, QStringLiteral("edge"), QStringLiteral("Router"), QStringLiteral("110.0.1.9")),
        makeNode(3, QStringLiteral("ap-1"), QStringLiteral("AP"), QStringLiteral("10.0.2.1"), 0.5),
        makeNode(4, QStringLiteral("ap-2"), QStringLiteral("AP"), QStringLiteral("10.0.2.2"), 1.5)};
    p.cables = {CableData{1,
                          {CablePointData{cablePointTypeNode, 0, 0, qint64(1), 0.0},
                           CablePointData{cablePointTypeNode, 0, 0, qint64(2), 0.0}}}};
    p.nextNodeId = 5;
    p.nextCableId = 2;
    return p;
}

struct Rig {
    explicit Rig(ProjectData project)
        : document(std::move(project)), session(&document), view(&session),
          interaction(&session, &view)
    {
        interaction.setUrlOpener([this](const QUrl& url) { opened.append(url); });
        session.ensureTypeColors();
    }

    ProjectDocument document;
    ProjectSession session;
    ViewState view;
    CanvasInteraction interaction;
    QList<QUrl> opened;
};

// A label as the user reads it: "&&" shows one "&", a single "&" only marks a shortcut key.
QString shown(QString text)
{
    return text.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

// An icon that draws something: not null, with opaque pixels.
bool hasInk(const QIcon& icon)
{
    const QImage image = icon.pixmap(16, 16).toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128)
                return true;
    return false;
}

// The menu as shown: items by label, separators as "-", submenus as "label > [items]".
QStringList describe(const QMenu* menu)
{
    QStringList lines;
    const QList<QAction*> actions = menu->actions();
    for (const QAction* action : actions) {
        if (action->isSeparator())
            lines << QStringLiteral("-");
        else if (action->menu())
            lines << shown(action->text()) + QStringLiteral(" > [") +
                         describe(action->menu()).join(QStringLiteral(", ")) + QStringLiteral("]");
        else
            lines << shown(action->text());
    }
    return lines;
}

QAction* findAction(const QMenu* menu, const QString& text)
{
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        if (shown(action->text()) == text)
            return action;
        if (action->menu()) {
            if (QAction* inner = findAction(action->menu(), text))
                return inner;
        }
    }
    return nullptr;
}

} // namespace

class TestInteractionPanes final : public QObject {
    Q_OBJECT
private slots:
    void contextMenuContents_data();
    void contextMenuContents();
    void contextMenuSingleNodeActions();
    void contextMenuSeveralNodesActions();
    void searchMatches_data();
    void searchMatches();
    void searchBarShowsCountAndButtons();
    void readoutTexts_data();
    void readoutTexts();
    void readoutWidgetFollowsSession();
    void cablesSectionButtons();
    void resetNeedsConfirmation();
    void controlsCardRows();
};

void TestInteractionPanes::contextMenuContents_data()
{
    QTest::addColumn<QSet<qint64>>("selection");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("nothing selected") << QSet<qint64>{} << QStringList{};
    QTest::newRow("one node whose type is unique")
        << QSet<qint64>{1}
        << QStringList{QStringLiteral("Open in Browser"),
                       QStringLiteral("Copy IP"),
                       QStringLiteral("-"),
                       QStringLiteral("Match Size > [Apply to all nodes (3)]"),
                       QStringLiteral("-"),
                       QStringLiteral("Duplicate"),
                       QStringLiteral("Delete Node")};
    QTest::newRow("one node sharing its type")
        << QSet<qint64>{3}
        << QStringList{
               QStringLiteral("Open in Browser"),
               QStringLiteral("Copy IP"),
               QStringLiteral("-"),
               QStringLiteral("Match Size > [Apply to all \"AP\" (1), Apply to all nodes (3)]"),
               QStringLiteral("-"),
               QStringLiteral("Duplicate"),
               QStringLiteral("Delete Node")};
    QTest::newRow("a type with an ampersand")
        << QSet<qint64>{5}
        << QStringList{QStringLiteral("Open in Browser"),
                       QStringLiteral("Copy IP"),
                       QStringLiteral("-"),
                       QStringLiteral("Match Size > [Apply to all \"R&D\" (1), Apply to all nodes "
                                      "(5)]"),
                       QStringLiteral("-"),
                       QStringLiteral("Duplicate"),
                       QStringLiteral("Delete Node")};
    QTest::newRow("several with an ampersand type")
        << QSet<qint64>{5, 6}
        << QStringList{QStringLiteral("Set Type > [AP, Core, R&D, Router, Custom...]"),
                       QStringLiteral("Match Size > [Make all selected match (2)]"),
                       QStringLiteral("-"),
                       QStringLiteral("Copy 2 Nodes"),
                       QStringLiteral("Duplicate 2 Nodes"),
                       QStringLiteral("Delete 2 Nodes")};
    QTest::newRow("a selected id without a node") << QSet<qint64>{42} << QStringList{};
    QTest::newRow("three nodes")
        << QSet<qint64>{1, 3, 4}
        << QStringList{QStringLiteral("Set Type > [AP, Core, Router, Custom...]"),
                       QStringLiteral("Match Size > [Make all selected match (3)]"),
                       QStringLiteral("-"),
                       QStringLiteral("Copy 3 Nodes"),
                       QStringLiteral("Duplicate 3 Nodes"),
                       QStringLiteral("Delete 3 Nodes")};
}

void TestInteractionPanes::contextMenuContents()
{
    QFETCH(QSet<qint64>, selection);
    QFETCH(QStringList, expected);

    ProjectData project = network();
    if (selection.contains(5))
        project.nodes << makeNode(5, QStringLiteral("lab"), QStringLiteral("R&D"), {})
                      << makeNode(6, QStringLiteral("lab 2"), QStringLiteral("R&D"), {});
    Rig rig(project);
    rig.session.setSelectedNodes(selection);
    std::unique_ptr<QMenu> menu(buildCanvasContextMenu(rig.interaction, {}, nullptr));
    QCOMPARE(describe(menu.get()), expected);
}

void TestInteractionPanes::contextMenuSingleNodeActions()
{
    Rig rig(network());
    rig.session.setSelectedNodes({3});
    std::unique_ptr<QMenu> menu(buildCanvasContextMenu(rig.interaction, {}, nullptr));

    findAction(menu.get(), QStringLiteral("Open in Browser"))->trigger();
    QCOMPARE(rig.opened, QList<QUrl>{QUrl(QStringLiteral("http://10.0.2.1"))});

    findAction(menu.get(), QStringLiteral("Copy IP"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("10.0.2.1"));

    findAction(menu.get(), QStringLiteral("Apply to all \"AP\" (1)"))->trigger();
    QCOMPARE(rig.session.project().nodes[3].scale, 0.5);
    QCOMPARE(rig.session.project().nodes[0].scale, 2.0);
    QCOMPARE(rig.session.undoStack().size(), 1);

    findAction(menu.get(), QStringLiteral("Apply to all nodes (3)"))->trigger();
    for (const NodeData& node : rig.session.project().nodes)
        QCOMPARE(node.scale, 0.5);
    rig.session.undo();
    QCOMPARE(rig.session.project().nodes[0].scale, 2.0);

    findAction(menu.get(), QStringLiteral("Duplicate"))->trigger();
    QCOMPARE(rig.session.project().nodes.size(), 5);
    rig.session.setSelectedNodes({3});
    findAction(menu.get(), QStringLiteral("Delete Node"))->trigger();
    QCOMPARE(rig.session.project().nodes.size(), 4);
}

void TestInteractionPanes::contextMenuSeveralNodesActions()
{
    Rig rig(network());
    rig.session.setSelectedNodes({4, 3, 2});
    bool customRequested = false;
    std::unique_ptr<QMenu> menu(buildCanvasContextMenu(
        rig.interaction, [&] { customRequested = true; }, nullptr));

    // The first selected node in project order (node 2, scale 1) sets the size.
    findAction(menu.get(), QStringLiteral("Make all selected match (3)"))->trigger();
    QCOMPARE(rig.session.project().nodes[1].scale, 1.0);
    QCOMPARE(rig.session.project().nodes[2].scale, 1.0);
    QCOMPARE(rig.session.project().nodes[3].scale, 1.0);
    QCOMPARE(rig.session.project().nodes[0].scale, 2.0);

    findAction(menu.get(), QStringLiteral("Core"))->trigger();
    QCOMPARE(rig.session.project().nodes[3].type, QStringLiteral("Core"));
    QCOMPARE(rig.session.project().nodes[0].type, QStringLiteral("Core"));
    findAction(menu.get(), QStringLiteral("Custom..."))->trigger();
    QVERIFY(customRequested);

    findAction(menu.get(), QStringLiteral("Copy 3 Nodes"))->trigger();
    QCOMPARE(rig.session.clipboard().size(), 3);
    findAction(menu.get(), QStringLiteral("Duplicate 3 Nodes"))->trigger();
    QCOMPARE(rig.session.project().nodes.size(), 7);
    rig.session.setSelectedNodes({2, 3});
    std::unique_ptr<QMenu> second(buildCanvasContextMenu(rig.interaction, {}, nullptr));
    findAction(second.get(), QStringLiteral("Delete 2 Nodes"))->trigger();
    QCOMPARE(rig.session.project().nodes.size(), 5);
    QVERIFY(rig.session.project().cables.isEmpty()); // the cable touched node 2
}

void TestInteractionPanes::searchMatches_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QSet<qint64>>("expected");

    QTest::newRow("name and type, case folded") << QStringLiteral("ROUT") << QSet<qint64>{1, 2};
    QTest::newRow("plain substring of addresses") << QStringLiteral("10.0.1") << QSet<qint64>{1, 2};
    QTest::newRow("empty query") << QString() << QSet<qint64>{};
    QTest::newRow("a blank is a real query") << QStringLiteral(" ") << QSet<qint64>{};
    QTest::newRow("type only") << QStringLiteral("ap") << QSet<qint64>{3, 4};
    QTest::newRow("no match") << QStringLiteral("switch") << QSet<qint64>{};
}

void TestInteractionPanes::searchMatches()
{
    QFETCH(QString, query);
    QFETCH(QSet<qint64>, expected);
    QCOMPARE(searchResults(network(), query), expected);

    ProjectData blanks = network();
    blanks.nodes[2].name = QStringLiteral("ap one");
    QCOMPARE(searchResults(blanks, QStringLiteral(" ")), QSet<qint64>{3});
}

void TestInteractionPanes::searchBarShowsCountAndButtons()
{
    Rig rig(network());
    SearchBar bar(&rig.session, &rig.interaction);
    QVERIFY(bar.isHidden());
    QCOMPARE(bar.field()->placeholderText(), QStringLiteral("Search nodes..."));
    rig.interaction.toggleSearchBar();
    QVERIFY(!bar.isHidden());
    // Every symbol of the bar shows without an icon theme (or an emoji font).
    const QList<QLabel*> labels = bar.findChildren<QLabel*>();
    QVERIFY(std::any_of(labels.cbegin(), labels.cend(),
                        [](const QLabel* label) { return !label->pixmap().isNull(); }));
    QVERIFY(hasInk(bar.clearButton()->icon()));

    QVERIFY(bar.countLabel()->isHidden());
    QVERIFY(bar.clearButton()->isHidden());
    QVERIFY(!bar.selectAllButton()->isEnabled());

    QTest::keyClicks(bar.field(), QStringLiteral("ROUT"));
    QCOMPARE(rig.session.searchText(), QStringLiteral("ROUT"));
    QVERIFY(!bar.countLabel()->isHidden());
    QCOMPARE(bar.countLabel()->text(), QStringLiteral("2 found"));
    QVERIFY(bar.zoomToButton()->isEnabled());

    rig.session.setSelection({3}, {1}, std::nullopt);
    bar.zoomToButton()->click();
    QCOMPARE(rig.session.selectedNodes(), (QSet<qint64>{1, 2}));
    QVERIFY(rig.session.selectedCableIds().isEmpty());
    QVERIFY(rig.view.isAnimatingView());

    QTest::keyClicks(bar.field(), QStringLiteral("zzz"));
    QCOMPARE(bar.countLabel()->text(), QStringLiteral("0 found"));
    QVERIFY(!bar.selectAllButton()->isEnabled());
    QVERIFY(!bar.zoomToButton()->isEnabled());

    bar.clearButton()->click();
    QVERIFY(rig.session.searchText().isEmpty());
    QVERIFY(bar.field()->text().isEmpty());

    QTest::keyClicks(bar.field(), QStringLiteral("ap"));
    bar.selectAllButton()->click();
    QCOMPARE(rig.session.selectedNodes(), (QSet<qint64>{3, 4}));

    rig.interaction.setShowSearchBar(true);
    rig.session.setSearchText(QStringLiteral("ap"));
    bar.closeButton()->click();
    QVERIFY(bar.isHidden());
    QVERIFY(rig.session.searchText().isEmpty());
    QCOMPARE(rig.session.selectedNodes(), (QSet<qint64>{3, 4}));
}

void TestInteractionPanes::readoutTexts_data()
{
    QTest::addColumn<bool>("live");
    QTest::addColumn<qint64>("nodes");
    QTest::addColumn<qint64>("cables");
    QTest::addColumn<QString>("expected");

    QTest::newRow("edit nothing") << false << qint64(0) << qint64(0) << QStringLiteral("None");
    QTest::newRow("edit one node")
        << false << qint64(1) << qint64(0) << QStringLiteral("1 node, 0 cables");
    QTest::newRow("edit cables only")
        << false << qint64(0) << qint64(1) << QStringLiteral("0 nodes, 1 cable");
    QTest::newRow("edit both plural")
        << false << qint64(2) << qint64(3) << QStringLiteral("2 nodes, 3 cables");
    QTest::newRow("live counts nodes only")
        << true << qint64(3) << qint64(2) << QStringLiteral("3 nodes");
    QTest::newRow("live one") << true << qint64(1) << qint64(0) << QStringLiteral("1 node");
    QTest::newRow("live cables only is none")
        << true << qint64(0) << qint64(2) << QStringLiteral("None");
}

void TestInteractionPanes::readoutTexts()
{
    QFETCH(bool, live);
    QFETCH(qint64, nodes);
    QFETCH(qint64, cables);
    QFETCH(QString, expected);
    QCOMPARE(selectedReadout(live ? AppMode::live : AppMode::edit, nodes, cables), expected);
}

void TestInteractionPanes::readoutWidgetFollowsSession()
{
    Rig rig(network());
    SelectionReadouts readouts(&rig.session, &rig.interaction);
    QCOMPARE(readouts.selectedText(), QStringLiteral("None"));
    QCOMPARE(readouts.nodesText(), QStringLiteral("4"));
    QVERIFY(readouts.rootText().isEmpty());

    rig.session.setSelection({1, 2}, {1}, std::nullopt);
    QCOMPARE(readouts.selectedText(), QStringLiteral("2 nodes, 1 cable"));
    rig.view.setAppMode(AppMode::live);
    QCOMPARE(readouts.selectedText(), QStringLiteral("2 nodes"));

    rig.session.setRoot(2);
    QCOMPARE(readouts.rootText(), QStringLiteral("edge"));
    rig.session.setSelectedNodes({2});
    rig.session.deleteSelection();
    QCOMPARE(readouts.nodesText(), QStringLiteral("3"));
    QVERIFY(readouts.rootText().isEmpty()); // the root node is gone
}

void TestInteractionPanes::cablesSectionButtons()
{
    Rig rig(network());
    CablesSection section(&rig.session, &rig.interaction);
    QCOMPARE(section.drawButton()->text(), QStringLiteral("Draw Cable"));
    QVERIFY(section.deleteButton()->isHidden());
    // Text in pixel sizes as in the other panes; symbols that need no icon theme.
    QLabel* title = section.findChild<QLabel*>();
    QCOMPARE(title->text(), QStringLiteral("Cables"));
    for (const auto& [widget, pixels] : {std::pair<QWidget*, int>{title, 11},
                                         {section.drawButton(), 11},
                                         {section.deleteButton(), 11},
                                         {section.resetButton(), 10}}) {
        widget->ensurePolished();
        QCOMPARE(widget->font().pixelSize(), pixels);
    }
    QVERIFY(hasInk(section.drawButton()->icon()));
    QVERIFY(hasInk(section.deleteButton()->icon()));

    section.drawButton()->click();
    QVERIFY(rig.interaction.gesture().isDrawingCable);
    QCOMPARE(section.drawButton()->text(), QStringLiteral("Cancel"));
    QVERIFY(hasInk(section.drawButton()->icon()));
    section.drawButton()->click();
    QVERIFY(!rig.interaction.gesture().isDrawingCable);
    QCOMPARE(section.drawButton()->text(), QStringLiteral("Draw Cable"));

    const Cable cable = toCable(rig.session.project().cables[0]);
    rig.session.setSelection({1}, {1}, cable);
    QVERIFY(section.deleteButton()->isHidden()); // a node is selected
    rig.session.setSelection({}, {1}, cable);
    QVERIFY(!section.deleteButton()->isHidden());
    QCOMPARE(section.deleteButton()->text(), QStringLiteral("Delete Cable"));
    section.deleteButton()->click();
    QVERIFY(rig.session.project().cables.isEmpty());
    QVERIFY(section.deleteButton()->isHidden());
}

void TestInteractionPanes::resetNeedsConfirmation()
{
    Rig rig(network());
    CablesSection section(&rig.session, &rig.interaction);
    QCOMPARE(section.resetButton()->text(), QStringLiteral("Reset Layout..."));
    bool answer = false;
    int asked = 0;
    section.setResetConfirmation([&](QWidget*) {
        ++asked;
        return answer;
    });
    section.resetButton()->click();
    QCOMPARE(asked, 1);
    QCOMPARE(rig.session.project().nodes.size(), 4);

    answer = true;
    section.resetButton()->click();
    QCOMPARE(asked, 2);
    QVERIFY(rig.session.project().nodes.isEmpty());
    QVERIFY(rig.session.project().cables.isEmpty());
    QCOMPARE(rig.session.project().nextNodeId, 1);
}

void TestInteractionPanes::controlsCardRows()
{
    const auto rows = controlsHelpRows();
    QCOMPARE(rows.size(), 9);
    QCOMPARE(rows.at(7).first, QStringLiteral("Ctrl+C / Ctrl+V:"));
    QCOMPARE(rows.at(8).first, QStringLiteral("Ctrl+Z / Ctrl+Shift+Z:"));
    QCOMPARE(rows.at(8).second, QStringLiteral("Undo / Redo"));
    ControlsCard card;
    const QList<QLabel*> labels = card.findChildren<QLabel*>();
    QCOMPARE(labels.size(), 1 + 2 * rows.size());
    QStringList texts;
    for (const QLabel* label : labels)
        texts << label->text();
    QVERIFY(texts.contains(QStringLiteral("Controls")));
    QVERIFY(texts.contains(QStringLiteral("Remove node/cable")));

    // The card's button asks to collapse; collapsing hides the rows but keeps the title.
    QSignalSpy requested(&card, &ControlsCard::collapseRequested);
    card.collapseButton()->click();
    QCOMPARE(requested.count(), 1);
    QCOMPARE(requested.at(0).at(0).toBool(), true);
    card.setCollapsed(true);
    for (const QLabel* label : labels)
        QCOMPARE(label->isVisibleTo(&card), label->text() == QStringLiteral("Controls"));
}

QTEST_MAIN(TestInteractionPanes)
#include "tst_interaction_panes.moc"
