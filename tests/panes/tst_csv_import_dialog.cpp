// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV import sheet: its texts for the file and the project, the mode and skip rows driven
// by clicks, and the options it leaves behind for the next import.

#include "model/project_session.h"
#include "panes/csv_import_dialog.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

CSVPreviewData previewOf(const QList<CSVCandidate>& candidates)
{
    CSVRows rows;
    rows.hasHeader = true;
    rows.candidates = candidates;
    return makeCSVPreview(rows, u"/data/site/devices.csv"_s);
}

ProjectData projectWith(const QStringList& ips)
{
    ProjectData project;
    for (qsizetype i = 0; i < ips.size(); ++i)
        project.nodes.append(NodeData{i + 1, u"n"_s, u"Device"_s, ips.at(i), 0, 0, 1.0});
    return project;
}

const QList<CSVCandidate> five{{u"Router"_s, u"Gateway"_s, u"10.0.0.1"_s},
                               {u"Core, Floor 2"_s, u"Switch"_s, u"10.0.0.2"_s},
                               {u"AP"_s, u"Wifi"_s, u"10.0.0.3"_s},
                               {u"Cam"_s, u"Camera"_s, u"10.0.0.4"_s},
                               {u"Router"_s, u"Gateway"_s, u"10.0.0.5"_s}};

template <typename T> T* topLevel()
{
    const QList<QWidget*> widgets = QApplication::topLevelWidgets();
    for (QWidget* widget : widgets) {
        if (auto* found = qobject_cast<T*>(widget); found && found->isVisible())
            return found;
    }
    return nullptr;
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestCsvImportDialog final : public QObject {
    Q_OBJECT
private slots:
    void texts();
    void singularAndEmpty();
    void skipRowFollowsMode();
    void optionsOutliveTheSheet();
    void buttons();
    void headerShowsFileLiterallyWithAccentSymbol();
    void importFlow();
    void exportFlow();
};

void TestCsvImportDialog::texts()
{
    ProjectDocument document(projectWith({u"10.9.9.9"_s}));
    CSVImportOptions options;
    CsvImportDialog dialog(previewOf(five), &document, &options);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    const QStringList expected{u"Import CSV"_s,
                               u"devices.csv"_s,
                               u"Found 5 devices"_s,
                               u"Import Mode"_s,
                               u"\u25C9"_s,
                               u"Replace all nodes"_s,
                               u"Removes 1 existing node and all cables"_s,
                               u"\u25CB"_s,
                               u"Append to existing"_s,
                               u"Adds to your 1 existing node"_s,
                               u"\u2611"_s,
                               u"Skip duplicates"_s,
                               u"1 duplicate found within CSV"_s,
                               u"Preview"_s,
                               u"Name"_s,
                               u"Type"_s,
                               u"IP"_s,
                               u"Router"_s,
                               u"Gateway"_s,
                               u"10.0.0.1"_s,
                               u"Core, Floor 2"_s,
                               u"Switch"_s,
                               u"10.0.0.2"_s,
                               u"AP"_s,
                               u"Wifi"_s,
                               u"10.0.0.3"_s,
                               u"... and 2 more"_s,
                               u"Cancel"_s,
                               u"Import"_s};
    QCOMPARE(dialog.shownTexts(), expected);
}

void TestCsvImportDialog::singularAndEmpty()
{
    ProjectDocument document;
    CSVImportOptions options;
    {
        CsvImportDialog dialog(previewOf({five.first()}), &document, &options);
        dialog.show();
        const QStringList texts = dialog.shownTexts();
        QVERIFY(texts.contains(u"Found 1 device"_s));
        QVERIFY(texts.contains(u"Removes 0 existing nodes and all cables"_s));
        QVERIFY(texts.contains(u"Preview"_s));
        QVERIFY(!texts.contains(u"Skip duplicates"_s));
        QVERIFY(!texts.join(u'|').contains(u"more"_s));
    }
    {
        CsvImportDialog dialog(previewOf({}), &document, &options);
        dialog.show();
        const QStringList texts = dialog.shownTexts();
        QVERIFY(texts.contains(u"Found 0 devices"_s));
        QVERIFY(!texts.contains(u"Preview"_s));
        QVERIFY(!texts.contains(u"Name"_s));
    }
}

void TestCsvImportDialog::skipRowFollowsMode()
{
    // No duplicates inside the file, but one address the project already has.
    ProjectDocument document(projectWith({u"10.0.0.2"_s, u"10.0.0.7"_s}));
    CSVImportOptions options;
    QList<CSVCandidate> rows = five;
    rows.last().name = u"Other"_s;
    CsvImportDialog dialog(previewOf(rows), &document, &options);
    dialog.show();
    QVERIFY(!dialog.skipRow()->isVisible());

    QTest::mouseClick(dialog.modeRow(CSVImportMode::append), Qt::LeftButton);
    QCOMPARE(options.mode, CSVImportMode::append);
    QVERIFY(dialog.skipRow()->isVisible());
    QCOMPARE(dialog.warningLabel()->text(), u"1 IP already exist in your project"_s);
    QVERIFY(dialog.shownTexts().contains(u"Adds to your 2 existing nodes"_s));

    // The texts follow the project while the sheet is up.
    document.modify([](ProjectData& p) { p.nodes[1].ip = u"10.0.0.3"_s; });
    QCOMPARE(dialog.warningLabel()->text(), u"2 IPs already exist in your project"_s);

    QTest::mouseClick(dialog.modeRow(CSVImportMode::replace), Qt::LeftButton);
    QCOMPARE(options.mode, CSVImportMode::replace);
    QVERIFY(!dialog.skipRow()->isVisible());
}

void TestCsvImportDialog::optionsOutliveTheSheet()
{
    ProjectDocument document;
    CSVImportOptions options;
    {
        CsvImportDialog dialog(previewOf(five), &document, &options);
        dialog.show();
        QVERIFY(dialog.skipRow()->isVisible());
        QTest::mouseClick(dialog.skipRow(), Qt::LeftButton);
        QVERIFY(!options.skipDuplicates);
        QVERIFY(dialog.shownTexts().contains(u"\u2610"_s));
        QTest::mouseClick(dialog.modeRow(CSVImportMode::append), Qt::LeftButton);
        dialog.reject();
    }
    CsvImportDialog again(previewOf(five), &document, &options);
    again.show();
    QCOMPARE(again.mode(), CSVImportMode::append);
    QVERIFY(!again.skipDuplicates());
    const QStringList texts = again.shownTexts();
    QCOMPARE(texts.at(texts.indexOf(u"Append to existing"_s) - 1), u"\u25C9"_s);
}

void TestCsvImportDialog::buttons()
{
    ProjectDocument document;
    CSVImportOptions options;
    CsvImportDialog dialog(previewOf(five), &document, &options);
    dialog.show();
    QTest::mouseClick(dialog.importButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    CsvImportDialog other(previewOf(five), &document, &options);
    other.show();
    QTest::mouseClick(other.cancelButton(), Qt::LeftButton);
    QCOMPARE(other.result(), int(QDialog::Rejected));
    QCOMPARE(other.cancelButton()->width(), other.importButton()->width());
}

void TestCsvImportDialog::headerShowsFileLiterallyWithAccentSymbol()
{
    CSVRows rows;
    rows.candidates = five;
    ProjectDocument document;
    CSVImportOptions options;
    CsvImportDialog dialog(makeCSVPreview(rows, u"/data/<b>site<b>.csv"_s), &document, &options);
    dialog.show();
    QLabel* name = nullptr;
    QLabel* symbol = nullptr;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->text() == u"<b>site<b>.csv"_s)
            name = label;
        if (!label->pixmap().isNull())
            symbol = label;
    }
    QVERIFY(name);
    QCOMPARE(name->textFormat(), Qt::PlainText);
    QVERIFY(symbol);
    const QImage image = symbol->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    int accentPixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            accentPixels += qAlpha(p) > 200 && std::abs(qRed(p) - 74) < 10 &&
                            std::abs(qGreen(p) - 143) < 10 && std::abs(qBlue(p) - 227) < 10;
        }
    QVERIFY2(accentPixels > 40, qPrintable(QString::number(accentPixels)));
}

void TestCsvImportDialog::importFlow()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"devices.csv"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("name,ip\nA,10.0.0.1\nB,10.0.0.1\nC,10.0.0.3\n");
    file.close();

    ProjectDocument document(projectWith({u"10.0.0.3"_s}));
    ProjectSession session(&document);
    CSVImportOptions options;
    options.mode = CSVImportMode::append;
    QWidget window;
    bool sawSheet = false;
    int beforeCalls = 0;
    // The open dialog and the sheet are modal: answer them from the event loop.
    QTimer::singleShot(0, &window, [&] {
        QFileDialog* open = topLevel<QFileDialog>();
        QVERIFY(open);
        open->selectFile(path);
        QTimer::singleShot(0, &window, [&] {
            CsvImportDialog* sheet = topLevel<CsvImportDialog>();
            QVERIFY(sheet);
            sawSheet = sheet->warningLabel()->text() == u"1 IP already exist in your project"_s;
            sheet->importButton()->click();
        });
        static_cast<QDialog*>(open)->accept();
    });
    const std::optional<CSVImportResult> result =
        runCSVImportFlow(&window, session, options, [&] { ++beforeCalls; });
    QVERIFY(sawSheet);
    QVERIFY(result && result->hasValue());
    QCOMPARE((*result)->added, 1); // B repeats A's address, C is taken by the project
    QCOMPARE((*result)->skipped, 2);
    QCOMPARE(beforeCalls, 1);
    QCOMPARE(session.project().nodes.size(), 2);
    QCOMPARE(session.project().nodes.last().name, u"A"_s);
}

void TestCsvImportDialog::exportFlow()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ProjectDocument document(projectWith({u"10.0.0.1"_s}));
    ProjectSession session(&document);
    QWidget window;
    window.show();

    runCSVExportFlow(&window, session);
    QFileDialog* save = window.findChild<QFileDialog*>();
    QVERIFY(save);
    QCOMPARE(save->windowTitle(), u"Export Nodes to CSV"_s);
    QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
    QVERIFY(!save->isModal() || save->windowModality() != Qt::ApplicationModal);
    // The nodes are taken when the user confirms, not when the dialog opens.
    document.modify([](ProjectData& p) { p.nodes.first().name = u"Edge, 1"_s; });
    const QString out = dir.filePath(u"nodes_export.csv"_s);
    save->selectFile(out);
    static_cast<QDialog*>(save)->accept();
    QCOMPARE(readBytes(out), QByteArray("Name,Type,IP\n\"Edge, 1\",Device,10.0.0.1\n"));

    const auto openAgain = [&]() -> QFileDialog* {
        runCSVExportFlow(&window, session);
        const QList<QFileDialog*> dialogs = window.findChildren<QFileDialog*>();
        for (QFileDialog* d : dialogs) {
            if (d->isVisible())
                return d;
        }
        return nullptr;
    };
    // Cancelling writes nothing.
    QFileDialog* again = openAgain();
    QVERIFY(again);
    again->selectFile(dir.filePath(u"cancelled.csv"_s));
    again->reject();
    QVERIFY(!QFile::exists(dir.filePath(u"cancelled.csv"_s)));

    // A failed write is one line on standard output, caught here in a file, and nothing else.
    QFileDialog* failing = openAgain();
    QVERIFY(failing);
    failing->selectFile(dir.filePath(u"missing/out.csv"_s));
    const QString captured = dir.filePath(u"stdout.txt"_s);
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int sink = ::open(QFile::encodeName(captured).constData(), O_WRONLY | O_CREAT, 0600);
    QVERIFY(saved >= 0 && sink >= 0);
    ::dup2(sink, STDOUT_FILENO);
    static_cast<QDialog*>(failing)->accept();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    ::close(sink);
    const QByteArray line = readBytes(captured);
    QVERIFY2(line.startsWith("Failed to export CSV: ") && line.count('\n') == 1 && line.size() > 24,
             line.constData());
}

QTEST_MAIN(TestCsvImportDialog)
#include "tst_csv_import_dialog.moc"
