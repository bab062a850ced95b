// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CSV import sheet: what the chosen file holds ("Found N devices", the first rows), the
// import mode, and the skip-duplicates option with its warning when duplicates exist. The mode
// and the option live in a CSVImportOptions owned by the window, so they are kept between
// imports. "Import" accepts the dialog; the window then runs importCSV with those options.

#include "csv/csv_import.h"
#include "csv/csv_reader.h"

#include <QDialog>
#include <QFrame>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

namespace velmora {

class ProjectDocument;
class ProjectSession;

// A row that acts as one button: the whole row is the click target.
class CSVSheetRow final : public QFrame {
    Q_OBJECT
public:
    explicit CSVSheetRow(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class CSVImportDialog final : public QDialog {
    Q_OBJECT
public:
    CSVImportDialog(CSVPreviewData preview, const ProjectDocument* document,
                    CSVImportOptions* options, QWidget* parent = nullptr);

    const CSVPreviewData& preview() const { return m_preview; }
    CSVImportMode mode() const { return m_options->mode; }
    bool skipDuplicates() const { return m_options->skipDuplicates; }

    // The row taps.
    void chooseMode(CSVImportMode mode);
    void toggleSkipDuplicates();

    // The fields whose column can be chosen, in the order of their drop-downs.
    enum class Field { name, type, ip };
    // Takes the column at `item` of the field's drop-down (item 0: no column) and reads the
    // file again with it, so the preview shows what the import will do.
    void chooseColumn(Field field, int item);
    // The columns chosen by hand; nothing while the detected ones stand.
    const std::optional<CSVColumnChoice>& columnChoice() const { return m_choice; }

    // Parts, for tests.
    QComboBox* columnBox(Field field) const { return m_columnBoxes[int(field)]; }
    CSVSheetRow* modeRow(CSVImportMode mode) const;
    CSVSheetRow* skipRow() const { return m_skipRow; }
    QLabel* warningLabel() const { return m_warning; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* importButton() const { return m_import; }

private:
    void refresh();

    QWidget* columnSection();

    CSVPreviewData m_preview;
    std::optional<CSVColumnChoice> m_choice;
    QComboBox* m_columnBoxes[3] = {};
    QList<QLabel*> m_cells; // the preview rows' cells, row by row
    const ProjectDocument* m_document;
    CSVImportOptions* m_options;
    CSVSheetRow* m_replaceRow = nullptr;
    CSVSheetRow* m_appendRow = nullptr;
    QLabel* m_replaceSymbol = nullptr;
    QLabel* m_appendSymbol = nullptr;
    QLabel* m_replaceDescription = nullptr;
    QLabel* m_appendDescription = nullptr;
    QWidget* m_skipSection = nullptr;
    CSVSheetRow* m_skipRow = nullptr;
    QLabel* m_skipSymbol = nullptr;
    QLabel* m_warning = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_import = nullptr;
};

// The import flow behind the import button: an open dialog for CSV files, the preview, the sheet
// and, on "Import", importCSV with the window's options. `beforeImport` runs right before the
// import (the window marks its content not ready there). Nothing when the dialog or the sheet
// was cancelled or the file yielded nothing (then nothing is shown at all).
std::optional<CSVImportResult> runCSVImportFlow(QWidget* parent, ProjectSession& session,
                                                CSVImportOptions& options,
                                                const std::function<void()>& beforeImport = {});

// The export flow behind the export button: a save dialog titled "Export Nodes to CSV" that
// proposes "nodes_export.csv" and does not block the application; on confirmation the current
// nodes are written with writeCSV (a failure is reported on standard output).
void runCSVExportFlow(QWidget* parent, ProjectSession& session);

} // namespace velmora
