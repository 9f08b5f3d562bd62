// Collecting and the cash book on a large club: one payment, the cash panel's day filter and "Todo", and
// opening the collection window, each beside a bare statement of the same kind measured in the same run.
// Usage: bench_cash LARGE.db|postgresql://user@host/db   (the sample club: about 850,000 movements). The
// payments made are undone at the end, so the club is left as it was.

#include "BenchUtil.h"
#include "app/panPrin.h"
#include "cash/Cobranza.h"
#include "cash/ui/panCobraCuota.h"
#include "db/Database.h"
#include "db/Transaction.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/ReportControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medir(const std::function<void()> &f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void imprimir(const char *nombre, double valor, double base) {
    std::printf("%s: %.3f ms (%.2fx vs baseline)\n", nombre, valor, base > 0 ? valor / base : 0.0);
}

qlonglong uno(const QString &sql, const QVariantList &params = {}) {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(q, sql, params, QStringLiteral("bench")) || !q.next())
        return -1;
    return q.value(0).toLongLong();
}

// The first screenful of a query, read the bare way.
double primerasFilas(const QString &sql, const QVariantList &params) {
    return medir([&] {
        QSqlQuery q(Database::db());
        q.setForwardOnly(true);
        (void)Database::run(q, sql + QStringLiteral(" LIMIT 40"), params, QStringLiteral("bench"));
        while (q.next())
            q.value(0);
    });
}

} // namespace

int main(int argc, char **argv) {
    prepararAntesDeLaAplicacion();
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    Mensaje::habilitarPrueba(true);
    const QString path = clubDeLaLinea(argc, argv, "bench_cash CLUB_GRANDE.db (make bench lo genera)");
    if (path.isEmpty())
        return 2;
    QString err;
    if (!hecho(Database::open(path, Database::Mode::MustExist), &err)) {
        std::fprintf(stderr, "%s\n", qPrintable(err));
        return 1;
    }
    Module1::NivelUsuario = 1;
    const int vueltas = 25;

    // ---- one payment against one bare single-row insert, both committed with synchronous=FULL
    const qlonglong ultimoCaja = uno(QStringLiteral(R"(SELECT coalesce(max("idCaja"), 0) FROM "Caja")"));
    std::vector<qlonglong> pagadas;
    {
        QSqlQuery q(Database::db());
        (void)Database::run(q, QStringLiteral(R"(SELECT "idCuota" FROM "Cuotas" WHERE "Pagada" = 0 LIMIT ?)"),
                            {vueltas * 2}, QStringLiteral("bench"));
        while (q.next())
            pagadas.push_back(q.value(0).toLongLong());
    }
    std::vector<double> pago, insercion;
    for (int i = 0; i < vueltas && i < int(pagadas.size()); ++i) {
        insercion.push_back(medir([&] {
            Transaction t;
            (void)Database::exec(
                QStringLiteral(R"(INSERT INTO "Caja" ("Fecha", "idCuenta", "Detalles", "Ingresos",
                               "Egresos", "idTipoDivisa") VALUES (?, 1, 'bench', 1, 0, 1))"),
                {QStringLiteral("2000-01-01")});
            (void)t.commit();
        }));
        pago.push_back(medir([&] { (void)Cobranza::pagar(pagadas[size_t(i)], QDate(2000, 1, 1), 1); }));
    }
    // Undo: the dues unpaid again, the rows of this run gone.
    {
        Transaction t;
        QSqlQuery q(Database::db());
        q.prepare(QStringLiteral(
            R"(UPDATE "Cuotas" SET "Pagada" = 0, "Fecha de Pago" = NULL WHERE "idCuota" = ?)"));
        for (int i = 0; i < vueltas && i < int(pagadas.size()); ++i) {
            q.addBindValue(pagadas[size_t(i)]);
            q.exec();
        }
        (void)Database::exec(QStringLiteral(R"(DELETE FROM "Caja" WHERE "idCaja" > ?)"), {ultimoCaja});
        (void)t.commit();
    }
    const double basePago = mediana(insercion);
    std::printf("cash_insert_baseline_median: %.3f ms (1.00x vs baseline)\n", basePago);
    imprimir("cash_payment", mediana(pago), basePago);

    // ---- the cash panel
    panPrin w;
    w.resize(1180, 720);
    w.show();
    w.HaceClickOpcion(4);
    QCoreApplication::processEvents();
    auto *fecha = control<DatePicker>(&w, "dtFechaCaja");
    auto *lista = control<DataGrid>(&w, "DBGrid4");
    auto *verTodo = control<QPushButton>(&w, "Command21");
    // The busiest days of the book, and a quiet one, in turn.
    std::vector<QDate> dias;
    {
        QSqlQuery q(Database::db());
        q.exec(
            QStringLiteral(R"(SELECT "Fecha" FROM "Caja" GROUP BY "Fecha" ORDER BY COUNT(*) DESC LIMIT 10)"));
        while (q.next())
            dias.push_back(QDate::fromString(q.value(0).toString(), Qt::ISODate));
    }
    if (dias.empty()) {
        std::fprintf(stderr, "bench_cash: el club no tiene movimientos de caja\n");
        return 1;
    }
    const QString fuenteDia =
        QStringLiteral(R"(SELECT * FROM "Caja" WHERE "Fecha" = ? ORDER BY "Fecha", "idCaja")");
    std::vector<double> baseDia, dia, todo, baseTodo;
    for (int i = 0; i < vueltas; ++i) {
        const QDate d = dias[size_t(i) % dias.size()];
        baseDia.push_back(primerasFilas(fuenteDia, {d.toString(Qt::ISODate)}));
        dia.push_back(medir([&] {
            fecha->setDate(d);
            lista->repaint();
        }));
        fecha->setDate(d.addDays(1)); // the next change is a change again
        baseTodo.push_back(
            primerasFilas(QStringLiteral(R"(SELECT * FROM "Caja" ORDER BY "Fecha", "idCaja")"), {}));
        todo.push_back(medir([&] {
            verTodo->click();
            lista->repaint();
        }));
    }
    const int filasTodo = lista->dataControl()->recordCount();
    const double bDia = mediana(baseDia);
    const double bTodo = mediana(baseTodo);
    std::printf("cash_movements: %d rows\n", filasTodo);
    std::printf("cash_day_query_baseline_median: %.3f ms (1.00x vs baseline)\n", bDia);
    imprimir("cash_day_filter_first_rows_median", mediana(dia), bDia);
    std::printf("cash_all_query_baseline_median: %.3f ms (1.00x vs baseline)\n", bTodo);
    imprimir("cash_all_first_rows_median", mediana(todo), bTodo);

    // ---- opening the collection window for the member with the most unpaid dues
    const qlonglong socio = uno(QStringLiteral(R"(SELECT "idAfiliado" FROM "Cuotas" WHERE "Pagada" = 0
                                                  GROUP BY "idAfiliado" ORDER BY COUNT(*) DESC LIMIT 1)"));
    const qlonglong cuantas = uno(
        QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Pagada" = 0 AND "idAfiliado" = ?)"), {socio});
    std::vector<double> baseCobro, cobro;
    for (int i = 0; i < vueltas; ++i) {
        baseCobro.push_back(medir([&] {
            QSqlQuery q(Database::db());
            q.setForwardOnly(true);
            (void)Database::run(
                q, QStringLiteral(R"(SELECT * FROM "Cuotas" WHERE "idAfiliado" = ? AND "Pagada" = 0)"),
                {socio}, QStringLiteral("bench"));
            while (q.next())
                q.value(0);
        }));
        panCobraCuota *v = nullptr;
        cobro.push_back(medir([&] {
            v = new panCobraCuota(control<ReportControl>(&w, "CR"), &w);
            v->Tag = QString::number(socio);
            v->show();
            v->repaint();
        }));
        v->reject();
        delete v;
    }
    const double bCobro = mediana(baseCobro);
    std::printf("cash_collection_member_dues: %lld unpaid dues\n", cuantas);
    std::printf("cash_collection_query_baseline_median: %.3f ms (1.00x vs baseline)\n", bCobro);
    imprimir("cash_open_collection_median", mediana(cobro), bCobro);
    return 0;
}
