#include "db/Database.h"
#include "db/Transaction.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <csignal>

using namespace TestSupport;

// A payment is all or nothing even when the program is killed in the middle of it.
class tst_CrashPago : public QObject {
    Q_OBJECT

    // The child's next line; empty when it says nothing for a long while.
    static QByteArray leerLinea(QProcess &p) {
        while (!p.canReadLine())
            if (!p.waitForReadyRead(20000))
                return {};
        return p.readLine().trimmed();
    }

    static int valor(QSqlDatabase &db, const QString &sql) {
        QSqlQuery q(db);
        if (!q.exec(sql) || !q.next())
            return -1;
        return q.value(0).toInt();
    }

private slots:
    void killedPaymentsLeaveBothRowsOrNeither() {
        QString path;
        {
            BaseTemporal base;
            path = base.path();
            const int plan = nuevoPlan(QStringLiteral("Mensual"));
            const int socio = nuevoAfiliado(QStringLiteral("Perez"), QStringLiteral("Juan"), plan);
            QVERIFY_HECHO(
                Database::exec(QStringLiteral(R"(INSERT INTO "Cuentas" ("Descripcion") VALUES ('Banco'))")));
            Transaction t;
            for (int i = 0; i < 20000; ++i)
                nuevaCuota(socio, plan, QDate(2009, 1, 10).addDays(i % 300), 250000 + i);
            QVERIFY(t.commit());
            Database::close();

            const int kills = qEnvironmentVariableIntValue("MIRABEL_MUERTES") > 0
                                  ? qEnvironmentVariableIntValue("MIRABEL_MUERTES")
                                  : 200;
            const QString ayudante = TestSupport::ayudante(QStringLiteral("ayudante_pagador"));
            QVERIFY2(QFile::exists(ayudante), qPrintable(ayudante));
            // On the server the children are other desks; this one reads through its own connection, which
            // sees only what was committed.
            QString error;
            if (enServidor())
                QVERIFY_HECHO(Database::open(path, Database::Mode::MustExist));
            QRandomGenerator rng(20090305);
            int pagadasAntes = 0;
            int avances = 0;
            for (int k = 0; k < kills; ++k) {
                QProcess hijo;
                hijo.start(ayudante, {path});
                QVERIFY2(hijo.waitForStarted(20000), qPrintable(hijo.errorString()));
                QVERIFY2(leerLinea(hijo) == "listo", qPrintable(hijo.readAllStandardError()));
                // A random moment: before the first payment, or after some, within one or between two.
                const int pagos = int(rng.bounded(2));
                for (int p = 0; p < pagos; ++p)
                    QCOMPARE(leerLinea(hijo), QByteArray("pagada"));
                QThread::usleep(rng.bounded(15000));
                QCOMPARE(hijo.state(), QProcess::Running);
#ifdef Q_OS_WIN
                hijo.kill(); // TerminateProcess: no more chance to tidy up than SIGKILL
#else
                ::kill(pid_t(hijo.processId()), SIGKILL);
#endif
                QVERIFY(hijo.waitForFinished(10000));
                QCOMPARE(hijo.exitStatus(), QProcess::CrashExit);

                QSqlDatabase db;
                if (enServidor()) {
                    db = Database::db();
                } else {
                    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("verificar"));
                    db.setDatabaseName(path);
                    // Read-only: the check must not tidy the file up (a checkpoint on close) before the next
                    // child.
                    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
                    QVERIFY(db.open());
                }
                {
                    if (!enServidor()) {
                        QSqlQuery q(db);
                        QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
                        QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
                    }
                    // Every paid due has exactly one movement of its own, of its amount.
                    QCOMPARE(
                        valor(db, QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" c WHERE c."Pagada" <> 0 AND
                        (SELECT COUNT(*) FROM "Caja" k WHERE k."idCuota" = c."idCuota" AND k."Ingresos" = c."Monto") <> 1)")),
                        0);
                    // Every movement of a due belongs to a paid due, and no due has two.
                    QCOMPARE(valor(db, QStringLiteral(R"(SELECT COUNT(*) FROM "Caja" k LEFT JOIN "Cuotas" c
                        ON c."idCuota" = k."idCuota" WHERE k."idCuota" IS NOT NULL AND coalesce(c."Pagada", 0) = 0)")),
                             0);
                    QCOMPARE(
                        valor(db, QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")),
                        valor(db, QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Pagada" <> 0)")));
                    const int pagadas =
                        valor(db, QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Pagada" <> 0)"));
                    QVERIFY(pagadas >= pagadasAntes);
                    if (pagadas > pagadasAntes)
                        ++avances;
                    pagadasAntes = pagadas;
                }
                if (!enServidor()) {
                    db.close();
                    db = QSqlDatabase();
                    QSqlDatabase::removeDatabase(QStringLiteral("verificar"));
                }
            }
            // The children did pay, so the kills fell among payments and not only before the first.
            QVERIFY2(avances > kills / 4, qPrintable(QStringLiteral("%1 de %2").arg(avances).arg(kills)));
            if (!enServidor())
                QVERIFY_HECHO(Database::open(path, Database::Mode::MustExist));
        }
    }
};

MIRABEL_TEST_MAIN(tst_CrashPago)

#include "tst_CrashPago.moc"
