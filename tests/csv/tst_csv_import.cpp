// SPDX-License-Identifier: GPL-3.0-or-later
// Import planning and apply: the sheet's texts, the duplicate test and warning, the grid
// placement in both modes, the skip rules, and what the import does to the editing session.

#include "support/files.h"

#include "csv/csv_import.h"
#include "model/project_session.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

using Points = QList<QPointF>;

NodeData node(qint64 id, const QString& ip, double y = 0.0, const QString& type = u"Device"_s)
{
    return {.id = id, .name = u"n"_s + QString::number(id), .type = type, .ip = ip, .y = y};
}

CSVRows rowsOf(const QStringList& names, const QStringList& ips)
{
    CSVRows rows;
    rows.hasHeader = true;
    for (qsizetype i = 0; i < ips.size(); ++i)
        rows.candidates.append(
            {names.value(i, u"Node "_s + QString::number(i + 1)), u"Device"_s, ips.at(i)});
    return rows;
}

QString writeFile(const QTemporaryDir& dir, const QByteArray& content)
{
    const QString path = dir.filePath(u"import.csv"_s);
    return test::writeFile(path, content) ? path : QString();
}

Points positions(const QList<NodeData>& nodes, qsizetype from = 0)
{
    Points points;
    for (qsizetype i = from; i < nodes.size(); ++i)
        points.append(QPointF(nodes.at(i).x, nodes.at(i).y));
    return points;
}

} // namespace

class TestCSVImport final : public QObject {
    Q_OBJECT
private slots:
    void modeTexts_data()
    {
        QTest::addColumn<CSVImportMode>("mode");
        QTest::addColumn<qsizetype>("count");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("description");
        QTest::newRow("replace 0")
            << CSVImportMode::replace << qsizetype(0) << u"Replace all nodes"_s
            << u"Removes 0 existing nodes and all cables"_s;
        QTest::newRow("replace 1")
            << CSVImportMode::replace << qsizetype(1) << u"Replace all nodes"_s
            << u"Removes 1 existing node and all cables"_s;
        QTest::newRow("append 1") << CSVImportMode::append << qsizetype(1)
                                  << u"Append to existing"_s << u"Adds to your 1 existing node"_s;
        QTest::newRow("append 12345")
            << CSVImportMode::append << qsizetype(12345) << u"Append to existing"_s
            << u"Adds to your 12345 existing nodes"_s;
    }

    void modeTexts()
    {
        QFETCH(CSVImportMode, mode);
        QFETCH(qsizetype, count);
        QFETCH(QString, label);
        QFETCH(QString, description);
        QCOMPARE(csvImportModeLabel(mode), label);
        QCOMPARE(csvImportModeDescription(mode, count), description);
        const QString name = mode == CSVImportMode::replace ? u"replace"_s : u"append"_s;
        QCOMPARE(csvImportModeFromName(name), mode);
        QCOMPARE(csvImportModeFromName(u"Mode::"_s + name), std::nullopt);
    }

    void duplicates_data()
    {
        // Names, addresses of the file and addresses of the project, comma-separated.
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("ips");
        QTest::addColumn<QString>("projectIps");
        QTest::addColumn<CSVImportMode>("mode");
        QTest::addColumn<bool>("has");
        QTest::addColumn<QString>("warning"); // empty: none
        const auto replace = CSVImportMode::replace;
        const auto append = CSVImportMode::append;
        QTest::newRow("clean replace")
            << u"a,b,c"_s << u"1,2,3"_s << u"1"_s << replace << false << QString();
        QTest::newRow("same names replace") << u"R,R"_s << u"1,2"_s << QString() << replace << true
                                            << u"1 duplicate found within CSV"_s;
        QTest::newRow("one taken append") << u"a,b,c"_s << u"1,2,3"_s << u"2,9"_s << append << true
                                          << u"1 IP already exist in your project"_s;
        QTest::newRow("repeats count each time")
            << u"a,b,c"_s << u"7,8,7"_s << u"7"_s << append << true
            << u"2 IPs already exist in your project"_s;
        QTest::newRow("0.0.0.0 never taken")
            << u"a,b,c"_s << u"0.0.0.0,1,2"_s << u"0.0.0.0"_s << append << false << QString();
        QTest::newRow("ips and names counted together")
            << u"A,A,B,C,D"_s << u"5,6,5,0.0.0.0,0.0.0.0"_s << QString() << replace << true
            << u"3 duplicates found within CSV"_s;
        QTest::newRow("same string as ip and name counts once")
            << u"x,x"_s << u"x,x"_s << QString() << replace << true
            << u"1 duplicate found within CSV"_s;
        QTest::newRow("taken wins over inner duplicates")
            << u"A,A"_s << u"1,2"_s << u"1"_s << append << true
            << u"1 IP already exist in your project"_s;
        QTest::newRow("taken ignored in replace") << u"A,A"_s << u"1,2"_s << u"1"_s << replace
                                                  << true << u"1 duplicate found within CSV"_s;
    }

    void duplicates()
    {
        QFETCH(QString, names);
        QFETCH(QString, ips);
        QFETCH(QString, projectIps);
        QFETCH(CSVImportMode, mode);
        QFETCH(bool, has);
        QFETCH(QString, warning);
        const CSVPreviewData preview =
            makeCSVPreview(rowsOf(names.split(u','), ips.split(u',')), u"/tmp/x.csv"_s);
        ProjectData project;
        const QStringList taken = projectIps.split(u',', Qt::SkipEmptyParts);
        for (qsizetype i = 0; i < taken.size(); ++i)
            project.nodes.append(node(i + 1, taken.at(i)));
        QCOMPARE(hasDuplicates(preview, mode, project), has);
        QCOMPARE(duplicateWarning(preview, mode, project).value_or(QString()), warning);
    }

    // Where the rows land, which are skipped, and the identifiers they take.
    void applyRows_data()
    {
        QTest::addColumn<CSVImportMode>("mode");
        QTest::addColumn<bool>("skip");
        QTest::addColumn<QList<double>>("existingY"); // project nodes at 10.9.9.0, 10.9.9.1...
        QTest::addColumn<QString>("fileIps");         // comma-separated
        QTest::addColumn<QString>("addedIps");
        QTest::addColumn<Points>("expected");
        const auto replace = CSVImportMode::replace;
        const auto append = CSVImportMode::append;
        const QList<double> none;
        QTest::newRow("replace 3") << replace << true << QList<double>{900.0} << u"1,2,3"_s
                                   << u"1,2,3"_s << Points{{100, 100}, {320, 100}, {540, 100}};
        QTest::newRow("replace 5")
            << replace << true << none << u"1,2,3,4,5"_s << u"1,2,3,4,5"_s
            << Points{{100, 100}, {320, 100}, {540, 100}, {760, 100}, {100, 220}};
        QTest::newRow("append below 400") << append << true << QList<double>{-20.0, 400.0, 12.5}
                                          << u"1,2"_s << u"1,2"_s << Points{{100, 580}, {320, 580}};
        QTest::newRow("append below 100")
            << append << true << QList<double>{100.0} << u"1"_s << u"1"_s << Points{{100, 340}};
        QTest::newRow("append to nothing")
            << append << true << none << u"1"_s << u"1"_s << Points{{100, 220}};
        // Y = -250; the row -2.08 is rounded toward zero, to -2.
        QTest::newRow("append below -400")
            << append << true << QList<double>{-400.0, -900.0} << u"1,2,3,4,5,6"_s
            << u"1,2,3,4,5,6"_s
            << Points{{100, -140}, {320, -140}, {540, -140}, {760, -140}, {100, -20}, {320, -20}};
        // Y = -30: the row -0.25 becomes 0, not -1.
        QTest::newRow("append below -180")
            << append << true << QList<double>{-180.0} << u"1"_s << u"1"_s << Points{{100, 100}};
        QTest::newRow("append far away")
            << append << true << QList<double>{1e300} << u"1"_s << u"1"_s
            << Points{{100, 100 + 120 * std::trunc((1e300 + 150) / 120)}};
        // Skipped rows take no grid slot and no identifier.
        QTest::newRow("append skips a taken address")
            << append << true << QList<double>{0.0} << u"2,10.9.9.0,3"_s << u"2,3"_s
            << Points{{100, 220}, {320, 220}};
        QTest::newRow("replace skips the second of a pair")
            << replace << true << QList<double>{0.0} << u"10.9.9.0,10.9.9.0"_s << u"10.9.9.0"_s
            << Points{{100, 100}};
        QTest::newRow("unset addresses are all added")
            << append << true << none << u"0.0.0.0,0.0.0.0"_s << u"0.0.0.0,0.0.0.0"_s
            << Points{{100, 220}, {320, 220}};
        QTest::newRow("the empty address is not exempt")
            << replace << true << none << u",,x"_s << u",x"_s << Points{{100, 100}, {320, 100}};
        QTest::newRow("skip off adds everything")
            << append << false << QList<double>{0.0} << u"10.9.9.0,10.9.9.0"_s
            << u"10.9.9.0,10.9.9.0"_s << Points{{100, 220}, {320, 220}};
    }

    void applyRows()
    {
        QFETCH(CSVImportMode, mode);
        QFETCH(bool, skip);
        QFETCH(QList<double>, existingY);
        QFETCH(QString, fileIps);
        QFETCH(QString, addedIps);
        QFETCH(Points, expected);
        ProjectData project;
        project.nextNodeId = 41;
        for (qsizetype i = 0; i < existingY.size(); ++i)
            project.nodes.append(node(i + 1, u"10.9.9.%1"_s.arg(i), existingY.at(i)));
        const qsizetype before = mode == CSVImportMode::append ? project.nodes.size() : 0;
        const QStringList file = fileIps.split(u',');
        const QStringList wanted = addedIps.split(u',');

        const CSVImportCounts counts = applyCSVRows(project, rowsOf({}, file), mode, skip);
        QCOMPARE(counts.added, wanted.size());
        QCOMPARE(counts.skipped, file.size() - wanted.size());
        QCOMPARE(project.nodes.size(), before + wanted.size());
        QCOMPARE(positions(project.nodes, before), expected);
        for (qsizetype i = 0; i < wanted.size(); ++i) {
            const NodeData& added = project.nodes.at(before + i);
            QCOMPARE(added.id, 41 + i);
            QCOMPARE(added.ip, wanted.at(i));
            QCOMPARE(added.scale, 1.0);
        }
        QCOMPARE(project.nextNodeId, 41 + wanted.size());
    }

    // Replace empties nodes, cables and the type colour map and clears the selection; the map,
    // the view and nextNodeId stay. One undo step takes it all back.
    void sessionReplace_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QStringList>("types"); // of the nodes added, which get palette 0, 1...
        QTest::newRow("three rows, one skipped")
            << QByteArray("Name,Type,IP\nCam,Camera,10.0.0.1\nSen,Sensor,10.0.0.2\n"
                          "Cam2,Camera,10.0.0.1\n")
            << QStringList{u"Camera"_s, u"Sensor"_s};
        QTest::newRow("header only") << QByteArray("Name,Type,IP\n") << QStringList{};
    }

    void sessionReplace()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QStringList, types);
        ProjectData start;
        start.nodes = {node(1, u"10.0.0.1"_s, 0, u"Old"_s), node(2, u"10.0.0.2"_s, 0, u"Old"_s)};
        start.cables = {CableData{.id = 5}};
        start.map = MapData{.imageData = QByteArray("img")};
        start.viewSettings.zoom = 2.5;
        start.nextNodeId = 3;
        ProjectDocument document(start);
        ProjectSession session(&document);
        session.ensureTypeColors();
        session.setSelectedNodes({1, 2});

        QTemporaryDir dir;
        const CSVImportResult result =
            importCSV(session, writeFile(dir, csv), CSVImportMode::replace, true);
        QVERIFY(result);
        QCOMPARE(result->added, types.size());
        const ProjectData& project = session.project();
        QCOMPARE(project.nodes.size(), types.size());
        QVERIFY(project.cables.isEmpty());
        QCOMPARE(project.map, start.map);
        QCOMPARE(project.viewSettings, start.viewSettings);
        QCOMPARE(project.nextNodeId, 3 + types.size());
        QVERIFY(session.selectedNodes().isEmpty());
        QCOMPARE(session.typeColorMap().keys(), types);
        for (qsizetype i = 0; i < types.size(); ++i)
            QCOMPARE(session.typeColorMap().value(types.at(i)), colorPalette.at(size_t(i)));
        QCOMPARE(session.visibleTypes().size(), types.size());
        QCOMPARE(session.undoStack().size(), 1);
        session.undo();
        QCOMPARE(session.project(), start);
    }

    void sessionAppendKeepsSelectionAndColours()
    {
        ProjectData start;
        start.nodes = {node(1, u"10.0.0.1"_s, 40, u"Router"_s),
                       node(2, u"10.0.0.2"_s, 0, u"Switch"_s), node(3, u"10.0.0.3"_s, 0, u"AP"_s)};
        start.nextNodeId = 10;
        ProjectDocument document(start);
        ProjectSession session(&document);
        session.ensureTypeColors();
        session.hideAllTypes();
        session.setSelectedNodes({2});
        const Rgb routerColour = session.typeColorMap().value(u"Router"_s);

        QTemporaryDir dir;
        const QString path =
            writeFile(dir, "a,Camera,10.0.0.3\nb,Sensor,10.0.0.4\nc,Router,10.0.0.5\n");
        const CSVImportResult result = importCSV(session, path, CSVImportMode::append, true);
        QVERIFY(result);
        QCOMPARE(result->skipped, 1);
        QCOMPARE(session.project().nodes.size(), 5);
        QCOMPARE(session.project().nodes.at(3).name, u"b"_s);
        QCOMPARE(session.selectedNodes(), QSet<qint64>{2});
        // The new type takes the first colour no type has; the old ones keep theirs.
        QCOMPARE(session.typeColorMap().value(u"Sensor"_s), colorPalette[3]);
        QCOMPARE(session.typeColorMap().value(u"Router"_s), routerColour);
        QCOMPARE(session.visibleTypes().size(), 4);
    }

    void nothingToImport()
    {
        ProjectData start;
        start.nodes = {node(1, u"10.0.0.1"_s)};
        start.nextNodeId = std::numeric_limits<qint64>::max() - 1;
        ProjectDocument document(start);
        ProjectSession session(&document);
        session.setSelectedNodes({1});
        QSignalSpy refused(&session, &ProjectSession::editRefused);
        QTemporaryDir dir;
        const QString twoRows = dir.filePath(u"two.csv"_s);
        QVERIFY(test::writeFile(twoRows, "a,Device,10.0.0.2\nb,Device,10.0.0.3\n"));

        // Too few identifiers left: refused, with the reason, before anything is recorded.
        CSVImportResult result = importCSV(session, twoRows, CSVImportMode::append, true);
        QVERIFY(!result && result.error().isRefused);
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused.first().first().toString(), result.error().message);
        QVERIFY(session.undoStack().isEmpty());

        // A file that yields nothing (no longer there, only line ends) changes nothing, but the
        // undo snapshot is taken before the read.
        for (const QString& file : {dir.filePath(u"gone.csv"_s), writeFile(dir, "\n\r\n")}) {
            result = importCSV(session, file, CSVImportMode::replace, true);
            QVERIFY(!result && !result.error().isRefused);
            QVERIFY(!result.error().message.isEmpty());
        }
        QCOMPARE(session.project(), start);
        QCOMPARE(session.selectedNodes(), QSet<qint64>{1});
        QCOMPARE(session.undoStack().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCSVImport)
#include "tst_csv_import.moc"
