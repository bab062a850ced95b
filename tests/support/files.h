// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whole-file reads and writes for tests.

#include <QByteArray>
#include <QString>

#include <functional>

namespace velmora::test {

bool writeFile(const QString& path, const QByteArray& bytes);
// Empty when the file cannot be read.
QByteArray readFile(const QString& path);
// What `action` writes to the process's standard output (file descriptor 1) while it runs.
QByteArray captureStandardOutput(const std::function<void()>& action);

} // namespace velmora::test
