#include "db/Backup.h"
#include "db/Database.h"
#include "db/Schema.h"
#include "dues/Cuotas.h"
#include "members/Afiliados.h"
#include "support/Puestos.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <sqlite3.h>

using namespace TestSupport;

namespace {

// The list as one statement gives it, which the list window must show the same when it reads it part by
// part: read here a row at a time, so that every step from one row to the next is taken.
QStringList lista(const Cuotas::Fuente &f, const QString &campo = QStringLiteral("idCuota")) {
    QStringList out;
    QSqlQuery q(Database::db());
    if (!Database::run(q, f.sql, f.params, QStringLiteral("prueba")))
        return {QStringLiteral("falló")};
    const int columnas = q.record().count();
    const int en = q.record().indexOf(campo);
    while (q.next())
        out << q.value(campo).toString();
    const auto partes = f.tramos();
    if (!partes)
        return {partes.message()};
    QStringList porPartes;
    for (KeysetList::Cursor desde;;) {
        QVector<QVector<QVariant>> filas;
        const auto siguiente = KeysetList::read(Database::db(), *partes, desde, 1, columnas, &filas);
        if (!siguiente)
            return {siguiente.message()};
        if (filas.isEmpty())
            break;
        porPartes << filas.constFirst().value(en).toString();
        desde = *siguiente;
    }
    if (porPartes != out)
        return QStringList{QStringLiteral("por partes:")} + porPartes;
    return out;
}

QString vencimiento(int idCuota) {
    return Database::buscaValor(QStringLiteral(R"(SELECT "Vencimiento" FROM "Cuotas" WHERE "idCuota" = ?)"),
                                QStringLiteral("Vencimiento"), {idCuota})
        .toString();
}

// Another program's statements on the same file, through its own connection (on the server, another
// connection to the same database, which spells SQLite's char() as chr()).
bool otroPrograma(const QString &file, const QString &sql) {
    if (enServidor() && file == Database::path()) {
        QSqlDatabase otro = otroPuesto(QStringLiteral("otro programa"));
        QSqlQuery q(otro);
        for (const QString &s : QString(sql)
                                    .replace(QStringLiteral("char(1)"), QStringLiteral("chr(1)"))
                                    .split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (!s.trimmed().isEmpty() && !q.exec(s))
                return false;
        return true;
    }
    sqlite3 *h = nullptr;
    const bool ok = sqlite3_open(QFile::encodeName(file).constData(), &h) == SQLITE_OK &&
                    sqlite3_exec(h, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(h);
    return ok;
}

// The list's order spelled out plainly on the members' and plans' own keys, as the list must show it:
// plans with a key by key, then the rest by number, dues without a plan last; within a plan the given
// order, then the member's current key (a due whose member is gone first), then the due's number.
QStringList ordenEsperado(const QString &condicion, const QString &orden) {
    QSqlQuery q(Database::db());
    const QString sql = QStringLiteral(R"(SELECT c."idCuota" FROM "Cuotas" c
            LEFT JOIN "Afiliados" a ON a."idAfiliado" = c."idAfiliado"
            LEFT JOIN "Planes" p ON p."idPlan" = c."idPlan"
            WHERE %1
            ORDER BY p."ClaveOrden" IS NULL, p."ClaveOrden", c."idPlan" IS NULL, c."idPlan", %2
                     a."ClaveOrden" NULLS FIRST, c."idCuota")")
                            .arg(condicion, orden);
    QStringList out;
    if (!Database::run(q, sql, {}, QStringLiteral("prueba")))
        return {QStringLiteral("falló")};
    while (q.next())
        out << q.value(0).toString();
    return out;
}

void comprobarOrden() {
    QCOMPARE(lista(Cuotas::recordSourceDiseno()),
             ordenEsperado(QStringLiteral("TRUE"), QStringLiteral(R"(c."Mes", c."Año",)")));
    QCOMPARE(lista(Cuotas::recordSourceTodas()), ordenEsperado(QStringLiteral("TRUE"), QString()));
    const auto marzo = Cuotas::recordSourceMesAnio(QStringLiteral("3"), QStringLiteral("2009"));
    QVERIFY(marzo);
    QCOMPARE(lista(*marzo), ordenEsperado(QStringLiteral(R"(c."Mes" = 3 AND c."Año" = 2009)"), QString()));
}

} // namespace

class tst_Cuotas : public QObject {
    Q_OBJECT
private slots:
    void listOrderIsExplicit() {
        BaseTemporal db;
        const int beta = nuevoPlan(QStringLiteral("beta"));
        const int alfa = nuevoPlan(QStringLiteral("Álfa"));
        const int borrado = nuevoPlan(QStringLiteral("Aaa"));
        const int nunez = nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"), alfa);
        const int nandu = nuevoAfiliado(QStringLiteral("Ñandú"), QStringLiteral("Ana"), alfa);
        const int alvarez = nuevoAfiliado(QStringLiteral("Álvarez"), QStringLiteral("Zoe"), beta);
        const int alvarez2 = nuevoAfiliado(QStringLiteral("Álvarez"), QStringLiteral("Ana"), beta);
        // Inserted out of every order.
        const int c1 = nuevaCuota(nandu, alfa, QDate(2009, 3, 10), 1, false, {}, 3, 2009);
        const int c2 = nuevaCuota(alvarez, beta, QDate(2009, 3, 10), 1, false, {}, 3, 2009);
        const int c3 = nuevaCuota(nunez, alfa, QDate(2009, 4, 10), 1, false, {}, 4, 2009);
        const int c4 = nuevaCuota(nunez, alfa, QDate(2009, 3, 10), 1, false, {}, 3, 2009);
        const int c5 = nuevaCuota(alvarez2, borrado, QDate(2009, 3, 10), 1, false, {}, 3, 2009);
        const int c6 = nuevaCuota(alvarez2, beta, QDate(2009, 3, 10), 1, false, {}, 3, 2009);
        const int c7 = nuevaCuota(nunez, alfa, QDate(2008, 3, 10), 1, false, {}, 3, 2008);
        const int c8 = nuevaCuota(nunez, 0, QDate(2009, 3, 10), 1, false, {}, 3, 2009);
        QVERIFY_HECHO(Database::exec(
            QStringLiteral(R"(UPDATE "Cuotas" SET "idPlan" = NULL WHERE "idCuota" = ?)"), {c8}));
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(DELETE FROM "Planes" WHERE "idPlan" = ?)"), {borrado}));
        auto ids = [](std::initializer_list<int> l) {
            QStringList s;
            for (int i : l)
                s << QString::number(i);
            return s;
        };
        // Plan name (Spanish order, case and accents aside), month, year, surname; dues without a plan name
        // (deleted plan, then none) last.
        QCOMPARE(lista(Cuotas::recordSourceDiseno()), ids({c7, c4, c1, c3, c6, c2, c5, c8}));
        // Plan name, surname, given names.
        QCOMPARE(lista(Cuotas::recordSourceTodas()), ids({c3, c4, c7, c1, c6, c2, c5, c8}));
        const auto marzo = Cuotas::recordSourceMesAnio(QStringLiteral("3"), QStringLiteral("2009"));
        QVERIFY(marzo);
        QCOMPARE(lista(*marzo), ids({c4, c1, c6, c2, c5, c8}));
        QCOMPARE(lista(*marzo, QStringLiteral("Descripcion")).first(), QStringLiteral("Álfa"));
        QVERIFY(lista(*marzo, QStringLiteral("Descripcion")).last().isEmpty());
        const auto abril = Cuotas::recordSourceMesAnio(QStringLiteral("4"), QStringLiteral("2009"));
        QCOMPARE(lista(*abril), ids({c3}));
        QVERIFY(!Cuotas::recordSourceMesAnio(QStringLiteral("abc"), QStringLiteral("2009")));
        QVERIFY(!Cuotas::recordSourceMesAnio(QStringLiteral("3"), QString()));
        // Typed text is a bound value: a quote or a clause finds nothing and breaks nothing.
        QVERIFY(!Cuotas::recordSourceMesAnio(QStringLiteral("3 or 1=1"), QStringLiteral("2009")));
    }

    // The list reads a copy of each member's key kept on the dues: it must follow renames by the program
    // and by other tools, members deleted or added with the number of existing dues, and plans whose key
    // is missing.
    void orderFollowsMembersAsTheyAreNow() {
        BaseTemporal db;
        const int alfa = nuevoPlan(QStringLiteral("Alfa"));
        const int beta = nuevoPlan(QStringLiteral("Beta"));
        const int sinClave = nuevoPlan(QStringLiteral("Gama"));
        const int borrado = nuevoPlan(QStringLiteral("Borrado"));
        const int gomez1 = nuevoAfiliado(QStringLiteral("Gómez"), QStringLiteral("Ana"), alfa);
        const int gomez2 = nuevoAfiliado(QStringLiteral("GOMEZ"), QStringLiteral("ana"), alfa);
        const int perez = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Luis"), beta);
        const int zapata = nuevoAfiliado(QStringLiteral("Zapata"), QStringLiteral("Eva"), alfa);
        const int ibarra = nuevoAfiliado(QStringLiteral("Ibarra"), QStringLiteral("Sol"), alfa);
        const int socios[] = {zapata, gomez2, perez, ibarra, gomez1};
        const int planes[] = {alfa, beta, sinClave, borrado, 0};
        int n = 0;
        for (int mes : {4, 3})
            for (int plan : planes)
                for (int socio : socios) {
                    const int c = nuevaCuota(socio, plan, QDate(2009, mes, 10), 1, false, {}, mes, 2009);
                    if (plan == 0)
                        QVERIFY_HECHO(Database::exec(
                            QStringLiteral(R"(UPDATE "Cuotas" SET "idPlan" = NULL WHERE "idCuota" = ?)"),
                            {c}));
                    ++n;
                }
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(DELETE FROM "Planes" WHERE "idPlan" = ?)"), {borrado}));
        QVERIFY_HECHO(Database::exec(
            QStringLiteral(R"(UPDATE "Planes" SET "ClaveOrden" = NULL WHERE "idPlan" = ?)"), {sinClave}));
        comprobarOrden();
        const QStringList antes = lista(Cuotas::recordSourceTodas());
        QCOMPARE(antes.size(), n);

        // Renamed by the member editor after the dues were issued: Zapata becomes Abad and moves first.
        auto a = Afiliados::buscar(zapata);
        QVERIFY(a);
        for (int i = 0; i < Afiliado::NumCampos; ++i)
            if (Afiliados::campo(i) == QStringLiteral("Apellido"))
                a->campos[size_t(i)] = QStringLiteral("Abad");
        QVERIFY(Afiliados::guardar(*a));
        comprobarOrden();
        QVERIFY(lista(Cuotas::recordSourceTodas()) != antes);
        QCOMPARE(lista(Cuotas::recordSourceTodas(), QStringLiteral("Apellido")).first(),
                 QStringLiteral("Abad"));

        // A member deleted with the dues left behind: those dues lead their plan, as before.
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(DELETE FROM "Afiliados" WHERE "idAfiliado" = ?)"), {ibarra}));
        comprobarOrden();

        // Another tool adds a due without the copied key, renames a member without the key (the program
        // brings it up to date when it opens the file) and brings back the deleted member's number.
        QVERIFY(otroPrograma(db.path(), QStringLiteral(R"(
            INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Mes", "Año", "Vencimiento", "Monto")
              VALUES (%1, %2, 3, 2009, '2009-03-10', 1);
            UPDATE "Afiliados" SET "Apellido" = 'Aaron' WHERE "idAfiliado" = %3;
            INSERT INTO "Afiliados" ("idAfiliado", "Apellido", "Nombres", "ClaveOrden")
              VALUES (%4, 'Ibarra', 'Sol', 'ibarra' || char(1) || 'sol');)")
                                            .arg(perez)
                                            .arg(alfa)
                                            .arg(gomez2)
                                            .arg(ibarra)));
        Database::close();
        QString error;
        QVERIFY_HECHO(Database::open(db.path(), Database::Mode::MustExist));
        comprobarOrden();
        QCOMPARE(lista(Cuotas::recordSourceTodas(), QStringLiteral("Apellido")).first(),
                 QStringLiteral("Aaron"));
        QCOMPARE(
            contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" c JOIN "Afiliados" a USING ("idAfiliado")
                                          WHERE c."ClaveSocio" IS DISTINCT FROM a."ClaveOrden")")),
            0);
    }

    // A file written before the dues kept their member's key gets the key at its first opening.
    void olderFileGetsTheKeys() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("vieja.db"));
        QString sql = Schema::stepStatements(1).join(QStringLiteral(";\n"));
        sql += QStringLiteral(R"(;
            INSERT INTO "Planes" ("idPlan", "Descripcion", "ClaveOrden") VALUES (1, 'Mensual', 'mensual');
            INSERT INTO "Afiliados" ("idAfiliado", "Apellido", "Nombres", "ClaveOrden") VALUES
              (1, 'Zapata', 'Eva', 'zapata' || char(1) || 'eva'), (2, 'Abad', 'Ana', 'abad' || char(1) || 'ana');
            INSERT INTO "Cuotas" ("idCuota", "idAfiliado", "idPlan", "Mes", "Año", "Vencimiento") VALUES
              (1, 1, 1, 3, 2009, '2009-03-10'), (2, 2, 1, 3, 2009, '2009-03-10');
            PRAGMA user_version = 1;)");
        QVERIFY(otroPrograma(file, sql));
        QString error;
        QVERIFY_HECHO(Database::open(file, Database::Mode::MustExist));
        QSqlDatabase abierta = Database::db();
        QCOMPARE(TestSupport::valor(Schema::version(abierta), nullptr, -1), Schema::currentVersion());
        QCOMPARE(lista(Cuotas::recordSourceTodas()), QStringList({QStringLiteral("2"), QStringLiteral("1")}));
        comprobarOrden();
        Database::close();
    }

    void dayChange() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        QVERIFY(Cuotas::cambiarDia(10)); // an empty table: nothing to change, no failure
        const int enero = nuevaCuota(a, p, QDate(2009, 1, 31), 1);
        const int pagada = nuevaCuota(a, p, QDate(2009, 2, 5), 1, true, QDate(2009, 2, 1));
        const int abril = nuevaCuota(a, p, QDate(2009, 4, 2), 1);
        const int feb = nuevaCuota(a, p, QDate(2009, 2, 2), 1);
        const int febBis = nuevaCuota(a, p, QDate(2008, 2, 2), 1);
        const int feb1900 = nuevaCuota(a, p, QDate(1900, 2, 2), 1);
        const int feb2000 = nuevaCuota(a, p, QDate(2000, 2, 2), 1);
        const int dic = nuevaCuota(a, p, QDate(2009, 12, 2), 1);
        const int sinFecha = nuevaCuota(a, p, QDate(), 1);
        QVERIFY(Cuotas::cambiarDia(10));
        QCOMPARE(vencimiento(enero), QStringLiteral("2009-01-10"));
        QCOMPARE(vencimiento(pagada), QStringLiteral("2009-02-10"));
        QVERIFY(Cuotas::cambiarDia(31));
        QCOMPARE(vencimiento(enero), QStringLiteral("2009-01-31"));
        QCOMPARE(vencimiento(abril), QStringLiteral("2009-04-30"));
        QCOMPARE(vencimiento(feb), QStringLiteral("2009-02-28"));
        QCOMPARE(vencimiento(febBis), QStringLiteral("2008-02-29"));
        QCOMPARE(vencimiento(feb1900), QStringLiteral("1900-02-28"));
        QCOMPARE(vencimiento(feb2000), QStringLiteral("2000-02-29"));
        QCOMPARE(vencimiento(dic), QStringLiteral("2009-12-31"));
        QVERIFY(vencimiento(sinFecha).isEmpty());
        QVERIFY(Cuotas::cambiarDia(5));
        QCOMPARE(vencimiento(abril), QStringLiteral("2009-04-05"));

        for (const char *t : {"abc", "32", "0", "-1", "", "1,5", "3x"})
            QVERIFY2(!Cuotas::leerDia(QString::fromLatin1(t)), t);
        QCOMPARE(Cuotas::leerDia(QStringLiteral("1")), 1);
        QCOMPARE(Cuotas::leerDia(QStringLiteral(" 31")), 31);

        // A failed write changes no due at all.
        QVERIFY(crearFalla(QStringLiteral("falla"), QStringLiteral("BEFORE UPDATE"), QStringLiteral("Cuotas"),
                           QStringLiteral("disco lleno"), QStringLiteral(R"(OLD."idCuota" = %1)").arg(dic)));
        const QString error = Cuotas::cambiarDia(20).message();
        QVERIFY2(error.contains(QStringLiteral("disco lleno")), qPrintable(error));
        QCOMPARE(vencimiento(enero), QStringLiteral("2009-01-05"));
    }

    void clearingWritesACopyFirst() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        nuevaCuota(a, p, QDate(2009, 1, 10), 1);
        nuevaCuota(a, p, QDate(2009, 2, 10), 1, true, QDate(2009, 2, 1));

        // A copy that cannot be written stops both commands.
        QTemporaryDir otro;
        const QString noCarpeta = otro.filePath(QStringLiteral("archivo"));
        QFile f(noCarpeta);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        Backup::setFolder(noCarpeta + QStringLiteral("/copias"));
        const auto limpieza = Cuotas::limpiarRegistro();
        QVERIFY(!limpieza);
        QVERIFY2(limpieza.message().contains(QStringLiteral("no se borró ninguna cuota")),
                 qPrintable(limpieza.message()));
        const auto cambio = Cuotas::cambiarDiaConCopia(1);
        QVERIFY(!cambio);
        QVERIFY2(cambio.message().contains(QStringLiteral("no se cambió ninguna cuota")),
                 qPrintable(cambio.message()));
        QCOMPARE(contar(QStringLiteral(
                     R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Vencimiento" IN ('2009-01-10', '2009-02-10'))")),
                 2);
        Backup::setFolder(db.copias());

        auto copia = Cuotas::cambiarDiaConCopia(1);
        QVERIFY(copia);
        QVERIFY(QFile::exists(*copia));
        QVERIFY(copia->startsWith(db.copias()));
        copia = Cuotas::limpiarRegistro();
        QVERIFY(copia);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")")), 0);
        // The copy holds the dues as they were just before.
        QCOMPARE(contarEnCopia(*copia, QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas"
                                                         WHERE "Vencimiento" IN ('2009-01-01', '2009-02-01'))")),
                 2);
    }
};

MIRABEL_TEST_MAIN(tst_Cuotas)
#include "tst_Cuotas.moc"
