#include "db/Database.h"
#include "support/TestSupport.h"
#include "transfer/ListExport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

using namespace TestSupport;

namespace {
const QString kSql = QStringLiteral(
    R"(SELECT "Apellido", "Nombres", a."idPlan", "Monto", "Vencimiento", "Pagada" FROM "Afiliados" AS a
       JOIN "Cuotas" AS c ON c."idAfiliado" = a."idAfiliado" WHERE c."Monto" >= ? ORDER BY c."idCuota")");

QVector<ListExport::Column> columnas() {
    return {{QStringLiteral("Apellido"), QStringLiteral("Apellido"), ListExport::Kind::Text},
            {QStringLiteral("Nombres"), QStringLiteral("Nombres"), ListExport::Kind::Text},
            {QStringLiteral("Plan"), QStringLiteral("idPlan"), ListExport::Kind::Integer},
            {QStringLiteral("Monto"), QStringLiteral("Monto"), ListExport::Kind::Money},
            {QStringLiteral("Vencimiento"), QStringLiteral("Vencimiento"), ListExport::Kind::Date},
            {QStringLiteral("Pagada"), QStringLiteral("Pagada"), ListExport::Kind::YesNo}};
}

// What a spreadsheet reader makes of the file: rows of cells as JSON (Python's csv module or openpyxl).
QJsonObject leerConPython(const QString &archivo) {
    const QString script = QStringLiteral(R"PY(
import csv, json, sys, datetime
path = sys.argv[1]
out = {}
if path.endswith('.csv'):
    raw = open(path, 'rb').read()
    out['bom'] = raw.startswith(b'\xef\xbb\xbf')
    with open(path, newline='', encoding='utf-8-sig') as f:
        out['rows'] = [r for r in csv.reader(f, delimiter=';')]
else:
    import openpyxl
    wb = openpyxl.load_workbook(path)
    ws = wb.active
    out['freeze'] = ws.freeze_panes
    out['bold'] = all(c.font.b for c in ws[1])
    rows = []
    for row in ws.iter_rows():
        cells = []
        for c in row:
            v = c.value
            if isinstance(v, datetime.datetime):
                v = {'date': v.strftime('%Y-%m-%d')}
            elif isinstance(v, (int, float)) and not isinstance(v, bool):
                v = {'number': repr(float(v)), 'format': c.number_format}
            cells.append(v)
        rows.append(cells)
    out['rows'] = rows
print(json.dumps(out))
)PY");
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, archivo});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning() << p.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}
} // namespace

class tst_ListExport : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    void llenar() {
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int a =
            nuevoAfiliado(QStringLiteral("Núñez; \"el Tano\""), QStringLiteral("José\nMaría"), plan);
        const int b = nuevoAfiliado(QStringLiteral("O'Higgins"), QStringLiteral("Bernardo "), plan);
        nuevaCuota(a, plan, QDate(2009, 1, 31), 12345000);                   // $ 1.234,50
        nuevaCuota(b, plan, QDate(2009, 2, 28), 1, true, QDate(2009, 3, 1)); // one ten-thousandth
        nuevaCuota(b, plan, QDate(2009, 3, 31), 9999999999990LL);
    }

private slots:
    void csvKeepsEveryTextAndAmountAsASpanishSpreadsheetReadsIt() {
        BaseTemporal base;
        llenar();
        const QString file = m_dir.filePath(QStringLiteral("cuotas.csv"));
        const Result escrito =
            ListExport::write(file, ListExport::Format::Csv, kSql, {0}, columnas(), QStringLiteral("Cuotas"));
        QVERIFY2(escrito, qPrintable(escrito.message()));
        const QJsonObject r = leerConPython(file);
        QVERIFY(r.value(QStringLiteral("bom")).toBool());
        const QJsonArray rows = r.value(QStringLiteral("rows")).toArray();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(0).toArray().at(3).toString(), QStringLiteral("Monto"));
        const QJsonArray first = rows.at(1).toArray();
        QCOMPARE(first.at(0).toString(), QStringLiteral("Núñez; \"el Tano\""));
        QCOMPARE(first.at(1).toString(), QStringLiteral("José\nMaría"));
        QCOMPARE(first.at(3).toString(), QStringLiteral("1234,50"));
        QCOMPARE(first.at(4).toString(), QStringLiteral("31/01/2009"));
        QCOMPARE(first.at(5).toString(), QStringLiteral("No"));
        const QJsonArray second = rows.at(2).toArray();
        QCOMPARE(second.at(0).toString(), QStringLiteral("O'Higgins"));
        QCOMPARE(second.at(1).toString(), QStringLiteral("Bernardo ")); // trailing blank kept
        QCOMPARE(second.at(3).toString(), QStringLiteral("0,0001"));
        QCOMPARE(second.at(5).toString(), QStringLiteral("Sí"));
        QCOMPARE(rows.at(3).toArray().at(3).toString(), QStringLiteral("999999999,999"));
    }

    void excelHasNumbersDatesAndAFrozenBoldHeader() {
        BaseTemporal base;
        llenar();
        const QString file = m_dir.filePath(QStringLiteral("cuotas.xlsx"));
        const Result escrito = ListExport::write(file, ListExport::Format::Xlsx, kSql, {0}, columnas(),
                                                 QStringLiteral("Cuotas: marzo/abril"));
        QVERIFY2(escrito, qPrintable(escrito.message()));
        const QJsonObject r = leerConPython(file);
        QCOMPARE(r.value(QStringLiteral("freeze")).toString(), QStringLiteral("A2"));
        QVERIFY(r.value(QStringLiteral("bold")).toBool());
        const QJsonArray rows = r.value(QStringLiteral("rows")).toArray();
        QCOMPARE(rows.size(), 4);
        const QJsonArray first = rows.at(1).toArray();
        QCOMPARE(first.at(0).toString(), QStringLiteral("Núñez; \"el Tano\""));
        QCOMPARE(first.at(1).toString(), QStringLiteral("José\nMaría"));
        const QJsonObject monto = first.at(3).toObject();
        QCOMPARE(monto.value(QStringLiteral("number")).toString(), QStringLiteral("1234.5"));
        QVERIFY(monto.value(QStringLiteral("format")).toString().contains(QStringLiteral("#,##0.00")));
        QCOMPARE(first.at(4).toObject().value(QStringLiteral("date")).toString(),
                 QStringLiteral("2009-01-31"));
        QCOMPARE(first.at(2).toObject().value(QStringLiteral("number")).toString(), QStringLiteral("1.0"));
        QCOMPARE(rows.at(2).toArray().at(5).toString(), QStringLiteral("Sí"));
        QCOMPARE(rows.at(3).toArray().at(3).toObject().value(QStringLiteral("number")).toString(),
                 QStringLiteral("999999999.999"));
    }

    void emptyListGivesAHeaderOnlyFile() {
        BaseTemporal base;
        llenar();
        for (auto format : {ListExport::Format::Csv, ListExport::Format::Xlsx}) {
            const QString file = m_dir.filePath(QStringLiteral("vacia.") + ListExport::extension(format));
            const Result escrito = ListExport::write(file, format, kSql, {qlonglong(1) << 60}, columnas(),
                                                     QStringLiteral("Vacía"));
            QVERIFY2(escrito, qPrintable(escrito.message()));
            const QJsonArray rows = leerConPython(file).value(QStringLiteral("rows")).toArray();
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows.at(0).toArray().at(0).toString(), QStringLiteral("Apellido"));
        }
    }

    void cancelledOrFailedExportLeavesNoPartialFile() {
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int a = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"), plan);
        for (int i = 0; i < 1200; ++i)
            nuevaCuota(a, plan, QDate(2009, 1, 1).addDays(i), 10000);
        for (auto format : {ListExport::Format::Csv, ListExport::Format::Xlsx}) {
            QTemporaryDir dir;
            const QString file = dir.filePath(QStringLiteral("lista.") + ListExport::extension(format));
            {
                QFile old(file); // an earlier export of the same name stays as it was
                QVERIFY(old.open(QIODevice::WriteOnly));
                old.write("anterior");
            }
            qint64 total = -1;
            const Result r = ListExport::write(file, format, kSql, {0}, columnas(), QStringLiteral("Lista"),
                                               [&](qint64 hechas, qint64 todas) {
                                                   total = todas;
                                                   return hechas < 1000;
                                               });
            QCOMPARE(r.code(), Result::Code::Cancelled);
            QCOMPARE(total, qint64(1200));
            QCOMPARE(r.message(), QStringLiteral("Exportación cancelada."));
            QFile old(file);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("anterior"));
            QCOMPARE(
                QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);
        }
        // A folder that does not exist: a clear reason, nothing written.
        const Result r =
            ListExport::write(m_dir.filePath(QStringLiteral("no/existe.csv")), ListExport::Format::Csv, kSql,
                              {0}, columnas(), QStringLiteral("Lista"));
        QVERIFY(!r);
        QVERIFY(r.message().startsWith(QStringLiteral("No se puede escribir")));
    }

    void csvFieldsQuoteOnlyWhatNeedsIt() {
        QCOMPARE(ListExport::csvField(QStringLiteral("Pérez")), QStringLiteral("Pérez"));
        QCOMPARE(ListExport::csvField(QStringLiteral("a;b")), QStringLiteral("\"a;b\""));
        QCOMPARE(ListExport::csvField(QStringLiteral("dijo \"sí\"")), QStringLiteral("\"dijo \"\"sí\"\"\""));
        QCOMPARE(ListExport::csvField(QStringLiteral("1\r\n2")), QStringLiteral("\"1\r\n2\""));
        QCOMPARE(ListExport::formatFromName(QStringLiteral("XLSX")), ListExport::Format::Xlsx);
        QCOMPARE(ListExport::formatFromName(QStringLiteral("csv")), ListExport::Format::Csv);
        QVERIFY(!ListExport::formatFromName(QStringLiteral("pdf")));
    }
};

MIRABEL_TEST_MAIN(tst_ListExport)
#include "tst_ListExport.moc"
