#include "cli/BackupCli.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <sqlite3.h>

using namespace TestSupport;

// "mirabel backup" and "mirabel restore" as a scheduled job or a user at a terminal runs them.
class tst_BackupCli : public QObject {
    Q_OBJECT

    QString m_program;
    QTemporaryDir m_dir;

    using Result = Salida;

    Result mirabel(const QStringList &args) { return ejecutarMirabel(args, m_dir.path()); }

    static QByteArray huella(const QString &file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                           : QByteArray();
    }

    // A closed club file with two members.
    QString club(const QString &name) {
        const QString path = m_dir.filePath(name);
        BaseTemporal tmp;
        const int plan = nuevoPlan(QStringLiteral("General"));
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Juan"), plan);
        nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"), plan);
        QString error;
        if (!TestSupport::hecho(Backup::copyTo(path), &error))
            qFatal("%s", qPrintable(error));
        return path;
    }

    static int socios(const QString &file) {
        sqlite3 *h = nullptr;
        int n = -1;
        sqlite3_stmt *st = nullptr;
        if (sqlite3_open_v2(QFile::encodeName(file).constData(), &h, SQLITE_OPEN_READONLY, nullptr) ==
                SQLITE_OK &&
            sqlite3_prepare_v2(h, R"(SELECT COUNT(*) FROM "Afiliados")", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(h);
        return n;
    }

private slots:
    void initTestCase() {
        m_program = QCoreApplication::applicationDirPath() + QStringLiteral("/../mirabel");
        if (!QFile::exists(m_program))
            QSKIP("el programa mirabel no está compilado junto a las pruebas");
    }

    void backupThenRestore() {
        SOLO_ARCHIVO("lee y escribe el archivo de la base con SQLite");
        const QString db = club(QStringLiteral("club.db"));
        const QByteArray antes = huella(db);
        Result r = mirabel({QStringLiteral("backup"), QStringLiteral("--database"), db,
                            QStringLiteral("--out"), QStringLiteral("copias/sabado.db")});
        QVERIFY2(r.status == BackupCli::Ok, qPrintable(r.err));
        QVERIFY(r.out.contains(QStringLiteral("Copia de seguridad escrita en")));
        const QString copia = m_dir.filePath(QStringLiteral("copias/sabado.db"));
        QCOMPARE(socios(copia), 2);
        QCOMPARE(TestSupport::ajenos(copia), QFileDevice::Permissions());
        QCOMPARE(huella(db), antes); // copying only reads

        // The club loses a member; the copy brings it back, and the file it replaced is kept.
        {
            sqlite3 *h = nullptr;
            sqlite3_open(QFile::encodeName(db).constData(), &h);
            sqlite3_exec(h, R"(DELETE FROM "Afiliados" WHERE "Apellido" = 'Pérez')", nullptr, nullptr,
                         nullptr);
            sqlite3_close(h);
        }
        QCOMPARE(socios(db), 1);
        r = mirabel({QStringLiteral("restore"), copia, QStringLiteral("--database"), db});
        QVERIFY2(r.status == BackupCli::Ok, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("2 socios")), qPrintable(r.out));
        QCOMPARE(socios(db), 2);
        const QStringList guardadas = QDir(m_dir.filePath(QStringLiteral("data/Mirabel/Mirabel/copias")))
                                          .entryList({QStringLiteral("Mirabel-*.db")});
        QCOMPARE(guardadas.size(), 1);
        QCOMPARE(socios(m_dir.filePath(QStringLiteral("data/Mirabel/Mirabel/copias/")) + guardadas.first()),
                 1);
    }

    void failuresExitWithAStatusAndAMessage() {
        SOLO_ARCHIVO("archivos ajenos, faltantes y copias de archivos");
        const QString db = club(QStringLiteral("otro.db"));
        const QString falta = m_dir.filePath(QStringLiteral("falta.db"));
        Result r = mirabel({QStringLiteral("backup"), QStringLiteral("--database"), falta,
                            QStringLiteral("--out"), QStringLiteral("x.db")});
        QCOMPARE(r.status, int(BackupCli::DatabaseError));
        QVERIFY(r.err.contains(QStringLiteral("No existe el archivo de base de datos")));
        QVERIFY(!QFile::exists(falta));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("x.db"))));

        r = mirabel({QStringLiteral("backup"), QStringLiteral("--database"), db});
        QCOMPARE(r.status, int(BackupCli::Usage));
        QVERIFY(r.err.contains(QStringLiteral("--out")));

        r = mirabel({QStringLiteral("backup"), QStringLiteral("--database"), db, QStringLiteral("--out"),
                     m_dir.filePath(QStringLiteral("otro.db/dentro/x.db"))});
        QCOMPARE(r.status, int(BackupCli::OutputError));

        // Another program's file: neither copied as ours nor replaced.
        const QString ajena = m_dir.filePath(QStringLiteral("ajena.db"));
        {
            sqlite3 *h = nullptr;
            sqlite3_open(QFile::encodeName(ajena).constData(), &h);
            sqlite3_exec(h, "CREATE TABLE notas (t TEXT)", nullptr, nullptr, nullptr);
            sqlite3_close(h);
        }
        const QByteArray antes = huella(ajena);
        r = mirabel({QStringLiteral("restore"), db, QStringLiteral("--database"), ajena});
        QCOMPARE(r.status, int(BackupCli::DatabaseError));
        QVERIFY2(r.err.contains(QStringLiteral("no es una base de datos de Mirabel")), qPrintable(r.err));
        r = mirabel({QStringLiteral("restore"), ajena, QStringLiteral("--database"), db});
        QCOMPARE(r.status, int(BackupCli::BadCopy));
        QVERIFY2(r.err.contains(QStringLiteral("no es una copia de Mirabel")), qPrintable(r.err));
        QCOMPARE(huella(ajena), antes);
        QCOMPARE(socios(db), 2);

        // A file's copy never goes to a server: refused before any connection is tried.
        r = mirabel({QStringLiteral("restore"), db, QStringLiteral("--database"),
                     QStringLiteral("postgresql://nadie@127.0.0.1:1/club")});
        QCOMPARE(r.status, int(BackupCli::BadCopy));
        QVERIFY2(r.err.contains(QStringLiteral("es de una base de datos en un archivo")), qPrintable(r.err));

        r = mirabel({QStringLiteral("restore"), QStringLiteral("--database"), db});
        QCOMPARE(r.status, int(BackupCli::Usage));
    }

    void aCopyOfAnotherClubOnlyWithOtraBase() {
        SOLO_ARCHIVO("dos clubes en archivos");
        const QString nuestra = club(QStringLiteral("nuestra.db"));
        const QString otra = club(QStringLiteral("de-otro-club.db"));
        const QByteArray antes = huella(nuestra);
        Result r = mirabel({QStringLiteral("restore"), otra, QStringLiteral("--database"), nuestra});
        QCOMPARE(r.status, int(BackupCli::BadCopy));
        QVERIFY2(r.err.contains(QStringLiteral("es de otra base de datos")) &&
                     r.err.contains(QStringLiteral("--otra-base")),
                 qPrintable(r.err));
        QCOMPARE(huella(nuestra), antes);
        r = mirabel({QStringLiteral("restore"), otra, QStringLiteral("--database"), nuestra,
                     QStringLiteral("--otra-base")});
        QVERIFY2(r.status == BackupCli::Ok, qPrintable(r.err));
    }

    void backupThenRestoreOnAServer() {
        if (!enServidor())
            QSKIP("Solo con el servidor de pruebas (MIRABEL_PRUEBAS_SERVIDOR=1)");
        BaseTemporal base;
        const QString url = base.path();
        const int plan = nuevoPlan(QStringLiteral("General"));
        const int perez = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Juan"), plan);
        nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"), plan);
        nuevaCuota(perez, plan, QDate(2009, 1, 10), 250000);
        nuevoMovimiento(QDate(2009, 1, 12), 1, QStringLiteral("Cobro"), 98765, 0);
        Database::close();

        // The password reaches the program through libpq's variables, as in a scheduled job.
        Result r = mirabel({QStringLiteral("backup"), QStringLiteral("--database"), url,
                            QStringLiteral("--out"), QStringLiteral("copias/sabado.dump")});
        QVERIFY2(r.status == BackupCli::Ok, qPrintable(r.err));
        const QString copia = m_dir.filePath(QStringLiteral("copias/sabado.dump"));
        QVERIFY(r.out.contains(QStringLiteral("Copia de seguridad escrita en %1").arg(copia)));
        QCOMPARE(TestSupport::ajenos(copia), QFileDevice::Permissions());
        Backup::Contents c;
        QString error;
        QVERIFY2(TestSupport::hecho(Backup::inspect(copia), &c, &error), qPrintable(error));
        QCOMPARE(c.members, 2);

        // The club loses a member and its money changes; the copy brings them back.
        QVERIFY_HECHO(Database::open(url, Database::Mode::MustExist));
        QVERIFY(Database::exec(QStringLiteral(R"(DELETE FROM "Cuotas")")));
        QVERIFY(Database::exec(QStringLiteral(R"(DELETE FROM "Afiliados" WHERE "Apellido" = 'Pérez')")));
        QVERIFY(Database::exec(QStringLiteral(R"(UPDATE "Caja" SET "Ingresos" = 5)")));
        Database::close();
        r = mirabel({QStringLiteral("restore"), copia, QStringLiteral("--database"), url});
        QVERIFY2(r.status == BackupCli::Ok, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("2 socios, 1 cuota y 1 movimiento de caja")),
                 qPrintable(r.out));
        const QString copias = m_dir.filePath(QStringLiteral("data/Mirabel/Mirabel/copias"));
        const QStringList guardadas = QDir(copias).entryList({QStringLiteral("Mirabel-*.dump")});
        QCOMPARE(guardadas.size(), 1);
        QVERIFY(r.out.contains(
            QStringLiteral("La base anterior quedó guardada en %1/%2").arg(copias, guardadas.first())));
        QVERIFY(
            TestSupport::hecho(Backup::inspect(copias + QLatin1Char('/') + guardadas.first()), &c, &error));
        QCOMPARE(c.members, 1);
        QCOMPARE(c.dues, 0);

        QVERIFY_HECHO(Database::open(url, Database::Mode::MustExist));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 2);
        QCOMPARE(Database::buscaValor(QStringLiteral(R"(SELECT SUM("Monto") AS s FROM "Cuotas")"),
                                      QStringLiteral("s"))
                     .toLongLong(),
                 250000);
        QCOMPARE(Database::buscaValor(QStringLiteral(R"(SELECT SUM("Ingresos") AS s FROM "Caja")"),
                                      QStringLiteral("s"))
                     .toLongLong(),
                 98765);
        Database::close();

        // Failures: a database that is not there, a copy that cannot be written, a file's copy, another
        // program's database.
        r = mirabel({QStringLiteral("backup"), QStringLiteral("--database"), url + QStringLiteral("_falta"),
                     QStringLiteral("--out"), QStringLiteral("x.dump")});
        QCOMPARE(r.status, int(BackupCli::DatabaseError));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("x.dump"))));
        QFile bloqueo(m_dir.filePath(QStringLiteral("bloqueo")));
        QVERIFY(bloqueo.open(QIODevice::WriteOnly));
        bloqueo.close();
        r = mirabel({QStringLiteral("backup"), QStringLiteral("--database"), url, QStringLiteral("--out"),
                     QStringLiteral("bloqueo/x.dump")});
        QCOMPARE(r.status, int(BackupCli::OutputError));

        const QString archivo = m_dir.filePath(QStringLiteral("de-archivo.db"));
        {
            sqlite3 *h = nullptr;
            sqlite3_open(QFile::encodeName(archivo).constData(), &h);
            sqlite3_exec(
                h, R"(CREATE TABLE "Afiliados" ("idAfiliado" INTEGER PRIMARY KEY); PRAGMA user_version = 2)",
                nullptr, nullptr, nullptr);
            sqlite3_close(h);
        }
        r = mirabel({QStringLiteral("restore"), archivo, QStringLiteral("--database"), url});
        QCOMPARE(r.status, int(BackupCli::BadCopy));
        QVERIFY2(r.err.contains(QStringLiteral("es de una base de datos en un archivo")), qPrintable(r.err));
        r = mirabel({QStringLiteral("restore"), copia, QStringLiteral("--database"),
                     m_dir.filePath(QStringLiteral("club-nuevo.db"))});
        QCOMPARE(r.status, int(BackupCli::BadCopy));
        QVERIFY2(r.err.contains(QStringLiteral("es de una base de datos en un servidor")), qPrintable(r.err));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("club-nuevo.db"))));

        QString nombre;
        const QString ajena = nuevaBaseAjenaServidor(&nombre);
        r = mirabel({QStringLiteral("restore"), copia, QStringLiteral("--database"), ajena});
        borrarBaseServidor(nombre);
        QCOMPARE(r.status, int(BackupCli::DatabaseError));
        QVERIFY2(r.err.contains(QStringLiteral("no es una base de datos de Mirabel")), qPrintable(r.err));
        QCOMPARE(QDir(copias).entryList({QStringLiteral("Mirabel-*")}).size(), 1);
    }
};

MIRABEL_TEST_MAIN(tst_BackupCli)
#include "tst_BackupCli.moc"
