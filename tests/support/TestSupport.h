#pragma once

#include "core/Result.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

// Shared helpers: each test works on a fresh temporary database, with a fixed clock and the es_AR locale.
// Tests of windows also get support/ui/TestVentanas.h: message boxes answered from a queue, modal windows.
namespace TestSupport {

// Whether a call succeeded; its message into *mensaje (empty when it did), for the test to show or check.
template <typename R> bool hecho(const R &r, QString *mensaje) {
    if (mensaje)
        *mensaje = r.ok() ? QString() : r.message();
    return r.ok();
}
// The same for a call that gives a value: into *valor (when given) if it succeeded.
template <typename T> bool hecho(const Expected<T> &r, T *valor, QString *mensaje) {
    if (r && valor)
        *valor = *r;
    return hecho(r, mensaje);
}
// The value a call gave, or siFalla (its message into *mensaje) when it failed.
template <typename T> T valor(const Expected<T> &r, QString *mensaje = nullptr, T siFalla = T()) {
    hecho(r, mensaje);
    return r ? *r : siFalla;
}
// The pages of a PDF as poppler's pdfinfo counts them; -1 when it cannot read it.
inline int paginasPdf(const QString &pdf) {
#ifdef Q_OS_WIN
    // Under Wine no Linux program can be started: the count of the page tree that Qt's writer leaves
    // uncompressed.
    QFile f(pdf);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const auto c = QRegularExpression(QStringLiteral("/Type /Pages\\s[^>]*/Count (\\d+)"))
                       .match(QString::fromLatin1(f.readAll()));
    return c.hasMatch() ? c.captured(1).toInt() : -1;
#else
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    p.waitForFinished(30000);
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                       .match(QString::fromUtf8(p.readAllStandardOutput()));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
#endif
}
// What others than the owner may do with path, by its mode bits. On Windows a file is kept private by the
// user's own folders, not by those bits (Qt makes them up from the read-only flag): nothing there.
inline QFileDevice::Permissions ajenos(const QString &path) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return {};
#else
    return QFile::permissions(path) & 0x0077;
#endif
}
// Fails the test with the message of a call that did not succeed.
#define QVERIFY_HECHO(expr)                                                                                  \
    do {                                                                                                     \
        const auto hecho_ = (expr);                                                                          \
        QVERIFY2(hecho_.ok(), qPrintable(hecho_.message()));                                                 \
    } while (false)

// A private runtime folder, before the application object exists.
void prepararRuntime();
// Pins the environment: es_AR, private runtime and settings folders.
void prepararEntorno();
// Run by every BaseTemporal as it is made (the window tests' support clears the message boxes' record).
extern void (*alCrearBase)();

// Whether this run tests the shared server (MIRABEL_PRUEBAS_SERVIDOR=1, with libpq's PGHOST, PGPORT, PGUSER
// and PGPASSWORD naming a throwaway cluster) rather than SQLite files.
bool enServidor();
// Skips the calling test on the server: it checks something only a file has (its bytes, its folder, its
// permissions). Use: SOLO_ARCHIVO("motivo");
#define SOLO_ARCHIVO(motivo)                                                                                 \
    do {                                                                                                     \
        if (TestSupport::enServidor())                                                                       \
            QSKIP("Solo con un archivo SQLite: " motivo);                                                    \
    } while (false)

// A variable of this process set (or removed, with a null value) until the end of the scope.
class Entorno {
public:
    Entorno(const char *nombre, const QByteArray &valor)
        : m_nombre(nombre), m_habia(qEnvironmentVariableIsSet(nombre)), m_antes(qgetenv(nombre)) {
        valor.isNull() ? qunsetenv(nombre) : qputenv(nombre, valor);
    }
    ~Entorno() { m_habia ? qputenv(m_nombre, m_antes) : qunsetenv(m_nombre); }

private:
    const char *m_nombre;
    bool m_habia;
    QByteArray m_antes;
};

// A new empty database (schema, forms of payment, account 1; no user), opened as the program's connection:
// a file in a temporary folder, or a database of its own on the test server.
class BaseTemporal {
public:
    explicit BaseTemporal(const QDate &hoy = QDate(2009, 3, 5));
    ~BaseTemporal();
    // The file's path, or the server database's address: what --database takes.
    QString path() const { return m_ruta; }
    // Where this database's automatic copies go.
    QString copias() const { return m_dir.filePath(QStringLiteral("copias")); }

private:
    QTemporaryDir m_dir;
    QString m_ruta;
    QString m_nombreServidor; // the database created on the server, dropped at the end
};

// On the server: a new empty Mirabel database (from the shared template), its address; dropped by
// borrarBaseServidor(). Tests that need a second database (a copy's target) use it.
QString nuevaBaseServidor(QString *nombre);
void borrarBaseServidor(const QString &nombre);
// On the server: a new database with nothing in it, not even the schema, as an administrator creates one.
QString nuevaBaseServidorVacia(QString *nombre);
// On the server: a database of another program (one table "notas", none of Mirabel's), its address; dropped
// by borrarBaseServidor(). What Mirabel must refuse to replace.
QString nuevaBaseAjenaServidor(QString *nombre);
// The number sql gives on a copy that Backup wrote: a file's copy is opened read-only, a server's archive is
// restored (with pg_restore) into a database of its own for the question and dropped after. -1 when the
// copy cannot be read.
qint64 contarEnCopia(const QString &copia, const QString &sql);

// Rows for tests; every value is bound. Money in ten-thousandths.
int nuevoUsuario(const QString &usuario, const QString &contrasena, bool supervisor, bool administrativo,
                 bool dataEntry = false, const QString &nombre = QStringLiteral("Prueba"));
int nuevoPlan(const QString &descripcion, qint64 cuotaMensual = 250000, int cantidad = 12,
              qint64 inscripcion = 0);
int nuevaCategoria(const QString &descripcion);
int nuevoAfiliado(const QString &apellido, const QString &nombres, int idPlan = 1,
                  QVariant idCategoria = QVariant(), const QString &email = QString());
int nuevaCuota(int idAfiliado, int idPlan, const QDate &vencimiento, qint64 monto, bool pagada = false,
               const QDate &fechaPago = QDate(), int mes = 1, int anio = 2009,
               const QString &factura = QStringLiteral("CUOTA MES 1"));
int nuevoMovimiento(const QDate &fecha, int idCuenta, const QString &detalles, qint64 ingresos,
                    qint64 egresos, int idTipoDivisa = 1, QVariant idCuota = QVariant());
int contar(const QString &sql);

// What a run of the program from the command line gave: exit status (-1 when it did not finish, -2 when it
// crashed) and its two streams.
struct Salida {
    int status = -1;
    QString out, err;
};
// Runs the built program (build/mirabel) as a scheduled job does: no display, no session, home, data and
// settings folders inside carpeta, working there. ajustar may change the environment further.
Salida ejecutarMirabel(const QStringList &args, const QString &carpeta,
                       const std::function<void(QProcessEnvironment &)> &ajustar = {});

// A helper program built beside the tests (ayudante_*), by its name without extension.
QString ayudante(const QString &nombre);

// A file of the old program's fixtures (BASE-small.mdb, ...), from the folder set at build time.
QString baseAnterior(const QString &archivo);
// Why the tests of the import cannot run (the fixtures' folder is absent), or empty when they can.
QString faltanBasesAnteriores();

} // namespace TestSupport

// The application object the test's layer needs: widgets for windows, drawing for reports, else none.
#if defined(QT_WIDGETS_LIB)
#include "support/ui/TestVentanas.h"
#define MIRABEL_TEST_APP QApplication
#define MIRABEL_TEST_PREPARAR() TestSupport::prepararVentanas()
#elif defined(QT_GUI_LIB)
#include <QGuiApplication>
#define MIRABEL_TEST_APP QGuiApplication
#define MIRABEL_TEST_PREPARAR() ((void)0)
#else
#define MIRABEL_TEST_APP QCoreApplication
#define MIRABEL_TEST_PREPARAR() ((void)0)
#endif

#define MIRABEL_TEST_MAIN(TestObject)                                                                        \
    int main(int argc, char **argv) {                                                                        \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                             \
        TestSupport::prepararRuntime();                                                                      \
        if (TestSupport::enServidor() && qEnvironmentVariableIsEmpty("PGPORT"))                              \
            return 77; /* no test server (tools/con-servidor.sh starts one): skipped */                      \
        MIRABEL_TEST_APP app(argc, argv);                                                                    \
        TestSupport::prepararEntorno();                                                                      \
        MIRABEL_TEST_PREPARAR();                                                                             \
        TestObject tc;                                                                                       \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
