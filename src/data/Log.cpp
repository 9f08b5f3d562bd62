#include "data/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>
#include <QTextStream>
#include <cstdio>

namespace {
QString g_path;
QMutex g_mutex;
QtMessageHandler g_previous = nullptr;

void handler(QtMsgType type, const QMessageLogContext &ctx, const QString &msg) {
    if (type != QtDebugMsg && type != QtInfoMsg)
        Log::write(msg);
    if (g_previous)
        g_previous(type, ctx, msg);
}
} // namespace

void Log::setFile(const QString &path) {
    QMutexLocker lock(&g_mutex);
    g_path = path;
}

QString Log::file() {
    QMutexLocker lock(&g_mutex);
    if (g_path.isEmpty()) {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        g_path = (dir.isEmpty() ? QDir::tempPath() : dir) + QStringLiteral("/mirabel.log");
    }
    return g_path;
}

void Log::write(const QString &message) {
    const QString path = file();
    QMutexLocker lock(&g_mutex);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::Append | QIODevice::Text))
        return;
    QTextStream out(&f);
    out << QDateTime::currentDateTime().toString(Qt::ISODate) << ' ' << message << '\n';
}

void Log::error(const QString &where, const QString &message) {
    write(where + QStringLiteral(": ") + message);
}

void Log::installMessageHandler() {
    g_previous = qInstallMessageHandler(handler);
}
