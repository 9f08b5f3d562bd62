#include "db/ArchivoNuevo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace ArchivoNuevo {

// Windows' rename refuses an existing target; MoveFileEx replaces it, with the names in the wide API
// (accents). POSIX rename replaces in one step.
bool reemplazar(const QString &work, const QString &target) {
#ifdef Q_OS_WIN
    const QString de = QDir::toNativeSeparators(work), a = QDir::toNativeSeparators(target);
    return MoveFileExW(reinterpret_cast<const wchar_t *>(de.utf16()),
                       reinterpret_cast<const wchar_t *>(a.utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(QFile::encodeName(work).constData(), QFile::encodeName(target).constData()) == 0;
#endif
}

Expected<QString> temporal(const QString &target, const QString &etiqueta) {
    const QFileInfo info(target);
    if (!QFileInfo::exists(info.absolutePath())) {
        if (!QDir().mkpath(info.absolutePath()))
            return Result::failure(
                QStringLiteral("No se puede crear la carpeta %1.").arg(info.absolutePath()));
        // A folder made for the club's data is its owner's alone.
        QFile::setPermissions(info.absolutePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QTemporaryFile temp(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') +
                        etiqueta + QStringLiteral("-XXXXXX"));
    if (!temp.open())
        return Result::failure(QStringLiteral("No se puede escribir en la carpeta %1: %2")
                                   .arg(info.absolutePath(), temp.errorString()));
    temp.setAutoRemove(false);
    // The file holds members' personal data and passwords: its owner alone reads it.
    QFile::setPermissions(temp.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    temp.close();
    QFile::resize(temp.fileName(), 0);
    return temp.fileName();
}

void borrar(const QString &path) {
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QString::fromLatin1(suffix));
}

Colocacion colocar(const QString &work, const QString &target, bool noReemplazar) {
    // Closing the last connection folds the write-ahead log into the file; one left with pages did not.
    if (QFileInfo(work + QStringLiteral("-wal")).size() > 0)
        return Colocacion::SinTerminar;
    if (noReemplazar && QFileInfo::exists(target))
        return Colocacion::Ocupado;
    QFile::remove(work + QStringLiteral("-wal")); // empty leftovers, if any
    QFile::remove(work + QStringLiteral("-shm"));
    return reemplazar(work, target) ? Colocacion::Hecha : Colocacion::NoRenombrado;
}

} // namespace ArchivoNuevo
