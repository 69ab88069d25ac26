// A process number that no running process has: what the leftovers of a
// killed program carry.
#pragma once

#include <QProcess>

// The number of a child that ran and was waited for.
inline qint64 EndedProcessId() {
    QProcess child;
    child.start(QStringLiteral("true"), {});
    child.waitForStarted();
    const qint64 pid = child.processId();
    child.waitForFinished();
    return pid;
}
