#include "db/Database.h"
#include "db/Transaction.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"

#include <QSignalSpy>

using namespace TestSupport;

class tst_DataControl : public QObject {
    Q_OBJECT
private slots:
    void init() { Mensaje::limpiar(); }

    void currentRowAcrossFetchesAndCounts() {
        BaseTemporal db;
        {
            Transaction t;
            for (int i = 1; i <= 1000; ++i)
                QVERIFY(Database::exec(QStringLiteral(R"(INSERT INTO "Planes" ("Descripcion") VALUES (?))"),
                                       {QStringLiteral("Plan %1").arg(i, 4, 10, QLatin1Char('0'))}));
            QVERIFY(t.commit());
        }
        DataControl data(QStringLiteral("Data3"));
        QSignalSpy moved(&data, &DataControl::reposition);
        data.setRecordSource(QStringLiteral(R"(Select * from "Planes" order by "Descripcion")"));
        QVERIFY(data.refresh());
        QCOMPARE(data.currentRow(), 0);
        QCOMPARE(moved.size(), 1);
        // The whole list counts, not just the rows read so far.
        QCOMPARE(data.recordCount(), 1000);
        data.setCurrentRow(900); // beyond the first fetch
        QCOMPARE(data.currentRow(), 900);
        QCOMPARE(data.value(QStringLiteral("descripcion")).toString(), QStringLiteral("Plan 0901"));
        data.setCurrentRow(5000);
        QCOMPARE(data.currentRow(), -1);
        QVERIFY(!data.hasCurrent());
        QVERIFY(data.value(QStringLiteral("Descripcion")).isNull());
    }

    // Paged reading, with and without the row key, counted first or as read, shows the very rows of the
    // whole list in its order: across page boundaries, with bound values, and to the list's last row.
    void pagedRowsMatchTheWholeList() {
        BaseTemporal db;
        {
            Transaction t;
            for (int i = 0; i < 1000; ++i)
                QVERIFY(Database::exec(
                    QStringLiteral(R"(INSERT INTO "Planes" ("Descripcion", "CantidadCuotas")
                                                          VALUES (?, ?))"),
                    {QStringLiteral("Plan %1").arg((i * 7919) % 1000, 4, 10, QLatin1Char('0')), i % 3}));
            QVERIFY(t.commit());
        }
        const QString sql = QStringLiteral(
            R"(Select * from "Planes" where "CantidadCuotas" >= ? order by "Descripcion", "idPlan")");
        DataControl entera(QStringLiteral("Data3")), paginada(QStringLiteral("Data3")),
            porClave(QStringLiteral("Data3")), alLeer(QStringLiteral("Data3"));
        paginada.setPagedFetching(true);
        porClave.setPagedFetching(true, QStringLiteral("idPlan"));
        alLeer.setPagedFetching(true, QStringLiteral("idPlan"), PagedQueryModel::Count::AsRead);
        for (DataControl *d : {&entera, &paginada, &porClave, &alLeer}) {
            d->setRecordSource(sql, {1});
            QVERIFY(d->refresh());
        }
        QCOMPARE(paginada.recordCount(), entera.recordCount());
        QCOMPARE(porClave.recordCount(), entera.recordCount());
        // Counted only when asked: the first page alone is known until then.
        QCOMPARE(alLeer.model()->rowCount(), PagedQueryModel::PageRows);
        QCOMPARE(alLeer.recordCount(), entera.recordCount());
        const int ultima = entera.recordCount() - 1;
        QVERIFY(ultima > 2 * PagedQueryModel::PageRows);
        for (int fila :
             {0, PagedQueryModel::PageRows - 1, PagedQueryModel::PageRows, 400, ultima, 300, ultima}) {
            for (DataControl *d : {&entera, &paginada, &porClave, &alLeer})
                d->setCurrentRow(fila);
            QVERIFY(entera.hasCurrent());
            for (const char *campo : {"idPlan", "Descripcion", "CantidadCuotas"}) {
                const QString c = QString::fromLatin1(campo);
                QCOMPARE(paginada.value(c).toString(), entera.value(c).toString());
                QCOMPARE(porClave.value(c).toString(), entera.value(c).toString());
                QCOMPARE(alLeer.value(c).toString(), entera.value(c).toString());
            }
        }
        QCOMPARE(alLeer.model()->rowCount(), entera.recordCount());
        for (DataControl *d : {&porClave, &alLeer}) {
            d->setCurrentRow(ultima + 1);
            QVERIFY(!d->hasCurrent());
        }
    }

    void emptyAndBrokenSources() {
        BaseTemporal db;
        DataControl data(QStringLiteral("Data1"));
        data.setRecordSource(QStringLiteral(R"(Select * from "Afiliados")"));
        QVERIFY(data.refresh());
        QCOMPARE(data.currentRow(), -1);
        QCOMPARE(data.recordCount(), 0);
        data.setRecordSource(QStringLiteral("Select * from NoExiste"));
        QVERIFY(!data.refresh());
        QVERIFY(!data.lastError().isEmpty());
        QCOMPARE(data.currentRow(), -1);
    }

    void deleteCurrentKeepsThePlace() {
        BaseTemporal db;
        for (const char *d : {"A", "B", "C"})
            nuevoPlan(QString::fromLatin1(d));
        DataControl data(QStringLiteral("Data3"));
        data.setRecordSource(QStringLiteral(R"(Select * from "Planes" order by "Descripcion")"));
        data.setEditTarget(QStringLiteral("Planes"), QStringLiteral("idPlan"));
        data.refresh();
        data.setCurrentRow(1);
        QVERIFY(data.deleteCurrent());
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Planes")")), 2);
        QCOMPARE(data.currentRow(), 1);
        QCOMPARE(data.value(QStringLiteral("Descripcion")).toString(), QStringLiteral("C"));
        data.setCurrentRow(-1);
        QVERIFY(!data.deleteCurrent());
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Planes")")), 2);
    }

    void gridFollowsAndMovesTheCurrentRow() {
        BaseTemporal db;
        for (const char *d : {"A", "B", "C"})
            nuevoPlan(QString::fromLatin1(d));
        DataControl data(QStringLiteral("Data3"));
        data.setRecordSource(QStringLiteral(R"(Select * from "Planes" order by "Descripcion")"));
        DataGrid grid(QStringLiteral("DBGrid3"), &data);
        grid.setColumns(
            {{QStringLiteral("Descripcion"), QStringLiteral("Descripcion")},
             {QStringLiteral("CuotaMensual"), QStringLiteral("CuotaMensual"), Formato::Tipo::Moneda}});
        data.refresh();
        QCOMPARE(grid.currentIndex().row(), 0);
        grid.setCurrentIndex(grid.model()->index(2, 0));
        QCOMPARE(data.currentRow(), 2);
        data.setCurrentRow(1);
        QCOMPARE(grid.currentIndex().row(), 1);
        // Money right-aligned, shown in the currency format.
        QCOMPARE(grid.model()->index(0, 1).data().toString(), QStringLiteral("$ 25,00"));
        QCOMPARE(grid.model()->index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
                 int(Qt::AlignRight));
        // Locked columns cannot be edited.
        QVERIFY(!(grid.model()->flags(grid.model()->index(0, 0)) & Qt::ItemIsEditable));
    }
};

MIRABEL_TEST_MAIN(tst_DataControl)
#include "tst_DataControl.moc"
