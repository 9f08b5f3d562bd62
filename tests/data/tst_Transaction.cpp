#include "data/Backup.h"
#include "data/Database.h"
#include "data/Transaction.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
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
        Database::setBusyTimeout(5000);
    }

    void everyConnectionWaitsForAnotherWrite() {
        // Without a busy timeout a second desk's write fails at once instead of waiting its turn.
        BaseTemporal base;
        QString error;
        const QSqlDatabase extra = Database::openExtra(QStringLiteral("lector"), &error);
        for (const QSqlDatabase &db : {Database::db(), extra}) {
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("PRAGMA busy_timeout")) && q.next());
            QVERIFY(q.value(0).toInt() >= 1000);
        }
    }

    void fullDiskKeepsTheFirstErrorInSpanish() {
        BaseTemporal base;
        QSqlQuery q(Database::db());
        QVERIFY(q.exec(QStringLiteral("PRAGMA page_count")) && q.next());
        const int pages = q.value(0).toInt();
        QVERIFY(q.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages + 2)));
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
        {
            BaseTemporal base;
            QString error;
            QVERIFY(Backup::copyTo(path, &error));
        }
        QString error;
        QVERIFY2(Database::open(path, Database::Mode::ReadOnly, &error), qPrintable(error));
        QVERIFY(Database::isReadOnly());
        {
            Transaction t;
            QSqlError e;
            QVERIFY(!t.isActive() || !insertarPlan(QStringLiteral("No"), &e));
            QVERIFY2(t.lastError().contains(QStringLiteral("solo lectura")), qPrintable(t.lastError()));
        }
        QString why;
        QVERIFY(!Database::exec(QStringLiteral(R"(DELETE FROM "Cuentas")"), {}, &why));
        QVERIFY2(why.contains(QStringLiteral("solo lectura")), qPrintable(why));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuentas")")), 1);
        Database::close();
    }
};

MIRABEL_TEST_MAIN(tst_Transaction)
#include "tst_Transaction.moc"
