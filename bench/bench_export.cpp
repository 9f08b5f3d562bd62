// Exporting the members list of a large club: to Excel, against writing the same rows as CSV in the same
// run (the baseline). Usage: bench_export LARGE.db

#include "BenchUtil.h"
#include "app/panPrin.h"
#include "db/Database.h"
#include "transfer/ListExport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/ListExportDialog.h"
#include "ui/Module1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "uso: bench_export CLUB_GRANDE.db\n");
        return 2;
    }
    QString err;
    if (!hecho(Database::open(QString::fromLocal8Bit(argv[1]), Database::Mode::MustExist), &err)) {
        std::fprintf(stderr, "%s\n", qPrintable(err));
        return 1;
    }
    Module1::NivelUsuario = 1;
    panPrin principal;
    DataGrid *grilla = control<DataGrid>(&principal, "DBGrid1");
    const QVector<ListExport::Column> columnas = ListExport::columns(grilla->gridModel()->columns());
    const QString sql = grilla->dataControl()->recordSource();
    const QVariantList params = grilla->dataControl()->recordSourceParams();
    QTemporaryDir dir;

    auto medir = [&](ListExport::Format f) {
        QElapsedTimer t;
        t.start();
        const QString out = dir.filePath(QStringLiteral("socios.") + ListExport::extension(f));
        if (const Result r = ListExport::write(out, f, sql, params, columnas, QStringLiteral("Socios")); !r) {
            std::fprintf(stderr, "%s\n", qPrintable(r.message()));
            return -1.0;
        }
        return double(t.nsecsElapsed()) / 1e6;
    };
    // Best of three each, alternating, so a busy moment of the machine weighs on both alike.
    double csv = 1e18, xlsx = 1e18;
    for (int i = 0; i < 3; ++i) {
        csv = qMin(csv, medir(ListExport::Format::Csv));
        xlsx = qMin(xlsx, medir(ListExport::Format::Xlsx));
    }
    if (csv < 0 || xlsx < 0)
        return 1;
    std::printf("export_members_xlsx: %.0f ms (%.2f vs baseline)\n", xlsx, xlsx / csv);
    std::printf("export_members_peak_memory: %lld KiB\n", static_cast<long long>(peakResidentKiB()));
    std::fflush(stdout);
    return 0;
}
