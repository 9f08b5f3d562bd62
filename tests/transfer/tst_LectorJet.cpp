#include "db/Tables.h"
#include "support/TestSupport.h"
#include "transfer/JetFile.h"
#include "transfer/MdbReader.h"

#include <QtTest>

using namespace TestSupport;

// The program's own Jet 4 reader (what the Windows build reads the old program's file with) against
// mdbtools' libmdb on the old program's files: the same columns, the same recorded rows, and every value of
// every row of every table the import reads. Under Windows there is no libmdb to compare with; there the
// import's own tests run on this reader.
class tst_LectorJet : public QObject {
    Q_OBJECT

    using Filas = QVector<QVariantList>;

private slots:
    void sameAsLibmdb_data() {
        QTest::addColumn<QString>("archivo");
        for (const char *f : {"BASE-small.mdb", "BASE-password.mdb", "BASE-large.mdb"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }

    void sameAsLibmdb() {
#ifdef Q_OS_WIN
        QSKIP("Windows no tiene libmdb con que comparar: allí lo prueban las pruebas de la importación.");
#endif
        if (const QString falta = faltanBasesAnteriores(); !falta.isEmpty())
            QFAIL(qPrintable(falta));
        QFETCH(QString, archivo);
        const QString path = baseAnterior(archivo);
        MdbReader libmdb;
        QVERIFY_HECHO(libmdb.open(path));
        JetFile jet;
        jet.setTextDecoder(&MdbReader::jetText);
        QVERIFY_HECHO(jet.open(path));
        int tablas = 0;
        for (const Tables::Table &t : Tables::all()) {
            if (!t.imported)
                continue;
            const QString nombre = t.nameInOldFile();
            const auto columnas = libmdb.columns(nombre);
            const auto tabla = jet.table(nombre);
            QCOMPARE(tabla.ok(), columnas.ok());
            if (!columnas)
                continue;
            ++tablas;
            QStringList nombres, propios;
            std::vector<int> todas;
            for (const MdbReader::Column &c : *columnas)
                nombres << c.name;
            for (int i = 0; i < tabla->columns.size(); ++i) {
                propios << tabla->columns[i].name;
                todas.push_back(i);
            }
            QCOMPARE(propios, nombres);
            QCOMPARE(tabla->rows, libmdb.recordedRows(nombre));

            Filas esperadas, leidas;
            QVERIFY_HECHO(libmdb.readTable(nombre, nombres, [&](const std::vector<QVariant> &v) {
                esperadas.append(QVariantList(v.begin(), v.end()));
                return true;
            }));
            qint64 n = 0;
            QVERIFY_HECHO(jet.readRows(
                *tabla, todas,
                [&](std::vector<QVariant> &v) {
                    for (size_t k = 0; k < v.size(); ++k)
                        if (tabla->columns[int(k)].kind == JetFile::DateTime && !v[k].isNull()) {
                            bool ok = false;
                            v[k] = MdbReader::jetDateTime(v[k].toDouble(), &ok);
                        }
                    leidas.append(QVariantList(v.begin(), v.end()));
                    return true;
                },
                &n));
            QCOMPARE(leidas.size(), esperadas.size());
            for (int r = 0; r < leidas.size(); ++r)
                QVERIFY2(leidas[r] == esperadas[r],
                         qPrintable(QStringLiteral("%1, fila %2").arg(nombre).arg(r)));
        }
        QVERIFY(tablas >= 5);
    }
};

MIRABEL_TEST_MAIN(tst_LectorJet)
#include "tst_LectorJet.moc"
