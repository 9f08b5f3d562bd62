// Members panel on a large club: a search keystroke, a row change with its debt summary and opening the
// member editor, each beside the bare indexed lookup of the same member measured in the same run. Usage:
// bench_members [LARGE.db|postgresql://user@host/db]   (without either, a 100,000-member club is made in a
// temporary folder)

#include "BenchUtil.h"
#include "app/panPrin.h"
#include "db/Database.h"
#include "db/Transaction.h"
#include "members/ui/panAfiliado.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Muestra {
    std::vector<double> ms;
    double mediana() const {
        std::vector<double> v = ms;
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }
    double peor() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

double medir(const std::function<void()> &f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

// A club good enough to measure on when the shared sample is not at hand: 100,000 members with 12 dues each.
bool crearClub(const QString &path) {
    QString err;
    if (!hecho(Database::open(path, Database::Mode::CreateIfMissing), &err)) {
        std::fprintf(stderr, "%s\n", qPrintable(err));
        return false;
    }
    const QStringList apellidos = {"García", "González", "Gómez", "Pérez",  "Rodríguez", "Fernández", "López",
                                   "Díaz",   "Martínez", "Sosa",  "Romero", "Álvarez",   "Benítez",   "Núñez",
                                   "Ñañez",  "D'Angelo", "Ruiz",  "Torres", "Vega",      "Zárate"};
    const QStringList nombres = {"Juan", "María", "José", "Ana", "Carlos", "Lucía", "Pedro", "Sofía"};
    Transaction t;
    (void)Database::exec(
        QStringLiteral(R"(INSERT INTO "Planes" ("Descripcion", "CuotaMensual", "CantidadCuotas",
                                     "Inscripcion") VALUES ('Mensual', 250000, 12, 0))"));
    QSqlQuery a(Database::db());
    a.prepare(QStringLiteral(R"(INSERT INTO "Afiliados" ("Apellido", "Nombres", "TipoDocumento", "Documento",
                                "Domicilio", "Telefono", "idPlan", "Fecha Afiliacion", "Fecha Nacimiento", "ClaveOrden")
                                VALUES (?, ?, 'DNI', '1', 'Calle 1', '555', 1, '2008-01-01', '2000-01-01',
                                        clave_orden(?, ?)))"));
    QSqlQuery c(Database::db());
    c.prepare(QStringLiteral(
        R"(INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Mes", "Año", "Vencimiento", "Factura",
                                "Monto", "Pagada", "Fecha de Pago") VALUES (?, 1, ?, 2024, ?, 'CUOTA', 250000, ?, ?))"));
    QRandomGenerator rng(7);
    for (int i = 0; i < 100000; ++i) {
        const QString ap =
            apellidos.at(int(rng.bounded(apellidos.size()))) + QString::number(rng.bounded(500));
        const QString no = nombres.at(int(rng.bounded(nombres.size())));
        for (const QVariant &v : {QVariant(ap), QVariant(no), QVariant(ap), QVariant(no)})
            a.addBindValue(v);
        a.exec();
        const QVariant id = a.lastInsertId();
        for (int m = 1; m <= 12; ++m) {
            const bool pagada = m < 4;
            for (const QVariant &v :
                 {id, QVariant(m), QVariant(QDate(2024, m, 10).toString(Qt::ISODate)), QVariant(int(pagada)),
                  pagada ? QVariant(QDate(2024, m, 5).toString(Qt::ISODate)) : QVariant()})
                c.addBindValue(v);
            c.exec();
        }
    }
    const bool ok = t.commit();
    Database::close();
    return ok;
}

void imprimir(const char *nombre, const Muestra &m, double base) {
    std::printf("%s_median: %.3f ms (%.2fx vs baseline)\n", nombre, m.mediana(), m.mediana() / base);
    std::printf("%s_worst: %.3f ms (%.2fx vs baseline)\n", nombre, m.peor(), m.peor() / base);
}

} // namespace

int main(int argc, char **argv) {
    prepararAntesDeLaAplicacion();
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    Mensaje::habilitarPrueba(true); // nothing may stop the run waiting for a click

    QTemporaryDir tmp;
    QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (path.isEmpty() || (!BenchServidor::es(path) && !QFileInfo::exists(path))) {
        path = tmp.filePath(QStringLiteral("club.db"));
        std::fprintf(stderr, "bench_members: creando un club de 100.000 socios en %s\n", qPrintable(path));
        if (!crearClub(path))
            return 1;
    }
    QString err;
    if (!hecho(Database::open(path, Database::Mode::MustExist), &err)) {
        std::fprintf(stderr, "%s\n", qPrintable(err));
        return 1;
    }
    Module1::NivelUsuario = 1;
    panPrin w;
    w.show();
    // The members list in front, as where one searches (level 1 starts on the dashboard).
    w.HaceClickOpcion(0);
    QCoreApplication::processEvents();
    QLineEdit *box = control<QLineEdit>(&w, "txtBuscaAfiliado");
    auto *lista = control<DataGrid>(&w, "DBGrid1");
    DataControl *socios = lista->dataControl();
    const int total = socios->recordCount();

    // The member that the search lands on is the one the baseline looks up.
    box->setText(QStringLiteral("Gon"));
    const qint64 objetivo = socios->value(QStringLiteral("idAfiliado")).toLongLong();
    const int filaObjetivo = socios->currentRow();
    box->clear();
    QCoreApplication::processEvents();

    const int vueltas = 30;
    Muestra base, tecla, fallo, fila, editor;
    QSqlQuery q(Database::db());
    q.prepare(QStringLiteral(R"(SELECT * FROM "Afiliados" WHERE "idAfiliado" = ?)"));
    for (int i = 0; i < vueltas * 5; ++i)
        base.ms.push_back(medir([&] {
            q.addBindValue(objetivo);
            q.exec();
            q.next();
            q.finish();
        }));

    // A keystroke is the search, the summary and the repaint of the list around the found row.
    auto tipear = [&](const QString &texto) {
        return medir([&] {
            box->setText(texto);
            QCoreApplication::processEvents();
        });
    };
    for (int i = 0; i < vueltas; ++i) {
        for (const char *t : {"G", "Go", "Gon", "G"})
            tecla.ms.push_back(tipear(QString::fromLatin1(t)));
        const double f = tipear(QStringLiteral("Gx")); // finds nothing: re-read, clear, first member
        tecla.ms.push_back(f);
        fallo.ms.push_back(f);
    }

    // A row change by the keyboard, anywhere in the list.
    QRandomGenerator rng(11);
    for (int i = 0; i < vueltas * 3; ++i) {
        socios->setCurrentRow(int(rng.bounded(qMax(1, total - 1))));
        QCoreApplication::processEvents();
        fila.ms.push_back(medir([&] {
            QKeyEvent abajo(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
            QApplication::sendEvent(lista, &abajo);
            QCoreApplication::processEvents();
        }));
    }

    // Opening the member editor on the searched member, filled and painted.
    for (int i = 0; i < vueltas; ++i) {
        auto *e = new panAfiliado(&w);
        editor.ms.push_back(medir([&] {
            e->Tag = QString::number(objetivo);
            e->show();
            QCoreApplication::processEvents();
        }));
        e->reject();
        delete e;
    }

    std::printf("members_rows: %d rows (searched member at row %d)\n", total, filaObjetivo);
    std::printf("members_lookup_baseline_median: %.3f ms (1.00x vs baseline)\n", base.mediana());
    std::printf("members_lookup_baseline_worst: %.3f ms (%.2fx vs baseline)\n", base.peor(),
                base.peor() / base.mediana());
    imprimir("members_search_keystroke", tecla, base.mediana());
    imprimir("members_search_failed_reset", fallo, base.mediana());
    imprimir("members_row_change", fila, base.mediana());
    imprimir("members_open_panAfiliado", editor, base.mediana());
    return 0;
}
