#include "core/Configuracion.h"

#include "core/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <memory>

namespace {
QString &archivoElegido() {
    static QString path;
    return path;
}

const QString kSeccion = QStringLiteral("Configuracion/");

std::unique_ptr<QSettings> abrir() {
    return Configuracion::almacen(archivoElegido());
}

// The registry needs neither a private file nor this program's own reading of one.
bool esArchivo(const QSettings &s) {
#ifdef Q_OS_WIN
    return s.format() != QSettings::NativeFormat;
#else
    Q_UNUSED(s);
    return true;
#endif
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

// The value of a line as this program reads it: everything after '=', blanks at both ends dropped. Commas,
// ';' and '#' are plain characters (an INI reader would make a list of the first and a comment of the
// second). A backslash starts an escape as in Qt's own INI files (\\ \" \n \t \r \xHHHH ...), so what the
// settings window writes reads back the same; a value wholly between double quotes keeps its blanks; a
// leading "@@" stands for "@".
QString valorEscrito(QStringView crudo) {
    QStringView v = crudo.trimmed();
    if (v.size() >= 2 && v.front() == QLatin1Char('"') && v.back() == QLatin1Char('"')) {
        qsizetype barras = 0;
        for (qsizetype i = v.size() - 2; i >= 1 && v.at(i) == QLatin1Char('\\'); --i)
            ++barras;
        if (barras % 2 == 0)
            v = v.mid(1, v.size() - 2);
    } else if (v.startsWith(QLatin1String("@@"))) {
        v = v.mid(1);
    }
    QString out;
    out.reserve(v.size());
    for (qsizetype i = 0; i < v.size(); ++i) {
        const QChar c = v.at(i);
        if (c != QLatin1Char('\\') || i + 1 == v.size()) {
            out += c;
            continue;
        }
        const QChar e = v.at(++i);
        static const QString letras = QStringLiteral("abfnrtv");
        static const char16_t valores[] = {u'\a', u'\b', u'\f', u'\n', u'\r', u'\t', u'\v'};
        if (const qsizetype k = letras.indexOf(e); k >= 0) {
            out += QChar(valores[k]);
            continue;
        }
        // \xHHHH and octal \ooo as Qt writes them; any other escaped character stands for itself.
        const int base = e == QLatin1Char('x')                              ? 16
                         : (e >= QLatin1Char('0') && e <= QLatin1Char('7')) ? 8
                                                                            : 0;
        const qsizetype desde = base == 16 ? i + 1 : i;
        qsizetype j = desde;
        uint n = 0;
        for (bool ok = base != 0; ok && j < v.size(); ++j) {
            const int d = v.mid(j, 1).toInt(&ok, base);
            if (!ok)
                break;
            n = n * uint(base) + uint(d);
        }
        if (j == desde) {
            out += e;
            continue;
        }
        out += QChar(char16_t(n));
        i = j - 1;
    }
    return out;
}

// Every key of the [Configuracion] section of an INI file, read as written (the last line of a key wins).
QHash<QString, QString> seccionEscrita(const QString &path) {
    QHash<QString, QString> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    bool dentro = false;
    const QString texto = QString::fromUtf8(f.readAll());
    for (QStringView linea : QStringView(texto).split(QLatin1Char('\n'))) {
        linea = linea.trimmed();
        if (linea.isEmpty() || linea.front() == QLatin1Char(';') || linea.front() == QLatin1Char('#'))
            continue;
        if (linea.front() == QLatin1Char('[')) {
            dentro = linea == QLatin1String("[Configuracion]");
            continue;
        }
        const qsizetype igual = linea.indexOf(QLatin1Char('='));
        if (dentro && igual > 0)
            out.insert(linea.left(igual).trimmed().toString(), valorEscrito(linea.mid(igual + 1)));
    }
    return out;
}

// The section [Configuracion] as this program reads it.
QHash<QString, QString> seccion(QSettings &s) {
    if (esArchivo(s)) {
        soloDueno(s.fileName());
        return seccionEscrita(s.fileName());
    }
    QHash<QString, QString> out;
    s.beginGroup(QStringLiteral("Configuracion"));
    for (const QString &clave : s.childKeys())
        out.insert(clave, s.value(clave).toString());
    s.endGroup();
    return out;
}

void prepararEscritura(QSettings &s) {
    if (esArchivo(s))
        crearPrivado(s.fileName());
    Configuracion::conservar(s);
}

Result terminar(QSettings &s) {
    s.sync();
    if (esArchivo(s))
        soloDueno(s.fileName());
    if (s.status() == QSettings::NoError)
        return Result::done();
    const QString why = QStringLiteral("No se pudo guardar la configuración en %1.").arg(s.fileName());
    Log::error(QStringLiteral("Configuracion"), why);
    return Result::failure(why);
}
} // namespace

std::unique_ptr<QSettings> Configuracion::almacen(const QString &archivo) {
    if (!archivo.isEmpty())
        return std::make_unique<QSettings>(archivo, QSettings::IniFormat);
#ifdef Q_OS_WIN
    // Where the old program kept its settings (Visual Basic's SaveSetting under the program's title), so a
    // club's settings carry over.
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Mirabel!"),
        QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Mirabel!"), QStringLiteral("Mirabel!"));
#endif
}

void Configuracion::setArchivo(const QString &path) {
    archivoElegido() = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
}

QString Configuracion::archivo() {
    return abrir()->fileName();
}

QString Configuracion::leer(const QString &clave) {
    return seccion(*abrir()).value(clave);
}

void Configuracion::conservar(QSettings &s) {
    if (!esArchivo(s))
        return;
    // Qt rewrites the whole file when it saves anything: each hand-written value goes back in a form that
    // both Qt and this program read as the same text.
    const QHash<QString, QString> escritos = seccionEscrita(s.fileName());
    for (auto it = escritos.cbegin(); it != escritos.cend(); ++it) {
        const QVariant leido = s.value(kSeccion + it.key());
        if (leido.typeId() != QMetaType::QString || leido.toString() != it.value())
            s.setValue(kSeccion + it.key(), it.value());
    }
}

Result Configuracion::escribir(const QString &clave, const QString &valor) {
    auto s = abrir();
    prepararEscritura(*s);
    s->setValue(kSeccion + clave, valor);
    return terminar(*s);
}

Configuracion::Ajustes Configuracion::leerTodo() {
    const QHash<QString, QString> e = seccion(*abrir());
    const auto v = [&](const char *clave) { return e.value(QLatin1String(clave)); };
    return {v("NombreEmpresa"), v("CUITEmpresa"),     v("email"),
            v("ServerSMTP"),    v("Autentica"),       v("NombreUsuarioAUT"),
            v("ContrasenaAUT"), v("CertificadoSMTP"), v("DiasEntreAvisos")};
}

int Configuracion::Ajustes::dias() const {
    bool ok = false;
    const int n = diasEntreAvisos.trimmed().toInt(&ok);
    return ok && n > 0 ? n : 0;
}

Result Configuracion::guardarTodo(const Ajustes &a) {
    auto s = abrir();
    prepararEscritura(*s);
    s->setValue(kSeccion + QStringLiteral("NombreEmpresa"), a.nombreEmpresa);
    s->setValue(kSeccion + QStringLiteral("CUITEmpresa"), a.cuitEmpresa);
    s->setValue(kSeccion + QStringLiteral("email"), a.email);
    s->setValue(kSeccion + QStringLiteral("ServerSMTP"), a.serverSMTP);
    s->setValue(kSeccion + QStringLiteral("Autentica"), a.autentica);
    s->setValue(kSeccion + QStringLiteral("NombreUsuarioAUT"), a.nombreUsuarioAUT);
    s->setValue(kSeccion + QStringLiteral("ContrasenaAUT"), a.contrasenaAUT);
    s->setValue(kSeccion + QStringLiteral("DiasEntreAvisos"), QString::number(a.dias()));
    return terminar(*s);
}
