#include "core/Log.h"

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
constexpr auto OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

void handler(QtMsgType type, const QMessageLogContext &ctx, const QString &msg) {
    if (type != QtDebugMsg && type != QtInfoMsg)
        Log::write(msg);
    if (g_previous)
        g_previous(type, ctx, msg);
}

// The log lives in the data folder or nowhere: a shared temporary folder would let other users of the
// machine read (or plant) a file that names members.
QString defaultPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty() && !QDir::homePath().isEmpty() && QDir::homePath() != QDir::rootPath())
        dir = QDir::homePath() + QStringLiteral("/.local/share/Mirabel");
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/mirabel.log");
}
} // namespace

void Log::setFile(const QString &path) {
    QMutexLocker lock(&g_mutex);
    g_path = path;
}

QString Log::file() {
    QMutexLocker lock(&g_mutex);
    if (g_path.isEmpty())
        g_path = defaultPath();
    return g_path;
}

QString Log::escapar(const QString &text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // Line and paragraph separators and the bidirectional overrides can fake a line or its order.
        const bool control = c.category() == QChar::Other_Control || u == 0x2028 || u == 0x2029 ||
                             (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        if (!control)
            out += c;
        else if (u == '\n')
            out += QLatin1String("\\n");
        else if (u == '\r')
            out += QLatin1String("\\r");
        else if (u == '\t')
            out += QLatin1String("\\t");
        else
            out += (u < 0x100 ? QLatin1String("\\x") : QLatin1String("\\u")) +
                   QString::number(uint(u), 16).toUpper().rightJustified(u < 0x100 ? 2 : 4, QLatin1Char('0'));
    }
    return out;
}

void Log::write(const QString &message) {
    const QString path = file();
    if (path.isEmpty())
        return;
    QMutexLocker lock(&g_mutex);
    const QFileInfo info(path);
    if (!info.dir().exists()) {
        QDir().mkpath(info.absolutePath());
        QFile::setPermissions(info.absolutePath(), OwnerOnly | QFileDevice::ExeOwner);
    }
    // One previous generation is kept: the log never grows without bound.
    if (info.exists() && info.size() >= MaxSize) {
        const QString old = path + QStringLiteral(".1");
        QFile::remove(old);
        QFile::rename(path, old);
    }
    QFile f(path);
    // Created owner-only from the start; an older, wider file is narrowed.
    if (!f.open(QIODevice::Append | QIODevice::Text, OwnerOnly))
        return;
    if (f.permissions() &
        (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther))
        f.setPermissions(OwnerOnly);
    QTextStream out(&f);
    out << QDateTime::currentDateTime().toString(Qt::ISODate) << ' ' << escapar(message) << '\n';
}

void Log::error(const QString &where, const QString &message) {
    write(where + QStringLiteral(": ") + message);
}

void Log::installMessageHandler() {
    g_previous = qInstallMessageHandler(handler);
}
