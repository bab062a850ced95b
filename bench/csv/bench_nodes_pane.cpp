// SPDX-License-Identifier: GPL-3.0-or-later
// The nodes pane with 10,000 nodes on the offscreen platform: building it, sorting by each key,
// refreshing after a project edit, a selection change, and scrolling the list with a repaint.
// Prints medians in milliseconds.

#include "model/project_session.h"
#include "panes/nodes_pane.h"

#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <QTextStream>

#include <algorithm>
#include <ctime>
#include <functional>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

constexpr int nodeCount = 10000;
constexpr int repeats = 11;

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
    for (int i = 0; i < repeats; ++i) {
        const double start = threadCpuMs();
        work();
        times.append(threadCpuMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);

    ProjectData project;
    const QStringList types{u"Switch"_s, u"Router"_s, u"AP"_s, u"Camera"_s, u"Printer"_s};
    for (int i = 0; i < nodeCount; ++i) {
        // Names in a scrambled order so that every sort really moves rows.
        const int k = (i * 7919) % nodeCount;
        project.nodes.append(
            NodeData{i + 1, u"Node %1"_s.arg(k), types.at(k % 5),
                     u"10.%1.%2.%3"_s.arg(k / 65536).arg((k / 256) % 256).arg(k % 256), 0, 0, 1.0});
    }
    project.nextNodeId = nodeCount + 1;
    ProjectDocument document(project);
    ProjectSession session(&document);
    session.ensureTypeColors();

    const double buildStart = threadCpuMs();
    NodesPane pane(&session);
    pane.resize(NodesPane::expandedWidth, 600);
    pane.show();
    QCoreApplication::processEvents();
    const double build = threadCpuMs() - buildStart;

    QTableView* table = pane.tableView();
    QWidget* viewport = table->viewport();
    const auto sortBy = [&](NodeField key) {
        return medianMs([&] {
            pane.toggleSort(key);
            viewport->repaint();
        });
    };
    const double byName = sortBy(NodeField::name);
    const double byType = sortBy(NodeField::type);
    const double byIp = sortBy(NodeField::ip);
    pane.toggleSort(NodeField::name);

    int flip = 0;
    const double edit = medianMs([&] {
        document.modify([&](ProjectData& p) { p.nodes[5].name = u"Edited %1"_s.arg(++flip); });
        viewport->repaint();
    });
    qint64 next = 1;
    const double select = medianMs([&] {
        session.setSelectedNodes({next});
        next = next % nodeCount + 997;
        viewport->repaint();
    });
    QScrollBar* bar = table->verticalScrollBar();
    int position = 0;
    const double scrollStep = medianMs([&] {
        position = (position + 4567) % std::max(1, bar->maximum());
        bar->setValue(position);
        viewport->repaint();
    });
    const double scrollWhole = medianMs([&] {
        for (int value = 0; value <= bar->maximum(); value += bar->maximum() / 100)
            bar->setValue(value);
        viewport->repaint();
    });

    out << "Nodes pane, " << nodeCount << " nodes, median of " << repeats
        << " runs, thread CPU time (ms):\n";
    out << QString::asprintf("  build and show           %8.2f\n", build);
    out << QString::asprintf("  sort by name + repaint   %8.2f\n", byName);
    out << QString::asprintf("  sort by type + repaint   %8.2f\n", byType);
    out << QString::asprintf("  sort by ip + repaint     %8.2f\n", byIp);
    out << QString::asprintf("  project edit (re-sort)   %8.2f\n", edit);
    out << QString::asprintf("  selection change         %8.2f\n", select);
    out << QString::asprintf("  scroll jump + repaint    %8.2f\n", scrollStep);
    out << QString::asprintf("  100 scroll steps + paint %8.2f\n", scrollWhole);
    return 0;
}
