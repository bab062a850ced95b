// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/csv_import_dialog.h"

#include "csv/csv_export.h"
#include "model/project_session.h"
#include "panes/pane_icons.h"
#include "panes/pane_style.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTextStream>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// Stand-ins for the radio and check symbols.
const QString radioOn = u"\u25C9"_s;
const QString radioOff = u"\u25CB"_s;
const QString checkOn = u"\u2611"_s;
const QString checkOff = u"\u2610"_s;

// A label whose look the style sheet gives by `name`.
QLabel* label(const QString& text, const QString& name)
{
    auto* l = new QLabel(text);
    l->setObjectName(name);
    return l;
}

QFrame* line()
{
    auto* l = new QFrame;
    l->setObjectName(u"csvDivider"_s);
    l->setFixedHeight(1);
    return l;
}

QPushButton* sheetButton(const QString& text, const QString& name)
{
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

CSVSheetRow::CSVSheetRow(QWidget* parent) : QFrame(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void CSVSheetRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QFrame::mouseReleaseEvent(event);
}

CSVImportDialog::CSVImportDialog(CSVPreviewData preview, const ProjectDocument* document,
                                 CSVImportOptions* options, QWidget* parent)
    : QDialog(parent), m_preview(std::move(preview)), m_document(document), m_options(options)
{
    setWindowTitle(tr("Import CSV"));
    setModal(true);
    setObjectName(u"csvImportSheet"_s);
    setStyleSheet(paneStyleSheet());
    setMinimumWidth(360);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(10);

    // Header.
    auto* icon = new QLabel;
    icon->setPixmap(symbolIcon(PaneSymbol::document, paneColor::editAccent, 32).pixmap(32, 32));
    icon->setAlignment(Qt::AlignHCenter);
    column->addWidget(icon);
    auto* title = label(tr("Import CSV"), u"csvTitle"_s);
    title->setAlignment(Qt::AlignHCenter);
    column->addWidget(title);
    auto* fileName = label(m_preview.fileName, u"csvFile"_s);
    fileName->setTextFormat(Qt::PlainText); // the name as it is, even with "<b>" in it
    fileName->setAlignment(Qt::AlignHCenter);
    column->addWidget(fileName);
    auto* found =
        label(tr("Found %1").arg(countText(m_preview.totalRows, tr("device"))), u"csvFound"_s);
    found->setAlignment(Qt::AlignHCenter);
    column->addWidget(found);
    auto* separator =
        label(tr("Separator: %1").arg(csvSeparatorName(m_preview.separator)), u"csvSeparator"_s);
    separator->setAlignment(Qt::AlignHCenter);
    column->addWidget(separator);
    column->addSpacing(16);
    column->addWidget(line());

    // Modes.
    column->addWidget(label(tr("Import Mode"), u"csvHeading"_s));
    const auto modeRow = [&](CSVImportMode mode, QLabel*& symbol, QLabel*& description) {
        auto* row = new CSVSheetRow;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 2, 0, 2);
        symbol = label(QString(), u"csvChoice"_s);
        symbol->setFixedWidth(20);
        h->addWidget(symbol, 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        texts->addWidget(label(csvImportModeLabel(mode), u"csvOption"_s));
        description = label(QString(), u"csvNote"_s);
        texts->addWidget(description);
        h->addLayout(texts, 1);
        connect(row, &CSVSheetRow::clicked, this, [this, mode] { chooseMode(mode); });
        column->addWidget(row);
        return row;
    };
    m_replaceRow = modeRow(CSVImportMode::replace, m_replaceSymbol, m_replaceDescription);
    m_appendRow = modeRow(CSVImportMode::append, m_appendSymbol, m_appendDescription);

    // Skip duplicates, only while there are any.
    m_skipSection = new QWidget;
    auto* skipColumn = new QVBoxLayout(m_skipSection);
    skipColumn->setContentsMargins(0, 0, 0, 0);
    skipColumn->addWidget(line());
    m_skipRow = new CSVSheetRow;
    auto* skipLine = new QHBoxLayout(m_skipRow);
    skipLine->setContentsMargins(0, 2, 0, 2);
    m_skipSymbol = label(QString(), u"csvChoice"_s);
    m_skipSymbol->setFixedWidth(20);
    skipLine->addWidget(m_skipSymbol, 0, Qt::AlignTop);
    auto* skipTexts = new QVBoxLayout;
    skipTexts->setSpacing(1);
    skipTexts->addWidget(label(tr("Skip duplicates"), u"csvOption"_s));
    m_warning = label(QString(), u"csvWarning"_s);
    skipTexts->addWidget(m_warning);
    skipLine->addLayout(skipTexts, 1);
    connect(m_skipRow, &CSVSheetRow::clicked, this, &CSVImportDialog::toggleSkipDuplicates);
    skipColumn->addWidget(m_skipRow);
    column->addWidget(m_skipSection);

    // Columns, then a preview of the first rows.
    column->addWidget(line());
    column->addWidget(columnSection());
    if (!m_preview.sampleNodes.isEmpty()) {
        column->addWidget(label(tr("Preview"), u"csvPreviewTitle"_s));
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(0);
        const int widths[] = {100, 80, 100};
        const QString headings[] = {tr("Name"), tr("Type"), tr("IP")};
        for (int c = 0; c < 3; ++c) {
            grid->setColumnMinimumWidth(c, widths[c]);
            auto* heading = label(headings[c], u"csvColumn"_s);
            heading->setFixedWidth(widths[c]);
            grid->addWidget(heading, 0, c);
        }
        const qsizetype shown = std::min<qsizetype>(3, m_preview.sampleNodes.size());
        for (qsizetype r = 0; r < shown; ++r) {
            const CSVCandidate& candidate = m_preview.sampleNodes.at(r);
            const QString cells[] = {candidate.name, candidate.type, candidate.ip};
            for (int c = 0; c < 3; ++c) {
                auto* cell = label(cells[c], u"csvCell"_s);
                cell->setFixedWidth(widths[c]);
                cell->setTextFormat(Qt::PlainText);
                m_cells.append(cell);
                grid->addWidget(cell, static_cast<int>(r) + 1, c);
            }
        }
        grid->setColumnStretch(3, 1);
        column->addLayout(grid);
        if (m_preview.sampleNodes.size() >= 4) {
            column->addWidget(
                label(tr("... and %1 more").arg(m_preview.sampleNodes.size() - 3), u"csvMore"_s));
        }
    }

    auto* buttons = new QHBoxLayout;
    m_cancel = sheetButton(tr("Cancel"), u"csvCancel"_s);
    m_import = sheetButton(tr("Import"), u"csvImport"_s);
    buttons->addWidget(m_cancel, 1);
    buttons->addWidget(m_import, 1);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_import, &QPushButton::clicked, this, &QDialog::accept);
    m_import->setDefault(true);
    column->addLayout(buttons);

    if (m_document)
        connect(m_document, &ProjectDocument::changed, this, &CSVImportDialog::refresh);
    refresh();
}

QWidget* CSVImportDialog::columnSection()
{
    auto* section = new QWidget;
    auto* grid = new QGridLayout(section);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(label(tr("Columns"), u"csvPreviewTitle"_s), 0, 0, 1, 2);
    // Item 0 is "no column"; then every column of the first line, by its header text when the
    // first line is a header (one more for a detected column past the first line's end).
    const CSVColumnMap& columns = m_preview.columns;
    qsizetype count = m_preview.firstLineCells.size();
    for (const std::optional<qsizetype>& index :
         {columns.nameIndex, columns.typeIndex, columns.ipIndex})
        count = std::max(count, index.value_or(-1) + 1);
    const std::optional<qsizetype> detected[] = {columns.nameIndex, columns.typeIndex,
                                                 columns.ipIndex};
    const QString fieldNames[] = {tr("Name"), tr("Type"), tr("IP")};
    for (int f = 0; f < 3; ++f) {
        auto* box = new QComboBox;
        box->setObjectName(u"csvColumnBox"_s);
        box->addItem(u"\u2014"_s);
        for (qsizetype i = 0; i < count; ++i) {
            const bool named = m_preview.hasHeader && i < m_preview.firstLineCells.size();
            box->addItem(named ? m_preview.firstLineCells.at(i) : tr("Column %1").arg(i + 1));
        }
        box->setCurrentIndex(detected[f] ? int(*detected[f]) + 1 : 0);
        connect(box, &QComboBox::activated, this,
                [this, f](int item) { chooseColumn(Field(f), item); });
        m_columnBoxes[f] = box;
        grid->addWidget(label(fieldNames[f], u"csvOption"_s), f + 1, 0);
        grid->addWidget(box, f + 1, 1);
    }
    grid->setColumnStretch(1, 1);
    return section;
}

void CSVImportDialog::chooseColumn(Field field, int item)
{
    CSVColumnMap columns = m_preview.columns;
    std::optional<qsizetype>* const fields[] = {&columns.nameIndex, &columns.typeIndex,
                                                &columns.ipIndex};
    *fields[int(field)] = item > 0 ? std::optional<qsizetype>(item - 1) : std::nullopt;
    m_columnBoxes[int(field)]->setCurrentIndex(item);
    const CSVColumnChoice choice{columns, m_preview.hasHeader};
    // A file that can no longer be read keeps the preview as it was; the import says so later.
    if (Expected<CSVPreviewData> reread = parseCSVPreview(m_preview.url, choice)) {
        m_preview = std::move(*reread);
        m_choice = choice;
    }
    refresh();
}

void CSVImportDialog::chooseMode(CSVImportMode mode)
{
    m_options->mode = mode;
    refresh();
}

void CSVImportDialog::toggleSkipDuplicates()
{
    m_options->skipDuplicates = !m_options->skipDuplicates;
    refresh();
}

CSVSheetRow* CSVImportDialog::modeRow(CSVImportMode mode) const
{
    return mode == CSVImportMode::replace ? m_replaceRow : m_appendRow;
}

void CSVImportDialog::refresh()
{
    static const ProjectData emptyProject;
    const ProjectData& project = m_document ? m_document->projectData() : emptyProject;
    const qsizetype existing = project.nodes.size();
    const CSVImportMode mode = m_options->mode;

    const auto setSymbol = [](QLabel* symbol, bool on, const QString& onText,
                              const QString& offText) {
        symbol->setText(on ? onText : offText);
        setLookState(symbol, "on", on);
    };
    const bool replace = mode == CSVImportMode::replace;
    setSymbol(m_replaceSymbol, replace, radioOn, radioOff);
    setSymbol(m_appendSymbol, !replace, radioOn, radioOff);
    m_replaceDescription->setText(csvImportModeDescription(CSVImportMode::replace, existing));
    m_appendDescription->setText(csvImportModeDescription(CSVImportMode::append, existing));

    m_skipSection->setVisible(hasDuplicates(m_preview, mode, project));
    setSymbol(m_skipSymbol, m_options->skipDuplicates, checkOn, checkOff);
    for (qsizetype i = 0; i < m_cells.size() && i / 3 < m_preview.sampleNodes.size(); ++i) {
        const CSVCandidate& candidate = m_preview.sampleNodes.at(i / 3);
        const QString* cells[] = {&candidate.name, &candidate.type, &candidate.ip};
        m_cells.at(i)->setText(*cells[i % 3]);
    }
    const std::optional<QString> warning = duplicateWarning(m_preview, mode, project);
    m_warning->setText(warning.value_or(QString()));
    m_warning->setVisible(warning.has_value());
}

std::optional<CSVImportResult> runCSVImportFlow(QWidget* parent, ProjectSession& session,
                                                CSVImportOptions& options,
                                                const std::function<void()>& beforeImport)
{
    const QString path =
        QFileDialog::getOpenFileName(parent, CSVImportDialog::tr("Import CSV"), QString(),
                                     CSVImportDialog::tr("Comma-separated text (*.csv)"));
    if (path.isEmpty())
        return std::nullopt;
    Expected<CSVPreviewData> preview = parseCSVPreview(path);
    if (!preview)
        return std::nullopt;
    CSVImportDialog sheet(std::move(*preview), session.document(), &options, parent);
    if (sheet.exec() != QDialog::Accepted)
        return std::nullopt;
    if (beforeImport)
        beforeImport();
    return importCSV(session, path, options.mode, options.skipDuplicates, sheet.columnChoice());
}

void runCSVExportFlow(QWidget* parent, ProjectSession& session)
{
    auto* dialog = new QFileDialog(parent, csvExportDialogTitle());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(CSVImportDialog::tr("Comma-separated text (*.csv)"));
    dialog->setDefaultSuffix(u"csv"_s);
    dialog->selectFile(csvExportProposedFileName);
    const QPointer<ProjectSession> guarded(&session);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [guarded](const QString& file) {
        if (!guarded || file.isEmpty())
            return;
        // A failed export is reported on standard output only.
        if (const Expected<void> written = writeCSV(file, guarded->project()); !written)
            QTextStream(stdout) << "Failed to export CSV: " << written.error().message << Qt::endl;
    });
    dialog->open();
}

} // namespace velmora
