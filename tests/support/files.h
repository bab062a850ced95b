// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whole-file reads and writes for tests.

#include <QByteArray>
#include <QString>

namespace velmora::test {

bool writeFile(const QString& path, const QByteArray& bytes);
// Empty when the file cannot be read.
QByteArray readFile(const QString& path);

} // namespace velmora::test
