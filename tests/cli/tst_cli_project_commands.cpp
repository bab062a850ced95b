// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli run as a process: info and normalize on good and bad files, the usage rules, and
// the demo project that ships in examples/.

#include "model/project_codec.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// `wrapper` runs the command under another program (setpriv).
Run runCli(const QStringList& arguments, const QStringList& wrapper = {})
{
    const QString cli = QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI);
    QProcess process;
    if (wrapper.isEmpty())
        process.start(cli, arguments);
    else
        process.start(wrapper.first(), wrapper.mid(1) + QStringList{cli} + arguments);
    Run run;
    if (!process.waitForStarted(10000) || !process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray imageBytes(QSize size, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

ProjectData projectOf(int nodes, int cables, int types)
{
    ProjectData p;
    p.projectName = u"Büro Nord"_s;
    p.schemaVersion = 7;
    for (int i = 1; i <= nodes; ++i)
        p.nodes.append(NodeData{i, u"N%1"_s.arg(i), u"Device"_s, u"127.0.0.1"_s, 0, 0, 1});
    for (int i = 1; i <= cables; ++i)
        p.cables.append(CableData{i, {CablePointData{cablePointTypeFree, 1, 2, {}, 0}}});
    for (int i = 1; i <= types; ++i)
        p.typeColors.append(TypeColorData{u"T%1"_s.arg(i), 0.1, 0.2, 0.3});
    return p;
}

// Runs the command without the capabilities that let root read any file, so a file with
// mode 000 is unreadable even in a root CI job. Empty when that is impossible here.
QStringList unreadableWrapper()
{
    if (::geteuid() != 0)
        return {u"env"_s};
    const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
    if (setpriv.isEmpty())
        return {};
    return {setpriv, u"--bounding-set"_s, u"-dac_override,-dac_read_search"_s, u"--"_s};
}

// A dotted IPv4 address in 127.0.0.0/8.
bool isLoopbackAddress(const QString& text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value < 0 || value > 255 || part != QString::number(value))
            return false;
    }
    return parts.first() == u"127"_s;
}

} // namespace

class TestCliProjectCommands final : public QObject {
    Q_OBJECT
private slots:
    void info_data();
    void info();
    void normalizeIsStable();
    void failures_data();
    void failures();
    void normalizeWriteFailures_data();
    void normalizeWriteFailures();
    void usage_data();
    void usage();
    void demoProject();
};

void TestCliProjectCommands::info_data()
{
    QTest::addColumn<int>("nodes");
    QTest::addColumn<int>("cables");
    QTest::addColumn<int>("types");
    QTest::addColumn<int>("mapKind"); // 0 none, 1 record without bytes, 2 empty bytes, 3 bytes
    QTest::addColumn<QByteArray>("mapBytes");
    QTest::addColumn<QString>("mapLine");
    QTest::newRow("no map") << 0 << 0 << 0 << 0 << QByteArray() << u"none"_s;
    QTest::newRow("map without bytes") << 3 << 1 << 2 << 1 << QByteArray() << u"none"_s;
    QTest::newRow("empty bytes") << 1 << 0 << 1 << 2 << QByteArray() << u"none"_s;
    QTest::newRow("png") << 12 << 9 << 5 << 3 << imageBytes({3, 2}, "PNG") << u"3x2"_s;
    QTest::newRow("tiff") << 2 << 4 << 0 << 3 << imageBytes({5, 4}, "TIFF") << u"5x4"_s;
    QTest::newRow("garbage") << 1 << 1 << 1 << 3 << QByteArray("\x01\x02 no image", 11)
                             << u"unreadable image"_s;
}

void TestCliProjectCommands::info()
{
    QFETCH(int, nodes);
    QFETCH(int, cables);
    QFETCH(int, types);
    QFETCH(int, mapKind);
    QFETCH(QByteArray, mapBytes);
    QFETCH(QString, mapLine);
    ProjectData project = projectOf(nodes, cables, types);
    if (mapKind == 1)
        project.map = MapData{};
    else if (mapKind == 2)
        project.map = MapData{QByteArray(), 0, 0, 1};
    else if (mapKind == 3)
        project.map = MapData{mapBytes, 0, 0, 1};
    QTemporaryDir dir;
    const QString file = dir.filePath(u"p.velmora"_s);
    QVERIFY(writeAll(file, *encodeProject(project)));

    const Run run = runCli({u"info"_s, file});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    const QString expected = u"name: Büro Nord\nschema: 7\nnodes: %1\ncables: %2\nmap: %3\n"
                             u"types: %4\n"_s.arg(nodes)
                                 .arg(cables)
                                 .arg(mapLine)
                                 .arg(types);
    QCOMPARE(QString::fromUtf8(run.out), expected);
}

void TestCliProjectCommands::normalizeIsStable()
{
    QTemporaryDir dir;
    // Written by hand: compact, keys out of order, an unknown member, "map": null.
    const QByteArray input =
        R"({"nodes":[{"y":2.5,"x":1,"type":"Switch","scale":1,"name":"A/B","ip":"127.0.0.9","id":4}],)"
        R"("viewSettings":{"zoom":1.5,"panY":0,"panX":-3,"mapSaturation":1,"mapOpacity":0.5},)"
        R"("typeColors":[],"schemaVersion":3,"projectName":"Hand made","nextNodeId":5,)"
        R"("nextCableId":1,"map":null,"cables":[],"futureField":{"x":1}})";
    const QString in = dir.filePath(u"in.velmora"_s);
    const QString once = dir.filePath(u"once.velmora"_s);
    const QString twice = dir.filePath(u"twice.velmora"_s);
    QVERIFY(writeAll(in, input));

    Run run = runCli({u"normalize"_s, in, once});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    run = runCli({u"normalize"_s, once, twice});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readAll(twice), readAll(once));
    QVERIFY(readAll(once) != input);
    QVERIFY(!readAll(once).contains("futureField"));
    const Expected<ProjectData> original = decodeProject(input);
    QVERIFY(original);
    QCOMPARE(*decodeProject(readAll(once)), *original);

    // In place: the file is replaced by its normal form.
    run = runCli({u"normalize"_s, in, in});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readAll(in), readAll(once));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

void TestCliProjectCommands::failures_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // part of the message after the file name
    const QList<std::pair<const char*, QString>> kinds{
        {"missing", u"no such file"_s},
        {"directory", u"directory"_s},
        {"empty", u"empty"_s},
        {"badjson", QString()},
        {"missingkey", u"nextCableId"_s},
        {"fifo", u"not a regular file"_s},
        {"unreadable", u"Permission denied"_s},
        {"badbase64", u"imageData"_s},
    };
    for (const char* command : {"info", "normalize"}) {
        for (const auto& [kind, reason] : kinds) {
            QTest::addRow("%s %s", command, kind)
                << QString::fromLatin1(command) << QString::fromLatin1(kind) << reason;
        }
    }
}

void TestCliProjectCommands::failures()
{
    QFETCH(QString, command);
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString in = dir.filePath(u"in.velmora"_s);
    const QString out = dir.filePath(u"out.velmora"_s);
    QVERIFY(writeAll(out, "previous contents\n"));
    QStringList wrapper;

    const QByteArray good = *encodeProject(projectOf(2, 1, 1));
    if (kind == u"directory"_s) {
        QVERIFY(QDir(dir.path()).mkdir(u"in.velmora"_s));
    } else if (kind == u"empty"_s) {
        QVERIFY(writeAll(in, {}));
    } else if (kind == u"badjson"_s) {
        QVERIFY(writeAll(in, good.left(good.size() / 2)));
    } else if (kind == u"missingkey"_s) {
        QByteArray json = good;
        json.replace("\"nextCableId\"", "\"nextCableID\"");
        QVERIFY(writeAll(in, json));
    } else if (kind == u"fifo"_s) {
        // Reading a pipe nobody writes to would hang.
        QCOMPARE(::mkfifo(QFile::encodeName(in).constData(), 0600), 0);
    } else if (kind == u"unreadable"_s) {
        wrapper = unreadableWrapper();
        if (wrapper.isEmpty())
            QSKIP("running as root without setpriv: cannot make a file unreadable");
        QVERIFY(writeAll(in, good));
        QVERIFY(QFile::setPermissions(in, QFileDevice::Permissions()));
    } else if (kind == u"badbase64"_s) {
        ProjectData p = projectOf(1, 0, 0);
        p.map = MapData{QByteArray("image"), 0, 0, 1};
        QByteArray json = *encodeProject(p);
        json.replace(QByteArray("image").toBase64(), "*not base64*");
        QVERIFY(writeAll(in, json));
    }

    QStringList arguments{command, in};
    if (command == u"normalize"_s)
        arguments.append(out);
    const Run run = runCli(arguments, wrapper);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    const QString err = QString::fromUtf8(run.err);
    QVERIFY2(err.startsWith(u"velmora-cli: "_s + in + u": "_s), qPrintable(err));
    QVERIFY2(err.endsWith(u'\n') && err.count(u'\n') == 1, qPrintable(err));
    if (!reason.isEmpty())
        QVERIFY2(err.contains(reason), qPrintable(err));
    // OUT is untouched and no temporary file is left beside it.
    QCOMPARE(readAll(out), QByteArray("previous contents\n"));
    QFile::setPermissions(in, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::System);
    files.removeAll(u"in.velmora"_s);
    QCOMPARE(files, QStringList{u"out.velmora"_s});
}

void TestCliProjectCommands::normalizeWriteFailures_data()
{
    QTest::addColumn<QString>("target"); // relative to the temporary folder
    QTest::newRow("directory") << u"folder"_s;
    QTest::newRow("missing parent") << u"nowhere/out.velmora"_s;
    QTest::newRow("parent is a file") << u"in.velmora/out.velmora"_s;
}

void TestCliProjectCommands::normalizeWriteFailures()
{
    QFETCH(QString, target);
    QTemporaryDir dir;
    const QString in = dir.filePath(u"in.velmora"_s);
    QVERIFY(writeAll(in, *encodeProject(projectOf(1, 0, 0))));
    const QByteArray before = readAll(in);
    QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
    const QString out = dir.filePath(target);

    const Run run = runCli({u"normalize"_s, in, out});
    QCOMPARE(run.exitCode, 2);
    const QString err = QString::fromUtf8(run.err);
    QVERIFY2(err.startsWith(u"velmora-cli: "_s + out + u": "_s), qPrintable(err));
    QCOMPARE(readAll(in), before);
    QVERIFY(QDir(dir.filePath(u"folder"_s)).isEmpty());
}

void TestCliProjectCommands::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("usageOnStdout");
    QTest::newRow("help") << QStringList{u"--help"_s} << 0 << true;
    QTest::newRow("-h") << QStringList{u"-h"_s} << 0 << true;
    QTest::newRow("command help") << QStringList{u"normalize"_s, u"--help"_s} << 0 << true;
    QTest::newRow("no command") << QStringList{} << 64 << false;
    QTest::newRow("unknown") << QStringList{u"frobnicate"_s, u"x"_s} << 64 << false;
    QTest::newRow("info without file") << QStringList{u"info"_s} << 64 << false;
    QTest::newRow("info two files") << QStringList{u"info"_s, u"a"_s, u"b"_s} << 64 << false;
    QTest::newRow("normalize one file") << QStringList{u"normalize"_s, u"a"_s} << 64 << false;
}

void TestCliProjectCommands::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(bool, usageOnStdout);
    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, exitCode);
    const QByteArray& text = usageOnStdout ? run.out : run.err;
    QVERIFY(!text.isEmpty());
    if (usageOnStdout) {
        QCOMPARE(run.err, QByteArray());
        if (arguments.size() > 1) {
            QVERIFY(text.startsWith("Usage: velmora-cli normalize IN OUT\n"));
            return;
        }
        // Every command with its synopsis and description.
        QVERIFY(text.contains("  info FILE\n"));
        QVERIFY(text.contains("  normalize IN OUT\n"));
        QVERIFY(text.contains("atomically"));
    } else {
        QCOMPARE(run.out, QByteArray());
    }
    if (arguments.value(0) == u"frobnicate"_s)
        QVERIFY(run.err.contains("frobnicate") && run.err.contains("info FILE"));
}

void TestCliProjectCommands::demoProject()
{
    const QString demo = QStringLiteral(VELMORA_SOURCE_DIR) + u"/examples/demo.velmora"_s;
    const QByteArray bytes = readAll(demo);
    QVERIFY(!bytes.isEmpty());
    QVERIFY2(bytes.size() < 1024 * 1024, "the demo must stay small");
    const Expected<ProjectData> decoded = decodeProject(bytes);
    QVERIFY2(decoded, qPrintable(decoded.error().message));
    const ProjectData& p = *decoded;
    // Already in normal form.
    QCOMPARE(*encodeProject(p), bytes);

    // Live mode on the demo pings only loopback addresses.
    QSet<qint64> ids;
    QSet<QString> types;
    for (const NodeData& node : p.nodes) {
        QVERIFY2(isLoopbackAddress(node.ip), qPrintable(node.ip));
        QVERIFY(node.id < p.nextNodeId);
        ids.insert(node.id);
        types.insert(node.type);
    }
    QVERIFY(p.nodes.size() >= 10);
    QCOMPARE(ids.size(), p.nodes.size());
    QVERIFY(types.size() >= 4);
    for (const TypeColorData& color : p.typeColors)
        QVERIFY(types.contains(color.type));
    QCOMPARE(p.typeColors.size(), types.size());

    bool hasBend = false;
    bool attachedInMiddle = false;
    for (const CableData& cable : p.cables) {
        QVERIFY(cable.id < p.nextCableId);
        QVERIFY(cable.points.size() >= 2);
        QVERIFY(cable.points.first().nodeId && cable.points.last().nodeId);
        for (qsizetype i = 0; i < cable.points.size(); ++i) {
            const CablePointData& point = cable.points[i];
            if (point.type == cablePointTypeFree) {
                hasBend = true;
                QVERIFY(!point.nodeId);
            } else {
                QCOMPARE(point.type, cablePointTypeNode);
                QVERIFY(point.nodeId && ids.contains(*point.nodeId));
                attachedInMiddle |= i > 0 && i + 1 < cable.points.size();
            }
        }
    }
    QVERIFY(hasBend);
    QVERIFY(attachedInMiddle);

    // The floor plan is an LZW-compressed TIFF that decodes.
    QVERIFY(p.hasMapImage());
    QByteArray image = *p.map->imageData;
    QBuffer buffer(&image);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "tiff");
    const QImage plan = reader.read();
    QVERIFY2(!plan.isNull(), qPrintable(reader.errorString()));
    QVERIFY(plan.width() >= 800 && plan.height() >= 500);
    QVERIFY(image.size() < plan.width() * plan.height()); // compressed, not 3 bytes a pixel

    const Run run = runCli({u"info"_s, demo});
    QCOMPARE(run.exitCode, 0);
    const QString expected =
        u"name: %1\nschema: 1\nnodes: %2\ncables: %3\nmap: %4x%5\ntypes: %6\n"_s.arg(p.projectName)
            .arg(p.nodes.size())
            .arg(p.cables.size())
            .arg(plan.width())
            .arg(plan.height())
            .arg(p.typeColors.size());
    QCOMPARE(QString::fromUtf8(run.out), expected);
}

QTEST_GUILESS_MAIN(TestCliProjectCommands)
#include "tst_cli_project_commands.moc"
