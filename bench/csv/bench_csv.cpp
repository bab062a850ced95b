// SPDX-License-Identifier: GPL-3.0-or-later
// CSV reader, import and export on 10,000 lines, each against the plain file operation on the
// same bytes in the same run: reading the file (for the preview and the import) and writing it
// atomically (for the export). Prints medians and ratios.

#include "csv/csv_export.h"
#include "csv/csv_import.h"
#include "csv/csv_reader.h"
#include "model/project_session.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <ctime>
#include <functional>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

constexpr int lineCount = 10000;
constexpr int repeats = 31;

// CPU time of this thread: on a machine shared with other jobs, wall time mostly measures
// the wait for a core.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double medianMs(const std::function<void()>& work)
{
    QList<double> times;
    work(); // warm caches and the allocator before timing
    for (int i = 0; i < repeats; ++i) {
        const double start = threadCpuMs();
        work();
        times.append(threadCpuMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

QByteArray makeCSV(bool accented)
{
    QByteArray bytes = "Name,Type,IP\n";
    const char* types[] = {"Switch", "Router", "AP", "Camera", "Printer"};
    for (int i = 0; i < lineCount; ++i) {
        // "Cafe" with a combining acute accent: a user-perceived character of two code units.
        bytes += accented ? "Cafe\xcc\x81 " : "Device ";
        bytes += QByteArray::number(i);
        if (i % 10 == 0)
            bytes += ", \"Floor, 2\"";
        bytes += ',';
        bytes += types[i % 5];
        bytes += ",10.";
        bytes += QByteArray::number(i / 65536) + '.' + QByteArray::number((i / 256) % 256) + '.' +
                 QByteArray::number(i % 256) + '\n';
    }
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    out << "CSV, " << lineCount << " lines, median of " << repeats << " runs, thread CPU time\n";
    for (const bool accented : {false, true}) {
        const QByteArray bytes = makeCSV(accented);
        const QString path = dir.filePath(u"devices.csv"_s);
        if (!writeFile(path, bytes))
            return 1;
        qsizetype sink = 0;
        const double read = medianMs([&] { sink += readFile(path).size(); });
        const double decode = medianMs([&] { sink += QString::fromUtf8(readFile(path)).size(); });
        const double parse = medianMs([&] { sink += parseCSVContent(bytes)->candidates.size(); });
        const CSVRows rows = *parseCSVContent(bytes);
        const double summary = medianMs([&] { sink += makeCSVPreview(rows, path).totalRows; });
        const double preview = medianMs([&] { sink += parseCSVPreview(path)->totalRows; });

        ProjectData start;
        const double apply = medianMs([&] {
            ProjectDocument document(start);
            ProjectSession session(&document);
            sink += importCSV(session, path, CSVImportMode::replace, true)->added;
        });
        out << (accented ? "combining marks" : "ASCII") << ", " << bytes.size() / 1024 << " KiB:\n";
        out << QString::asprintf("  read bytes (peer)       %8.2f ms\n", read);
        out << QString::asprintf("  read + UTF-8 decode     %8.2f ms\n", decode);
        out << QString::asprintf("  parse bytes in memory   %8.2f ms\n", parse);
        out << QString::asprintf("  preview summary only    %8.2f ms\n", summary);
        out << QString::asprintf(
            "  parseCSVPreview         %8.2f ms  ratio %.1fx to read, %.1fx to decode\n", preview,
            preview / read, preview / decode);
        out << QString::asprintf(
            "  importCSV (replace)     %8.2f ms  ratio %.1fx to read, %.1fx to decode\n", apply,
            apply / read, apply / decode);
        if (sink == 0)
            out << "(nothing read)\n";
    }

    ProjectData project;
    ProjectDocument source;
    {
        ProjectSession session(&source);
        const QString path = dir.filePath(u"devices.csv"_s);
        writeFile(path, makeCSV(false));
        (void)importCSV(session, path, CSVImportMode::replace, false);
        project = source.projectData();
    }
    const QByteArray exported = csvText(project).toUtf8();
    const QString target = dir.filePath(u"export.csv"_s);
    const double plainWrite = medianMs([&] {
        QSaveFile file(target);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(exported);
            file.commit();
        }
    });
    const double text = medianMs([&] { (void)csvText(project); });
    const double write = medianMs([&] { (void)writeCSV(target, project); });
    out << "Export, " << project.nodes.size() << " nodes, " << exported.size() / 1024 << " KiB:\n";
    out << QString::asprintf("  atomic write of bytes (peer) %8.2f ms\n", plainWrite);
    out << QString::asprintf("  csvText                 %8.2f ms\n", text);
    out << QString::asprintf("  writeCSV                %8.2f ms  ratio %.1fx\n", write,
                             write / plainWrite);
    return 0;
}
