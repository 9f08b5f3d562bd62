// The dashboard on a large club: from asking for fresh figures (as after a write) to the four charts and
// tables painted, beside one bare pass over the cash book measured in the same run.
// Usage: bench_dashboard LARGE.db|postgresql://user@host/db [--png FILE]   (--png: a picture of the window
// on the dashboard, to look at)

#include "BenchUtil.h"
#include "app/panPrin.h"
#include "cash/ui/PanelTablero.h"
#include "db/Database.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
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

} // namespace

int main(int argc, char **argv) {
    prepararAntesDeLaAplicacion();
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    Mensaje::habilitarPrueba(true);
    const QString path =
        clubDeLaLinea(argc, argv, "bench_dashboard CLUB_GRANDE.db [--png ARCHIVO] (make bench lo genera)");
    if (path.isEmpty())
        return 2;
    const QString png =
        argc > 3 && qstrcmp(argv[2], "--png") == 0 ? QString::fromLocal8Bit(argv[3]) : QString();
    if (const Result opened = Database::open(path, Database::Mode::MustExist); !opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.message()));
        return 1;
    }
    Module1::NivelUsuario = 1;
    const int vueltas = 15;

    panPrin w;
    w.resize(1400, 900);
    w.show();
    w.HaceClickOpcion(panPrin::OpcionTablero);
    auto *tablero = control<PanelTablero>(&w, "panelProceso_6");
    tablero->esperar();

    std::vector<double> base, abrir;
    for (int i = 0; i < vueltas; ++i) {
        QElapsedTimer t;
        t.start();
        {
            QSqlQuery q(Database::db());
            q.setForwardOnly(true);
            (void)Database::run(q, QStringLiteral(R"(SELECT SUM("Ingresos"), SUM("Egresos") FROM "Caja")"),
                                {}, QStringLiteral("bench"));
            q.next();
        }
        base.push_back(double(t.nsecsElapsed()) / 1e6);

        QEventLoop espera;
        QObject::connect(tablero, &PanelTablero::cifrasMostradas, &espera, &QEventLoop::quit);
        t.restart();
        tablero->invalidar();
        tablero->actualizar();
        espera.exec();
        w.repaint();
        abrir.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    if (!tablero->cifras()) {
        std::fprintf(stderr, "bench_dashboard: no se pudieron leer las cifras\n");
        return 1;
    }
    const double b = mediana(base);
    const double a = mediana(abrir);
    std::printf("dashboard_cash_sum_baseline_median: %.3f ms (1.00x vs baseline)\n", b);
    std::printf("dashboard_open_median: %.3f ms (%.2fx vs baseline)\n", a, b > 0 ? a / b : 0.0);
    if (!png.isEmpty() && !w.grab().save(png))
        std::fprintf(stderr, "bench_dashboard: no se pudo escribir %s\n", qPrintable(png));
    return 0;
}
