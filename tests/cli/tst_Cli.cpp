#include "cli/AvisosCli.h"
#include "cli/BackupCli.h"
#include "cli/CopyCli.h"
#include "cli/ExportCli.h"
#include "cli/ImportMdbCli.h"
#include "cli/LogCli.h"
#include "cli/ReportCli.h"
#include "support/TestSupport.h"

#include <QProcessEnvironment>

using namespace TestSupport;

// Every command of the real program reads its command line the same way.
class tst_Cli : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void helpAndUnknownOptionReadTheSame_data() {
        QTest::addColumn<QStringList>("comando");
        QTest::addColumn<int>("malUso");
        // The program itself ends with 1 on a wrong command line, as QCommandLineParser always did.
        QTest::newRow("mirabel") << QStringList{} << 1;
        QTest::newRow("report") << QStringList{QStringLiteral("report")} << int(ReportCli::Usage);
        QTest::newRow("send-reminders")
            << QStringList{QStringLiteral("send-reminders")} << int(AvisosCli::Usage);
        QTest::newRow("import-mdb") << QStringList{QStringLiteral("import-mdb")} << int(ImportMdbCli::Usage);
        QTest::newRow("copy") << QStringList{QStringLiteral("copy")} << int(CopyCli::Usage);
        QTest::newRow("backup") << QStringList{QStringLiteral("backup")} << int(BackupCli::Usage);
        QTest::newRow("restore") << QStringList{QStringLiteral("restore")} << int(BackupCli::Usage);
        QTest::newRow("export") << QStringList{QStringLiteral("export")} << int(ExportCli::Usage);
        QTest::newRow("log") << QStringList{QStringLiteral("log")} << int(LogCli::Usage);
    }

    // --help: the usage line first, on stdout, status 0. An unknown option: named in Spanish on stderr,
    // then the usage, with the command's wrong-use status.
    void helpAndUnknownOptionReadTheSame() {
        SOLO_ARCHIVO("no se abre ninguna base");
        QFETCH(QStringList, comando);
        QFETCH(int, malUso);
        const QString uso =
            QStringLiteral("Uso: ") + (QStringList{QStringLiteral("mirabel")} + comando).join(' ');
        // The program itself opens windows after reading its command line: it needs a screen, even off.
        const auto fueraDePantalla = [](QProcessEnvironment &env) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        };

        Salida r =
            ejecutarMirabel(comando + QStringList{QStringLiteral("--help")}, m_dir.path(), fueraDePantalla);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(uso + QLatin1Char(' ')) || r.out.startsWith(uso + QLatin1Char('\n')),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("\nOpciones:\n")), qPrintable(r.out));

        r = ejecutarMirabel(comando + QStringList{QStringLiteral("--bogus")}, m_dir.path(), fueraDePantalla);
        QCOMPARE(r.status, malUso);
        QVERIFY2(r.err.contains(QStringLiteral("Argumento desconocido: --bogus\n\n") + uso),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
};

MIRABEL_TEST_MAIN(tst_Cli)
#include "tst_Cli.moc"
