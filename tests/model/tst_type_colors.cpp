// SPDX-License-Identifier: GPL-3.0-or-later
// Type colours and layer visibility: which palette colour each new type gets, what is stored in
// the project, and how showing and hiding types works.

#include "model/project_session.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

ProjectData withTypes(const QStringList& types)
{
    ProjectData p;
    for (const QString& type : types) {
        const qint64 id = p.nextNodeId++;
        p.nodes.append(NodeData{id, u"n%1"_s.arg(id), type, QString(), 0, 0, 1});
    }
    return p;
}

void addNodes(ProjectSession& session, const QStringList& types)
{
    session.pushUndoSnapshot();
    session.document()->modify([&](ProjectData& p) {
        for (const QString& type : types) {
            const qint64 id = ProjectSession::allocateNodeId(p);
            p.nodes.append(NodeData{id, QString(), type, QString(), 0, 0, 1});
        }
    });
}

Rgb palette(int index)
{
    return colorPalette.at(static_cast<std::size_t>(index));
}

} // namespace

class TestTypeColors final : public QObject {
    Q_OBJECT

private slots:
    void ensureTypeColors_data()
    {
        QTest::addColumn<QStringList>("initialTypes");
        QTest::addColumn<QStringList>("addedTypes");
        QTest::addColumn<QStringList>("checkedTypes");
        QTest::addColumn<QList<int>>("paletteIndexes");

        QTest::newRow("first load")
            << QStringList{u"Router"_s, u"Switch"_s, u"Router"_s, u"AP"_s} << QStringList{}
            << QStringList{u"Router"_s, u"Switch"_s, u"AP"_s} << QList<int>{0, 1, 2};
        // The counter restarts at 0 on every call, even though colour 0 is taken.
        QTest::newRow("import after three types")
            << QStringList{u"A"_s, u"B"_s, u"C"_s} << QStringList{u"Camera"_s, u"Sensor"_s}
            << QStringList{u"A"_s, u"Camera"_s, u"Sensor"_s} << QList<int>{0, 0, 1};
        QStringList twelve;
        QList<int> wrapped;
        for (int i = 0; i < 12; ++i) {
            twelve.append(u"T%1"_s.arg(i, 2, 10, QChar(u'0')));
            wrapped.append(i % 10);
        }
        QTest::newRow("more types than colours") << twelve << QStringList{} << twelve << wrapped;
    }

    void ensureTypeColors()
    {
        QFETCH(QStringList, initialTypes);
        QFETCH(QStringList, addedTypes);
        QFETCH(QStringList, checkedTypes);
        QFETCH(QList<int>, paletteIndexes);

        ProjectDocument doc(withTypes(initialTypes));
        ProjectSession session(&doc);
        session.ensureTypeColors();
        if (!addedTypes.isEmpty()) {
            addNodes(session, addedTypes);
            session.ensureTypeColors();
        }
        for (qsizetype i = 0; i < checkedTypes.size(); ++i)
            QCOMPARE(session.typeColorMap().value(checkedTypes.at(i)),
                     palette(paletteIndexes.at(i)));
        const QList<QString> keys = session.typeColorMap().keys();
        QCOMPARE(session.visibleTypes(), QSet<QString>(keys.cbegin(), keys.cend()));
        // Handing out colours records no undo step and does not write the project.
        QVERIFY(doc.projectData().typeColors.isEmpty());
    }

    void ensureTypeColorsMakesEveryTypeVisibleAgain()
    {
        ProjectDocument doc(withTypes({u"Router"_s, u"Switch"_s}));
        ProjectSession session(&doc);
        session.ensureTypeColors();
        session.toggleType(u"Switch"_s);
        QVERIFY(!session.visibleTypes().contains(u"Switch"_s));
        addNodes(session, {u"Router"_s});
        session.ensureTypeColors();
        QVERIFY(session.visibleTypes().contains(u"Switch"_s));
    }

    void savedColourOverridesThePalette()
    {
        ProjectData p = withTypes({u"Router"_s, u"AP"_s});
        p.typeColors = {{u"Router"_s, 0.1, 0.2, 0.3}, {u"Gone"_s, 1, 1, 1}};
        ProjectDocument doc(p);
        ProjectSession session(&doc);
        session.ensureTypeColors();
        session.loadTypeColors();
        QCOMPARE(session.typeColorMap().value(u"Router"_s), (Rgb{0.1, 0.2, 0.3}));
        QCOMPARE(session.typeColorMap().value(u"AP"_s), palette(1));
        QCOMPARE(session.typeColorMap().value(u"Gone"_s), (Rgb{1, 1, 1}));
    }

    void applyTypeToSelection()
    {
        QStringList types;
        for (int i = 0; i < 12; ++i)
            types.append(u"T%1"_s.arg(i));
        ProjectDocument doc(withTypes(types));
        ProjectSession session(&doc);
        session.ensureTypeColors();
        QCOMPARE(session.typeColorMap().size(), 12);
        session.setSelectedNodes({2, 5, 99});
        session.applyTypeToSelection(u"Printer"_s);

        // 12 types known before: Printer gets palette colour 12 mod 10 = 2.
        QCOMPARE(session.typeColorMap().value(u"Printer"_s), palette(2));
        QCOMPARE(doc.projectData().nodes.at(1).type, u"Printer"_s);
        QCOMPARE(doc.projectData().nodes.at(4).type, u"Printer"_s);
        QCOMPARE(doc.projectData().nodes.at(0).type, u"T0"_s);
        QCOMPARE(session.undoStack().size(), 1);
        // The colours are stored in the project, one record per known type.
        const QList<TypeColorData>& stored = doc.projectData().typeColors;
        QCOMPARE(stored.size(), 13);
        for (const TypeColorData& record : stored) {
            const Rgb color = session.typeColorMap().value(record.type);
            QCOMPARE((Rgb{record.red, record.green, record.blue}), color);
        }
        QVERIFY(session.visibleTypes().contains(u"Printer"_s));

        session.undo();
        QCOMPARE(doc.projectData().nodes.at(1).type, u"T1"_s);
        QVERIFY(doc.projectData().typeColors.isEmpty());
    }

    void applyTypeWithoutSelectionDoesNothing()
    {
        ProjectDocument doc(withTypes({u"A"_s}));
        ProjectSession session(&doc);
        session.applyTypeToSelection(u"B"_s);
        QVERIFY(session.undoStack().isEmpty());
        QVERIFY(!session.typeColorMap().contains(u"B"_s));
    }

    void setTypeColorIsStoredWithoutUndo()
    {
        ProjectDocument doc(withTypes({u"A"_s}));
        ProjectSession session(&doc);
        session.ensureTypeColors();
        QSignalSpy changed(&doc, &ProjectDocument::changed);
        session.setTypeColor(u"A"_s, Rgb{0.5, 0.25, 1});
        QCOMPARE(changed.size(), 1);
        QCOMPARE(doc.projectData().typeColors,
                 (QList<TypeColorData>{TypeColorData{u"A"_s, 0.5, 0.25, 1}}));
        QVERIFY(session.undoStack().isEmpty());
        session.setTypeColor(u"A"_s, Rgb{0.5, 0.25, 1});
        QCOMPARE(changed.size(), 1); // nothing new to store
    }

    void visibility()
    {
        ProjectDocument doc(withTypes({u"Router"_s, u"AP"_s, u"Switch"_s, u"AP"_s}));
        ProjectSession session(&doc);
        session.ensureTypeColors();
        QVERIFY(session.isNodeVisible(1));

        session.hideAllTypes();
        QVERIFY(session.visibleTypes().isEmpty());
        QVERIFY(!session.isNodeVisible(2));
        session.soloType(u"AP"_s);
        QCOMPARE(session.visibleTypes(), QSet<QString>{u"AP"_s});
        QVERIFY(session.isNodeVisible(2));
        QVERIFY(session.isNodeVisible(4));
        QVERIFY(!session.isNodeVisible(1));
        QVERIFY(!session.isNodeVisible(99));

        session.toggleType(u"Router"_s);
        QCOMPARE(session.visibleTypes(), (QSet<QString>{u"AP"_s, u"Router"_s}));
        session.toggleType(u"AP"_s);
        QCOMPARE(session.visibleTypes(), QSet<QString>{u"Router"_s});

        session.showAllTypes();
        QCOMPARE(session.visibleTypes(), (QSet<QString>{u"AP"_s, u"Router"_s, u"Switch"_s}));
        QVERIFY(session.undoStack().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTypeColors)
#include "tst_type_colors.moc"
