// Import of the old program's large BASE.mdb against the bare reading of the same file: mdb-export of
// the same nine tables to /dev/null, in the same run. The import reads every row once and writes it in
// one transaction, so the ratio shows what writing the new database costs on top of reading the old one.
//
//   bench_import_mdb [ignored]   (the fixture folder is fixed at build time: MIRABEL_LEGACY_FIXTURES)

#include "db/SqlEngine.h"
#include "transfer/MdbImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRounds = 3;

double exportAll(const QString &program, const QString &mdb) {
    QElapsedTimer t;
    t.start();
    for (const QString &table : MdbImport::tableNames()) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.start(program, {mdb, table});
        if (!p.waitForFinished(-1) || p.exitCode() != 0)
            return -1;
    }
    return t.nsecsElapsed() / 1e6;
}

double importOnce(const QString &mdb) {
    QTemporaryDir dir;
    QElapsedTimer t;
    t.start();
    const MdbImport::Result r = MdbImport::run(mdb, dir.filePath(QStringLiteral("importada.db")));
    const double ms = t.nsecsElapsed() / 1e6;
    if (!r.ok()) {
        std::fprintf(stderr, "bench_import_mdb: %s\n", qPrintable(r.error));
        return -1;
    }
    return ms;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    // The import writes a new club file; a server's database is not its target.
    if (argc > 1 && SqlEngine::isServerUrl(QString::fromLocal8Bit(argv[1]))) {
        std::printf("# bench_import_mdb: la importación escribe un archivo; en el servidor no se mide\n");
        return 0;
    }
    const QString mdb =
        QDir(QStringLiteral(MIRABEL_LEGACY_FIXTURES)).filePath(QStringLiteral("BASE-large.mdb"));
    if (!QFileInfo::exists(mdb)) {
        std::printf("import_mdb_large: omitido (no existe %s)\n", qPrintable(mdb));
        return 0;
    }
    const QString exporter = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    if (exporter.isEmpty()) {
        std::printf("import_mdb_large: omitido (falta mdb-export, paquete mdbtools)\n");
        return 0;
    }
    // Rounds alternate the two so that both see the same cache and machine load; the best of each counts.
    double base = 1e300, import = 1e300;
    for (int i = 0; i < kRounds; ++i) {
        const double b = exportAll(exporter, mdb);
        const double m = importOnce(mdb);
        if (b < 0 || m < 0) {
            std::fprintf(stderr, "bench_import_mdb: falló una vuelta\n");
            return 1;
        }
        base = std::min(base, b);
        import = std::min(import, m);
    }
    std::printf("mdb_export_large: %.1f ms (1.00 vs baseline)\n", base);
    std::printf("import_mdb_large: %.1f ms (%.2f vs baseline)\n", import, import / base);
    return 0;
}
