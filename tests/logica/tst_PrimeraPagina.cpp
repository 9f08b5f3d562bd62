#include "cash/Caja.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "dues/Cuotas.h"
#include "members/Afiliados.h"
#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

using namespace TestSupport;

namespace {

struct Lista {
    QString sql;
    QVariantList params;
};

// A server prepares no EXPLAIN: the values go into the text, as the server's driver writes literals.
QString conValores(const QString &sql, const QVariantList &params) {
    QString out;
    int i = 0;
    for (const QChar c : sql) {
        if (c != QLatin1Char('?') || i >= params.size()) {
            out += c;
            continue;
        }
        QSqlField f(QString(), params.at(i).metaType());
        f.setValue(params.at(i++));
        out += Database::db().driver()->formatValue(f);
    }
    return out;
}

// A list read by offsets: its first page.
Lista primeraPagina(const QString &sql, const QVariantList &params) {
    return {sql + QStringLiteral(" LIMIT ? OFFSET ?"), params + QVariantList{256, 0}};
}

// A list read in parts: the first page of its first part.
Lista primeraPagina(const Cuotas::Fuente &f) {
    const auto partes = f.tramos();
    if (!partes || partes->isEmpty())
        return {QStringLiteral("sin partes"), {}};
    Lista l;
    l.sql = KeysetList::pageStatement(partes->constFirst(), {}, 0, &l.params);
    l.params << 256;
    return l;
}

// The plan of a list's first page as the paged model reads it, one node a line.
QStringList plan(const Lista &l) {
    const QString &primera = l.sql;
    QStringList lineas;
    QSqlQuery q(Database::db());
    if (enServidor()) {
        if (!q.exec(QStringLiteral("EXPLAIN ") + conValores(primera, l.params)))
            return {q.lastError().text()};
        while (q.next())
            lineas << q.value(0).toString();
        return lineas;
    }
    q.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + primera);
    for (const QVariant &v : l.params)
        q.addBindValue(v);
    if (!q.exec())
        return {q.lastError().text()};
    // "id parent detail": a node's parent is the select (or branch) it belongs to.
    while (q.next())
        lineas << QStringLiteral("%1 %2 %3")
                      .arg(q.value(0).toString(), q.value(1).toString(), q.value(3).toString());
    return lineas;
}

// SQLite: the list's driving table is walked through an index, and the select that walks it sorts nothing
// itself nor above it. Branches of their own (a list's rare leftovers) may sort what they hold.
bool sinOrdenarSqlite(const QStringList &lineas, const QRegularExpression &recorrido, QString *porQue) {
    QHash<QString, QString> padre;
    QString suyo;
    for (const QString &l : lineas) {
        const QStringList p = l.split(QLatin1Char(' '));
        padre.insert(p.value(0), p.value(1));
        if (l.section(QLatin1Char(' '), 2).contains(recorrido) && suyo.isEmpty())
            suyo = p.value(1);
    }
    if (suyo.isEmpty()) {
        *porQue = QStringLiteral("no recorre por índice: ") + recorrido.pattern();
        return false;
    }
    QSet<QString> arriba;
    for (QString n = suyo; !n.isEmpty() && !arriba.contains(n); n = padre.value(n))
        arriba.insert(n);
    for (const QString &l : lineas)
        if (l.contains(QLatin1String("USE TEMP B-TREE FOR ORDER BY")) &&
            arriba.contains(l.section(QLatin1Char(' '), 1, 1))) {
            *porQue = QStringLiteral("ordena la lista entera: ") + l;
            return false;
        }
    return true;
}

} // namespace

// The first rows of every long list come from an index in the list's own order, on both engines: the plan
// of the first page sorts none of the list's rows.
class tst_PrimeraPagina : public QObject {
    Q_OBJECT
private slots:
    void primeraPaginaPorIndice_data() {
        QTest::addColumn<int>("cual");
        QTest::addColumn<QString>("recorrido"); // SQLite: the walk of the table that leads the order
        QTest::newRow("socios") << 0 << QStringLiteral("SCAN Afiliados USING INDEX Afiliados_Orden");
        QTest::newRow("caja, Todo") << 1 << QStringLiteral("SCAN k USING (COVERING )?INDEX Caja_Fecha");
        QTest::newRow("caja, del día") << 2 << QStringLiteral("SEARCH k USING INDEX Caja_Fecha");
        QTest::newRow("cuotas, al abrir") << 3 << QStringLiteral("SEARCH c USING INDEX Cuotas_Plan ");
        QTest::newRow("cuotas, Buscar") << 4 << QStringLiteral("SEARCH c USING INDEX Cuotas_Plan ");
        QTest::newRow("cuotas, Mostrar Todas")
            << 5 << QStringLiteral("SEARCH c USING INDEX Cuotas_PlanSocio ");
        // Not a list: the member's debt, read at every row change of the members list, on the member's dues.
        QTest::newRow("deuda del socio")
            << 6 << QStringLiteral("SEARCH c USING COVERING INDEX Cuotas_Afiliado \\(idAfiliado=");
    }

    void primeraPaginaPorIndice() {
        QFETCH(int, cual);
        QFETCH(QString, recorrido);
        BaseTemporal db;
        // A plan with dues: the dues list's first part.
        const int idPlan = nuevoPlan(QStringLiteral("Plan"));
        const int socio = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"), idPlan);
        nuevaCuota(socio, idPlan, QDate(2024, 3, 10), 1, false, {}, 3, 2024);
        const Caja::Fuente todo = Caja::todo();
        const Caja::Fuente dia = Caja::delDia(QDate(2024, 3, 1), QVariant());
        const Lista listas[] = {
            primeraPagina(Afiliados::recordSource(), {}),
            primeraPagina(todo.sql, todo.params),
            primeraPagina(dia.sql, dia.params),
            primeraPagina(Cuotas::recordSourceDiseno()),
            primeraPagina(*Cuotas::recordSourceMesAnio(QStringLiteral("3"), QStringLiteral("2024"))),
            primeraPagina(Cuotas::recordSourceTodas()),
            {QStringLiteral(R"(Select * from "ConsultaDeuda" where "idAfiliado" = ?)"), {socio}}};
        if (!enServidor()) {
            QString porQue;
            QVERIFY2(sinOrdenarSqlite(plan(listas[cual]), QRegularExpression(QLatin1Char('^') + recorrido),
                                      &porQue),
                     qPrintable(porQue + QLatin1Char('\n') + plan(listas[cual]).join(QLatin1Char('\n'))));
            return;
        }
        // The test's tables are small: with sorting and whole-table reads priced out, the planner shows
        // whether an index gives the list's order at all.
        QSqlQuery q(Database::db());
        QVERIFY(q.exec(QStringLiteral("SET enable_sort = off")));
        QVERIFY(q.exec(QStringLiteral("SET enable_seqscan = off")));
        const QStringList lineas = plan(listas[cual]);
        QVERIFY(q.exec(QStringLiteral("RESET enable_sort")));
        QVERIFY(q.exec(QStringLiteral("RESET enable_seqscan")));
        const QString texto = lineas.join(QLatin1Char('\n'));
        QVERIFY2(!texto.contains(QLatin1String("Sort  (")) && !texto.contains(QLatin1String("Sort (")),
                 qPrintable(texto));
    }
};

MIRABEL_TEST_MAIN(tst_PrimeraPagina)
#include "tst_PrimeraPagina.moc"
