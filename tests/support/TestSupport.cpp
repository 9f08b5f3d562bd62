#include "support/TestSupport.h"

#include "data/Backup.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "ui/Mensaje.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
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
    Mensaje::habilitarPrueba(true);
}

BaseTemporal::BaseTemporal(const QDate &hoy) {
    Clock::setFixed(hoy);
    Mensaje::limpiar();
    // Automatic copies of destructive commands stay inside the test's own folder.
    Backup::setFolder(copias());
    QString error;
    if (!Database::open(path(), Database::Mode::CreateIfMissing, &error))
        qFatal("no se pudo crear la base de prueba: %s", qPrintable(error));
}

BaseTemporal::~BaseTemporal() {
    Database::close();
    Backup::setFolder(QString());
}

namespace {
int insertar(const QString &sql, const QVariantList &params) {
    QSqlQuery q(Database::db());
    q.prepare(sql);
    for (const QVariant &p : params)
        q.addBindValue(p);
    if (!q.exec())
        qFatal("insert de prueba falló: %s", qPrintable(q.lastError().text()));
    return q.lastInsertId().toInt();
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
                    "Factura", "Monto", "Pagada", "Fecha de Pago") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?))"),
        {idAfiliado, idPlan, mes, anio, fecha(vencimiento), factura, qlonglong(monto), int(pagada),
         fecha(fechaPago)});
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

void captura(QWidget *ventana, const QString &nombre) {
    if (!qEnvironmentVariableIsSet("MIRABEL_CAPTURAS") || !ventana)
        return;
    QCoreApplication::processEvents();
    ventana->grab().save(qEnvironmentVariable("MIRABEL_CAPTURAS") + QLatin1Char('/') + nombre +
                         QStringLiteral(".png"));
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

void alAbrirModal(std::function<void(QWidget *)> accion, int plazoMs) {
    alAbrirModalDe(QString(), std::move(accion), plazoMs);
}

void alAbrirModalDe(const QString &nombre, std::function<void(QWidget *)> accion, int plazoMs) {
    auto *timer = new QTimer;
    auto *elapsed = new QElapsedTimer;
    elapsed->start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, elapsed, accion, plazoMs, nombre] {
        QWidget *w = QApplication::activeModalWidget();
        if (w && !nombre.isEmpty() && w->objectName() != nombre &&
            QString::fromLatin1(w->metaObject()->className()) != nombre)
            w = nullptr;
        if (w) {
            timer->stop();
            timer->deleteLater();
            delete elapsed;
            accion(w);
        } else if (elapsed->elapsed() > plazoMs) {
            timer->stop();
            timer->deleteLater();
            delete elapsed;
            qWarning("no apareció la ventana modal %s", qPrintable(nombre));
        }
    });
    timer->start();
}

} // namespace TestSupport
