// Start-up: the time from opening the database to the main window shown with its four lists filled, and
// the process's peak memory, on the large club against the same on an empty database, in one run.
//
//   bench_startup LARGE.db|postgresql://user@host/db
//
// Every start runs in a fresh child process of this same program (a real start has nothing warmed up in
// the process, and each case's memory peak must be its own). The file stays in the system's page cache
// after the first start of each case, which is not timed.

#include "BenchUtil.h"
#include "app/Main.h"
#include "app/panPrin.h"
#include "db/Database.h"
#include "ui/DataControl.h"
#include "ui/Module1.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlQueryModel>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int kRuns = 5;
const char *const kChildFlag = "--child";

// One start, in this process: open, build and show the main window, wait until it is on screen and painted.
int child(int argc, char **argv, const QString &path) {
    QApplication app(argc, argv);
    Main::prepararAplicacion(app);
    Module1::NivelUsuario = 1;

    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!hecho(Database::open(path, Database::Mode::MustExist), &error)) {
        std::fprintf(stderr, "bench_startup: %s\n", qPrintable(error));
        return 1;
    }
    auto *w = new panPrin;
    w->show();
    QElapsedTimer deadline;
    deadline.start();
    while (!(w->windowHandle() && w->windowHandle()->isExposed()) && deadline.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents(); // the first paint
    const double ms = timer.nsecsElapsed() / 1e6;

    int rows[4];
    DataControl *lists[4] = {control<DataControl>(w, "Data1"), control<DataControl>(w, "Data2"),
                             control<DataControl>(w, "Data3"), control<DataControl>(w, "Data4")};
    for (int i = 0; i < 4; ++i)
        rows[i] = lists[i]->model()->rowCount();
    std::printf("ms=%.3f hwm_kib=%lld rows=%d,%d,%d,%d exposed=%d\n", ms, peakResidentKiB(), rows[0], rows[1],
                rows[2], rows[3], w->windowHandle() && w->windowHandle()->isExposed() ? 1 : 0);
    std::fflush(stdout);
    delete w;
    Database::close();
    return 0;
}

struct Start {
    double ms = 0;
    double mib = 0;
    QString rows;
};

std::optional<Start> startChild(const QString &self, const QString &path, const QProcessEnvironment &env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(self, {QString::fromLatin1(kChildFlag), path});
    const bool finished = p.waitForFinished(300000);
    // The child's messages, less the offscreen platform's notice that it ignores size hints.
    for (const QByteArray &line : p.readAllStandardError().split('\n'))
        if (!line.isEmpty() && !line.contains("propagateSizeHints"))
            std::fprintf(stderr, "%s\n", line.constData());
    if (!finished || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "bench_startup: the start on %s failed\n", qPrintable(path));
        return std::nullopt;
    }
    Start s;
    bool exposed = false;
    const QStringList fields =
        QString::fromLatin1(p.readAllStandardOutput()).trimmed().split(QLatin1Char(' '));
    for (const QString &field : fields) {
        const QString key = field.section(QLatin1Char('='), 0, 0), value = field.section(QLatin1Char('='), 1);
        if (key == QLatin1String("ms"))
            s.ms = value.toDouble();
        else if (key == QLatin1String("hwm_kib"))
            s.mib = value.toDouble() / 1024.0;
        else if (key == QLatin1String("rows"))
            s.rows = value;
        else if (key == QLatin1String("exposed"))
            exposed = value == QLatin1String("1");
    }
    if (!exposed || s.ms <= 0 || s.mib <= 0) {
        std::fprintf(stderr, "bench_startup: the window on %s was not shown\n", qPrintable(path));
        return std::nullopt;
    }
    return s;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void figure(const char *name, double value, const char *unit, double baseline) {
    std::printf("%s: %.1f %s (%.2fx vs baseline)\n", name, value, unit,
                baseline > 0 ? value / baseline : 0.0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && qstrcmp(argv[1], kChildFlag) == 0)
        return child(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "uso: bench_startup CLUB_GRANDE.db|postgresql://usuario@servidor/base\n");
        return 2;
    }
    const QString given = QString::fromLocal8Bit(argv[1]);
    const bool server = BenchServidor::es(given);
    const QString large = server ? given : QFileInfo(given).absoluteFilePath();
    if (!server && !QFileInfo::exists(large)) {
        std::fprintf(stderr, "bench_startup: no existe %s\n", qPrintable(large));
        return 2;
    }

    // The baseline: a new database, created here so that both cases open an existing one (on a server, a
    // database of its own there, dropped at the end).
    QTemporaryDir dir;
    QString error, emptyName;
    const QString empty = server ? BenchServidor::nueva(given, false, &emptyName, &error)
                                 : dir.filePath(QStringLiteral("vacia.db"));
    struct Drop {
        QString url, name;
        ~Drop() { BenchServidor::borrar(url, name); }
    } drop{given, emptyName};
    if (empty.isEmpty() || !hecho(Database::open(empty, Database::Mode::CreateIfMissing), &error)) {
        std::fprintf(stderr, "bench_startup: %s\n", qPrintable(error));
        return 1;
    }
    Database::close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path()); // private, as Qt wants it
    const QString self = QCoreApplication::applicationFilePath();

    std::vector<double> ms[2], mib[2];
    QString rows[2];
    const QString paths[2] = {empty, large};
    for (int run = 0; run <= kRuns; ++run) {
        for (int c = 0; c < 2; ++c) {
            const auto s = startChild(self, paths[c], env);
            if (!s)
                return 1;
            rows[c] = s->rows;
            if (run == 0) // warms the page cache
                continue;
            ms[c].push_back(s->ms);
            mib[c].push_back(s->mib);
        }
    }
    const double baseMs = median(ms[0]), largeMs = median(ms[1]);
    const double baseMib = median(mib[0]), largeMib = median(mib[1]);
    std::fprintf(stderr,
                 "# startup, median of %d starts: empty %.1f ms %.1f MiB (rows %s); large %.1f ms %.1f MiB "
                 "(rows %s)\n",
                 kRuns, baseMs, baseMib, qPrintable(rows[0]), largeMs, largeMib, qPrintable(rows[1]));
    figure("startup_open_show", largeMs, "ms", baseMs);
    figure("startup_peak_rss", largeMib, "MiB", baseMib);
    return 0;
}
