#include "support/TestSupport.h"

#include "core/Clock.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "db/SqlEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QProcess>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QTranslator>

namespace TestSupport {

namespace {
QTemporaryDir &runtimeDir() {
    static QTemporaryDir dir;
    return dir;
}
} // namespace

void prepararRuntime() {
    QFile::setPermissions(runtimeDir().path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtimeDir().path().toUtf8());
}

void prepararEntorno() {
    QTemporaryDir &runtime = runtimeDir();
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       runtime.filePath(QStringLiteral("config")));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       runtime.filePath(QStringLiteral("config")));
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    auto *tr = new QTranslator(qApp);
    if (tr->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(tr);
}

void (*alCrearBase)() = nullptr;

bool enServidor() {
    return qEnvironmentVariable("MIRABEL_PRUEBAS_SERVIDOR") == QLatin1String("1");
}

namespace {
// The test server's address of a database; user, password and host come from libpq's variables.
QString direccionServidor(const QString &base) {
    const QString host = qEnvironmentVariable("PGHOST", QStringLiteral("localhost"));
    const QString port = qEnvironmentVariable("PGPORT", QStringLiteral("5432"));
    const QString user = qEnvironmentVariable("PGUSER");
    return QStringLiteral("postgresql://%1%2:%3/%4")
        .arg(user.isEmpty() ? QString() : user + QLatin1Char('@'), host, port, base);
}

// A connection to the server's maintenance database, where databases are created and dropped.
QSqlDatabase mantenimiento() {
    const QString nombre = QStringLiteral("pruebas_mantenimiento");
    if (QSqlDatabase::contains(nombre))
        return QSqlDatabase::database(nombre);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), nombre);
    db.setDatabaseName(qEnvironmentVariable("PGDATABASE", QStringLiteral("postgres")));
    db.setHostName(qEnvironmentVariable("PGHOST", QStringLiteral("localhost")));
    db.setPort(qEnvironmentVariable("PGPORT", QStringLiteral("5432")).toInt());
    if (!db.open())
        qFatal("no se puede conectar con el servidor de pruebas: %s", qPrintable(db.lastError().text()));
    return db;
}

void ejecutarEnServidor(const QString &sql) {
    QSqlQuery q(mantenimiento());
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

// The template every test database is copied from: the schema is built once per run of the suite. Test
// programs run side by side, so one of them builds it under a lock while the others wait.
QString plantilla() {
    static QString nombre;
    if (!nombre.isEmpty())
        return nombre;
    const QString candidato =
        QStringLiteral("mirabel_plantilla_%1").arg(QString::number(QCoreApplication::applicationPid()));
    const QString final_ = QStringLiteral("mirabel_plantilla");
    ejecutarEnServidor(QStringLiteral("SELECT pg_advisory_lock(4242)"));
    QSqlQuery q(mantenimiento());
    q.exec(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = '%1'").arg(final_));
    if (!q.next()) {
        ejecutarEnServidor(QStringLiteral("CREATE DATABASE %1").arg(candidato));
        QString error;
        if (!TestSupport::hecho(Database::open(direccionServidor(candidato), Database::Mode::CreateIfMissing),
                                &error))
            qFatal("no se pudo crear la plantilla de pruebas: %s", qPrintable(error));
        Database::close();
        ejecutarEnServidor(QStringLiteral("ALTER DATABASE %1 RENAME TO %2").arg(candidato, final_));
    }
    ejecutarEnServidor(QStringLiteral("SELECT pg_advisory_unlock(4242)"));
    nombre = final_;
    return nombre;
}
} // namespace

QString nuevaBaseServidor(QString *nombre) {
    static int n = 0;
    *nombre = QStringLiteral("mirabel_p%1_%2").arg(QCoreApplication::applicationPid()).arg(++n);
    const QString origen = plantilla();
    // Copying a template needs it free of connections: another test program may be copying it right now.
    for (int intento = 0;; ++intento) {
        QSqlQuery q(mantenimiento());
        if (q.exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(*nombre, origen)))
            break;
        if (intento > 200)
            qFatal("no se pudo crear la base de prueba: %s", qPrintable(q.lastError().text()));
        QThread::msleep(50);
    }
    return direccionServidor(*nombre);
}

QString nuevaBaseServidorVacia(QString *nombre) {
    static int n = 0;
    *nombre = QStringLiteral("mirabel_v%1_%2").arg(QCoreApplication::applicationPid()).arg(++n);
    ejecutarEnServidor(QStringLiteral("CREATE DATABASE %1").arg(*nombre));
    return direccionServidor(*nombre);
}

void borrarBaseServidor(const QString &nombre) {
    if (!nombre.isEmpty())
        ejecutarEnServidor(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(nombre));
}

QString nuevaBaseAjenaServidor(QString *nombre) {
    static int n = 0;
    *nombre = QStringLiteral("ajena_p%1_%2").arg(QCoreApplication::applicationPid()).arg(++n);
    ejecutarEnServidor(QStringLiteral("CREATE DATABASE %1").arg(*nombre));
    const QString conexion = QStringLiteral("pruebas_ajena");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conexion);
        db.setDatabaseName(*nombre);
        db.setHostName(qEnvironmentVariable("PGHOST", QStringLiteral("localhost")));
        db.setPort(qEnvironmentVariable("PGPORT", QStringLiteral("5432")).toInt());
        if (!db.open())
            qFatal("no se pudo abrir la base ajena: %s", qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("CREATE TABLE notas (t TEXT)")) ||
            !q.exec(QStringLiteral("INSERT INTO notas VALUES ('x')")))
            qFatal("no se pudo crear la base ajena: %s", qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(conexion);
    return direccionServidor(*nombre);
}

qint64 contarEnCopia(const QString &copia, const QString &sql) {
    QFile f(copia);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const bool archivoServidor = f.read(5) == "PGDMP";
    f.close();
    QString nombre;
    const QString conexion = QStringLiteral("pruebas_copia");
    qint64 n = -1;
    {
        QSqlDatabase db;
        if (archivoServidor) {
            static int k = 0;
            nombre = QStringLiteral("copia_p%1_%2").arg(QCoreApplication::applicationPid()).arg(++k);
            ejecutarEnServidor(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0").arg(nombre));
            QProcess restaurar;
            restaurar.start(QStringLiteral("pg_restore"),
                            {QStringLiteral("--no-owner"), QStringLiteral("--dbname=") + nombre, copia});
            if (!restaurar.waitForFinished(120000) || restaurar.exitCode() != 0)
                qWarning("pg_restore: %s", restaurar.readAllStandardError().constData());
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conexion);
            db.setDatabaseName(nombre);
            db.setHostName(qEnvironmentVariable("PGHOST", QStringLiteral("localhost")));
            db.setPort(qEnvironmentVariable("PGPORT", QStringLiteral("5432")).toInt());
        } else {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conexion);
            db.setDatabaseName(copia);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        }
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                n = q.value(0).toLongLong();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conexion);
    borrarBaseServidor(nombre);
    return n;
}

BaseTemporal::BaseTemporal(const QDate &hoy) {
    Clock::setFixed(hoy);
    if (alCrearBase)
        alCrearBase();
    // Automatic copies of destructive commands stay inside the test's own folder.
    Backup::setFolder(copias());
    m_ruta = enServidor() ? nuevaBaseServidor(&m_nombreServidor) : m_dir.filePath(QStringLiteral("BASE.db"));
    QString error;
    if (!TestSupport::hecho(Database::open(path(), Database::Mode::CreateIfMissing), &error))
        qFatal("no se pudo crear la base de prueba: %s", qPrintable(error));
}

BaseTemporal::~BaseTemporal() {
    Database::close();
    Backup::setFolder(QString());
    borrarBaseServidor(m_nombreServidor);
}

namespace {
int insertar(const QString &sql, const QVariantList &params) {
    QSqlQuery q(Database::db());
    q.prepare(sql);
    for (const QVariant &p : params)
        q.addBindValue(p);
    if (!q.exec())
        qFatal("insert de prueba falló: %s", qPrintable(q.lastError().text()));
    return SqlEngine::lastInsertId(q).toInt();
}
QVariant fecha(const QDate &d) {
    return d.isValid() ? QVariant(d.toString(Qt::ISODate)) : QVariant();
}
} // namespace

int nuevoUsuario(const QString &usuario, const QString &contrasena, bool supervisor, bool administrativo,
                 bool dataEntry, const QString &nombre) {
    return insertar(QStringLiteral(R"(INSERT INTO "Usuarios" ("NombreUsuario", "Contrasena", "NombreCompleto",
                    "EsSupervisor", "EsAdministrativo", "EsDataEntry") VALUES (?, ?, ?, ?, ?, ?))"),
                    {usuario, contrasena, nombre, int(supervisor), int(administrativo), int(dataEntry)});
}

int nuevoPlan(const QString &descripcion, qint64 cuotaMensual, int cantidad, qint64 inscripcion) {
    return insertar(QStringLiteral(R"(INSERT INTO "Planes" ("Descripcion", "Detalles", "CuotaMensual",
                    "CantidadCuotas", "Inscripcion", "ClaveOrden") VALUES (?, '', ?, ?, ?, clave_orden(?)))"),
                    {descripcion, qlonglong(cuotaMensual), cantidad, qlonglong(inscripcion), descripcion});
}

int nuevaCategoria(const QString &descripcion) {
    return insertar(QStringLiteral(R"(INSERT INTO "Categorias" ("Descripcion") VALUES (?))"), {descripcion});
}

int nuevoAfiliado(const QString &apellido, const QString &nombres, int idPlan, QVariant idCategoria,
                  const QString &email) {
    return insertar(
        QStringLiteral(R"(INSERT INTO "Afiliados" ("Apellido", "Nombres", "TipoDocumento", "Documento",
                    "Domicilio", "Telefono", "e-mail", "idPlan", "idCategoria", "Fecha Afiliacion", "ClaveOrden")
                    VALUES (?, ?, 'DNI', '12345678', 'Calle 1', '555-1234', ?, ?, ?, '2008-01-01',
                            clave_orden(?, ?)))"),
        {apellido, nombres, email, idPlan, idCategoria, apellido, nombres});
}

int nuevaCuota(int idAfiliado, int idPlan, const QDate &vencimiento, qint64 monto, bool pagada,
               const QDate &fechaPago, int mes, int anio, const QString &factura) {
    return insertar(
        QStringLiteral(R"(INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Mes", "Año", "Vencimiento",
                    "Factura", "Monto", "Pagada", "Fecha de Pago", "ClaveSocio") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?,
                    (SELECT "ClaveOrden" FROM "Afiliados" WHERE "idAfiliado" = ?)))"),
        {idAfiliado, idPlan, mes, anio, fecha(vencimiento), factura, qlonglong(monto), int(pagada),
         fecha(fechaPago), idAfiliado});
}

int nuevoMovimiento(const QDate &fecha_, int idCuenta, const QString &detalles, qint64 ingresos,
                    qint64 egresos, int idTipoDivisa, QVariant idCuota) {
    return insertar(
        QStringLiteral(R"(INSERT INTO "Caja" ("Fecha", "idCuenta", "Detalles", "Ingresos", "Egresos",
                    "idTipoDivisa", "idCuota") VALUES (?, ?, ?, ?, ?, ?, ?))"),
        {fecha(fecha_), idCuenta, detalles, qlonglong(ingresos), qlonglong(egresos), idTipoDivisa, idCuota});
}

int contar(const QString &sql) {
    QSqlQuery q(Database::db());
    if (!q.exec(sql) || !q.next())
        qFatal("conteo de prueba falló: %s", qPrintable(q.lastError().text()));
    return q.value(0).toInt();
}

Salida ejecutarMirabel(const QStringList &args, const QString &carpeta,
                       const std::function<void(QProcessEnvironment &)> &ajustar) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Unattended: no display, no platform chosen, no session; the folders of a user who never set anything.
    for (const char *v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        env.remove(QString::fromLatin1(v));
    env.insert(QStringLiteral("HOME"), carpeta);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), carpeta + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), carpeta + QStringLiteral("/data"));
    if (ajustar)
        ajustar(env);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(carpeta);
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../mirabel"), args);
    Salida r;
    if (!p.waitForFinished(60000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
#ifdef Q_OS_WIN
    // The console's text mode ends lines in CR LF there.
    r.out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    r.err.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
#endif
    return r;
}

QString ayudante(const QString &nombre) {
#ifdef Q_OS_WIN
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + nombre + QStringLiteral(".exe");
#else
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + nombre;
#endif
}

QString baseAnterior(const QString &archivo) {
    return QDir(QStringLiteral(MIRABEL_LEGACY_FIXTURES)).filePath(archivo);
}

QString faltanBasesAnteriores() {
    if (QFileInfo::exists(baseAnterior(QStringLiteral("BASE-small.mdb"))))
        return {};
    return QStringLiteral("No están las bases de prueba en %1 (MIRABEL_LEGACY_FIXTURES).")
        .arg(QStringLiteral(MIRABEL_LEGACY_FIXTURES));
}

} // namespace TestSupport
