// Dues on a large club: the plan-wide issuance and its re-issue through the code the window runs, the
// due-day change, and the first rows of the dues list after "Buscar" and "Mostrar Todas", each against a
// bare statement measured in the same run. Works on a copy: the club given is not changed (on a server,
// a copy made beside it and dropped at the end).
// Usage: bench_dues LARGE.db|postgresql://user@host/db

#include "BenchUtil.h"
#include "app/panPrin.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "db/Transaction.h"
#include "dues/Cuotas.h"
#include "dues/Emision.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
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

void linea(const char *nombre, double valor, const char *unidad, double base) {
    std::printf("%s: %.1f %s (%.2fx vs baseline)\n", nombre, valor, unidad, base > 0 ? valor / base : 0.0);
    std::fflush(stdout);
}

// The bare counterpart of a run: the same rows by one prepared INSERT in one transaction.
double insercionDesnuda(const QVector<qint64> &socios, qint64 idPlan, int anio, const QDate &inicio) {
    return medir([&] {
        Transaction t;
        QSqlQuery q(Database::db());
        q.prepare(
            QStringLiteral(R"(INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Vencimiento", "Factura", "Mes",
                                    "Año", "Monto", "ClaveSocio") VALUES (?, ?, ?, ?, ?, ?, ?,
                                    (SELECT "ClaveOrden" FROM "Afiliados" WHERE "idAfiliado" = ?)))"));
        for (qint64 a : socios) {
            auto fila = [&](const QDate &d, const QString &factura, int mes) {
                for (const QVariant &v :
                     {QVariant(a), QVariant(idPlan), QVariant(d.toString(Qt::ISODate)), QVariant(factura),
                      QVariant(mes), QVariant(anio), QVariant(250000), QVariant(a)})
                    q.addBindValue(v);
                q.exec();
            };
            fila(inicio, QStringLiteral("INSCRIPCION"), 0);
            QDate d = inicio;
            for (int n = 1; n <= 12; ++n, d = d.addMonths(1))
                fila(d, QStringLiteral("MES %1 AÑO %2").arg(d.month()).arg(d.year()), d.month());
        }
        (void)t.commit();
    });
}

} // namespace

int main(int argc, char **argv) {
    prepararAntesDeLaAplicacion();
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    Mensaje::habilitarPrueba(true);

    const QString origen =
        clubDeLaLinea(argc, argv, "bench_dues CLUB_GRANDE.db|postgresql://usuario@servidor/base");
    if (origen.isEmpty())
        return 2;
    const bool servidor = BenchServidor::es(origen);
    CopiaDelClub copia;
    QString err;
    if (!copia.abrir(origen, &err)) {
        std::fprintf(stderr, "%s\n", qPrintable(err));
        return 1;
    }
    Backup::setFolder(copia.ruta(QStringLiteral("copias")));
    Module1::NivelUsuario = 1;

    // First rows of the list, as the user sees them after the click.
    {
        panPrin w;
        w.show();
        w.HaceClickOpcion(1);
        QCoreApplication::processEvents();
        auto *buscar = control<QPushButton>(&w, "Command11");
        auto *mostrarTodas = control<QPushButton>(&w, "Command33");
        DataControl *cuotas = control<DataGrid>(&w, "DBGrid2")->dataControl();
        // The month and year the main window proposes: the current ones.
        const QString mes = control<QLineEdit>(&w, "txtSelMes")->text();
        const QString anio = control<QLineEdit>(&w, "txtSelAnio")->text();
        std::vector<double> base, filtro, todas;
        QSqlQuery b(Database::db());
        b.prepare(QStringLiteral(R"(SELECT * FROM "Cuotas" WHERE "Mes" = ? AND "Año" = ? LIMIT 256)"));
        for (int i = 0; i < 15; ++i) {
            base.push_back(medir([&] {
                b.addBindValue(mes);
                b.addBindValue(anio);
                b.exec();
                while (b.next()) {
                }
                b.finish();
            }));
            filtro.push_back(medir([&] {
                buscar->click();
                QCoreApplication::processEvents();
            }));
            todas.push_back(medir([&] {
                mostrarTodas->click();
                QCoreApplication::processEvents();
            }));
        }
        const int todasLasCuotas = cuotas->recordCount();
        buscar->click();
        std::printf("dues_list_rows: %d dues, %d of %s/%s\n", todasLasCuotas, cuotas->recordCount(),
                    qPrintable(mes), qPrintable(anio));
        linea("dues_first_page_baseline_median", mediana(base), "ms", mediana(base));
        linea("dues_filter_first_rows_median", mediana(filtro), "ms", mediana(base));
        linea("dues_show_all_first_rows_median", mediana(todas), "ms", mediana(base));
    }

    // Plan-wide issuance for 10,000 members: 12 dues and the inscription each.
    qint64 idPlan = 0;
    QVector<qint64> socios;
    {
        (void)Database::exec(
            QStringLiteral(R"(INSERT INTO "Planes" ("Descripcion", "CuotaMensual", "CantidadCuotas",
                                         "Inscripcion", "ClaveOrden") VALUES ('Bench', 250000, 12, 250000, 'bench'))"));
        idPlan = Database::buscaValor(QStringLiteral(R"(SELECT MAX("idPlan") AS m FROM "Planes")"),
                                      QStringLiteral("m"))
                     .toLongLong();
        QSqlQuery q(Database::db());
        q.exec(QStringLiteral(R"(SELECT "idAfiliado" FROM "Afiliados" ORDER BY "idAfiliado" LIMIT 10000)"));
        while (q.next())
            socios << q.value(0).toLongLong();
    }
    const QDate inicio(2031, 1, 10);
    const double base = insercionDesnuda(socios, idPlan, 2030, inicio);
    (void)Database::exec(QStringLiteral(R"(DELETE FROM "Cuotas" WHERE "Año" = 2030)"));
    Emision::Grupal e;
    e.noPlan = QString::number(idPlan);
    e.mes = QStringLiteral("1");
    e.anio = QStringLiteral("2031");
    e.afiliados = socios;
    e.primerVencimiento = inicio;
    e.inscripcion = true;
    e.fechaInscripcion = inicio;
    e.montos = QVector<Money>(12, Money::fromUnits(250000));
    int vistos = 0;
    auto progreso = [&](int, int) {
        ++vistos;
        return true;
    };
    Emision::Resultado r;
    const double emision = medir([&] { r = Emision::emitirGrupal(e, progreso); });
    if (!r.ok() || r.agregadas != socios.size() * 13) {
        std::fprintf(stderr, "la emisión falló: %s\n", qPrintable(r.mensaje));
        return 1;
    }
    e.montos[2] = Money::fromUnits(300000);
    const double reemision = medir([&] { r = Emision::emitirGrupal(e, progreso); });
    if (!r.ok() || r.actualizadas != socios.size() * 12) {
        std::fprintf(stderr, "la reemisión falló: %s\n", qPrintable(r.mensaje));
        return 1;
    }
    std::printf("dues_issue_rows: %lld dues for %lld members\n", qint64(socios.size()) * 13,
                qint64(socios.size()));
    linea("dues_bare_insert_baseline", base, "ms", base);
    linea("dues_issue_plan_wide", emision, "ms", base);
    linea("dues_reissue_plan_wide", reemision, "ms", base);

    // The due-day change over every due.
    const int total =
        Database::buscaValor(QStringLiteral(R"(SELECT COUNT(*) AS n FROM "Cuotas")"), QStringLiteral("n"))
            .toInt();
    // Every due to the 15th of its month: ISO text in a file, a date on a server.
    const QString desnudo =
        servidor
            ? QStringLiteral(
                  R"(UPDATE "Cuotas" SET "Vencimiento" = date_trunc('month', "Vencimiento")::date + 14)")
            : QStringLiteral(R"(UPDATE "Cuotas" SET "Vencimiento" = substr("Vencimiento", 1, 8) || '15')");
    const double update = medir([&] {
        Transaction t;
        (void)Database::exec(desnudo);
        (void)t.commit();
    });
    QString error;
    bool ok = false;
    const double cambio = medir([&] {
        const Result r = Cuotas::cambiarDia(31);
        ok = r.ok();
        error = r.message();
    });
    QString errorCopia;
    bool conCopiaOk = false;
    const double conCopia = medir([&] {
        const auto copia = Cuotas::cambiarDiaConCopia(10);
        conCopiaOk = copia.ok();
        errorCopia = copia.message();
    });
    // A server may not take the program's automatic copy: then there is no figure, not a failed run.
    if (!ok || (!conCopiaOk && !servidor)) {
        std::fprintf(stderr, "el cambio de día falló: %s\n", qPrintable(ok ? errorCopia : error));
        return 1;
    }
    std::printf("dues_day_change_rows: %d dues\n", total);
    linea("dues_bare_update_baseline", update, "ms", update);
    linea("dues_day_change", cambio, "ms", update);
    if (conCopiaOk)
        linea("dues_day_change_with_copy", conCopia, "ms", update);
    else
        std::printf("dues_day_change_with_copy: omitido (%s)\n", qPrintable(errorCopia));
    return 0;
}
