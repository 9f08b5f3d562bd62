#include "data/Clock.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "data/SqlEngine.h"
#include "data/Transaction.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>

using namespace TestSupport;

namespace {
QVariant uno(const QString &sql, const QVariantList &params = {}) {
    QSqlQuery q(Database::db());
    q.prepare(sql);
    for (const auto &p : params)
        q.addBindValue(p);
    if (!q.exec() || !q.next())
        return {};
    return q.value(0);
}
QStringList columnas(const QString &relation) {
    QSqlQuery q(Database::db());
    q.exec(QStringLiteral("SELECT * FROM \"%1\" LIMIT 0").arg(relation));
    QStringList out;
    const QSqlRecord r = q.record();
    for (int i = 0; i < r.count(); ++i)
        out << r.fieldName(i);
    return out;
}
} // namespace

class tst_Database : public QObject {
    Q_OBJECT
private slots:
    void newFileHasTablesViewsAndStartingRows() {
        BaseTemporal db;
        QCOMPARE(
            Schema::version(const_cast<QSqlDatabase &>(static_cast<const QSqlDatabase &>(Database::db()))),
            Schema::currentVersion());
        for (const char *t : {"Afiliados", "Planes", "Categorias", "Cuotas", "Caja", "Cuentas", "TipoDivisas",
                              "Usuarios", "TmpCuotas", "ConsultaCuotas", "ConsultaCaja", "ConsultaDeuda",
                              "ConsultaNroCuotasDeuda", "FechaUltimoPago"})
            QVERIFY2(!columnas(QString::fromUtf8(t)).isEmpty(), t);
        // Names match without regard to case, as the program writes both.
        QSqlQuery q(Database::db());
        QVERIFY(q.exec(QStringLiteral("Select * from usuarios")));
        QCOMPARE(uno(QStringLiteral(R"(SELECT "TipoDivisa" FROM "TipoDivisas" WHERE "idTipoDivisa" = 1)"))
                     .toString(),
                 QStringLiteral("Efectivo"));
        QVERIFY(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "TipoDivisas")")) >= 5);
        QCOMPARE(
            uno(QStringLiteral(R"(SELECT "Descripcion" FROM "Cuentas" WHERE "idCuenta" = 1)")).toString(),
            QStringLiteral("Caja"));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Usuarios")")), 0);
        QVERIFY(!Database::hasUsers());
        QCOMPARE(columnas(QStringLiteral("ConsultaCuotas")),
                 QStringList({"idCuota", "idAfiliado", "idPlan", "Mes", "Año", "Vencimiento", "Factura",
                              "Monto", "Pagada", "Fecha de Pago", "Apellido", "Nombres", "Descripcion"}));
        QVERIFY(columnas(QStringLiteral("ConsultaCaja")).contains(QStringLiteral("TipoDivisa")));
    }

    void reopeningKeepsDataAndVersion() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("club.db"));
        QString err;
        QVERIFY(Database::open(path, Database::Mode::CreateIfMissing, &err));
        nuevoPlan(QStringLiteral("Mensual"));
        Database::close();
        QVERIFY(Database::open(path, Database::Mode::MustExist, &err));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Planes")")), 1);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuentas")")), 1); // not seeded twice
        Database::close();
    }

    void sortKeysThatDifferAreRefreshedOnOpenAndOnlyThen() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("club.db"));
        QString err;
        QVERIFY(Database::open(path, Database::Mode::CreateIfMissing, &err));
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int renombrado = nuevoAfiliado(QStringLiteral("Zapata"), QStringLiteral("Eva"), plan);
        nuevoAfiliado(QStringLiteral("Bravo"), QStringLiteral("Ana"), plan);
        // Another tool renames a member and a plan and adds a member, none with a key.
        Database::exec(
            QStringLiteral(R"(UPDATE "Afiliados" SET "Apellido" = 'ÁLVAREZ' WHERE "idAfiliado" = ?)"),
            {renombrado});
        Database::exec(QStringLiteral(R"(UPDATE "Planes" SET "Descripcion" = 'Anual')"));
        Database::exec(
            QStringLiteral(R"(INSERT INTO "Afiliados" ("Apellido", "Nombres") VALUES ('Ñandú', 'X'))"));
        Database::close();
        QVERIFY(Database::open(path, Database::Mode::MustExist, &err));
        const QString desactualizadas = QStringLiteral(R"(SELECT COUNT(*) FROM "%1"
                                                     WHERE "ClaveOrden" IS NOT %2)");
        QCOMPARE(contar(desactualizadas.arg(QStringLiteral("Afiliados"),
                                            QStringLiteral(R"(clave_orden("Apellido", "Nombres"))"))),
                 0);
        QCOMPARE(contar(desactualizadas.arg(QStringLiteral("Planes"),
                                            QStringLiteral(R"(clave_orden("Descripcion"))"))),
                 0);
        QCOMPARE(uno(QStringLiteral(R"(SELECT "idAfiliado" FROM "Afiliados" ORDER BY "ClaveOrden" LIMIT 1)"))
                     .toInt(),
                 renombrado);
        // A file whose keys are all current is not written by opening it.
        Database::close();
        QVERIFY(Database::open(path, Database::Mode::MustExist, &err));
        QCOMPARE(uno(QStringLiteral("SELECT total_changes()")).toInt(), 0);
        // The key the database works out is the one the program stores, for any text.
        for (const char *texto : {"D'Angelo Z", "ÁÉÍÓÚÜ Ñandú", "n\u0303o", "Łódź 𝒜b", "\xc3", ""}) {
            const QString t = QString::fromUtf8(texto);
            QCOMPARE(uno(QStringLiteral("SELECT clave_orden(?, ?)"), {t, t}).toString(),
                     SqlEngine::memberSortKey(t, t));
            QCOMPARE(uno(QStringLiteral("SELECT clave_orden(?)"), {t}).toString(), SqlEngine::sortKey(t));
        }
        // Plain ASCII, accented and ñ names keep the keys they always had.
        QCOMPARE(SqlEngine::sortKey(QStringLiteral("D'Angelo Z")), QStringLiteral("d'angelo z"));
        QCOMPARE(SqlEngine::sortKey(QString::fromUtf8("ÁÉÍÓÚÜ Ñandú")), QStringLiteral("aeiouu n{andu"));
        Database::close();
    }

    void refusesMissingOrForeignFiles() {
        QTemporaryDir dir;
        QString err;
        QVERIFY(!Database::open(dir.filePath(QStringLiteral("no.db")), Database::Mode::MustExist, &err));
        QVERIFY(err.contains(QStringLiteral("No existe")));
        QFile f(dir.filePath(QStringLiteral("texto.db")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("esto no es una base de datos");
        f.close();
        QVERIFY(!Database::open(f.fileName(), Database::Mode::CreateIfMissing, &err));
        QVERIFY(!err.isEmpty());
    }

    void plainSqliteCanReadEveryView() {
        // Other tools must read the file: no view may depend on what only the program registers.
        if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
            QSKIP("sqlite3 no está instalado");
        BaseTemporal db;
        const int a = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        nuevaCuota(a, 1, QDate(2009, 1, 10), 250000);
        Database::exec(QStringLiteral("PRAGMA wal_checkpoint(FULL)"));
        for (const char *v : {"ConsultaCuotas", "ConsultaCaja", "ConsultaDeuda", "ConsultaNroCuotasDeuda",
                              "FechaUltimoPago"}) {
            QProcess p;
            p.start(
                QStringLiteral("sqlite3"),
                {db.path(), QStringLiteral("SELECT * FROM \"%1\" ORDER BY 1;").arg(QString::fromUtf8(v))});
            QVERIFY(p.waitForFinished());
            QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        }
    }

    void newDueIsUnpaidAndOverdueRuleUsesTheClock() {
        BaseTemporal db(QDate(2009, 3, 5));
        const int a = nuevoAfiliado(QStringLiteral("Gómez"), QStringLiteral("Luis"));
        Database::exec(
            QStringLiteral(R"(INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Mes", "Año", "Vencimiento",
                                         "Factura", "Monto") VALUES (?, 1, 3, 2009, '2009-03-05', 'X', 250000))"),
            {a});
        nuevaCuota(a, 1, QDate(2009, 3, 6), 100000); // tomorrow: not yet overdue
        nuevaCuota(a, 1, QDate(2009, 2, 1), 50000, true, QDate(2009, 2, 3));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Pagada" = False)")), 2);
        QCOMPARE(
            Database::buscaValor(QStringLiteral(R"(Select * from "ConsultaDeuda" where "idAfiliado" = ?)"),
                                 QStringLiteral("SumaDeMonto"), {a})
                .toLongLong(),
            250000LL);
        QCOMPARE(Database::buscaValor(
                     QStringLiteral(R"(Select * from "ConsultaNroCuotasDeuda" where "idAfiliado" = ?)"),
                     QStringLiteral("NroCuotas"), {a})
                     .toInt(),
                 1);
        QCOMPARE(
            Database::buscaValor(QStringLiteral(R"(Select * from "FechaUltimoPago" where "idAfiliado" = ?)"),
                                 QStringLiteral("MaxFecha"), {a})
                .toString(),
            QStringLiteral("2009-02-03"));
        // The program's own statement means the same as the view.
        QCOMPARE(uno(QStringLiteral(
                         R"(Select sum("Monto") from "Cuotas" where "idAfiliado" = ? and "Pagada" = False
                                       and "Vencimiento" <= date())"),
                     {a})
                     .toLongLong(),
                 250000LL);
        // A day later the second due is overdue too.
        Clock::setFixed(QDate(2009, 3, 6));
        QCOMPARE(Database::buscaValor(
                     QStringLiteral(R"(Select * from "ConsultaNroCuotasDeuda" where "idAfiliado" = ?)"),
                     QStringLiteral("NroCuotas"), {a})
                     .toInt(),
                 2);
        // A member with every due paid has no debt row.
        const int b = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"));
        nuevaCuota(b, 1, QDate(2009, 1, 1), 1000, true, QDate(2009, 1, 2));
        QVERIFY(
            Database::buscaValor(QStringLiteral(R"(Select * from "ConsultaDeuda" where "idAfiliado" = ?)"),
                                 QStringLiteral("SumaDeMonto"), {b})
                .isNull());
    }

    void updatableViews() {
        BaseTemporal db;
        const int a = nuevoAfiliado(QStringLiteral("Ríos"), QStringLiteral("Ana"));
        const int c1 = nuevaCuota(a, 1, QDate(2009, 1, 10), 250000, true, QDate(2009, 1, 11));
        const int c2 = nuevaCuota(a, 1, QDate(2009, 2, 10), 250000);
        const int m = nuevoMovimiento(QDate(2009, 1, 11), 1, QStringLiteral("Cobro"), 250000, 0, 1, c1);
        QVERIFY(Database::exec(QStringLiteral(R"(UPDATE "ConsultaCuotas" SET "Monto" = ?, "Vencimiento" = ?,
                                                 "Factura" = ? WHERE "idCuota" = ?)"),
                               {300000, QStringLiteral("2009-02-15"), QStringLiteral("CUOTA MES 2"), c2}));
        QCOMPARE(
            uno(QStringLiteral(R"(SELECT "Monto" || '|' || "Vencimiento" || '|' || "Factura" FROM "Cuotas"
                                       WHERE "idCuota" = ?)"),
                {c2})
                .toString(),
            QStringLiteral("300000|2009-02-15|CUOTA MES 2"));
        QVERIFY(Database::exec(QStringLiteral(R"(DELETE FROM "ConsultaCuotas" WHERE "idCuota" = ?)"), {c1}));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")")), 1);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")),
                 1); // the movement of the due stays
        QVERIFY(Database::exec(QStringLiteral(R"(DELETE FROM "ConsultaCaja" WHERE "idCaja" = ?)"), {m}));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 0);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuentas")")), 1);
        QVERIFY(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "TipoDivisas")")) >= 5);
    }

    void spanishTextComparisonAndOrder() {
        BaseTemporal db;
        for (const char *s : {"Núñez", "Ñandú", "Benítez", "Álvarez", "PÉREZ", "perez", "Nuñez", "Zapata"})
            nuevoAfiliado(QString::fromUtf8(s), QStringLiteral("X"));
        QCOMPARE(contar(QStringLiteral(
                     R"(SELECT COUNT(*) FROM "Afiliados" WHERE "Apellido" = 'pérez' COLLATE es)")),
                 1);
        QCOMPARE(contar(QString::fromUtf8(R"(SELECT COUNT(*) FROM "Afiliados" WHERE "Apellido" LIKE 'pé%')")),
                 1);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados" WHERE "Apellido" LIKE 'PER_Z')")),
                 1);
        QCOMPARE(contar(QString::fromUtf8(R"(SELECT COUNT(*) FROM "Afiliados" WHERE "Apellido" LIKE 'ñ%')")),
                 1);
        QCOMPARE(contar(QString::fromUtf8(
                     R"(SELECT COUNT(*) FROM "Afiliados" WHERE "Apellido" = 'ÑANDÚ' COLLATE es)")),
                 1);
        QSqlQuery q(Database::db());
        QVERIFY(q.exec(QStringLiteral(R"(SELECT "Apellido" FROM "Afiliados" ORDER BY "Apellido" COLLATE es,
                                         "idAfiliado")")));
        QStringList byCollation;
        while (q.next())
            byCollation << q.value(0).toString();
        QVERIFY(q.exec(
            QStringLiteral(R"(SELECT "Apellido" FROM "Afiliados" ORDER BY "ClaveOrden", "idAfiliado")")));
        QStringList byKey;
        while (q.next())
            byKey << q.value(0).toString();
        const QStringList expected = {QString::fromUtf8("Álvarez"), QString::fromUtf8("Benítez"),
                                      QString::fromUtf8("Núñez"),   QString::fromUtf8("Nuñez"),
                                      QString::fromUtf8("Ñandú"),   QString::fromUtf8("PÉREZ"),
                                      QStringLiteral("perez"),      QStringLiteral("Zapata")};
        QCOMPARE(byKey, expected);
        // The collation agrees with the stored key apart from the order among equals.
        QCOMPARE(byCollation.first(), expected.first());
        QCOMPARE(byCollation.indexOf(QString::fromUtf8("Ñandú")), 4);
        // A surname prefix found as a range on the key.
        const QString key = SqlEngine::sortKey(QStringLiteral("PE"));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados" WHERE "ClaveOrden" >= '%1'
                                          AND "ClaveOrden" < '%2')")
                            .arg(key, SqlEngine::prefixUpperBound(key))),
                 2);
        QVERIFY(SqlEngine::memberSortKey(QStringLiteral("Paz"), QStringLiteral("Zoe")) <
                SqlEngine::memberSortKey(QStringLiteral("Paza"), QStringLiteral("Ana")));
    }

    void buscaValorGivesNullOnEveryFailure() {
        BaseTemporal db;
        const int a = nuevoAfiliado(QStringLiteral("Uno"), QStringLiteral("A"));
        nuevoAfiliado(QStringLiteral("Dos"), QStringLiteral("B"));
        QVERIFY(Database::buscaValor(QStringLiteral(R"(SELECT * FROM "Afiliados" WHERE "idAfiliado" = -1)"),
                                     QStringLiteral("Apellido"))
                    .isNull());
        QCOMPARE(Database::buscaValor(QStringLiteral(R"(SELECT * FROM "Afiliados" ORDER BY "idAfiliado")"),
                                      QStringLiteral("Apellido"))
                     .toString(),
                 QStringLiteral("Uno"));
        QVERIFY(Database::buscaValor(QStringLiteral("SELEC mal escrito"), QStringLiteral("x")).isNull());
        QVERIFY(
            Database::buscaValor(QStringLiteral(R"(SELECT * FROM "Afiliados")"), QStringLiteral("Apelido"))
                .isNull());
        // Field names without regard to case; values bound, so an apostrophe is just text.
        QCOMPARE(Database::buscaValor(QStringLiteral(R"(SELECT * FROM "Afiliados" WHERE "idAfiliado" = ?)"),
                                      QStringLiteral("apellido"), {a})
                     .toString(),
                 QStringLiteral("Uno"));
        QVERIFY(Database::buscaValor(QStringLiteral(R"(SELECT * FROM "Afiliados" WHERE "Apellido" = ?)"),
                                     QStringLiteral("Apellido"), {QStringLiteral("D'Angelo")})
                    .isNull());
    }

    void transactionsAreAllOrNothingAndNest() {
        BaseTemporal db;
        {
            Transaction t;
            nuevoPlan(QStringLiteral("A"));
            // not committed: rolled back
        }
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Planes")")), 0);
        {
            Transaction outer;
            nuevoPlan(QStringLiteral("B"));
            {
                Transaction inner; // a member that fails in a batch
                nuevoPlan(QStringLiteral("C"));
            }
            {
                Transaction inner;
                nuevoPlan(QStringLiteral("D"));
                QVERIFY(inner.commit());
            }
            QVERIFY(outer.commit());
        }
        QSqlQuery q(Database::db());
        q.exec(QStringLiteral(R"(SELECT group_concat("Descripcion", ',') FROM "Planes")"));
        q.next();
        QCOMPARE(q.value(0).toString(), QStringLiteral("B,D"));
        // After all guards are gone a new one starts a real transaction again.
        {
            Transaction t;
            QVERIFY(t.isActive());
            QVERIFY(t.commit());
        }
    }
};

MIRABEL_TEST_MAIN(tst_Database)
#include "tst_Database.moc"
