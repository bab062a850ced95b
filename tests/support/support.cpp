// SPDX-License-Identifier: GPL-3.0-or-later
// Builders, files, processes and pixels for tests.

#include "support/builders.h"
#include "support/files.h"
#include "support/pixels.h"
#include "support/process.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace velmora::test {

ProjectData projectWith(QList<NodeData> nodes, QList<CableData> cables)
{
    ProjectData project;
    for (const NodeData& node : std::as_const(nodes))
        project.nextNodeId = std::max(project.nextNodeId, node.id + 1);
    for (const CableData& cable : std::as_const(cables))
        project.nextCableId = std::max(project.nextCableId, cable.id + 1);
    project.nodes = std::move(nodes);
    project.cables = std::move(cables);
    return project;
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

QByteArray captureStandardOutput(const std::function<void()>& action)
{
    QTemporaryFile sink;
    if (!sink.open())
        return {};
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(sink.handle(), STDOUT_FILENO);
    action();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    sink.seek(0);
    return sink.readAll();
}

ProcessResult runProgram(const QString& program, const QStringList& arguments,
                         const RunOptions& options)
{
    QProcess process;
    process.setProcessEnvironment(options.environment);
    if (options.mergeChannels)
        process.setProcessChannelMode(QProcess::MergedChannels);
    if (options.prefix.isEmpty())
        process.start(program, arguments);
    else
        process.start(options.prefix.first(),
                      options.prefix.mid(1) + QStringList{program} + arguments);
    ProcessResult result;
    if (!process.waitForStarted(10000))
        return result;
    if (!options.input.isEmpty())
        process.write(options.input);
    process.closeWriteChannel();
    if (!process.waitForFinished(options.timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
    } else if (process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

bool colorsNear(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance &&
           std::abs(a.alpha() - b.alpha()) <= tolerance;
}

namespace {

int countWhere(const QImage& image, QRect area, auto predicate)
{
    area = area.isEmpty() ? image.rect() : area.intersected(image.rect());
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += predicate(image.pixelColor(x, y)) ? 1 : 0;
    }
    return count;
}

} // namespace

int countNear(const QImage& image, const QColor& color, int tolerance, QRect area)
{
    return countWhere(image, area,
                      [&](const QColor& c) { return colorsNear(c, color, tolerance); });
}

int countNotNear(const QImage& image, const QColor& background, int tolerance, QRect area)
{
    return countWhere(image, area,
                      [&](const QColor& c) { return !colorsNear(c, background, tolerance); });
}

QRect boundsNear(const QImage& image, const QColor& color, int tolerance)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (colorsNear(image.pixelColor(x, y), color, tolerance))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

QByteArray pngOf(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace velmora::test
