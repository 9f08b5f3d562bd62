#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

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

// A benchmark runs headless and unattended: before the application object is made, off screen and without
// the offscreen platform's notes about window hints, which would bury the figures.
inline void prepararAntesDeLaAplicacion() {
    static const QtMessageHandler anterior = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType tipo, const QMessageLogContext &ctx, const QString &texto) {
        if (!texto.contains(QStringLiteral("propagateSizeHints")))
            anterior(tipo, ctx, texto);
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
