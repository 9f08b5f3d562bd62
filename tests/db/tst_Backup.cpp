#include "core/Log.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "db/Schema.h"
#include "db/ServerBackup.h"
#include "db/SqlEngine.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <atomic>
#include <sqlite3.h>
#include <thread>
#include <tuple>

using namespace TestSupport;

namespace {
QByteArray huella(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}
// What a copy of either kind holds, read through Backup::inspect (which also checks it whole); members
// -1 when it cannot be read.
Backup::Contents leer(const QString &copia) {
    Backup::Contents c;
    QString error;
    if (!TestSupport::hecho(Backup::inspect(copia), &c, &error)) {
        qWarning("%s", qPrintable(error));
        c.members = -1;
    }
    return c;
}
// The identity of the program's database.
QString identidad() {
    return Schema::identity(Database::db());
}
// A whole number from the program's database.
qint64 valor(const QString &sql) {
    QSqlQuery q(Database::db());
    return q.exec(sql) && q.next() ? q.value(0).toLongLong() : -1;
}
// The number a statement gives on another database of the test server.
qint64 valorEnServidor(const QString &url, const QString &sql) {
    qint64 n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("otra_base"));
        SqlEngine::configure(db, *SqlEngine::parseServerUrl(url), QString());
        QSqlQuery q(db);
        if (db.open() && q.exec(sql) && q.next())
            n = q.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("otra_base"));
    return n;
}
// A copy of the other kind than the running engine's: on the server a file's copy (a SQLite file with the
// members' table), on a file a server's (pg_dump's archive, only its start: it is refused before it is read).
QString copiaDelOtroTipo(const QString &carpeta) {
    if (enServidor()) {
        const QString file = carpeta + QStringLiteral("/Mirabel-20090301-093000.db");
        sqlite3 *h = nullptr;
        sqlite3_open(QFile::encodeName(file).constData(), &h);
        sqlite3_exec(
            h, R"(CREATE TABLE "Afiliados" ("idAfiliado" INTEGER PRIMARY KEY); PRAGMA user_version = 2)",
            nullptr, nullptr, nullptr);
        sqlite3_close(h);
        return file;
    }
    const QString file = carpeta + QStringLiteral("/Mirabel-20090301-093000.dump");
    QFile f(file);
    if (f.open(QIODevice::WriteOnly))
        f.write(QByteArray("PGDMP\x01\x0e\x00", 8) + QByteArray(200, 'x'));
    return file;
}
} // namespace

class tst_Backup : public QObject {
    Q_OBJECT
private slots:
    void copyHoldsEverythingCommittedAndNothingHalfDone() {
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        for (int i = 0; i < 50; ++i)
            nuevoAfiliado(QStringLiteral("Pérez %1").arg(i), QStringLiteral("Ana"), plan);
        // An open write on the program's connection is not in the copy: the copy is one moment.
        QVERIFY(Database::db().transaction());
        nuevoAfiliado(QStringLiteral("Sin confirmar"), QStringLiteral("X"), plan);
        QString written, error;
        QSqlDatabase other = TestSupport::valor(Database::openExtra(QStringLiteral("otra")), &error);
        QVERIFY2(TestSupport::hecho(Backup::automatic(other), &written, &error), qPrintable(error));
        QVERIFY(Database::db().rollback());
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("otra"));

        QVERIFY(written.startsWith(base.copias() + QStringLiteral("/Mirabel-")));
        // Named after the database it is a copy of.
        QVERIFY(QFileInfo(written).fileName().contains(
            QRegularExpression(QStringLiteral("^Mirabel-%1-\\d{8}-\\d{6}\\.%2$")
                                   .arg(identidad().left(8), Backup::extension()))));
        QCOMPARE(contarEnCopia(written, QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 50);
        // Members' personal data and the users' passwords: readable by the owner alone, either kind.
        QCOMPARE(TestSupport::ajenos(written), QFileDevice::Permissions());
        QVERIFY(!QFileInfo::exists(written + QStringLiteral(".parcial")));
    }

    void keepsTheNewestAutomaticCopies() {
        BaseTemporal base;
        QDir().mkpath(base.copias());
        const QString ext = Backup::extension();
        const QString otra = ext == QLatin1String("db") ? QStringLiteral("dump") : QStringLiteral("db");
        const QString propia = QStringLiteral("Mirabel-") + identidad().left(8);
        // Another database's copies in the same folder (a second club of the same user), and copies that
        // do not say whose they are (made by an older version).
        const QString ajena = QStringLiteral("Mirabel-0123abcd");
        for (const QString &prefijo : {propia, ajena, QStringLiteral("Mirabel")})
            for (int i = 0; i < Backup::KeepAutomatic + 3; ++i) {
                QFile f(base.copias() + QStringLiteral("/%1-2001010%2-000000").arg(prefijo).arg(i % 10) +
                        QString(i >= 10 ? QStringLiteral("-%1").arg(i) : QString()) + QLatin1Char('.') + ext);
                QVERIFY(f.open(QIODevice::WriteOnly));
            }
        // Copies of the other kind (the same club in a file, or on a server) are not pushed out.
        for (int i = 0; i < 3; ++i) {
            QFile f(base.copias() + QStringLiteral("/%1-1999010%2-000000.").arg(propia).arg(i) + otra);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QString written, error;
        QVERIFY2(TestSupport::hecho(Backup::automatic(), &written, &error), qPrintable(error));
        const auto cuantas = [&](const QString &prefijo, const QString &extension) {
            return QDir(base.copias()).entryList({prefijo + QStringLiteral("-2*.") + extension}, QDir::Files);
        };
        const QStringList left = cuantas(propia, ext);
        QCOMPARE(left.size(), Backup::KeepAutomatic);
        QVERIFY(left.contains(QFileInfo(written).fileName()));
        QCOMPARE(cuantas(ajena, ext).size(), Backup::KeepAutomatic + 3);
        QCOMPARE(QDir(base.copias()).entryList({QStringLiteral("Mirabel-2001??\?\?-000000*.") + ext}).size(),
                 Backup::KeepAutomatic + 3);
        QCOMPARE(QDir(base.copias()).entryList({propia + QStringLiteral("-*.") + otra}, QDir::Files).size(),
                 3);
    }

    void anOlderDatabaseGetsAnIdentityOnceOnUpgrade() {
        BaseTemporal base;
        QSqlQuery q(Database::db());
        // As a version 2 database was: neither the identity nor the later reminder record and activity log
        // (nor the debt view that reads the reminders: a server drops no table a view reads).
        QVERIFY(q.exec(QStringLiteral(R"(DROP VIEW "ConsultaDeuda")")));
        QVERIFY(q.exec(QStringLiteral(R"(DROP TABLE "IdentidadBase")")));
        QVERIFY(q.exec(QStringLiteral(R"(DROP TABLE "Avisos")")));
        QVERIFY(q.exec(QStringLiteral(R"(DROP TABLE "RegistroActividad")")));
        for (const auto &[tabla, kept, triggers] :
             {std::tuple{"Afiliados", "ConteoSocios",
                         "Afiliados_Conteo_Alta Afiliados_Conteo_Baja Afiliados_Conteo_Cambio"},
              std::tuple{"Caja", "TotalesCaja", "Caja_Totales_Alta Caja_Totales_Baja Caja_Totales_Cambio"}}) {
            QVERIFY(q.exec(QStringLiteral(R"(DROP TABLE "%1")").arg(QString::fromLatin1(kept))));
            for (const QString &trigger : QString::fromLatin1(triggers).split(QLatin1Char(' ')))
                QVERIFY(q.exec(QStringLiteral(R"(DROP TRIGGER "%1")").arg(trigger) +
                               (Engine::of(Database::db()).isServer()
                                    ? QStringLiteral(R"( ON "%1")").arg(QString::fromLatin1(tabla))
                                    : QString())));
        }
        QVERIFY(Engine::of(Database::db()).setSchemaVersion(Database::db(), 2));
        q = QSqlQuery();
        QVERIFY(identidad().isEmpty());
        Database::close();
        QString error;
        QVERIFY_HECHO(Database::open(base.path(), Database::Mode::MustExist));
        const QString dada = identidad();
        QVERIFY(!dada.isEmpty());
        Database::close();
        QVERIFY_HECHO(Database::open(base.path(), Database::Mode::MustExist));
        QCOMPARE(identidad(), dada);
    }

    void restoreOfAnotherDatabasesCopyOnlyWhenChosen() {
        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        const QString propia = identidad();
        const QString path = Database::path();
        QTemporaryDir dir;
        // Another club: a database made on its own, with two members, and a copy of it.
        Database::close();
        QString nombre, error;
        const QString otra =
            enServidor() ? nuevaBaseServidorVacia(&nombre) : dir.filePath(QStringLiteral("otra.db"));
        QVERIFY_HECHO(Database::open(otra, Database::Mode::CreateIfMissing));
        nuevoAfiliado(QStringLiteral("Gómez"), QStringLiteral("Luz"));
        nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"));
        QVERIFY(identidad() != propia);
        const QString copia = dir.filePath(QStringLiteral("copia-otra.") + Backup::extension());
        QVERIFY_HECHO(Backup::copyTo(copia));
        Database::close();
        borrarBaseServidor(nombre);
        QVERIFY_HECHO(Database::open(path, Database::Mode::MustExist));

        Backup::Contents c;
        QVERIFY2(TestSupport::hecho(Backup::inspect(copia, path), &c, &error), qPrintable(error));
        QVERIFY(!TestSupport::hecho(Backup::isCopyOf(c, path), &error));
        QString anterior;
        QVERIFY(!TestSupport::hecho(Backup::restore(copia, path), &anterior, &error));
        QVERIFY2(error.contains(QStringLiteral("es de otra base de datos")), qPrintable(error));
        QVERIFY(anterior.isEmpty());
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);

        // Chosen knowingly: the data is the copy's, the database is still itself (its identity, its copies).
        QVERIFY2(TestSupport::hecho(Backup::restore(copia, path, true), &anterior, &error),
                 qPrintable(error));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 2);
        QCOMPARE(identidad(), propia);
        QVERIFY(QFileInfo(anterior).fileName().startsWith(QStringLiteral("Mirabel-") + propia.left(8)));

        if (enServidor())
            return;
        // A copy made before databases had an identity cannot say whose it is: the same choice.
        const QString vieja = dir.filePath(QStringLiteral("vieja.db"));
        QVERIFY(QFile::copy(copia, vieja));
        QFile::setPermissions(vieja, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        sqlite3 *h = nullptr;
        sqlite3_open(QFile::encodeName(vieja).constData(), &h);
        QCOMPARE(
            sqlite3_exec(h,
                         R"(DROP TABLE "IdentidadBase"; DROP TABLE "Avisos"; DROP TABLE "RegistroActividad";
                                DROP TABLE "ConteoSocios"; DROP TRIGGER "Afiliados_Conteo_Alta";
                                DROP TRIGGER "Afiliados_Conteo_Baja"; DROP TRIGGER "Afiliados_Conteo_Cambio";
                                DROP TABLE "TotalesCaja"; DROP TRIGGER "Caja_Totales_Alta";
                                DROP TRIGGER "Caja_Totales_Baja"; DROP TRIGGER "Caja_Totales_Cambio";
                                PRAGMA user_version = 2)",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(h);
        QVERIFY(!TestSupport::hecho(Backup::restore(vieja, path), (QString *)nullptr, &error));
        QVERIFY2(error.contains(QStringLiteral("no dice de qué base de datos es")), qPrintable(error));
        QVERIFY2(TestSupport::hecho(Backup::restore(vieja, path, true), (QString *)nullptr, &error),
                 qPrintable(error));
        Database::close();
        QVERIFY_HECHO(Database::open(path, Database::Mode::MustExist));
        QCOMPARE(identidad(), propia);
    }

    void restoreThatCannotTakeTheTablesInTimeChangesNothing() {
        if (!enServidor())
            QSKIP("Solo con el servidor de pruebas: otro puesto con las tablas tomadas");
        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        QTemporaryDir dir;
        const QString copia = dir.filePath(QStringLiteral("copia.dump"));
        QString error;
        QVERIFY_HECHO(Backup::copyTo(copia));
        nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"));
        // Another desk in the middle of a long piece of work on the members' table.
        const QString puesto = QStringLiteral("otro_puesto");
        bool restaurada = false;
        {
            QSqlDatabase otro = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), puesto);
            SqlEngine::configure(otro, *SqlEngine::parseServerUrl(base.path()), QString());
            QVERIFY(otro.open());
            QSqlQuery q(otro);
            QVERIFY(q.exec(QStringLiteral("BEGIN")));
            QVERIFY(q.exec(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")));
            ServerBackup::setLockWait(2000);
            restaurada =
                TestSupport::hecho(Backup::restore(copia, Database::path()), (QString *)nullptr, &error);
            ServerBackup::setLockWait(60000);
            QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
        }
        QSqlDatabase::removeDatabase(puesto);
        QVERIFY(!restaurada);
        QVERIFY2(error.contains(QStringLiteral("no la soltó en 2 segundos")) &&
                     error.contains(QStringLiteral("quedó como estaba")),
                 qPrintable(error));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 2);
    }

    void folderThatCannotBeWrittenIsReported() {
        BaseTemporal base;
        // A file where the folder should be: the copy cannot be written and says why.
        QFile blocker(base.copias());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString written, error;
        QVERIFY(!TestSupport::hecho(Backup::automatic(), &written, &error));
        QVERIFY(written.isEmpty());
        QVERIFY(error.contains(QStringLiteral("copias")));
    }

    void missingServerToolsAreNamed() {
        BaseTemporal base;
        QTemporaryDir dir;
        // A server's copy: a real one on the server, the start of one elsewhere.
        QString archivo = copiaDelOtroTipo(dir.path()), error;
        if (enServidor()) {
            archivo = dir.filePath(QStringLiteral("copia.dump"));
            QVERIFY_HECHO(Backup::copyTo(archivo));
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", dir.path().toUtf8()); // neither pg_dump nor pg_restore to be found
        // Reading a server's copy needs pg_restore, on any desk.
        const bool leida = TestSupport::hecho(Backup::inspect(archivo), (Backup::Contents *)nullptr, &error);
        QString written, copyError;
        const bool copiada = TestSupport::hecho(Backup::automatic(), &written, &copyError);
        qputenv("PATH", path);
        QVERIFY(!leida);
        QVERIFY2(error.contains(QStringLiteral("pg_restore")) &&
                     error.contains(QStringLiteral("postgresql-client")),
                 qPrintable(error));
        if (enServidor()) {
            QVERIFY(!copiada);
            QVERIFY2(copyError.contains(QStringLiteral("pg_dump")) &&
                         copyError.contains(QStringLiteral("postgresql-client")),
                     qPrintable(copyError));
            QVERIFY(QDir(base.copias()).entryList(QDir::Files).isEmpty());
        } else {
            QVERIFY2(copiada, qPrintable(copyError)); // a file's copy needs no tool
        }
    }

    void copyTakenWhileAnotherProgramWritesIsOneMoment() {
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        // Another desk adds members two at a time, each pair in one transaction, until told to stop.
        std::atomic<bool> parar{false}, fallo{false};
        std::atomic<int> pares{0};
        const QStringList par = {
            QStringLiteral(R"(INSERT INTO "Afiliados" ("Apellido", "idPlan") VALUES ('A', %1))").arg(plan),
            QStringLiteral(R"(INSERT INTO "Afiliados" ("Apellido", "idPlan") VALUES ('B', %1))").arg(plan)};
        std::thread escritor([&, path = base.path()] {
            if (enServidor()) {
                {
                    QSqlDatabase db =
                        QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("escritor"));
                    SqlEngine::configure(db, *SqlEngine::parseServerUrl(path), QString());
                    fallo = !db.open();
                    QSqlQuery q(db);
                    while (!parar && !fallo) {
                        if (q.exec(QStringLiteral("BEGIN")) && q.exec(par.at(0)) && q.exec(par.at(1)) &&
                            q.exec(QStringLiteral("COMMIT")))
                            ++pares;
                        else
                            fallo = true;
                    }
                }
                QSqlDatabase::removeDatabase(QStringLiteral("escritor"));
                return;
            }
            sqlite3 *h = nullptr;
            sqlite3_open(QFile::encodeName(path).constData(), &h);
            sqlite3_busy_timeout(h, 5000);
            const QByteArray sql = (QStringLiteral("BEGIN IMMEDIATE; ") + par.join(QStringLiteral("; ")) +
                                    QStringLiteral("; COMMIT;"))
                                       .toUtf8();
            while (!parar)
                if (sqlite3_exec(h, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
                    ++pares;
            sqlite3_close(h);
        });
        QStringList copias;
        QString error;
        for (int i = 0; i < 5 && error.isEmpty(); ++i) {
            while (pares < (i + 1) * 20 && !fallo)
                std::this_thread::yield();
            QString written;
            if (fallo || !TestSupport::hecho(Backup::automatic(), &written, &error))
                break;
            copias << written;
        }
        parar = true;
        escritor.join();
        QVERIFY(!fallo);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(copias.size(), 5);
        for (const QString &c : copias) {
            const qint64 n = contarEnCopia(c, QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")"));
            QVERIFY2(n > 0 && n % 2 == 0, qPrintable(QStringLiteral("%1: %2").arg(c).arg(n)));
        }
    }

    void restoreRoundTripKeepsTheReplacedData() {
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int a = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"), plan);
        nuevaCuota(a, plan, QDate(2009, 1, 10), 250000);
        nuevaCuota(a, plan, QDate(2009, 2, 10), 123456, false, QDate(), 2);
        nuevoMovimiento(QDate(2009, 1, 12), 1, QStringLiteral("Cobro"), 250000, 0);
        const QString copia =
            QDir(base.copias()).filePath(QStringLiteral("Mirabel-20090305-101500.") + Backup::extension());
        QString error;
        QVERIFY_HECHO(Backup::copyTo(copia));
        Backup::Contents c;
        QVERIFY2(TestSupport::hecho(Backup::inspect(copia), &c, &error), qPrintable(error));
        QCOMPARE(c.members, 1);
        QCOMPARE(c.dues, 2);
        QCOMPARE(c.movements, 1);
        QCOMPARE(c.taken, QDateTime(QDate(2009, 3, 5), QTime(10, 15)));

        // Work after the copy, then the copy is restored over it.
        QVERIFY(Database::exec(QStringLiteral(R"(DELETE FROM "Cuotas" WHERE "Mes" = 1)")));
        QVERIFY(Database::exec(QStringLiteral(R"(UPDATE "Caja" SET "Ingresos" = 1)")));
        nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"), plan);
        const QString path = base.path();
        Database::close();
        QString anterior;
        QVERIFY2(TestSupport::hecho(Backup::restore(copia, path), &anterior, &error), qPrintable(error));
        QVERIFY(anterior.startsWith(base.copias() + QStringLiteral("/Mirabel-")));
        QVERIFY(anterior.endsWith(QLatin1Char('.') + QFileInfo(copia).suffix()));
        QCOMPARE(leer(anterior).members, 2);
        QCOMPARE(leer(anterior).dues, 1);
        QVERIFY_HECHO(Database::open(path, Database::Mode::MustExist));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")")), 2);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 1);
        QCOMPARE(valor(QStringLiteral(R"(SELECT SUM("Monto") FROM "Cuotas")")), 373456);
        QCOMPARE(valor(QStringLiteral(R"(SELECT SUM("Ingresos") FROM "Caja")")), 250000);
        // The restored database goes on handing out new numbers past the copy's.
        QVERIFY(nuevoAfiliado(QStringLiteral("Gómez"), QStringLiteral("Luz"), plan) > a);
        if (!enServidor()) {
            QSqlQuery q(Database::db());
            QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
        }
    }

    void restoreWithTheProgramConnectedLeavesItConnected() {
        // As "Restaurar copia..." does it: the program's connection is open on the database replaced.
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"), plan);
        QTemporaryDir dir;
        const QString copia = dir.filePath(QStringLiteral("copia.") + Backup::extension());
        QString error, anterior;
        QVERIFY_HECHO(Backup::copyTo(copia));
        nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"), plan);
        const QString path = Database::path();
        QVERIFY2(TestSupport::hecho(Backup::restore(copia, path), &anterior, &error), qPrintable(error));
        QVERIFY(Database::db().isOpen());
        QCOMPARE(Database::path(), path);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);
        QCOMPARE(leer(anterior).members, 2);
        // Written to at once, as before.
        nuevoAfiliado(QStringLiteral("Gómez"), QStringLiteral("Luz"), plan);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 2);
    }

    void restoreRefusesACopyOfTheOtherKind() {
        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        QTemporaryDir dir;
        const QString otra = copiaDelOtroTipo(dir.path());
        QString error;
        QVERIFY(!TestSupport::hecho(Backup::restore(otra, base.path()), (QString *)nullptr, &error));
        QVERIFY2(error.contains(enServidor() ? QStringLiteral("es de una base de datos en un archivo")
                                             : QStringLiteral("es de una base de datos en un servidor")),
                 qPrintable(error));
        QVERIFY(!TestSupport::hecho(Backup::inspect(otra, base.path()), (Backup::Contents *)nullptr, &error));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);
        QVERIFY(!QDir(base.copias()).exists() || QDir(base.copias()).isEmpty());

        // And the running engine's copy is refused by the other kind of target, which is never touched.
        const QString copia = dir.filePath(QStringLiteral("propia.") + Backup::extension());
        QVERIFY_HECHO(Backup::copyTo(copia));
        const QString destino = enServidor() ? dir.filePath(QStringLiteral("club.db"))
                                             : QStringLiteral("postgresql://nadie@127.0.0.1:1/club");
        QVERIFY(!TestSupport::hecho(Backup::restore(copia, destino), (QString *)nullptr, &error));
        QVERIFY2(error.contains(QStringLiteral("no se puede restaurar")), qPrintable(error));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("club.db"))));
    }

    void restoreRefusesWhatIsNotOurs() {
        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        QTemporaryDir dir;
        const QString copia = dir.filePath(QStringLiteral("copia.") + Backup::extension());
        QString error;
        QVERIFY_HECHO(Backup::copyTo(copia));
        // A target that is another program's database is never replaced.
        if (enServidor()) {
            QString nombre;
            const QString ajena = nuevaBaseAjenaServidor(&nombre);
            Expected<QString> r = Backup::restore(copia, ajena);
            QCOMPARE(r.code(), Result::Code::NotOurs);
            error = r.message();
            QVERIFY2(error.contains(QStringLiteral("no es una base de datos de Mirabel")), qPrintable(error));
            QCOMPARE(valorEnServidor(ajena, QStringLiteral("SELECT COUNT(*) FROM notas")), 1);
            QCOMPARE(valorEnServidor(ajena, QStringLiteral(R"(SELECT to_regclass('"Afiliados"') IS NULL)")),
                     1);
            borrarBaseServidor(nombre);
            // Nor one that cannot be reached.
            r = Backup::restore(copia, base.path() + QStringLiteral("_no_existe"));
            QCOMPARE(r.code(), Result::Code::NotOurs);
        } else {
            const QString ajena = dir.filePath(QStringLiteral("ajena.db"));
            {
                sqlite3 *h = nullptr;
                sqlite3_open(QFile::encodeName(ajena).constData(), &h);
                sqlite3_exec(h, "CREATE TABLE notas (t TEXT)", nullptr, nullptr, nullptr);
                sqlite3_close(h);
            }
            const QByteArray antes = huella(ajena);
            const Expected<QString> r = Backup::restore(copia, ajena);
            QCOMPARE(r.code(), Result::Code::NotOurs);
            error = r.message();
            QVERIFY(error.contains(QStringLiteral("no es una base de datos de Mirabel")));
            QCOMPARE(huella(ajena), antes);
        }
        // Nor is something restored that is not a sound copy: not a copy at all, or one cut short.
        const QString texto = dir.filePath(QStringLiteral("notas.") + Backup::extension());
        {
            QFile f(texto);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("no es una copia");
        }
        QVERIFY(!TestSupport::hecho(Backup::restore(texto, base.path()), (QString *)nullptr, &error));
        QVERIFY2(error.contains(QStringLiteral("no es una copia de Mirabel")), qPrintable(error));
        const QString rota = dir.filePath(QStringLiteral("rota.") + Backup::extension());
        QVERIFY(QFile::copy(copia, rota));
        QFile::setPermissions(rota, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        {
            QFile f(rota);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.resize(f.size() / 2);
        }
        QVERIFY(!TestSupport::hecho(Backup::restore(rota, base.path()), (QString *)nullptr, &error));
        if (enServidor()) // pg_restore reads the archive to its end before anything is replaced
            QVERIFY2(error.contains(QStringLiteral("dañada o incompleta")), qPrintable(error));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);
    }

    void restoreStopsWhenTheCurrentFileCannotBeKept() {
        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        QTemporaryDir dir;
        const QString copia = dir.filePath(QStringLiteral("copia.") + Backup::extension());
        QString error;
        QVERIFY_HECHO(Backup::copyTo(copia));
        nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"));
        // copias/ cannot be created: a file stands where the folder should be.
        QFile blocker(base.copias());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!TestSupport::hecho(Backup::restore(copia, Database::path()), (QString *)nullptr, &error));
        QVERIFY2(error.contains(QStringLiteral("copias")), qPrintable(error));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 2);
    }

    void aFailedRestoreOnAServerChangesNothing() {
        if (!enServidor())
            QSKIP("Solo con el servidor de pruebas: pg_restore en una transacción");
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"), plan);
        QTemporaryDir dir;
        const QString copia = dir.filePath(QStringLiteral("copia.dump"));
        QString error;
        QVERIFY_HECHO(Backup::copyTo(copia));
        nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"), plan);
        // Something of the club's own built on the members' table: pg_restore cannot drop the table, and
        // halfway through it gives up.
        QSqlQuery q(Database::db());
        QVERIFY(q.exec(QStringLiteral(R"(CREATE VIEW "MisSocios" AS SELECT "idAfiliado" FROM "Afiliados")")));
        q = QSqlQuery();
        const QString log = dir.filePath(QStringLiteral("mirabel.log"));
        Log::setFile(log);
        const bool restaurada =
            TestSupport::hecho(Backup::restore(copia, Database::path()), (QString *)nullptr, &error);
        Log::setFile(QString());
        QVERIFY(!restaurada);
        QVERIFY2(error.contains(QStringLiteral("pg_restore")) &&
                     error.contains(QStringLiteral("quedó como estaba")),
                 qPrintable(error));
        QVERIFY(Database::db().isOpen());
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 2);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "MisSocios")")), 2);
        // The tool's own words are in the log, for whoever looks into it.
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString escrito = QString::fromUtf8(f.readAll());
        QVERIFY2(escrito.contains(QStringLiteral("pg_restore terminó")) &&
                     escrito.contains(QStringLiteral("MisSocios")),
                 qPrintable(escrito));
    }

    void aPasswordGivenToTheProgramReachesTheServerTools() {
        if (!enServidor())
            QSKIP("Solo con el servidor de pruebas");
        const QByteArray clave = qgetenv("PGPASSWORD");
        if (clave.isEmpty())
            QSKIP("el servidor de pruebas no pide contraseña");
        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        const QString url = Database::path();
        Database::close();
        // Typed by the user, not in libpq's variables: pg_dump and pg_restore get it from the program.
        qunsetenv("PGPASSWORD");
        int pedidas = 0;
        Database::setPasswordPrompt([&](const QString &, bool) {
            ++pedidas;
            return QString::fromUtf8(clave);
        });
        QTemporaryDir dir;
        const QString copia = dir.filePath(QStringLiteral("copia.dump"));
        QString error, errorCopia, errorRestaurar;
        const bool abierta = TestSupport::hecho(Database::open(url, Database::Mode::MustExist), &error);
        const bool copiada = abierta && TestSupport::hecho(Backup::copyTo(copia), &errorCopia);
        if (abierta)
            nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"));
        const bool restaurada =
            copiada && TestSupport::hecho(Backup::restore(copia, url), (QString *)nullptr, &errorRestaurar);
        const int socios =
            Database::db().isOpen() ? contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")) : -1;
        Database::setPasswordPrompt({});
        qputenv("PGPASSWORD", clave);
        QVERIFY2(abierta, qPrintable(error));
        QVERIFY2(copiada, qPrintable(errorCopia));
        QVERIFY2(restaurada, qPrintable(errorRestaurar));
        QCOMPARE(socios, 1);
        QCOMPARE(pedidas, 1); // asked once; the reopened connection after the restore did not ask again
    }

    void restoreMendsADamagedFile() {
        SOLO_ARCHIVO("escribe bytes dañados dentro del archivo");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("club.db"));
        const QString copia = dir.filePath(QStringLiteral("copia.db"));
        Backup::setFolder(dir.filePath(QStringLiteral("copias")));
        {
            BaseTemporal base;
            Backup::setFolder(dir.filePath(QStringLiteral("copias")));
            const int plan = nuevoPlan(QStringLiteral("General"));
            for (int i = 0; i < 300; ++i)
                nuevoAfiliado(QStringLiteral("Pérez %1").arg(i), QString(200, QLatin1Char('n')), plan);
            QString error;
            QVERIFY_HECHO(Backup::copyTo(copia));
            QVERIFY_HECHO(Backup::copyTo(path));
        }
        Backup::setFolder(dir.filePath(QStringLiteral("copias")));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(4096); // past the header: the pages of the tables
            f.write(QByteArray(4096 * 3, '\x5a'));
        }
        const auto paginas = [](const QString &file) {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) && f.seek(4096) ? f.readAll() : QByteArray();
        };
        const QByteArray rota = paginas(path);
        QString error, anterior;
        QVERIFY(!TestSupport::hecho(Database::open(path, Database::Mode::MustExist), &error));
        QVERIFY2(TestSupport::hecho(Backup::restore(copia, path), &anterior, &error), qPrintable(error));
        QVERIFY(paginas(anterior) == rota); // the damaged pages are kept, should anyone want them
        QVERIFY_HECHO(Database::open(path, Database::Mode::MustExist));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 300);
        Database::close();
        Backup::setFolder(QString());
    }

    void dailyCopyOnceADay() {
        BaseTemporal base;
        QString written, error;
        QVERIFY(TestSupport::hecho(Backup::daily(), &written, &error));
        QVERIFY(!written.isEmpty());
        QCOMPARE(Backup::latest(), written);
        QString again;
        QVERIFY(TestSupport::hecho(Backup::daily(), &again, &error));
        QVERIFY(again.isEmpty());
        QCOMPARE(QDir(base.copias()).entryList({QStringLiteral("Mirabel-*")}, QDir::Files).size(), 1);
    }
};

MIRABEL_TEST_MAIN(tst_Backup)
#include "tst_Backup.moc"
