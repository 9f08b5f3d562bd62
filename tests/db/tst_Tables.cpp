#include "db/Database.h"
#include "db/Tables.h"
#include "support/TestSupport.h"

#include <QSqlField>
#include <QSqlRecord>

using namespace TestSupport;

// The table dictionary that the copy, the import and the report catalogue read is the database a new
// club gets, table by table and column by column, on either engine.
class tst_Tables : public QObject {
    Q_OBJECT
private slots:
    void dictionaryIsTheCreatedSchema_data() {
        QTest::addColumn<QString>("table");
        for (const Tables::Table &t : Tables::all())
            QTest::newRow(t.name) << QString::fromUtf8(t.name);
    }
    void dictionaryIsTheCreatedSchema() {
        QFETCH(QString, table);
        BaseTemporal base;
        const Tables::Table *t = Tables::find(table);
        QVERIFY(t);
        const QSqlRecord stored = Database::db().record(table);
        QStringList expected, found;
        for (const Tables::Column &c : t->columns)
            // A key counter's column is NOT NULL on a server by its nature; the other columns say it.
            expected << QStringLiteral("%1%2").arg(
                QString::fromUtf8(c.name), c.notNull && c.kind != Tables::Kind::Key ? " NOT NULL" : "");
        for (int i = 0; i < stored.count(); ++i) {
            const QSqlField f = stored.field(i);
            const bool key = t->key && f.name() == QString::fromUtf8(t->key);
            found << QStringLiteral("%1%2").arg(
                f.name(), f.requiredStatus() == QSqlField::Required && !key ? " NOT NULL" : "");
        }
        QCOMPARE(found, expected);
    }

    void everyStoredTableIsInTheDictionary() {
        BaseTemporal base;
        QStringList stored = Database::db().tables(QSql::Tables);
        // The engines' own bookkeeping: the counters of a file, the schema version of a server.
        stored.removeAll(QStringLiteral("sqlite_sequence"));
        stored.removeAll(QStringLiteral("VersionEsquema"));
        QStringList known;
        for (const Tables::Table &t : Tables::all())
            known << QString::fromUtf8(t.name);
        stored.sort();
        known.sort();
        QCOMPARE(stored, known);
    }
};

MIRABEL_TEST_MAIN(tst_Tables)
#include "tst_Tables.moc"
