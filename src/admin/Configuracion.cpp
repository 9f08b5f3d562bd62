#include "admin/Configuracion.h"

#include <QFile>
#include <QSettings>

namespace {
QSettings &store() {
    static QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Mirabel!"),
                       QStringLiteral("Mirabel!"));
    return s;
}
} // namespace

QString Configuracion::leer(const QString &clave, const QString &porDefecto) {
    QSettings &s = store();
    s.sync();
    return s.value(QStringLiteral("Configuracion/") + clave, porDefecto).toString();
}

void Configuracion::escribir(const QString &clave, const QString &valor) {
    QSettings &s = store();
    s.setValue(QStringLiteral("Configuracion/") + clave, valor);
    s.sync();
    QFile::setPermissions(s.fileName(), QFile::ReadOwner | QFile::WriteOwner);
}
