// The activity log's window on a large club whose log holds about a million entries: from opening the
// window to its first rows painted, beside a bare reading of the same first rows measured in the same run.
// Works on a copy (on a server, a copy made beside the club and dropped at the end); the entries are
// generated there by SQL: three years of days, about 900 entries a day.
// Usage: bench_log LARGE.db|postgresql://user@host/db

#include "BenchUtil.h"
#include "admin/ui/panRegistroActividad.h"
#include "core/Clock.h"
#include "db/Database.h"
#include "db/Engine.h"
#include "db/Transaction.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

constexpr int kDias = 1100;
constexpr int kPorDia = 900;

// The days in a table of their own, then every day crossed with the first kPorDia of them: one statement
// that both engines run, the entries of a day in a row as a busy club's desks would leave them.
bool llenarRegistro(QString *error) {
    QSqlDatabase db = Database::db();
    QSqlQuery q(db);
    const auto falla = [&] {
        *error = q.lastError().text();
        return false;
    };
    if (!q.exec(QStringLiteral(R"(CREATE TEMPORARY TABLE "BenchDias" ("k" INTEGER, "d" DATE))")))
        return falla();
    const QDate hoy = Clock::today();
    {
        Transaction t;
        if (!q.prepare(QStringLiteral(R"(INSERT INTO "BenchDias" ("k", "d") VALUES (?, ?))")))
            return falla();
        for (int k = 1; k <= kDias; ++k) {
            q.addBindValue(k);
            q.addBindValue(hoy.addDays(k - kDias).toString(Qt::ISODate));
            if (!q.exec())
                return falla();
        }
        if (!t.commit())
            return falla();
    }
    Transaction t;
    if (!q.prepare(QStringLiteral(
            R"(INSERT INTO "RegistroActividad" ("Fecha", "Hora", "idUsuario", "Usuario", "Nivel", "Puesto",
                   "Accion", "Objeto", "MontoAntes", "MontoDespues", "Detalle")
               SELECT d."d", '12:00:00', 1 + x."k" % 3,
                      CASE x."k" % 3 WHEN 0 THEN 'ana' WHEN 1 THEN 'luis' ELSE 'consola:root' END,
                      1 + x."k" % 3, 'caja-1', 1 + x."k" % 33, CAST(x."k" AS TEXT),
                      CASE WHEN x."k" % 33 = 17 THEN 0 END, CASE WHEN x."k" % 33 = 17 THEN x."k" * 10000 END,
                      NULL
               FROM "BenchDias" d CROSS JOIN "BenchDias" x WHERE x."k" <= ?
               ORDER BY d."d", x."k")")))
        return falla();
    q.addBindValue(kPorDia);
    if (!q.exec())
        return falla();
    return t.commit() || falla();
}

} // namespace

int main(int argc, char **argv) {
    prepararAntesDeLaAplicacion();
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    Mensaje::habilitarPrueba(true);

    const QString origen =
        clubDeLaLinea(argc, argv, "bench_log CLUB_GRANDE.db|postgresql://usuario@servidor/base");
    if (origen.isEmpty())
        return 2;
    const bool servidor = BenchServidor::es(origen);
    CopiaDelClub copia;
    QString err;
    if (!copia.abrir(origen, &err)) {
        std::fprintf(stderr, "%s\n", qPrintable(err));
        return 1;
    }
    Module1::NivelUsuario = 1;

    if (!llenarRegistro(&err)) {
        std::fprintf(stderr, "bench_log: no se pudo llenar el registro: %s\n", qPrintable(err));
        return 1;
    }
    // A server's statistics as its autovacuum would have them after a million rows came in.
    if (servidor)
        QSqlQuery(Database::db()).exec(QStringLiteral(R"(ANALYZE "RegistroActividad")"));
    QSqlQuery n(Database::db());
    n.exec(QStringLiteral(R"(SELECT COUNT(*) FROM "RegistroActividad")"));
    n.next();
    std::printf("log_entries: %lld rows\n", n.value(0).toLongLong());

    const int vueltas = 15;
    QWidget padre;
    std::vector<double> base, abrir;
    const QString hoy = Clock::today().toString(Qt::ISODate);
    const QString desde = Clock::today().addDays(-30).toString(Qt::ISODate);
    for (int i = 0; i < vueltas; ++i) {
        QElapsedTimer t;
        t.start();
        {
            QSqlQuery q(Database::db());
            q.setForwardOnly(true);
            (void)Database::run(q, QStringLiteral(R"(SELECT * FROM "RegistroActividad"
                                                     WHERE "Fecha" >= ? AND "Fecha" <= ?
                                                     ORDER BY "Fecha" DESC, "idRegistro" DESC LIMIT 256)"),
                                {desde, hoy}, QStringLiteral("bench"));
            while (q.next())
                q.value(0);
        }
        base.push_back(double(t.nsecsElapsed()) / 1e6);

        t.restart();
        auto *w = new panRegistroActividad(&padre);
        w->show();
        w->repaint();
        abrir.push_back(double(t.nsecsElapsed()) / 1e6);
        if (i == 0 && control<DataGrid>(w, "DBGrid1")->model()->rowCount() == 0) {
            std::fprintf(stderr, "bench_log: la ventana no muestra filas\n");
            return 1;
        }
        delete w;
    }
    const double b = mediana(base);
    const double a = mediana(abrir);
    std::printf("log_first_rows_baseline_median: %.3f ms (1.00x vs baseline)\n", b);
    std::printf("log_first_rows_median: %.3f ms (%.2fx vs baseline)\n", a, b > 0 ? a / b : 0.0);
    return 0;
}
