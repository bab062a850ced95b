// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/csv_import_dialog.h"

#include "csv/csv_export.h"
#include "model/project_session.h"
#include "panes/pane_icons.h"

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

QColor colorOf(double r, double g, double b)
{
    return QColor::fromRgbF(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b));
}

QString css(const QColor& color)
{
    return u"rgb(%1,%2,%3)"_s.arg(color.red()).arg(color.green()).arg(color.blue());
}

const QColor accent = colorOf(0.29, 0.56, 0.89);
const QColor green = colorOf(0.29, 0.87, 0.5);
const QColor amber = colorOf(0.98, 0.75, 0.14);
const QColor grey = colorOf(0.56, 0.56, 0.58);
const QColor divider = colorOf(0.3, 0.3, 0.3);

// Stand-ins for the radio and check symbols.
const QString radioOn = u"\u25C9"_s;
const QString radioOff = u"\u25CB"_s;
const QString checkOn = u"\u2611"_s;
const QString checkOff = u"\u2610"_s;

QLabel* label(const QString& text, const QColor& color, int pixelSize, int weight = 400)
{
    auto* l = new QLabel(text);
    l->setStyleSheet(u"QLabel { color: %1; font-size: %2px; font-weight: %3; }"_s.arg(css(color))
                         .arg(pixelSize)
                         .arg(weight));
    return l;
}

QFrame* line()
{
    auto* l = new QFrame;
    l->setFixedHeight(1);
    l->setStyleSheet(u"QFrame { background: %1; border: none; }"_s.arg(css(divider)));
    return l;
}

QPushButton* sheetButton(const QString& text, const QColor& background, int weight)
{
    auto* button = new QPushButton(text);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(u"QPushButton { background: %1; color: white; border: none;"
                          " border-radius: 6px; padding: 8px 0; font-size: 13px;"
                          " font-weight: %2; }"_s.arg(css(background))
                              .arg(weight));
    return button;
}

QString counted(qsizetype count, const QString& noun)
{
    return QString::number(count) + u' ' + noun + (count == 1 ? QString() : u"s"_s);
}

} // namespace

CsvSheetRow::CsvSheetRow(QWidget* parent) : QFrame(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void CsvSheetRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QFrame::mouseReleaseEvent(event);
}

CsvImportDialog::CsvImportDialog(CSVPreviewData preview, const ProjectDocument* document,
                                 CSVImportOptions* options, QWidget* parent)
    : QDialog(parent), m_preview(std::move(preview)), m_document(document), m_options(options)
{
    setWindowTitle(u"Import CSV"_s);
    setModal(true);
    setObjectName(u"csvImportSheet"_s);
    setStyleSheet(u"#csvImportSheet { background: rgb(36,36,38); }"_s);
    setMinimumWidth(360);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(10);

    // Header.
    auto* icon = new QLabel;
    icon->setPixmap(symbolIcon(PaneSymbol::document, accent, 32).pixmap(32, 32));
    icon->setAlignment(Qt::AlignHCenter);
    column->addWidget(icon);
    auto* title = label(u"Import CSV"_s, Qt::white, 17, 600);
    title->setAlignment(Qt::AlignHCenter);
    column->addWidget(title);
    auto* fileName = label(m_preview.fileName, grey, 12);
    fileName->setTextFormat(Qt::PlainText); // the name as it is, even with "<b>" in it
    fileName->setAlignment(Qt::AlignHCenter);
    column->addWidget(fileName);
    auto* found = label(u"Found "_s + counted(m_preview.totalRows, u"device"_s), green, 13, 600);
    found->setAlignment(Qt::AlignHCenter);
    column->addWidget(found);
    column->addSpacing(16);
    column->addWidget(line());

    // Modes.
    column->addWidget(label(u"Import Mode"_s, accent, 13, 600));
    const auto modeRow = [&](CSVImportMode mode, QLabel*& symbol, QLabel*& description) {
        auto* row = new CsvSheetRow;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 2, 0, 2);
        symbol = label(QString(), accent, 16);
        symbol->setFixedWidth(20);
        h->addWidget(symbol, 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        texts->addWidget(label(csvImportModeLabel(mode), Qt::white, 13));
        description = label(QString(), grey, 10);
        texts->addWidget(description);
        h->addLayout(texts, 1);
        connect(row, &CsvSheetRow::clicked, this, [this, mode] { chooseMode(mode); });
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
    m_skipRow = new CsvSheetRow;
    auto* skipLine = new QHBoxLayout(m_skipRow);
    skipLine->setContentsMargins(0, 2, 0, 2);
    m_skipSymbol = label(QString(), accent, 16);
    m_skipSymbol->setFixedWidth(20);
    skipLine->addWidget(m_skipSymbol, 0, Qt::AlignTop);
    auto* skipTexts = new QVBoxLayout;
    skipTexts->setSpacing(1);
    skipTexts->addWidget(label(u"Skip duplicates"_s, Qt::white, 13));
    m_warning = label(QString(), amber, 10);
    skipTexts->addWidget(m_warning);
    skipLine->addLayout(skipTexts, 1);
    connect(m_skipRow, &CsvSheetRow::clicked, this, &CsvImportDialog::toggleSkipDuplicates);
    skipColumn->addWidget(m_skipRow);
    column->addWidget(m_skipSection);

    // Preview of the first rows.
    column->addWidget(line());
    if (!m_preview.sampleNodes.isEmpty()) {
        column->addWidget(label(u"Preview"_s, Qt::white, 13, 600));
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(0);
        grid->setColumnMinimumWidth(0, 100);
        grid->setColumnMinimumWidth(1, 80);
        grid->setColumnMinimumWidth(2, 100);
        const QStringList headings{u"Name"_s, u"Type"_s, u"IP"_s};
        const int widths[] = {100, 80, 100};
        for (int c = 0; c < 3; ++c) {
            auto* heading = label(headings.at(c), grey, 11, 600);
            heading->setFixedWidth(widths[c]);
            grid->addWidget(heading, 0, c);
        }
        const qsizetype shown = std::min<qsizetype>(3, m_preview.sampleNodes.size());
        for (qsizetype r = 0; r < shown; ++r) {
            const CSVCandidate& candidate = m_preview.sampleNodes.at(r);
            const QString cells[] = {candidate.name, candidate.type, candidate.ip};
            for (int c = 0; c < 3; ++c) {
                auto* cell = label(cells[c], Qt::white, 11);
                cell->setFixedWidth(widths[c]);
                cell->setTextFormat(Qt::PlainText);
                grid->addWidget(cell, static_cast<int>(r) + 1, c);
            }
        }
        grid->setColumnStretch(3, 1);
        column->addLayout(grid);
        if (m_preview.sampleNodes.size() >= 4) {
            column->addWidget(label(
                u"... and "_s + QString::number(m_preview.sampleNodes.size() - 3) + u" more"_s,
                grey, 11));
        }
    }

    auto* buttons = new QHBoxLayout;
    m_cancel = sheetButton(u"Cancel"_s, colorOf(0.25, 0.25, 0.25), 400);
    m_import = sheetButton(u"Import"_s, colorOf(0.17, 0.42, 0.29), 600);
    buttons->addWidget(m_cancel, 1);
    buttons->addWidget(m_import, 1);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_import, &QPushButton::clicked, this, &QDialog::accept);
    m_import->setDefault(true);
    column->addLayout(buttons);

    if (m_document)
        connect(m_document, &ProjectDocument::changed, this, &CsvImportDialog::refresh);
    refresh();
}

void CsvImportDialog::chooseMode(CSVImportMode mode)
{
    m_options->mode = mode;
    refresh();
}

void CsvImportDialog::toggleSkipDuplicates()
{
    m_options->skipDuplicates = !m_options->skipDuplicates;
    refresh();
}

CsvSheetRow* CsvImportDialog::modeRow(CSVImportMode mode) const
{
    return mode == CSVImportMode::replace ? m_replaceRow : m_appendRow;
}

void CsvImportDialog::refresh()
{
    static const ProjectData emptyProject;
    const ProjectData& project = m_document ? m_document->projectData() : emptyProject;
    const qsizetype existing = project.nodes.size();
    const CSVImportMode mode = m_options->mode;

    const auto setSymbol = [](QLabel* symbol, const QString& text, const QColor& color) {
        symbol->setText(text);
        symbol->setStyleSheet(u"QLabel { color: %1; font-size: 16px; }"_s.arg(css(color)));
    };
    const bool replace = mode == CSVImportMode::replace;
    setSymbol(m_replaceSymbol, replace ? radioOn : radioOff, replace ? accent : grey);
    setSymbol(m_appendSymbol, replace ? radioOff : radioOn, replace ? grey : accent);
    m_replaceDescription->setText(csvImportModeDescription(CSVImportMode::replace, existing));
    m_appendDescription->setText(csvImportModeDescription(CSVImportMode::append, existing));

    m_skipSection->setVisible(hasDuplicates(m_preview, mode, project));
    const bool skip = m_options->skipDuplicates;
    setSymbol(m_skipSymbol, skip ? checkOn : checkOff, skip ? accent : grey);
    const std::optional<QString> warning = duplicateWarning(m_preview, mode, project);
    m_warning->setText(warning.value_or(QString()));
    m_warning->setVisible(warning.has_value());
}

QStringList CsvImportDialog::shownTexts() const
{
    QStringList texts;
    const QList<QWidget*> widgets = findChildren<QWidget*>();
    QList<std::pair<QPoint, QString>> placed;
    for (QWidget* widget : widgets) {
        if (!widget->isVisibleTo(this))
            continue;
        QString text;
        if (auto* l = qobject_cast<QLabel*>(widget))
            text = l->text();
        else if (auto* b = qobject_cast<QPushButton*>(widget))
            text = b->text();
        if (!text.isEmpty())
            placed.append({widget->mapTo(this, QPoint(0, 0)), text});
    }
    std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) {
        return a.first.y() != b.first.y() ? a.first.y() < b.first.y() : a.first.x() < b.first.x();
    });
    for (const auto& [point, text] : placed)
        texts.append(text);
    return texts;
}

std::optional<CSVImportResult> runCSVImportFlow(QWidget* parent, ProjectSession& session,
                                                CSVImportOptions& options,
                                                const std::function<void()>& beforeImport)
{
    const QString path = QFileDialog::getOpenFileName(parent, u"Import CSV"_s, QString(),
                                                      u"Comma-separated text (*.csv)"_s);
    if (path.isEmpty())
        return std::nullopt;
    Expected<CSVPreviewData> preview = parseCSVPreview(path);
    if (!preview)
        return std::nullopt;
    CsvImportDialog sheet(std::move(*preview), session.document(), &options, parent);
    if (sheet.exec() != QDialog::Accepted)
        return std::nullopt;
    if (beforeImport)
        beforeImport();
    return importCSV(session, path, options.mode, options.skipDuplicates);
}

void runCSVExportFlow(QWidget* parent, ProjectSession& session)
{
    auto* dialog = new QFileDialog(parent, csvExportDialogTitle());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(u"Comma-separated text (*.csv)"_s);
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
