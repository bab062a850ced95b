// SPDX-License-Identifier: GPL-3.0-or-later
// Import planning and apply: the sheet's texts, the duplicate test and warning, the grid
// placement in both modes, the skip rules, and what the import does to the editing session.

#include "csv/csv_import.h"
#include "model/project_session.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

using Points = QList<QPointF>;

NodeData node(qint64 id, const QString& ip, double y = 0.0, const QString& type = u"Device"_s)
{
    NodeData n;
    n.id = id;
    n.name = u"n"_s + QString::number(id);
    n.type = type;
    n.ip = ip;
    n.y = y;
    return n;
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
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(content);
    return path;
}

Points positions(const QList<NodeData>& nodes, qsizetype from = 0)
{
    Points points;
    for (qsizetype i = from; i < nodes.size(); ++i)
        points.append(QPointF(nodes.at(i).x, nodes.at(i).y));
    return points;
}

} // namespace

class TestCsvImport final : public QObject {
    Q_OBJECT
private slots:
    void modeTexts_data();
    void modeTexts();
    void duplicates_data();
    void duplicates();
    void placement_data();
    void placement();
    void skipRules_data();
    void skipRules();
    void replaceKeepsMapAndCounter();
    void sessionReplace();
    void sessionAppendKeepsSelectionAndColours();
    void sessionUnreadableFile();
    void headerOnlyReplace();
};

void TestCsvImport::modeTexts_data()
{
    QTest::addColumn<CSVImportMode>("mode");
    QTest::addColumn<qsizetype>("count");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("description");
    QTest::newRow("replace 0") << CSVImportMode::replace << qsizetype(0) << u"Replace all nodes"_s
                               << u"Removes 0 existing nodes and all cables"_s;
    QTest::newRow("replace 1") << CSVImportMode::replace << qsizetype(1) << u"Replace all nodes"_s
                               << u"Removes 1 existing node and all cables"_s;
    QTest::newRow("append 1") << CSVImportMode::append << qsizetype(1) << u"Append to existing"_s
                              << u"Adds to your 1 existing node"_s;
    QTest::newRow("append 12345") << CSVImportMode::append << qsizetype(12345)
                                  << u"Append to existing"_s
                                  << u"Adds to your 12345 existing nodes"_s;
}

void TestCsvImport::modeTexts()
{
    QFETCH(CSVImportMode, mode);
    QFETCH(qsizetype, count);
    QFETCH(QString, label);
    QFETCH(QString, description);
    QCOMPARE(csvImportModeLabel(mode), label);
    QCOMPARE(csvImportModeDescription(mode, count), description);
    QCOMPARE(csvImportModeFromName(csvImportModeName(mode)), mode);
    QCOMPARE(csvImportModeFromName(u"Replace"_s), std::nullopt);
}

void TestCsvImport::duplicates_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("ips");
    QTest::addColumn<QStringList>("projectIps");
    QTest::addColumn<CSVImportMode>("mode");
    QTest::addColumn<bool>("has");
    QTest::addColumn<QString>("warning"); // empty: none

    const QStringList distinct{u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("clean replace")
        << distinct << QStringList{u"1"_s, u"2"_s, u"3"_s} << QStringList{u"1"_s}
        << CSVImportMode::replace << false << QString();
    QTest::newRow("clean append") << distinct << QStringList{u"1"_s, u"2"_s, u"3"_s}
                                  << QStringList{u"4"_s} << CSVImportMode::append << false
                                  << QString();
    QTest::newRow("same names replace")
        << QStringList{u"Router"_s, u"Router"_s} << QStringList{u"1"_s, u"2"_s} << QStringList{}
        << CSVImportMode::replace << true << u"1 duplicate found within CSV"_s;
    QTest::newRow("one taken append")
        << distinct << QStringList{u"1"_s, u"2"_s, u"3"_s} << QStringList{u"2"_s, u"9"_s}
        << CSVImportMode::append << true << u"1 IP already exist in your project"_s;
    QTest::newRow("repeats count each time")
        << distinct << QStringList{u"7"_s, u"8"_s, u"7"_s} << QStringList{u"7"_s}
        << CSVImportMode::append << true << u"2 IPs already exist in your project"_s;
    QTest::newRow("0.0.0.0 never taken")
        << distinct << QStringList{u"0.0.0.0"_s, u"1"_s, u"2"_s} << QStringList{u"0.0.0.0"_s}
        << CSVImportMode::append << false << QString();
    QTest::newRow("unset addresses repeat")
        << distinct << QStringList{u"0.0.0.0"_s, u"0.0.0.0"_s, u"0.0.0.0"_s} << QStringList{}
        << CSVImportMode::replace << true << u"1 duplicate found within CSV"_s;
    QTest::newRow("ips and names counted together")
        << QStringList{u"A"_s, u"A"_s, u"B"_s, u"C"_s, u"D"_s}
        << QStringList{u"5"_s, u"6"_s, u"5"_s, u"0.0.0.0"_s, u"0.0.0.0"_s} << QStringList{}
        << CSVImportMode::replace << true << u"3 duplicates found within CSV"_s;
    QTest::newRow("same string as ip and name counts once")
        << QStringList{u"x"_s, u"x"_s} << QStringList{u"x"_s, u"x"_s} << QStringList{}
        << CSVImportMode::replace << true << u"1 duplicate found within CSV"_s;
    QTest::newRow("taken wins over inner duplicates")
        << QStringList{u"A"_s, u"A"_s} << QStringList{u"1"_s, u"2"_s} << QStringList{u"1"_s}
        << CSVImportMode::append << true << u"1 IP already exist in your project"_s;
    QTest::newRow("taken ignored in replace")
        << QStringList{u"A"_s, u"A"_s} << QStringList{u"1"_s, u"2"_s} << QStringList{u"1"_s}
        << CSVImportMode::replace << true << u"1 duplicate found within CSV"_s;
}

void TestCsvImport::duplicates()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, ips);
    QFETCH(QStringList, projectIps);
    QFETCH(CSVImportMode, mode);
    QFETCH(bool, has);
    QFETCH(QString, warning);
    const CSVPreviewData preview = makeCSVPreview(rowsOf(names, ips), u"/tmp/x.csv"_s);
    ProjectData project;
    for (qsizetype i = 0; i < projectIps.size(); ++i)
        project.nodes.append(node(i + 1, projectIps.at(i)));
    QCOMPARE(hasDuplicates(preview, mode, project), has);
    QCOMPARE(duplicateWarning(preview, mode, project).value_or(QString()), warning);
}

void TestCsvImport::placement_data()
{
    QTest::addColumn<CSVImportMode>("mode");
    QTest::addColumn<QList<double>>("existingY"); // empty: no nodes
    QTest::addColumn<int>("rows");
    QTest::addColumn<Points>("expected");

    QTest::newRow("replace 3") << CSVImportMode::replace << QList<double>{900.0} << 3
                               << Points{{100, 100}, {320, 100}, {540, 100}};
    QTest::newRow("replace 5") << CSVImportMode::replace << QList<double>{} << 5
                               << Points{
                                      {100, 100}, {320, 100}, {540, 100}, {760, 100}, {100, 220}};
    QTest::newRow("append below 400") << CSVImportMode::append << QList<double>{-20.0, 400.0, 12.5}
                                      << 2 << Points{{100, 580}, {320, 580}};
    QTest::newRow("append below 100")
        << CSVImportMode::append << QList<double>{100.0} << 1 << Points{{100, 340}};
    QTest::newRow("append to nothing")
        << CSVImportMode::append << QList<double>{} << 1 << Points{{100, 220}};
    // Y = -250; the row -2.08 is rounded toward zero, to -2.
    QTest::newRow("append below -400")
        << CSVImportMode::append << QList<double>{-400.0, -900.0} << 6
        << Points{{100, -140}, {320, -140}, {540, -140}, {760, -140}, {100, -20}, {320, -20}};
    // Y = -30: the row -0.25 becomes 0, not -1.
    QTest::newRow("append below -180")
        << CSVImportMode::append << QList<double>{-180.0} << 1 << Points{{100, 100}};
    QTest::newRow("append below 90 exactly a row")
        << CSVImportMode::append << QList<double>{90.0} << 1 << Points{{100, 340}};
    QTest::newRow("append far away") << CSVImportMode::append << QList<double>{1e300} << 1
                                     << Points{{100, 100 + 120 * std::trunc((1e300 + 150) / 120)}};
}

void TestCsvImport::placement()
{
    QFETCH(CSVImportMode, mode);
    QFETCH(QList<double>, existingY);
    QFETCH(int, rows);
    QFETCH(Points, expected);

    ProjectData project;
    project.nextNodeId = 41;
    for (qsizetype i = 0; i < existingY.size(); ++i)
        project.nodes.append(node(i + 1, u"10.9.9."_s + QString::number(i), existingY.at(i)));
    QStringList ips;
    for (int i = 0; i < rows; ++i)
        ips.append(u"10.0.0."_s + QString::number(i));
    const qsizetype before = mode == CSVImportMode::append ? project.nodes.size() : 0;

    const CSVImportCounts counts = applyCSVRows(project, rowsOf({}, ips), mode, true);
    QCOMPARE(counts.added, rows);
    QCOMPARE(counts.skipped, 0);
    QCOMPARE(project.nodes.size(), before + rows);
    QCOMPARE(positions(project.nodes, before), expected);
    for (qsizetype i = 0; i < rows; ++i) {
        const NodeData& added = project.nodes.at(before + i);
        QCOMPARE(added.id, 41 + i);
        QCOMPARE(added.scale, 1.0);
        QCOMPARE(added.ip, ips.at(i));
    }
    QCOMPARE(project.nextNodeId, 41 + rows);
}

void TestCsvImport::skipRules_data()
{
    QTest::addColumn<CSVImportMode>("mode");
    QTest::addColumn<bool>("skip");
    QTest::addColumn<QStringList>("projectIps");
    QTest::addColumn<QStringList>("fileIps");
    QTest::addColumn<QStringList>("addedIps");

    QTest::newRow("append skips a taken address")
        << CSVImportMode::append << true << QStringList{u"10.0.0.1"_s}
        << QStringList{u"10.0.0.2"_s, u"10.0.0.1"_s, u"10.0.0.3"_s}
        << QStringList{u"10.0.0.2"_s, u"10.0.0.3"_s};
    QTest::newRow("replace skips the second of a pair")
        << CSVImportMode::replace << true << QStringList{u"10.0.0.5"_s}
        << QStringList{u"10.0.0.5"_s, u"10.0.0.5"_s} << QStringList{u"10.0.0.5"_s};
    QTest::newRow("unset addresses are all added")
        << CSVImportMode::append << true << QStringList{u"0.0.0.0"_s}
        << QStringList{u"0.0.0.0"_s, u"0.0.0.0"_s} << QStringList{u"0.0.0.0"_s, u"0.0.0.0"_s};
    QTest::newRow("the empty address is not exempt")
        << CSVImportMode::replace << true << QStringList{}
        << QStringList{QString(), QString(), u"x"_s} << QStringList{QString(), u"x"_s};
    QTest::newRow("skip off adds everything")
        << CSVImportMode::append << false << QStringList{u"10.0.0.1"_s}
        << QStringList{u"10.0.0.1"_s, u"10.0.0.1"_s} << QStringList{u"10.0.0.1"_s, u"10.0.0.1"_s};
}

void TestCsvImport::skipRules()
{
    QFETCH(CSVImportMode, mode);
    QFETCH(bool, skip);
    QFETCH(QStringList, projectIps);
    QFETCH(QStringList, fileIps);
    QFETCH(QStringList, addedIps);

    ProjectData project;
    project.nextNodeId = 100;
    for (qsizetype i = 0; i < projectIps.size(); ++i)
        project.nodes.append(node(i + 1, projectIps.at(i), 0.0));
    const qsizetype before = mode == CSVImportMode::append ? project.nodes.size() : 0;

    const CSVImportCounts counts = applyCSVRows(project, rowsOf({}, fileIps), mode, skip);
    QCOMPARE(counts.added, addedIps.size());
    QCOMPARE(counts.skipped, fileIps.size() - addedIps.size());
    QStringList added;
    for (qsizetype i = before; i < project.nodes.size(); ++i)
        added.append(project.nodes.at(i).ip);
    QCOMPARE(added, addedIps);
    // Skipped rows take no grid slot and no identifier.
    const double firstY = mode == CSVImportMode::append ? 220.0 : 100.0;
    Points expected;
    for (qsizetype i = 0; i < addedIps.size(); ++i)
        expected.append(QPointF(100 + 220 * (i % 4), firstY + 120 * (i / 4)));
    QCOMPARE(positions(project.nodes, before), expected);
    QCOMPARE(project.nextNodeId, 100 + addedIps.size());
}

void TestCsvImport::replaceKeepsMapAndCounter()
{
    ProjectData project;
    project.nodes = {node(1, u"1"_s), node(2, u"2"_s)};
    project.cables = {CableData{5, {}}};
    project.map = MapData{QByteArray("img"), 1, 2, 3};
    project.viewSettings.zoom = 2.5;
    project.nextNodeId = 3;
    project.typeColors = {TypeColorData{u"Device"_s, 1, 0, 0}};
    const ProjectData before = project;

    applyCSVRows(project, rowsOf({}, {u"9"_s}), CSVImportMode::replace, true);
    QCOMPARE(project.nodes.size(), 1);
    QCOMPARE(project.nodes.first().id, 3);
    QVERIFY(project.cables.isEmpty());
    QCOMPARE(project.map, before.map);
    QCOMPARE(project.viewSettings, before.viewSettings);
    QCOMPARE(project.nextNodeId, 4);
}

void TestCsvImport::sessionReplace()
{
    ProjectData start;
    start.nodes = {node(1, u"10.0.0.1"_s, 0, u"Old"_s), node(2, u"10.0.0.2"_s, 0, u"Old"_s)};
    start.nextNodeId = 3;
    ProjectDocument document(start);
    ProjectSession session(&document);
    session.ensureTypeColors();
    session.setSelectedNodes({1, 2});

    QTemporaryDir dir;
    const QString path = writeFile(
        dir, "Name,Type,IP\nCam,Camera,10.0.0.1\nSen,Sensor,10.0.0.2\nCam2,Camera,10.0.0.1\n");
    const CSVImportResult result = importCSV(session, path, CSVImportMode::replace, true);
    QVERIFY(result.isApplied);
    QCOMPARE(result.mode, CSVImportMode::replace);
    QCOMPARE(result.added, 2);
    QCOMPARE(result.skipped, 1);

    const ProjectData& project = session.project();
    QCOMPARE(project.nodes.size(), 2);
    QCOMPARE(project.nodes.at(0).id, 3);
    QCOMPARE(project.nodes.at(1).id, 4);
    QCOMPARE(project.nextNodeId, 5);
    QVERIFY(session.selectedNodes().isEmpty());
    // The map was emptied: the old type is gone and the new ones start at palette colour 0.
    QCOMPARE(session.typeColorMap().keys(), (QStringList{u"Camera"_s, u"Sensor"_s}));
    QCOMPARE(session.typeColorMap().value(u"Camera"_s), colorPalette[0]);
    QCOMPARE(session.typeColorMap().value(u"Sensor"_s), colorPalette[1]);
    QCOMPARE(session.visibleTypes().size(), 2);

    QCOMPARE(session.undoStack().size(), 1);
    session.undo();
    QCOMPARE(session.project(), start);
}

void TestCsvImport::sessionAppendKeepsSelectionAndColours()
{
    ProjectData start;
    start.nodes = {node(1, u"10.0.0.1"_s, 40, u"Router"_s), node(2, u"10.0.0.2"_s, 0, u"Switch"_s),
                   node(3, u"10.0.0.3"_s, 0, u"AP"_s)};
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
    QVERIFY(result.isApplied);
    QCOMPARE(result.added, 2);
    QCOMPARE(result.skipped, 1);
    QCOMPARE(session.project().nodes.size(), 5);
    QCOMPARE(session.project().nodes.at(3).name, u"b"_s);
    QCOMPARE(session.project().nodes.at(3).y, 220.0); // largest y 40: Y 190, row 1
    QCOMPARE(session.selectedNodes(), QSet<qint64>{2});
    // The counter restarts for each call: the first new type takes colour 0 again.
    QCOMPARE(session.typeColorMap().value(u"Sensor"_s), colorPalette[0]);
    QCOMPARE(session.typeColorMap().value(u"Router"_s), routerColour);
    QCOMPARE(session.visibleTypes().size(), 4);
}

void TestCsvImport::sessionUnreadableFile()
{
    ProjectData start;
    start.nodes = {node(1, u"10.0.0.1"_s)};
    ProjectDocument document(start);
    ProjectSession session(&document);
    session.setSelectedNodes({1});

    QTemporaryDir dir;
    const QString path = writeFile(dir, "\n\r\n");
    for (const QString& file : {path, dir.filePath(u"gone.csv"_s)}) {
        const CSVImportResult result = importCSV(session, file, CSVImportMode::replace, true);
        QVERIFY(!result.isApplied);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(session.project(), start);
        QCOMPARE(session.selectedNodes(), QSet<qint64>{1});
    }
    QCOMPARE(session.undoStack().size(), 2); // the snapshot is recorded before the read
}

void TestCsvImport::headerOnlyReplace()
{
    ProjectData start;
    start.nodes = {node(1, u"1"_s, 0, u"Router"_s)};
    start.cables = {CableData{1, {}}};
    start.nextNodeId = 2;
    ProjectDocument document(start);
    ProjectSession session(&document);
    session.ensureTypeColors();

    QTemporaryDir dir;
    const QString path = writeFile(dir, "Name,Type,IP\n");
    const std::optional<CSVPreviewData> preview = parseCSVPreview(path);
    QVERIFY(preview);
    QCOMPARE(preview->totalRows, 0);

    const CSVImportResult result = importCSV(session, path, CSVImportMode::replace, true);
    QVERIFY(result.isApplied);
    QCOMPARE(result.added, 0);
    QVERIFY(session.project().nodes.isEmpty());
    QVERIFY(session.project().cables.isEmpty());
    QVERIFY(session.typeColorMap().isEmpty());
    QCOMPARE(session.project().nextNodeId, 2);
}

QTEST_GUILESS_MAIN(TestCsvImport)
#include "tst_csv_import.moc"
