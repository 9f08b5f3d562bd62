#include "app/BackupCli.h"
#include "data/Backup.h"
#include "data/Database.h"
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
        if (!Backup::copyTo(path, &error))
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
        const QString db = club(QStringLiteral("club.db"));
        const QByteArray antes = huella(db);
        Result r = mirabel({QStringLiteral("backup"), QStringLiteral("--database"), db,
                            QStringLiteral("--out"), QStringLiteral("copias/sabado.db")});
        QVERIFY2(r.status == BackupCli::Ok, qPrintable(r.err));
        QVERIFY(r.out.contains(QStringLiteral("Copia de seguridad escrita en")));
        const QString copia = m_dir.filePath(QStringLiteral("copias/sabado.db"));
        QCOMPARE(socios(copia), 2);
        QCOMPARE(QFile::permissions(copia) & 0x0077, QFileDevice::Permissions());
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

        r = mirabel({QStringLiteral("restore"), QStringLiteral("--database"), db});
        QCOMPARE(r.status, int(BackupCli::Usage));
    }
};

MIRABEL_TEST_MAIN(tst_BackupCli)
#include "tst_BackupCli.moc"
