// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli run as a process: info, normalize and render on good and bad files, the usage
// rules, and the demo project that ships in examples/.

#include "support/files.h"
#include "support/process.h"

#include "model/project_codec.h"
#include "model/project_file.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace velmora;
using namespace velmora::test;

namespace {

QString velmoraDemo()
{
    return QStringLiteral(VELMORA_SOURCE_DIR "/examples/demo.velmora");
}

ProcessResult runCli(const QStringList& arguments, const QStringList& prefix = {})
{
    return runProgram(QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI), arguments,
                      {.prefix = prefix, .timeoutMs = 60000});
}

ProjectData projectOf(int nodes, int cables, int types)
{
    ProjectData p;
    p.projectName = u"Büro Nord"_s;
    p.schemaVersion = 7;
    for (int i = 1; i <= nodes; ++i)
        p.nodes.append(NodeData{.id = i, .ip = u"127.0.0.1"_s});
    for (int i = 1; i <= cables; ++i)
        p.cables.append(CableData{.id = i});
    for (int i = 1; i <= types; ++i)
        p.typeColors.append(TypeColorData{.type = u"T%1"_s.arg(i)});
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

} // namespace

class TestCLIProjectCommands final : public QObject {
    Q_OBJECT

private slots:
    void info_data()
    {
        QTest::addColumn<int>("nodes");
        QTest::addColumn<int>("cables");
        QTest::addColumn<int>("types");
        QTest::addColumn<std::optional<MapData>>("map");
        QTest::addColumn<QString>("mapLine");
        QTest::newRow("no map") << 0 << 0 << 0 << std::optional<MapData>() << u"none"_s;
        QTest::newRow("garbage") << 1 << 1 << 1
                                 << std::optional(MapData{.imageData = QByteArray("no image")})
                                 << u"unreadable image"_s;
    }

    void info()
    {
        QFETCH(int, nodes);
        QFETCH(int, cables);
        QFETCH(int, types);
        QFETCH(std::optional<MapData>, map);
        QFETCH(QString, mapLine);
        ProjectData project = projectOf(nodes, cables, types);
        project.map = map;
        QTemporaryDir dir;
        const QString file = dir.filePath(u"p.velmora"_s);
        QVERIFY(writeFile(file, *encodeProject(project)));

        const ProcessResult run = runCli({u"info"_s, file});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.outText(), u"name: Büro Nord\nschema: 7\nnodes: %1\ncables: %2\nmap: %3\n"
                                u"types: %4\n"_s.arg(nodes)
                                    .arg(cables)
                                    .arg(mapLine)
                                    .arg(types));
    }

    void normalizeIsStable()
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
        QVERIFY(writeFile(in, input));

        QCOMPARE(runCli({u"normalize"_s, in, once}).exitCode, 0);
        QCOMPARE(runCli({u"normalize"_s, once, twice}).exitCode, 0);
        QCOMPARE(readFile(twice), readFile(once));
        QVERIFY(!readFile(once).contains("futureField"));
        QCOMPARE(*decodeProject(readFile(once)), *decodeProject(input));

        // In place: the file is replaced by its normal form.
        QCOMPARE(runCli({u"normalize"_s, in, in}).exitCode, 0);
        QCOMPARE(readFile(in), readFile(once));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
    }

    // Every way a project file fails is read by the model; here the command reports it: one
    // line naming the file, exit status 2, and OUT as it was.
    void badProjectFile_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason"); // part of the message after the file name
        QTest::newRow("normalize, missing key")
            << u"normalize"_s << u"missingkey"_s << u"top level: missing key \"nextCableId\""_s;
        QTest::newRow("info, unreadable") << u"info"_s << u"unreadable"_s << u"Permission denied"_s;
    }

    void badProjectFile()
    {
        QFETCH(QString, command);
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString in = dir.filePath(u"in.velmora"_s);
        const QString out = dir.filePath(u"out.velmora"_s);
        QVERIFY(writeFile(out, "previous contents\n"));
        QByteArray json = *encodeProject(projectOf(2, 1, 1));
        QStringList prefix;
        if (kind == u"missingkey"_s) {
            json.replace("\"nextCableId\"", "\"nextCableID\"");
        } else {
            prefix = unreadableWrapper();
            if (prefix.isEmpty())
                QSKIP("running as root without setpriv: cannot make a file unreadable");
        }
        QVERIFY(writeFile(in, json));
        if (kind == u"unreadable"_s)
            QVERIFY(QFile::setPermissions(in, QFileDevice::Permissions()));

        QStringList arguments{command, in};
        if (command == u"normalize"_s)
            arguments.append(out);
        const ProcessResult run = runCli(arguments, prefix);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QByteArray());
        const QString err = run.errText();
        QVERIFY2(err.startsWith(u"velmora-cli: "_s + in + u": "_s) && err.contains(reason) &&
                     err.endsWith(u'\n') && err.count(u'\n') == 1,
                 qPrintable(err));
        QCOMPARE(readFile(out), QByteArray("previous contents\n"));
        QFile::setPermissions(in, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2); // no temporary file left
    }

    // The demo project as the canvas draws it, in edit and live style, as a PNG image and as
    // SVG and PDF drawings whose node names are real text.
    void render_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("out");
        QTest::newRow("default size") << QStringList() << QSize(1600, 1000) << u"demo.png"_s;
        QTest::newRow("given size")
            << QStringList{u"--size"_s, u"640x480"_s} << QSize(640, 480) << u"demo.PNG"_s;
        QTest::newRow("live") << QStringList{u"--live"_s, u"--size=300x200"_s} << QSize(300, 200)
                              << u"demo.png"_s;
        QTest::newRow("svg") << QStringList{u"--live"_s} << QSize() << u"demo.svg"_s;
        QTest::newRow("pdf") << QStringList() << QSize() << u"demo.pdf"_s;
    }

    void render()
    {
        QFETCH(QStringList, options);
        QFETCH(QSize, size);
        QFETCH(QString, out);
        QTemporaryDir dir;
        out = dir.filePath(out);
        QCOMPARE(runCli(QStringList{u"render"_s, velmoraDemo(), out} + options).exitCode, 0);
        const Expected<ProjectData> demo = readProjectFile(velmoraDemo());
        QStringList names;
        for (const NodeData& node : demo->nodes)
            names.append(node.name);
        QStringList texts; // the drawing's texts
        if (out.endsWith(u".svg"_s)) {
            QFile file(out);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QXmlStreamReader xml(&file);
            while (!xml.atEnd()) {
                if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"text"_s)
                    texts.append(xml.readElementText().trimmed());
            }
            QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        } else if (out.endsWith(u".pdf"_s)) {
            const ProcessResult text = runProgram(u"pdftotext"_s, {out, u"-"_s});
            QVERIFY2(text.exitCode == 0, "pdftotext (Debian poppler-utils) must run");
            // Names side by side on the page may share a line of the extracted text, which
            // spells ligatures ("ﬃ") as one character.
            texts = QString::fromUtf8(text.out)
                        .normalized(QString::NormalizationForm_KC)
                        .simplified()
                        .split(u' ');
            for (const QString& name : std::as_const(names))
                QVERIFY2(texts.join(u' ').contains(name.simplified()), qPrintable(name));
            return;
        } else {
            const QImage image(out);
            QCOMPARE(image.size(), size);
            QSet<QRgb> colours; // a blank image has one
            for (int y = 0; y < image.height(); y += 7) {
                for (int x = 0; x < image.width(); x += 7)
                    colours.insert(image.pixel(x, y));
            }
            QVERIFY(colours.size() > 20);
            return;
        }
        for (const QString& name : std::as_const(names))
            QVERIFY2(texts.contains(name.trimmed()), qPrintable(name)); // one text element each
    }

    // Help on standard output with status 0; bad usage on standard error, saying why and how the
    // command is used, with status 64 and nothing written.
    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        const QString demo = velmoraDemo();
        const auto row = [](const char* name, const QString& arguments, int exitCode = 64) {
            QTest::newRow(name) << arguments.split(u' ', Qt::SkipEmptyParts) << exitCode;
        };
        row("help", u"--help"_s, 0);
        row("command help", u"normalize --help"_s, 0);
        row("no command", QString());
        row("unknown", u"frobnicate x"_s);
        row("unknown option before the command", u"--fast info a"_s);
        row("unknown option", u"info --fast a"_s);
        row("info two files", u"info a b"_s);
        row("normalize one file", u"normalize a"_s);
        row("render without output", u"render "_s + demo);
        row("render bad size", u"render %1 x.png --size=0x10"_s.arg(demo));
        row("render unknown type", u"render %1 x.jpg"_s.arg(demo));
        row("export without project", u"export-csv"_s);
        row("import without mode", u"import-csv p c -o x"_s);
        row("import bad mode", u"import-csv p c --mode merge -o x"_s);
        row("import without output", u"import-csv p c --mode append"_s);
        row("import one file", u"import-csv p --mode append -o x"_s);
        row("monitor without file", u"monitor"_s);
        row("monitor interval 0", u"monitor p --interval 0"_s);
        row("monitor interval not a number", u"monitor p --interval x"_s);
        row("monitor duration negative", u"monitor p --duration -1"_s);
        row("monitor offline after 4", u"monitor p --offline-after 4"_s);
    }

    void usage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        QDir::setCurrent(dir.path()); // where a relative OUT would be written
        const ProcessResult run = runCli(arguments);
        QVERIFY(QDir(dir.path()).isEmpty());
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE((exitCode == 0 ? run.err : run.out), QByteArray());
        if (exitCode != 0) {
            const QString first = arguments.value(0).remove(QRegularExpression(u"^-+"_s));
            QVERIFY2(run.errText().contains(first) && run.err.contains("sage: "),
                     run.err.constData());
            if (arguments.contains(u"x.jpg"_s)) // the formats there are
                QVERIFY(run.errText().contains(u"png, svg or pdf"_s));
        } else if (arguments.size() > 1) {
            QVERIFY(run.out.startsWith("Usage: velmora-cli normalize IN OUT\n"));
        } else {
            // Every command with its synopsis and description.
            QVERIFY(run.out.contains("  info FILE\n"));
            QVERIFY(run.out.contains("  normalize IN OUT\n"));
            QVERIFY(run.out.contains("atomically"));
        }
    }

    void demoProject()
    {
        const QByteArray bytes = readFile(velmoraDemo());
        QVERIFY2(!bytes.isEmpty() && bytes.size() < 1024 * 1024, "the demo must exist, small");
        const Expected<ProjectData> decoded = decodeProject(bytes);
        QVERIFY2(decoded, qPrintable(decoded.error().message));
        const ProjectData& p = *decoded;
        QCOMPARE(*encodeProject(p), bytes); // already in normal form

        // Live mode on the demo pings only loopback addresses, spelled so that they stay so.
        static const QRegularExpression loopback(
            uR"(^127(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}$)"_s);
        // Identifiers are unique and below the counters; cables attach to existing nodes.
        QSet<qint64> ids;
        for (const NodeData& node : p.nodes) {
            QVERIFY2(loopback.match(node.ip).hasMatch(), qPrintable(node.ip));
            QVERIFY(node.id < p.nextNodeId);
            ids.insert(node.id);
        }
        QCOMPARE(ids.size(), p.nodes.size());
        for (const CableData& cable : p.cables) {
            QVERIFY(cable.id < p.nextCableId);
            for (const CablePointData& point : cable.points)
                QVERIFY(point.type == cablePointTypeFree || ids.contains(point.nodeId.value_or(0)));
        }

        // The floor plan is an LZW-compressed TIFF that decodes.
        QByteArray image = p.map.value_or(MapData{}).imageData.value_or(QByteArray());
        QBuffer buffer(&image);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "tiff");
        const QImage plan = reader.read();
        QVERIFY2(!plan.isNull(), qPrintable(reader.errorString()));
        QVERIFY(image.size() < plan.width() * plan.height()); // compressed, not 3 bytes a pixel

        const ProcessResult run = runCli({u"info"_s, velmoraDemo()});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.outText(),
                 u"name: %1\nschema: 1\nnodes: %2\ncables: %3\nmap: %4x%5\ntypes: %6\n"_s
                     .arg(p.projectName)
                     .arg(p.nodes.size())
                     .arg(p.cables.size())
                     .arg(plan.width())
                     .arg(plan.height())
                     .arg(p.typeColors.size()));
    }
};

QTEST_GUILESS_MAIN(TestCLIProjectCommands)
#include "tst_cli_project_commands.moc"
