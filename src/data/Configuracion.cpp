#include "data/Configuracion.h"

#include "data/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <memory>

namespace {
QString &archivoElegido() {
    static QString path;
    return path;
}

const QString kSeccion = QStringLiteral("Configuracion/");

std::unique_ptr<QSettings> abrir() {
    if (!archivoElegido().isEmpty())
        return std::make_unique<QSettings>(archivoElegido(), QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Mirabel!"), QStringLiteral("Mirabel!"));
}

void soloDueno(const QString &path) {
    if (QFile::exists(path))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

// A new file is created empty and private before Qt writes the password into it, so it is never
// readable by others, not even for a moment.
void crearPrivado(const QString &path) {
    if (QFile::exists(path))
        return soloDueno(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly, QFile::ReadOwner | QFile::WriteOwner))
        f.close();
}

// A hand-written INI value with a comma reads as a list; the settings are plain texts.
QString texto(const QVariant &v) {
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

bool terminar(QSettings &s, QString *error) {
    s.sync();
    soloDueno(s.fileName());
    if (s.status() == QSettings::NoError)
        return true;
    const QString why = QStringLiteral("No se pudo guardar la configuración en %1.").arg(s.fileName());
    Log::error(QStringLiteral("Configuracion"), why);
    if (error)
        *error = why;
    return false;
}
} // namespace

void Configuracion::setArchivo(const QString &path) {
    archivoElegido() = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
}

QString Configuracion::archivo() {
    return abrir()->fileName();
}

QString Configuracion::leer(const QString &clave) {
    auto s = abrir();
    soloDueno(s->fileName());
    return texto(s->value(kSeccion + clave));
}

bool Configuracion::escribir(const QString &clave, const QString &valor, QString *error) {
    auto s = abrir();
    crearPrivado(s->fileName());
    s->setValue(kSeccion + clave, valor);
    return terminar(*s, error);
}

Configuracion::Ajustes Configuracion::leerTodo() {
    auto s = abrir();
    soloDueno(s->fileName());
    const auto v = [&](const char *clave) { return texto(s->value(kSeccion + QLatin1String(clave))); };
    return {v("NombreEmpresa"), v("CUITEmpresa"),      v("email"),        v("ServerSMTP"),
            v("Autentica"),     v("NombreUsuarioAUT"), v("ContrasenaAUT")};
}

bool Configuracion::guardarTodo(const Ajustes &a, QString *error) {
    auto s = abrir();
    crearPrivado(s->fileName());
    s->setValue(kSeccion + QStringLiteral("NombreEmpresa"), a.nombreEmpresa);
    s->setValue(kSeccion + QStringLiteral("CUITEmpresa"), a.cuitEmpresa);
    s->setValue(kSeccion + QStringLiteral("email"), a.email);
    s->setValue(kSeccion + QStringLiteral("ServerSMTP"), a.serverSMTP);
    s->setValue(kSeccion + QStringLiteral("Autentica"), a.autentica);
    s->setValue(kSeccion + QStringLiteral("NombreUsuarioAUT"), a.nombreUsuarioAUT);
    s->setValue(kSeccion + QStringLiteral("ContrasenaAUT"), a.contrasenaAUT);
    return terminar(*s, error);
}
