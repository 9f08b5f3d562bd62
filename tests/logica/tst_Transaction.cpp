#include "core/Clock.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"
#include "members/Planes.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <optional>
#include <sqlite3.h>

using namespace TestSupport;

namespace {
// Another program on the same file (a second desk, a scheduled job), through SQLite directly.
struct OtraConexion {
    sqlite3 *h = nullptr;
    explicit OtraConexion(const QString &path) { sqlite3_open(QFile::encodeName(path).constData(), &h); }
    ~OtraConexion() { sqlite3_close(h); }
    int exec(const char *sql) { return sqlite3_exec(h, sql, nullptr, nullptr, nullptr); }
};

bool insertarPlan(const QString &nombre, QSqlError *error = nullptr) {
    QSqlQuery q(Database::db());
    q.prepare(QStringLiteral(R"(INSERT INTO "Planes" ("Descripcion") VALUES (?))"));
    q.addBindValue(nombre);
    const bool ok = q.exec();
    if (error)
        *error = q.lastError();
    return ok;
}
} // namespace

// A write that cannot be stored says why in Spanish, with the engine's code, and the first cause wins.
class tst_Transaction : public QObject {
    Q_OBJECT
private slots:
    void commitsAndRollsBack() {
        BaseTemporal base;
        {
            Transaction t;
            QVERIFY(t.isActive());
            QVERIFY(insertarPlan(QStringLiteral("Guardado")));
            QVERIFY(t.commit());
            QVERIFY(t.lastError().isEmpty());
            QCOMPARE(t.nativeErrorCode(), 0);
        }
        {
            Transaction t;
            QVERIFY(insertarPlan(QStringLiteral("Deshecho")));
        }
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Planes")")), 1);
    }

    void busyFileSaysSoInSpanish() {
        BaseTemporal base;
        Database::setBusyTimeout(50);
        if (enServidor()) {
            // Another desk holds the table for a day change: the write waits, then gives up and says why.
            QString error;
            QSqlDatabase otra =
                TestSupport::valor(Database::openExtra(QStringLiteral("otro_puesto")), &error);
            QVERIFY2(otra.isOpen(), qPrintable(error));
            QSqlQuery o(otra);
            QVERIFY(o.exec(QStringLiteral("BEGIN")));
            QVERIFY(Engine::of(otra).lockTables(otra, {QStringLiteral("Planes")}));
            {
                Transaction t;
                QVERIFY(t.isActive());
                QVERIFY(!insertarPlan(QStringLiteral("Espera")));
                QVERIFY(!t.commit());
                QCOMPARE(t.nativeErrorCode() & 0xff, SQLITE_BUSY);
                QVERIFY2(t.lastError().contains(QStringLiteral("ocupada por otro programa")),
                         qPrintable(t.lastError()));
            }
            QVERIFY(o.exec(QStringLiteral("ROLLBACK")));
            // Once the other desk is done the same work goes through.
            Transaction t;
            QVERIFY(insertarPlan(QStringLiteral("Espera")));
            QVERIFY(t.commit());
        } else {
            OtraConexion otra(base.path());
            QCOMPARE(otra.exec("BEGIN IMMEDIATE"), SQLITE_OK);
            {
                Transaction t;
                QVERIFY(!t.isActive());
                QCOMPARE(t.nativeErrorCode() & 0xff, SQLITE_BUSY);
                QVERIFY2(t.lastError().contains(QStringLiteral("ocupada por otro programa")),
                         qPrintable(t.lastError()));
                QVERIFY(!t.commit());
            }
            otra.exec("ROLLBACK");
        }
        Database::setBusyTimeout(5000);
    }

    // The engine gives a failed piece of work its kind, by which the windows say "busy, try again" or
    // "the server went away".
    void failureHasTheEnginesCode_data() {
        QTest::addColumn<QString>("causa");
        QTest::addColumn<int>("codigo");
        QTest::newRow("otro puesto tiene la tabla") << QStringLiteral("ocupada") << int(Result::Code::Busy);
        QTest::newRow("el servidor cortó la conexión")
            << QStringLiteral("cortada") << int(Result::Code::ConnectionLost);
    }
    void failureHasTheEnginesCode() {
        QFETCH(QString, causa);
        QFETCH(int, codigo);
        const bool cortada = causa == QLatin1String("cortada");
        if (cortada && !enServidor())
            QSKIP("Solo en el servidor: un archivo no se desconecta");
        BaseTemporal base;
        Database::setBusyTimeout(50);
        std::optional<OtraConexion> archivo;
        QSqlDatabase otra = TestSupport::valor(Database::openExtra(QStringLiteral("otro_puesto")));
        QSqlQuery o(otra);
        QVariant pid;
        if (cortada) {
            pid =
                Database::buscaValor(QStringLiteral("SELECT pg_backend_pid() AS pid"), QStringLiteral("pid"));
        } else if (enServidor()) {
            QVERIFY(o.exec(QStringLiteral("BEGIN")));
            QVERIFY(Engine::of(otra).lockTables(otra, {QStringLiteral("Planes")}));
        } else {
            archivo.emplace(base.path());
            QCOMPARE(archivo->exec("BEGIN IMMEDIATE"), SQLITE_OK);
        }
        const Result r = Transaction::run(Database::db(), [&](Transaction &t) {
            // Cut during the work: a connection found lost between pieces of work is opened again instead.
            // The call waits until the backend is gone.
            if (cortada && !o.exec(QStringLiteral("SELECT pg_terminate_backend(%1, 5000)").arg(pid.toInt())))
                return false;
            QSqlQuery q(Database::db());
            return q.exec(QStringLiteral(R"(INSERT INTO "Planes" ("Descripcion") VALUES ('Espera'))")) ||
                   t.fail(q.lastError());
        });
        if (archivo)
            archivo->exec("ROLLBACK");
        else if (!cortada)
            QVERIFY(o.exec(QStringLiteral("ROLLBACK")));
        Database::setBusyTimeout(5000);
        QVERIFY2(int(r.code()) == codigo, qPrintable(r.message()));
    }

    void everyConnectionWaitsForAnotherWrite() {
        // Without a wait a second desk's write fails at once instead of waiting its turn.
        BaseTemporal base;
        QString error;
        const QSqlDatabase extra = TestSupport::valor(Database::openExtra(QStringLiteral("lector")), &error);
        for (const QSqlDatabase &db : {Database::db(), extra}) {
            QSqlQuery q(db);
            QVERIFY(q.exec(enServidor()
                               ? QStringLiteral("SELECT EXTRACT(EPOCH FROM "
                                                "current_setting('lock_timeout')::interval)::int * 1000")
                               : QStringLiteral("PRAGMA busy_timeout")) &&
                    q.next());
            QVERIFY(q.value(0).toInt() >= 1000);
        }
    }

    void fullDiskKeepsTheFirstErrorInSpanish() {
        BaseTemporal base;
        QSqlQuery q(Database::db());
        if (enServidor()) {
            // The server's disk fills up: the write gets its "disk full" state.
            for (const QString &s :
                 Engine::of(Database::db())
                     .schemaStatement(QStringLiteral(R"(CREATE TRIGGER "lleno" BEFORE INSERT ON "Planes"
                         BEGIN RAISE EXCEPTION 'could not extend file: No space left on device'
                         USING ERRCODE = 'disk_full'; END)")))
                QVERIFY2(q.exec(s), qPrintable(q.lastError().text()));
        } else {
            QVERIFY(q.exec(QStringLiteral("PRAGMA page_count")) && q.next());
            const int pages = q.value(0).toInt();
            QVERIFY(q.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages + 2)));
        }
        Transaction t;
        QVERIFY(t.isActive());
        QSqlError e;
        bool lleno = false;
        for (int i = 0; i < 200 && !lleno; ++i)
            lleno = !insertarPlan(QString(4000, QLatin1Char('x')), &e);
        QVERIFY(lleno);
        QCOMPARE(t.nativeErrorCode() & 0xff, SQLITE_FULL);
        QVERIFY2(t.lastError().startsWith(
                     QStringLiteral("No se pudieron guardar los cambios: el disco está lleno")),
                 qPrintable(t.lastError()));
        QCOMPARE(Transaction::userMessage(e), t.lastError());
        // Rolling back (or a later failure) does not replace the cause with the engine's English.
        t.rollback();
        QCOMPARE(t.nativeErrorCode() & 0xff, SQLITE_FULL);
        QVERIFY(t.lastError().contains(QStringLiteral("el disco está lleno")));
        QVERIFY(!t.lastError().contains(QStringLiteral("rollback")));
    }

    void commitAfterTheEngineGaveUpReportsTheCause() {
        BaseTemporal base;
        Transaction t;
        QVERIFY(insertarPlan(QStringLiteral("X")));
        // The engine ends the transaction by itself after some failures (disk full, I/O error).
        QSqlQuery q(Database::db());
        QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
        QVERIFY(!t.commit());
        QVERIFY(!t.lastError().isEmpty());
        QVERIFY(!t.lastError().contains(QStringLiteral("cannot rollback")));
        QVERIFY(t.nativeErrorCode() != 0);
        // The program's next transaction starts normally: the guard let go of its nesting level.
        Transaction otra;
        QVERIFY(otra.isActive());
        QVERIFY(insertarPlan(QStringLiteral("Y")));
        QVERIFY(otra.commit());
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Planes")")), 1);
    }

    void readOnlyFileRefusesWritesInSpanish() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("BASE.db"));
        BaseTemporal base;
        QString error;
        // A server database is opened read-only the same way a copy of a file is.
        if (!enServidor())
            QVERIFY_HECHO(Backup::copyTo(path));
        Database::close();
        QVERIFY_HECHO(Database::open(enServidor() ? base.path() : path, Database::Mode::ReadOnly));
        QVERIFY(Database::isReadOnly());
        {
            Transaction t;
            QSqlError e;
            QVERIFY(!t.isActive() || !insertarPlan(QStringLiteral("No"), &e));
            QVERIFY2(t.lastError().contains(QStringLiteral("solo lectura")), qPrintable(t.lastError()));
        }
        QString why;
        QVERIFY(!TestSupport::hecho(Database::exec(QStringLiteral(R"(DELETE FROM "Cuentas")"), {}), &why));
        QVERIFY2(why.contains(QStringLiteral("solo lectura")), qPrintable(why));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuentas")")), 1);
        Database::close();
    }

    void serverThatGoesAwayMidWorkLosesNothingHalfDone() {
        if (!enServidor())
            QSKIP("Solo en el servidor: un archivo no se desconecta");
        BaseTemporal base;
        QVERIFY(insertarPlan(QStringLiteral("Anterior")));
        const QVariant pid =
            Database::buscaValor(QStringLiteral("SELECT pg_backend_pid() AS pid"), QStringLiteral("pid"));
        QVERIFY(!pid.isNull());
        QString error;
        QSqlDatabase admin = TestSupport::valor(Database::openExtra(QStringLiteral("administrador")), &error);
        QVERIFY2(admin.isOpen(), qPrintable(error));
        {
            Transaction t;
            QVERIFY(t.isActive());
            Plan primero;
            primero.descripcion = QStringLiteral("Mensual");
            QVERIFY(Planes::guardar(primero).ok());
            // The server (or the network) drops this desk's connection in the middle of the work.
            QSqlQuery corte(admin);
            QVERIFY(corte.prepare(QStringLiteral("SELECT pg_terminate_backend(?)")));
            corte.addBindValue(pid);
            QVERIFY(corte.exec() && corte.next() && corte.value(0).toBool());
            Plan segundo;
            segundo.descripcion = QStringLiteral("Anual");
            const Result r = Planes::guardar(segundo);
            QCOMPARE(r.code(), Result::Code::ConnectionLost);
            error = r.message();
            QVERIFY2(error.contains(QStringLiteral("se perdió la conexión con el servidor")),
                     qPrintable(error));
            QVERIFY(!t.commit());
            QCOMPARE(t.nativeErrorCode(), SqlEngine::ConnectionLost);
            QVERIFY2(
                t.lastError().startsWith(QStringLiteral("No se pudieron guardar los cambios: se perdió la "
                                                        "conexión con el servidor")),
                qPrintable(t.lastError()));
        }
        // Seen from a fresh connection: what was stored before is there, nothing of the broken work is.
        QSqlQuery q(admin);
        QVERIFY(q.exec(QStringLiteral(R"(SELECT string_agg("Descripcion", ',') FROM "Planes")")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("Anterior"));
        // The next piece of work opens the connection again, prepared as at the start: it waits for
        // other desks and reads the program's day.
        Clock::setFixed(QDate(2010, 7, 9));
        {
            Transaction t;
            QVERIFY2(t.isActive(), qPrintable(t.lastError()));
            Plan otro;
            otro.descripcion = QStringLiteral("Anual");
            QVERIFY(Planes::guardar(otro).ok());
            QVERIFY(t.commit());
        }
        QVERIFY(Database::buscaValor(QStringLiteral("SELECT pg_backend_pid() AS pid"),
                                     QStringLiteral("pid")) != pid);
        QCOMPARE(Database::buscaValor(QStringLiteral("SELECT date() AS hoy"), QStringLiteral("hoy")).toDate(),
                 QDate(2010, 7, 9));
        QCOMPARE(Database::buscaValor(QStringLiteral("SELECT current_setting('lock_timeout') AS t"),
                                      QStringLiteral("t"))
                     .toString(),
                 QStringLiteral("5s"));
    }

    void lostConnectionIsNotOpenedAgainInTheMiddleOfWork() {
        // Were it opened again there, the rest of the work would be stored piece by piece, outside the
        // transaction that failed.
        if (!enServidor())
            QSKIP("Solo en el servidor: un archivo no se desconecta");
        BaseTemporal base;
        const QVariant pid =
            Database::buscaValor(QStringLiteral("SELECT pg_backend_pid() AS pid"), QStringLiteral("pid"));
        QString error;
        QSqlDatabase admin = TestSupport::valor(Database::openExtra(QStringLiteral("administrador")), &error);
        {
            Transaction t;
            QVERIFY(insertarPlan(QStringLiteral("Uno")));
            QSqlQuery corte(admin);
            QVERIFY(corte.exec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid.toInt())));
            QVERIFY(!insertarPlan(QStringLiteral("Dos")));
            QVERIFY(!insertarPlan(QStringLiteral("Tres")));
            QString why;
            QVERIFY(!TestSupport::hecho(
                Database::exec(QStringLiteral(R"(INSERT INTO "Planes" ("Descripcion") VALUES ('Cuatro'))"),
                               {}),
                &why));
            QVERIFY2(why.contains(QStringLiteral("se perdió la conexión")), qPrintable(why));
            QVERIFY(!t.commit());
            QCOMPARE(t.nativeErrorCode(), SqlEngine::ConnectionLost);
        }
        QSqlQuery q(admin);
        QVERIFY(q.exec(QStringLiteral(R"(SELECT COUNT(*) FROM "Planes")")) && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
    }
};

MIRABEL_TEST_MAIN(tst_Transaction)
#include "tst_Transaction.moc"
