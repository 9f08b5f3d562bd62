#include "data/Backup.h"
#include "data/Database.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <atomic>
#include <sqlite3.h>
#include <thread>

using namespace TestSupport;

namespace {
QByteArray huella(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}
int contarEn(const QString &file, const QString &sql) {
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("copia"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                n = q.value(0).toInt();
            QSqlQuery check(db);
            if (!check.exec(QStringLiteral("PRAGMA integrity_check")) || !check.next() ||
                check.value(0).toString() != QStringLiteral("ok"))
                n = -2;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("copia"));
    return n;
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
        QSqlDatabase other = Database::openExtra(QStringLiteral("otra"), &error);
        QVERIFY(Backup::automatic(&written, &error, other));
        QVERIFY(Database::db().rollback());
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("otra"));

        QVERIFY(written.startsWith(base.copias() + QStringLiteral("/Mirabel-")));
        QVERIFY(QFileInfo(written).fileName().contains(
            QRegularExpression(QStringLiteral("^Mirabel-\\d{8}-\\d{6}"))));
        QCOMPARE(contarEn(written, QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 50);
        QCOMPARE(QFile::permissions(written) & 0x0077, QFileDevice::Permissions());
        QVERIFY(!QFileInfo::exists(written + QStringLiteral(".parcial")));
    }

    void keepsTheNewestAutomaticCopies() {
        BaseTemporal base;
        QDir().mkpath(base.copias());
        for (int i = 0; i < Backup::KeepAutomatic + 3; ++i) {
            QFile f(base.copias() + QStringLiteral("/Mirabel-2001010%1-000000.db").arg(i % 10) +
                    QString(i >= 10 ? QStringLiteral("-%1").arg(i) : QString()));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QString written, error;
        QVERIFY(Backup::automatic(&written, &error));
        const QStringList left = QDir(base.copias()).entryList({QStringLiteral("Mirabel-*.db")}, QDir::Files);
        QVERIFY(left.size() <= Backup::KeepAutomatic);
        QVERIFY(left.contains(QFileInfo(written).fileName()));
    }

    void folderThatCannotBeWrittenIsReported() {
        BaseTemporal base;
        // A file where the folder should be: the copy cannot be written and says why.
        QFile blocker(base.copias());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString written, error;
        QVERIFY(!Backup::automatic(&written, &error));
        QVERIFY(written.isEmpty());
        QVERIFY(error.contains(QStringLiteral("copias")));
    }

    void copyTakenWhileAnotherProgramWritesIsOneMoment() {
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        // Another desk adds members two at a time, each pair in one transaction, until told to stop.
        std::atomic<bool> parar{false};
        std::atomic<int> pares{0};
        std::thread escritor([&, path = base.path()] {
            sqlite3 *h = nullptr;
            sqlite3_open(QFile::encodeName(path).constData(), &h);
            sqlite3_busy_timeout(h, 5000);
            const QByteArray sql =
                QStringLiteral(
                    R"(BEGIN IMMEDIATE; INSERT INTO "Afiliados" ("Apellido", "idPlan") VALUES ('A', %1);
                   INSERT INTO "Afiliados" ("Apellido", "idPlan") VALUES ('B', %1); COMMIT;)")
                    .arg(plan)
                    .toUtf8();
            while (!parar)
                if (sqlite3_exec(h, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
                    ++pares;
            sqlite3_close(h);
        });
        QStringList copias;
        for (int i = 0; i < 5; ++i) {
            while (pares < (i + 1) * 20)
                std::this_thread::yield();
            QString written, error;
            QVERIFY2(Backup::automatic(&written, &error), qPrintable(error));
            copias << written;
        }
        parar = true;
        escritor.join();
        for (const QString &c : copias) {
            const int n = contarEn(c, QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")"));
            QVERIFY2(n > 0 && n % 2 == 0, qPrintable(QStringLiteral("%1: %2").arg(c).arg(n)));
        }
    }

    void restoreRoundTripKeepsTheReplacedData() {
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int a = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"), plan);
        nuevaCuota(a, plan, QDate(2009, 1, 10), 250000);
        nuevoMovimiento(QDate(2009, 1, 12), 1, QStringLiteral("Cobro"), 250000, 0);
        const QString copia = QDir(base.copias()).filePath(QStringLiteral("Mirabel-20090305-101500.db"));
        QString error;
        QVERIFY(Backup::copyTo(copia, &error));
        Backup::Contents c;
        QVERIFY2(Backup::inspect(copia, &c, &error), qPrintable(error));
        QCOMPARE(c.members, 1);
        QCOMPARE(c.dues, 1);
        QCOMPARE(c.movements, 1);
        QCOMPARE(c.taken, QDateTime(QDate(2009, 3, 5), QTime(10, 15)));

        // Work after the copy, then the copy is restored over it.
        QVERIFY(Database::exec(QStringLiteral(R"(DELETE FROM "Cuotas")")));
        nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"), plan);
        const QString path = base.path();
        Database::close();
        QString anterior;
        QVERIFY2(Backup::restore(copia, path, &error, &anterior), qPrintable(error));
        QVERIFY(anterior.startsWith(base.copias() + QStringLiteral("/Mirabel-")));
        QCOMPARE(contarEn(anterior, QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 2);
        QCOMPARE(contarEn(anterior, QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")")), 0);
        QVERIFY2(Database::open(path, Database::Mode::MustExist, &error), qPrintable(error));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")")), 1);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 1);
        QSqlQuery q(Database::db());
        QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
    }

    void restoreRefusesWhatIsNotOurs() {
        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        QTemporaryDir dir;
        const QString copia = dir.filePath(QStringLiteral("copia.db"));
        QString error;
        QVERIFY(Backup::copyTo(copia, &error));
        // A target that is another program's file is never replaced.
        const QString ajena = dir.filePath(QStringLiteral("ajena.db"));
        {
            sqlite3 *h = nullptr;
            sqlite3_open(QFile::encodeName(ajena).constData(), &h);
            sqlite3_exec(h, "CREATE TABLE notas (t TEXT)", nullptr, nullptr, nullptr);
            sqlite3_close(h);
        }
        const QByteArray antes = huella(ajena);
        bool notOurs = false;
        QVERIFY(!Backup::restore(copia, ajena, &error, nullptr, &notOurs));
        QVERIFY(notOurs);
        QVERIFY(error.contains(QStringLiteral("no es una base de datos de Mirabel")));
        QCOMPARE(huella(ajena), antes);
        // Nor is something restored that is not a sound copy.
        QVERIFY(!Backup::restore(ajena, base.path(), &error));
        QVERIFY(error.contains(QStringLiteral("no es una copia de Mirabel")));
        const QString rota = dir.filePath(QStringLiteral("rota.db"));
        QVERIFY(QFile::copy(copia, rota));
        QFile::setPermissions(rota, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        {
            QFile f(rota);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.resize(f.size() / 2);
        }
        QVERIFY(!Backup::restore(rota, base.path(), &error));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);
    }

    void restoreStopsWhenTheCurrentFileCannotBeKept() {
        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        QTemporaryDir dir;
        const QString copia = dir.filePath(QStringLiteral("copia.db"));
        QString error;
        QVERIFY(Backup::copyTo(copia, &error));
        nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"));
        // copias/ cannot be created: a file stands where the folder should be.
        QFile blocker(base.copias());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!Backup::restore(copia, base.path(), &error));
        QVERIFY2(error.contains(QStringLiteral("copias")), qPrintable(error));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 2);
    }

    void restoreMendsADamagedFile() {
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
            QVERIFY(Backup::copyTo(copia, &error));
            QVERIFY(Backup::copyTo(path, &error));
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
        QVERIFY(!Database::open(path, Database::Mode::MustExist, &error));
        QVERIFY2(Backup::restore(copia, path, &error, &anterior), qPrintable(error));
        QVERIFY(paginas(anterior) == rota); // the damaged pages are kept, should anyone want them
        QVERIFY2(Database::open(path, Database::Mode::MustExist, &error), qPrintable(error));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 300);
        Database::close();
        Backup::setFolder(QString());
    }

    void dailyCopyOnceADay() {
        BaseTemporal base;
        QString written, error;
        QVERIFY(Backup::daily(&written, &error));
        QVERIFY(!written.isEmpty());
        QCOMPARE(Backup::latest(), written);
        QString again;
        QVERIFY(Backup::daily(&again, &error));
        QVERIFY(again.isEmpty());
        QCOMPARE(QDir(base.copias()).entryList({QStringLiteral("Mirabel-*.db")}, QDir::Files).size(), 1);
    }
};

MIRABEL_TEST_MAIN(tst_Backup)
#include "tst_Backup.moc"
