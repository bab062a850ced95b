// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV import sheet: what it shows for the file and the project, the mode and skip rows
// driven by clicks, the options it leaves for the next import, and the import and export flows
// through real file dialogs and files.

#include "support/builders.h"
#include "support/files.h"
#include "support/pixels.h"
#include "support/widgets.h"

#include "model/project_session.h"
#include "panes/csv_import_dialog.h"
#include "panes/pane_style.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

const QList<CSVCandidate> five{{u"Router"_s, u"Gateway"_s, u"10.0.0.1"_s},
                               {u"Core, Floor 2"_s, u"Switch"_s, u"10.0.0.2"_s},
                               {u"AP"_s, u"Wifi"_s, u"10.0.0.3"_s},
                               {u"Cam"_s, u"Camera"_s, u"10.0.0.4"_s},
                               {u"Router"_s, u"Gateway"_s, u"10.0.0.5"_s}};

CSVPreviewData previewOf(const QList<CSVCandidate>& candidates,
                         const QString& path = u"/data/site/devices.csv"_s)
{
    return makeCSVPreview(CSVRows{.candidates = candidates, .hasHeader = true}, path);
}

ProjectData projectWith(const QStringList& ips)
{
    QList<NodeData> nodes;
    for (const QString& ip : ips)
        nodes.append({.id = nodes.size() + 1, .type = u"Device"_s, .ip = ip});
    return test::projectWith(nodes);
}

// The texts of the visible labels named `name` (all visible labels when empty), in creation
// order.
QStringList texts(const QDialog& dialog, const QString& name = {})
{
    QStringList list;
    for (const QLabel* label : dialog.findChildren<QLabel*>(name))
        if (label->isVisibleTo(&dialog) && !label->text().isEmpty())
            list.append(label->text());
    return list;
}

} // namespace

class TestCSVImportDialog final : public QObject {
    Q_OBJECT
private slots:
    void sheetTexts_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("cells"); // the preview, row by row, joined by "|"
        QTest::addColumn<QString>("more");
        QTest::newRow("empty") << 0 << u"Found 0 devices"_s << QString() << QString();
        QTest::newRow("five")
            << 5 << u"Found 5 devices"_s
            << u"Router|Gateway|10.0.0.1|Core, Floor 2|Switch|10.0.0.2|AP|Wifi|10.0.0.3"_s
            << u"... and 2 more"_s;
    }
    void sheetTexts()
    {
        QFETCH(int, rows);
        QFETCH(QString, found);
        QFETCH(QString, cells);
        QFETCH(QString, more);
        ProjectDocument document(projectWith({u"10.9.9.9"_s}));
        CSVImportOptions options;
        // The file's name as it is, under the import symbol drawn in the accent colour.
        CSVImportDialog dialog(previewOf(five.first(rows), u"/data/<b>site<b>.csv"_s), &document,
                               &options);
        const auto* file = dialog.findChild<QLabel*>(u"csvFile"_s);
        QCOMPARE(file->text(), u"<b>site<b>.csv"_s);
        QCOMPARE(file->textFormat(), Qt::PlainText);
        const QImage symbol = dialog.findChild<QLabel*>()->pixmap().toImage();
        QVERIFY(test::countNear(symbol, paneColor::editAccent, 10) > 40);
        QCOMPARE(texts(dialog, u"csvFound"_s), QStringList{found});
        QCOMPARE(texts(dialog, u"csvCell"_s).join(u'|'), cells);
        QCOMPARE(texts(dialog, u"csvMore"_s).join(u'|'), more);
        QCOMPARE(texts(dialog).contains(u"Preview"_s), rows > 0);
        QCOMPARE(texts(dialog, u"csvNote"_s).at(1),
                 csvImportModeDescription(CSVImportMode::append, 1));
    }

    void skipRowFollowsModeAndProject()
    {
        // No duplicates inside the file, but one address the project already has.
        ProjectDocument document(projectWith({u"10.0.0.2"_s, u"10.0.0.7"_s}));
        CSVImportOptions options;
        QList<CSVCandidate> rows = five;
        rows.last().name = u"Other"_s;
        CSVImportDialog dialog(previewOf(rows), &document, &options);
        dialog.show();
        QVERIFY(!dialog.skipRow()->isVisible());
        QTest::mouseClick(dialog.modeRow(CSVImportMode::append), Qt::LeftButton);
        QCOMPARE(options.mode, CSVImportMode::append);
        QVERIFY(dialog.skipRow()->isVisible());
        QCOMPARE(dialog.warningLabel()->text(), u"1 IP already exist in your project"_s);
        // The texts follow the project while the sheet is up.
        document.modify([](ProjectData& p) { p.nodes[1].ip = u"10.0.0.3"_s; });
        QCOMPARE(dialog.warningLabel()->text(), u"2 IPs already exist in your project"_s);
        QTest::mouseClick(dialog.modeRow(CSVImportMode::replace), Qt::LeftButton);
        QCOMPARE(options.mode, CSVImportMode::replace);
        QVERIFY(!dialog.skipRow()->isVisible());
    }

    void optionsOutliveTheSheet()
    {
        ProjectDocument document;
        CSVImportOptions options;
        {
            CSVImportDialog dialog(previewOf(five), &document, &options);
            dialog.show();
            QVERIFY(texts(dialog, u"csvChoice"_s).contains(u"\u2611"_s)); // skip is on
            QTest::mouseClick(dialog.skipRow(), Qt::LeftButton);
            QVERIFY(!options.skipDuplicates);
            QTest::mouseClick(dialog.modeRow(CSVImportMode::append), Qt::LeftButton);
            QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
        }
        CSVImportDialog again(previewOf(five), &document, &options);
        again.show();
        QCOMPARE(again.mode(), CSVImportMode::append);
        QVERIFY(!again.skipDuplicates());
        QCOMPARE(texts(again, u"csvChoice"_s),
                 (QStringList{u"\u25CB"_s, u"\u25C9"_s, u"\u2610"_s}));
        QTest::mouseClick(again.importButton(), Qt::LeftButton);
        QCOMPARE(again.result(), int(QDialog::Accepted));
    }

    // The sheet names the separator, shows the detected columns and re-reads the file with the
    // columns chosen by hand.
    void columnMapping()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"hosts.csv"_s);
        QVERIFY(test::writeFile(path, "Hostname;IPv4;Device\nsw1;10.0.0.1;Switch\n"));
        ProjectDocument document;
        CSVImportOptions options;
        CSVImportDialog dialog(*parseCSVPreview(path), &document, &options);
        using Field = CSVImportDialog::Field;
        QCOMPARE(texts(dialog, u"csvSeparator"_s), QStringList{u"Separator: semicolon"_s});
        QCOMPARE(dialog.columnBox(Field::name)->currentText(), u"Hostname"_s);
        QCOMPARE(dialog.columnBox(Field::ip)->currentText(), u"\u2014"_s);
        QCOMPARE(texts(dialog, u"csvCell"_s), (QStringList{u"sw1"_s, u"Device"_s, u"0.0.0.0"_s}));
        dialog.chooseColumn(Field::ip, 2);
        dialog.chooseColumn(Field::type, 3);
        QCOMPARE(dialog.columnBox(Field::type)->currentText(), u"Device"_s);
        QCOMPARE(texts(dialog, u"csvCell"_s), (QStringList{u"sw1"_s, u"Switch"_s, u"10.0.0.1"_s}));
        QCOMPARE(dialog.columnChoice(), (CSVColumnChoice{{0, 2, 1}, true}));
    }

    void importFlow()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"devices.csv"_s);
        QVERIFY(test::writeFile(path, "name,ip\nA,10.0.0.1\nB,10.0.0.1\nC,10.0.0.3\n"));
        ProjectDocument document(projectWith({u"10.0.0.3"_s}));
        ProjectSession session(&document);
        CSVImportOptions options;
        options.mode = CSVImportMode::append;
        QWidget window;
        QString warning;
        int beforeCalls = 0;
        // The open dialog and the sheet are modal: answer them from the event loop.
        QTimer::singleShot(0, &window, [&] {
            QFileDialog* open = test::visibleTopLevel<QFileDialog>();
            open->selectFile(path);
            QTimer::singleShot(0, &window, [&] {
                auto* sheet = test::visibleTopLevel<CSVImportDialog>();
                warning = sheet->warningLabel()->text();
                sheet->importButton()->click();
            });
            static_cast<QDialog*>(open)->accept();
        });
        const std::optional<CSVImportResult> result =
            runCSVImportFlow(&window, session, options, [&] { ++beforeCalls; });
        QCOMPARE(warning, u"1 IP already exist in your project"_s);
        QVERIFY(result && result->hasValue());
        QCOMPARE((*result)->added, 1); // B repeats A's address, C is taken by the project
        QCOMPARE((*result)->skipped, 2);
        QCOMPARE(beforeCalls, 1);
        QCOMPARE(session.project().nodes.last().name, u"A"_s);
    }

    void exportFlow()
    {
        QTemporaryDir dir;
        ProjectDocument document(projectWith({u"10.0.0.1"_s}));
        ProjectSession session(&document);
        QWidget window;
        window.show();
        runCSVExportFlow(&window, session);
        QFileDialog* save = window.findChild<QFileDialog*>();
        QCOMPARE(save->windowTitle(), u"Export Nodes to CSV"_s);
        QVERIFY(save->windowModality() != Qt::ApplicationModal);
        // The nodes are taken when the user confirms, not when the dialog opens.
        document.modify([](ProjectData& p) { p.nodes.first().name = u"Edge, 1"_s; });
        const QString out = dir.filePath(u"nodes_export.csv"_s);
        save->selectFile(out);
        static_cast<QDialog*>(save)->accept();
        QCOMPARE(test::readFile(out), QByteArray("Name,Type,IP\n\"Edge, 1\",Device,10.0.0.1\n"));

        // A failed write is one line on standard output and nothing else.
        runCSVExportFlow(&window, session);
        auto* failing = test::visibleTopLevel<QFileDialog>();
        failing->selectFile(dir.filePath(u"missing/out.csv"_s));
        const QByteArray line =
            test::captureStandardOutput([&] { static_cast<QDialog*>(failing)->accept(); });
        QVERIFY2(line.startsWith("Failed to export CSV: ") && line.count('\n') == 1 &&
                     line.size() > 24,
                 line.constData());
    }
};

QTEST_MAIN(TestCSVImportDialog)
#include "tst_csv_import_dialog.moc"
