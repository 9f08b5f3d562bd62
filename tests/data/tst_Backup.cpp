#include "data/Backup.h"
#include "data/Database.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

using namespace TestSupport;

namespace {
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
};

MIRABEL_TEST_MAIN(tst_Backup)
#include "tst_Backup.moc"
