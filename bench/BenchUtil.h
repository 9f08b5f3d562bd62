#pragma once

#include <QByteArray>
#include <QFile>

// Shared by the benchmarks: peak resident memory of this process so far, in KiB ("VmHWM" of
// /proc/self/status), or -1 when it cannot be read.
inline qint64 peakResidentKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}
