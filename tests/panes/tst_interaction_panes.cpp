// SPDX-License-Identifier: GPL-3.0-or-later
// The widgets around the canvas controller: context menu contents and actions, search results
// and the search bar, the selection read-outs and the "Cables" section.

#include "support/builders.h"
#include "support/pixels.h"

#include "canvas/canvas_context_menu.h"
#include "canvas/canvas_interaction.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "model/search.h"
#include "panes/cables_section.h"
#include "panes/search_bar.h"
#include "panes/selection_readouts.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

// Core router (scale 2) cabled to the edge router, and two access points (scales 0.5, 1.5).
ProjectData network()
{
    return test::projectWith(
        {{.id = 1, .name = u"core-router"_s, .type = u"Core"_s, .ip = u"10.0.1.5"_s, .scale = 2},
         {.id = 2, .name = u"edge"_s, .type = u"Router"_s, .ip = u"110.0.1.9"_s},
         {.id = 3, .name = u"ap 1"_s, .type = u"AP"_s, .ip = u"10.0.2.1"_s, .scale = 0.5},
         {.id = 4, .name = u"ap-2"_s, .type = u"AP"_s, .ip = u"10.0.2.2"_s, .scale = 1.5}},
        {test::cableBetween(1, 1, 2)});
}

struct Rig {
    explicit Rig(ProjectData project = network()) : document(std::move(project))
    {
        interaction.setUrlOpener([this](const QUrl& url) { opened.append(url); });
        session.ensureTypeColors();
    }

    ProjectDocument document;
    ProjectSession session{&document};
    ViewState view{&session};
    CanvasInteraction interaction{&session, &view};
    QList<QUrl> opened;
};

// A label as the user reads it: "&&" shows one "&", a single "&" only marks a shortcut key.
QString shown(QString text)
{
    return text.replace(u"&&"_s, u"\x01"_s).remove(u'&').replace(u'\x01', u'&');
}

bool hasInk(const QIcon& icon)
{
    return test::countNotNear(icon.pixmap(16, 16).toImage(), Qt::transparent, 128) > 0;
}

// The menu as shown: items by label, separators as "-", submenus as "label > [items]".
QStringList describe(const QMenu* menu)
{
    QStringList lines;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            lines << u"-"_s;
        else if (action->menu())
            lines << shown(action->text()) + u" > ["_s + describe(action->menu()).join(u", "_s) +
                         u"]"_s;
        else
            lines << shown(action->text());
    }
    return lines;
}

QList<double> scales(const Rig& rig)
{
    QList<double> list;
    for (const NodeData& node : rig.session.project().nodes)
        list.append(node.scale);
    return list;
}

QAction* findAction(const QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (shown(action->text()) == text)
            return action;
        if (QAction* inner = action->menu() ? findAction(action->menu(), text) : nullptr)
            return inner;
    }
    return nullptr;
}

} // namespace

class TestInteractionPanes final : public QObject {
    Q_OBJECT
private slots:
    void contextMenuContents_data()
    {
        QTest::addColumn<QSet<qint64>>("selection");
        QTest::addColumn<QString>("expected"); // the entries, joined by "|"
        const QString single =
            u"Open in Browser|Copy IP|-|Match Size > [%1]|-|Duplicate|Delete Node"_s;
        QTest::newRow("nothing selected") << QSet<qint64>{} << QString();
        QTest::newRow("a selected id without a node") << QSet<qint64>{42} << QString();
        QTest::newRow("one node whose type is unique")
            << QSet<qint64>{1} << single.arg(u"Apply to all nodes (3)"_s);
        QTest::newRow("one node sharing its type")
            << QSet<qint64>{3} << single.arg(u"Apply to all \"AP\" (1), Apply to all nodes (3)"_s);
        QTest::newRow("a type with an ampersand")
            << QSet<qint64>{5} << single.arg(u"Apply to all \"R&D\" (1), Apply to all nodes (5)"_s);
        QTest::newRow("several with an ampersand type")
            << QSet<qint64>{5, 6}
            << u"Set Type > [AP, Core, R&D, Router, Custom...]|Match Size > [Make all selected "
               "match (2)]|-|Copy 2 Nodes|Duplicate 2 Nodes|Delete 2 Nodes"_s;
    }
    void contextMenuContents()
    {
        QFETCH(QSet<qint64>, selection);
        QFETCH(QString, expected);
        ProjectData project = network();
        if (selection.contains(5))
            project.nodes << NodeData{.id = 5, .type = u"R&D"_s}
                          << NodeData{.id = 6, .type = u"R&D"_s};
        Rig rig(project);
        rig.session.setSelectedNodes(selection);
        std::unique_ptr<QMenu> menu(buildCanvasContextMenu(rig.interaction, {}, nullptr));
        QCOMPARE(describe(menu.get()).join(u'|'), expected);
    }

    // Each entry does what it says, on the selection the menu was built for.
    void contextMenuActions()
    {
        Rig rig;
        rig.session.setSelectedNodes({3});
        std::unique_ptr<QMenu> menu(buildCanvasContextMenu(rig.interaction, {}, nullptr));
        findAction(menu.get(), u"Open in Browser"_s)->trigger();
        QCOMPARE(rig.opened, QList<QUrl>{QUrl(u"http://10.0.2.1"_s)});
        findAction(menu.get(), u"Copy IP"_s)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), u"10.0.2.1"_s);
        findAction(menu.get(), u"Apply to all \"AP\" (1)"_s)->trigger();
        QCOMPARE(scales(rig), (QList<double>{2, 1, 0.5, 0.5}));
        findAction(menu.get(), u"Apply to all nodes (3)"_s)->trigger();
        QCOMPARE(scales(rig), (QList<double>{0.5, 0.5, 0.5, 0.5}));
        findAction(menu.get(), u"Duplicate"_s)->trigger();
        QCOMPARE(rig.session.project().nodes.size(), 5);
        rig.session.setSelectedNodes({3});
        findAction(menu.get(), u"Delete Node"_s)->trigger();
        QCOMPARE(rig.session.project().nodes.size(), 4);

        Rig several;
        several.session.setSelectedNodes({4, 3, 2});
        bool customRequested = false;
        menu.reset(buildCanvasContextMenu(
            several.interaction, [&] { customRequested = true; }, nullptr));
        // The first selected node in project order (node 2, scale 1) sets the size.
        findAction(menu.get(), u"Make all selected match (3)"_s)->trigger();
        QCOMPARE(scales(several), (QList<double>{2, 1, 1, 1}));
        findAction(menu.get(), u"Core"_s)->trigger();
        QCOMPARE(several.session.project().nodes[3].type, u"Core"_s);
        findAction(menu.get(), u"Custom..."_s)->trigger();
        QVERIFY(customRequested);
        findAction(menu.get(), u"Copy 3 Nodes"_s)->trigger();
        QCOMPARE(several.session.clipboard().size(), 3);
        findAction(menu.get(), u"Duplicate 3 Nodes"_s)->trigger();
        QCOMPARE(several.session.project().nodes.size(), 7);
        several.session.setSelectedNodes({2, 3});
        menu.reset(buildCanvasContextMenu(several.interaction, {}, nullptr));
        findAction(menu.get(), u"Delete 2 Nodes"_s)->trigger();
        QCOMPARE(several.session.project().nodes.size(), 5);
        QVERIFY(several.session.project().cables.isEmpty()); // the cable touched node 2
    }

    void searchMatches_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QSet<qint64>>("expected");
        QTest::newRow("name and type, case folded") << u"ROUT"_s << QSet<qint64>{1, 2};
        QTest::newRow("plain substring of addresses") << u"10.0.1"_s << QSet<qint64>{1, 2};
        QTest::newRow("empty query") << QString() << QSet<qint64>{};
        QTest::newRow("a blank is a real query") << u" "_s << QSet<qint64>{3};
        QTest::newRow("type only") << u"ap"_s << QSet<qint64>{3, 4};
    }
    void searchMatches()
    {
        QFETCH(QString, query);
        QFETCH(QSet<qint64>, expected);
        QCOMPARE(searchResults(network(), query), expected);
    }

    void searchBarShowsCountAndButtons()
    {
        Rig rig;
        SearchBar bar(&rig.session, &rig.interaction);
        QVERIFY(bar.isHidden());
        rig.interaction.toggleSearchBar();
        QVERIFY(!bar.isHidden());
        QVERIFY(hasInk(bar.clearButton()->icon())); // drawn without an icon theme
        QVERIFY(!bar.selectAllButton()->isEnabled());

        QTest::keyClicks(bar.field(), u"ROUT"_s);
        QCOMPARE(bar.countLabel()->text(), u"2 found"_s);
        bar.zoomToButton()->click();
        QVERIFY(rig.view.isAnimatingView());

        QTest::keyClicks(bar.field(), u"zzz"_s);
        QVERIFY(!bar.zoomToButton()->isEnabled());
        bar.clearButton()->click();
        QVERIFY(bar.field()->text().isEmpty());

        QTest::keyClicks(bar.field(), u"ap"_s);
        bar.selectAllButton()->click();
        QCOMPARE(rig.session.selectedNodes(), (QSet<qint64>{3, 4}));
        rig.interaction.setShowSearchBar(true);
        bar.closeButton()->click();
        QVERIFY(bar.isHidden());
    }

    void readoutWidgetFollowsSession()
    {
        Rig rig;
        SelectionReadouts readouts(&rig.session, &rig.interaction);
        QCOMPARE(readouts.selectedText(), u"None"_s);
        QCOMPARE(readouts.nodesText(), u"4"_s);
        QVERIFY(readouts.rootText().isEmpty());
        rig.session.setSelection({}, {1}, std::nullopt);
        QCOMPARE(readouts.selectedText(), u"0 nodes, 1 cable"_s);
        rig.view.setAppMode(AppMode::live); // counts nodes only
        QCOMPARE(readouts.selectedText(), u"None"_s);
        rig.session.setSelection({1, 2}, {1}, std::nullopt);
        QCOMPARE(readouts.selectedText(), u"2 nodes"_s);
        rig.session.setRoot(2);
        QCOMPARE(readouts.rootText(), u"edge"_s);
        rig.session.setSelectedNodes({2});
        rig.session.deleteSelection();
        QCOMPARE(readouts.nodesText(), u"3"_s);
        QVERIFY(readouts.rootText().isEmpty()); // the root node is gone
    }

    void cablesSectionButtons()
    {
        Rig rig;
        CablesSection section(&rig.session, &rig.interaction);
        QVERIFY(section.deleteButton()->isHidden());
        QVERIFY(hasInk(section.deleteButton()->icon())); // drawn without an icon theme
        section.drawButton()->click();
        QVERIFY(rig.interaction.gesture().isDrawingCable);
        QCOMPARE(section.drawButton()->text(), u"Cancel"_s);
        QVERIFY(hasInk(section.drawButton()->icon()));
        section.drawButton()->click();
        QVERIFY(!rig.interaction.gesture().isDrawingCable);

        const Cable cable = toCable(rig.session.project().cables[0]);
        rig.session.setSelection({1}, {1}, cable);
        QVERIFY(section.deleteButton()->isHidden()); // a node is selected
        rig.session.setSelection({}, {1}, cable);
        QVERIFY(!section.deleteButton()->isHidden());
        section.deleteButton()->click();
        QVERIFY(rig.session.project().cables.isEmpty());
        QVERIFY(section.deleteButton()->isHidden());
    }

    void resetNeedsConfirmation()
    {
        Rig rig;
        CablesSection section(&rig.session, &rig.interaction);
        bool confirmed = false;
        section.setResetConfirmation([&](QWidget*) { return confirmed; });
        section.resetButton()->click();
        QCOMPARE(rig.session.project().nodes.size(), 4);
        confirmed = true;
        section.resetButton()->click();
        QVERIFY(rig.session.project().nodes.isEmpty());
    }
};

QTEST_MAIN(TestInteractionPanes)
#include "tst_interaction_panes.moc"
