// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs a program to its end and collects what it printed.

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace velmora::test {

struct RunOptions {
    QStringList prefix;         // runs `prefix... program arguments...` (ip netns exec, setpriv)
    QByteArray input;           // written to standard input, which is then closed
    int timeoutMs = 30000;      // killed when it runs longer
    bool mergeChannels = false; // standard error into `out`
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

struct ProcessResult {
    int exitCode = -1; // -1 when it could not start, timed out or crashed
    QByteArray out;
    QByteArray err;
    QString outText() const { return QString::fromUtf8(out); }
    QString errText() const { return QString::fromUtf8(err); }
};

ProcessResult runProgram(const QString& program, const QStringList& arguments,
                         const RunOptions& options = {});

// True when the program ran and exited with status 0.
inline bool succeeds(const QString& program, const QStringList& arguments,
                     const RunOptions& options = {})
{
    return runProgram(program, arguments, options).exitCode == 0;
}

} // namespace velmora::test
