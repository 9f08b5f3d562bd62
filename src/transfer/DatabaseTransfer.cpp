#include "transfer/DatabaseTransfer.h"

#include "db/ArchivoNuevo.h"

#include "core/Log.h"
#include "db/Actividad.h"
#include "db/Database.h"
#include "db/Schema.h"
#include "db/SqlEngine.h"
#include "db/Tables.h"
#include "db/Transaction.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryFile>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Tables::Reference;

struct TableSpec {
    const char *name;
    const char *key;
    std::vector<const char *> money;
    std::vector<const char *> dates;
    bool counter; // the key comes from an identity counter
    // Rows that point into this table: their numbers stay taken even when the row they name is gone.
    std::vector<Reference> referencedBy = {};
};

// The tables a copy carries, parents before the rows that point at them, as a new database is filled.
const std::vector<TableSpec> &specs() {
    static const std::vector<TableSpec> s = [] {
        std::vector<TableSpec> out;
        for (const Tables::Table &t : Tables::all())
            if (t.copied)
                out.push_back({t.name, t.key, t.columnsOf(Tables::Kind::Money),
                               t.columnsOf(Tables::Kind::Date), t.counter, t.referencedBy});
        return out;
    }();
    return s;
}

QString q(const QString &name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}
QString q(const char *name) {
    return q(QString::fromUtf8(name));
}

// Rows read from the source per query: the memory a batch needs stays small however large the club.
constexpr int ReadBatch = 2000;

// A table read in key order, a batch at a time: the first batch, then each next one after the last key seen.
bool prepareBatches(const TableSpec &spec, const QStringList &columns, QSqlQuery &first, QSqlQuery &next) {
    const QString select =
        QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QStringLiteral(", ")), q(spec.name));
    const QString order = QStringLiteral(" ORDER BY %1 LIMIT %2").arg(q(spec.key)).arg(ReadBatch);
    first.setForwardOnly(true);
    next.setForwardOnly(true);
    return first.prepare(select + order) &&
           next.prepare(select + QStringLiteral(" WHERE %1 > ?").arg(q(spec.key)) + order);
}

// A connection of the copy, removed when it goes out of scope.
class Connection {
public:
    explicit Connection(const char *role)
        : m_name(QStringLiteral("mirabel-copia-%1-%2")
                     .arg(QString::fromLatin1(role), QUuid::createUuid().toString(QUuid::Id128))) {}
    ~Connection() {
        m_db = QSqlDatabase();
        Database::closeOther(m_name);
    }
    Result open(const QString &path, Database::Mode mode) {
        const Expected<QSqlDatabase> opened = Database::openOther(m_name, path, mode);
        m_db = opened ? *opened : QSqlDatabase();
        return opened ? Result::done() : opened.failure();
    }
    void close() {
        m_db = QSqlDatabase();
        Database::closeOther(m_name);
    }
    QSqlDatabase &db() { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
};

DatabaseTransfer::Result failure(DatabaseTransfer::Status status, const QString &error) {
    DatabaseTransfer::Result r;
    r.status = status;
    r.error = error;
    return r;
}

// Row count, sum of keys, money totals and dates with a time of day of one table.
struct Measure {
    qint64 rows = 0, keys = 0;
    QList<Money> sums;
    QList<qint64> timed;
};
Expected<Measure> measure(QSqlDatabase &db, const TableSpec &spec) {
    QStringList aggregates{QStringLiteral("COUNT(*)"),
                           QStringLiteral("COALESCE(SUM(%1), 0)").arg(q(spec.key))};
    for (const char *m : spec.money)
        aggregates << QStringLiteral("COALESCE(SUM(%1), 0)").arg(q(m));
    for (const char *d : spec.dates)
        aggregates << QStringLiteral("COUNT(CASE WHEN length(CAST(%1 AS TEXT)) > 10 THEN 1 END)").arg(q(d));
    QSqlQuery query(db);
    if (!query.exec(
            QStringLiteral("SELECT %1 FROM %2").arg(aggregates.join(QStringLiteral(", ")), q(spec.name))) ||
        !query.next())
        return Engine::of(db).failure(
            query.lastError(), db,
            QStringLiteral("tabla %1: %2").arg(QString::fromUtf8(spec.name), query.lastError().text()));
    Measure m;
    m.rows = query.value(0).toLongLong();
    m.keys = query.value(1).toLongLong();
    for (int i = 0; i < int(spec.money.size()); ++i)
        m.sums.append(Money::fromUnits(query.value(i + 2).toLongLong()));
    for (int i = 0; i < int(spec.dates.size()); ++i)
        m.timed.append(query.value(int(spec.money.size()) + i + 2).toLongLong());
    return m;
}

// A value as the digest of a table takes it: the same on both engines (a server gives dates as dates, a
// file as text). Where one side is a server, dates count by their day alone: a server keeps no time of
// day, and that loss is told apart, not counted as a difference.
void addToDigest(QCryptographicHash &hash, const QVariant &value, bool date, bool dayOnly) {
    if (value.isNull()) {
        hash.addData(QByteArrayView("\x01", 1));
        return;
    }
    QString text =
        value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate) : value.toString();
    if (date && dayOnly)
        text.truncate(10);
    const QByteArray bytes = text.toUtf8();
    // Length first, so that no two rows of values run together into the same bytes.
    const quint32 size = quint32(bytes.size());
    hash.addData(QByteArrayView(reinterpret_cast<const char *>(&size), sizeof size));
    hash.addData(bytes);
}

// Whether the target holds anything beyond what a new database starts with (account 1 and the five forms
// of payment Schema writes).
Expected<bool> holdsData(const QSqlDatabase &db) {
    QSqlQuery query(db);
    const auto any = [&](const QString &sql, const QVariantList &params) -> Expected<bool> {
        query.prepare(sql);
        for (const QVariant &p : params)
            query.addBindValue(p);
        if (!query.exec())
            return Engine::of(db).failure(query.lastError(), db, query.lastError().text());
        return query.next();
    };
    for (const char *table : {"Afiliados", "Planes", "Categorias", "Cuotas", "Caja", "Usuarios", "TmpCuotas",
                              "Avisos", "RegistroActividad"})
        if (const Expected<bool> has = any(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(q(table)), {});
            !has || *has)
            return has;
    if (const Expected<bool> has =
            any(QStringLiteral(
                    R"(SELECT 1 FROM "Cuentas" WHERE "idCuenta" <> 1 OR "Descripcion" IS DISTINCT FROM ?
                               LIMIT 1)"),
                {QStringLiteral("Caja")});
        !has || *has)
        return has;
    const QStringList forms = {QStringLiteral("Efectivo"), QStringLiteral("Cheque"),
                               QStringLiteral("Transferencia bancaria"), QStringLiteral("Tarjeta de débito"),
                               QStringLiteral("Tarjeta de crédito")};
    QStringList fresh;
    QVariantList params;
    for (int i = 0; i < forms.size(); ++i) {
        fresh << QStringLiteral(R"(("idTipoDivisa" = ? AND "TipoDivisa" = ?))");
        params << i + 1 << forms.at(i);
    }
    return any(QStringLiteral(R"(SELECT 1 FROM "TipoDivisas" WHERE NOT (%1) LIMIT 1)")
                   .arg(fresh.join(QStringLiteral(" OR "))),
               params);
}

class Copier {
public:
    Copier(QSqlDatabase &source, QSqlDatabase &target, const DatabaseTransfer::Progress &progress)
        : m_source(source), m_target(target), m_progress(progress),
          m_dayOnly(Engine::of(source).datesAreDays() || Engine::of(target).datesAreDays()) {}

    // The digest of what was read from the source's table.
    QByteArray sourceDigest(const QString &table) const { return m_digests.value(table); }

    // The same digest of the target's table, read back in key order after the copy.
    Expected<QByteArray> targetDigest(const TableSpec &spec) {
        const QString table = QString::fromUtf8(spec.name);
        const QStringList columns = m_columns.value(table);
        const QList<bool> dates = m_dates.value(table);
        const int keyIndex = int(columns.indexOf(q(spec.key)));
        QSqlQuery first(m_target), next(m_target);
        if (keyIndex < 0 || !prepareBatches(spec, columns, first, next))
            return ::Result::failure(
                QStringLiteral("tabla %1: %2")
                    .arg(table, (first.lastError().isValid() ? first : next).lastError().text()));
        QCryptographicHash hash(QCryptographicHash::Sha256);
        qint64 last = 0;
        for (bool start = true;; start = false) {
            QSqlQuery &read = start ? first : next;
            if (!start)
                read.bindValue(0, last);
            if (!read.exec())
                return Engine::of(m_target).failure(
                    read.lastError(), m_target,
                    QStringLiteral("tabla %1: %2").arg(table, read.lastError().text()));
            int rows = 0;
            while (read.next()) {
                ++rows;
                last = read.value(keyIndex).toLongLong();
                for (int i = 0; i < int(columns.size()); ++i)
                    addToDigest(hash, read.value(i), dates.at(i), m_dayOnly);
            }
            read.finish();
            if (rows < ReadBatch)
                break;
        }
        return hash.result();
    }

    // Copies every table inside the caller's transaction on the target; fills r's target side.
    bool copyAll(qint64 total, DatabaseTransfer::Result *r) {
        m_total = total;
        QSqlQuery query(m_target);
        // Only a new database's own rows are there: the source's take their place.
        for (const TableSpec &spec : specs())
            if (!query.exec(QStringLiteral("DELETE FROM %1").arg(q(spec.name))))
                return writeError(r, query.lastError().text());
        for (const TableSpec &spec : specs())
            if (!copyTable(spec, r))
                return false;
        return reserveCounters(r);
    }

private:
    bool writeError(DatabaseTransfer::Result *r, const QString &detail) {
        *r = failure(DatabaseTransfer::Status::WriteError,
                     QStringLiteral("No se pudo escribir el destino: %1").arg(detail));
        return false;
    }

    bool tell(const QString &table, DatabaseTransfer::Result *r) {
        if (m_progress && !m_progress(m_done, m_total, table)) {
            *r = failure(DatabaseTransfer::Status::Cancelled,
                         QStringLiteral("Copia cancelada: no se escribió nada."));
            return false;
        }
        return true;
    }

    bool copyTable(const TableSpec &spec, DatabaseTransfer::Result *r) {
        const QString table = QString::fromUtf8(spec.name);
        if (!tell(table, r))
            return false;
        // The columns as the source has them; both sides are of this program's schema version.
        QSqlQuery head(m_source);
        if (!head.exec(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(q(spec.name)))) {
            *r = failure(DatabaseTransfer::Status::SourceError,
                         QStringLiteral("No se puede leer la tabla %1 del origen: %2")
                             .arg(table, head.lastError().text()));
            return false;
        }
        QStringList columns;
        QList<bool> dates;
        const QSqlRecord record = head.record();
        int keyIndex = -1;
        for (int i = 0; i < record.count(); ++i) {
            columns << q(record.fieldName(i));
            dates << std::any_of(spec.dates.begin(), spec.dates.end(),
                                 [&](const char *d) { return record.fieldName(i) == QLatin1String(d); });
            if (record.fieldName(i) == QLatin1String(spec.key))
                keyIndex = i;
        }
        head.finish();
        m_columns.insert(table, columns);
        m_dates.insert(table, dates);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (keyIndex < 0) {
            *r = failure(DatabaseTransfer::Status::SourceError,
                         QStringLiteral("La tabla %1 del origen no tiene el campo %2.")
                             .arg(table, QString::fromUtf8(spec.key)));
            return false;
        }
        const int width = int(columns.size());
        const QString row = QLatin1Char('(') +
                            QStringList(width, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
        const auto insertSql = [&](int rows) {
            return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                .arg(q(spec.name), columns.join(QStringLiteral(", ")),
                     QStringList(rows, row).join(QLatin1Char(',')));
        };
        const int perInsert = qMax(1, Engine::of(m_target).rowsPerInsert());
        SqlEngine::BulkStatement many(m_target, insertSql(perInsert));
        std::unique_ptr<SqlEngine::BulkStatement> one;
        if (perInsert > 1)
            one = std::make_unique<SqlEngine::BulkStatement>(m_target, insertSql(1));
        if (!many.isValid() || (one && !one->isValid()))
            return writeError(r, many.isValid() ? one->lastError() : many.lastError());

        QSqlQuery first(m_source), next(m_source);
        if (!prepareBatches(spec, columns, first, next)) {
            *r = failure(DatabaseTransfer::Status::SourceError,
                         QStringLiteral("No se puede leer la tabla %1 del origen: %2")
                             .arg(table, (first.lastError().isValid() ? first : next).lastError().text()));
            return false;
        }

        std::vector<QVariant> pending;
        pending.reserve(size_t(perInsert) * size_t(width));
        qint64 firstKey = 0;
        const auto flush = [&](SqlEngine::BulkStatement &statement) {
            for (size_t i = 0; i < pending.size(); ++i)
                statement.bind(int(i), pending[i]);
            const bool ok = statement.exec();
            if (!ok)
                writeError(r, QStringLiteral("tabla %1, registros desde el número %2: %3")
                                  .arg(table)
                                  .arg(firstKey)
                                  .arg(statement.lastError()));
            pending.clear();
            return ok;
        };
        qint64 last = 0;
        for (bool start = true;; start = false) {
            QSqlQuery &read = start ? first : next;
            if (!start)
                read.bindValue(0, last);
            if (!read.exec()) {
                *r = failure(DatabaseTransfer::Status::SourceError,
                             QStringLiteral("No se puede leer la tabla %1 del origen: %2")
                                 .arg(table, read.lastError().text()));
                return false;
            }
            int rows = 0;
            while (read.next()) {
                ++rows;
                last = read.value(keyIndex).toLongLong();
                if (pending.empty())
                    firstKey = last;
                for (int i = 0; i < width; ++i) {
                    pending.push_back(read.value(i));
                    addToDigest(hash, pending.back(), dates.at(i), m_dayOnly);
                }
                if (int(pending.size()) == perInsert * width && !flush(many))
                    return false;
            }
            read.finish();
            m_done += rows;
            if (rows < ReadBatch)
                break;
            if (!tell(table, r))
                return false;
        }
        m_digests.insert(table, hash.result());
        // The rows that did not fill a whole statement, one at a time.
        if (one && !pending.empty()) {
            std::vector<QVariant> rest;
            rest.swap(pending);
            for (size_t at = 0; at < rest.size(); at += size_t(width)) {
                pending.assign(rest.begin() + qsizetype(at), rest.begin() + qsizetype(at + size_t(width)));
                firstKey = pending[size_t(keyIndex)].toLongLong();
                if (!flush(*one))
                    return false;
            }
        } else if (!pending.empty() && !flush(many)) {
            return false;
        }
        return true;
    }

    // Past every number the source handed out (its counter covers rows deleted there) and every number a
    // link still names, so that a new row never takes the number of a gone one.
    bool reserveCounters(DatabaseTransfer::Result *r) {
        QSqlQuery query(m_target);
        QStringList counted;
        for (const TableSpec &spec : specs()) {
            if (!spec.counter)
                continue;
            const QString table = QString::fromUtf8(spec.name);
            counted << table;
            const Expected<qint64> counter = Engine::of(m_source).keyCounter(m_source, table);
            if (!counter) {
                *r = failure(
                    DatabaseTransfer::Status::SourceError,
                    QStringLiteral("No se puede leer el contador de la tabla %1 del origen.").arg(table));
                return false;
            }
            qint64 upTo = *counter;
            QStringList parts{QStringLiteral("SELECT MAX(%1) AS m FROM %2").arg(q(spec.key), q(spec.name))};
            for (const Reference &ref : spec.referencedBy)
                parts << QStringLiteral("SELECT MAX(%1) FROM %2").arg(q(ref.field), q(ref.table));
            if (!query.exec(QStringLiteral("SELECT MAX(m) FROM (%1) AS t")
                                .arg(parts.join(QStringLiteral(" UNION ALL ")))))
                return writeError(r, query.lastError().text());
            if (query.next() && !query.value(0).isNull())
                upTo = qMax(upTo, query.value(0).toLongLong());
            query.finish();
            if (upTo > 0)
                if (const Result reserved = Engine::of(m_target).reserveKeys(m_target, table, upTo);
                    !reserved)
                    return writeError(r, reserved.message());
        }
        if (const Result synced = Engine::of(m_target).syncKeys(m_target, counted); !synced)
            return writeError(r, synced.message());
        return true;
    }

    QSqlDatabase &m_source;
    QSqlDatabase &m_target;
    const DatabaseTransfer::Progress &m_progress;
    const bool m_dayOnly;
    qint64 m_done = 0;
    qint64 m_total = 0;
    QHash<QString, QStringList> m_columns; // per table, as read from the source
    QHash<QString, QList<bool>> m_dates;   // per table: which of those columns hold dates
    QHash<QString, QByteArray> m_digests;  // per table, of the source's rows
};

// Copies between two open connections; the target's transaction is committed only when both sides agree.
DatabaseTransfer::Result copyBetween(QSqlDatabase &source, QSqlDatabase &target,
                                     const DatabaseTransfer::Progress &progress) {
    DatabaseTransfer::Result result;
    // A connection already inside its owner's transaction reads there, and that transaction is left alone.
    const bool ownSnapshot = !Engine::of(source).inTransaction(source);
    QSqlQuery snapshot(source);
    if (ownSnapshot && !snapshot.exec(Engine::of(source).snapshotStatement()))
        return failure(DatabaseTransfer::Status::SourceError,
                       QStringLiteral("No se puede leer el origen: %1").arg(snapshot.lastError().text()));
    // The source's snapshot ends with this function, whatever the outcome.
    struct EndSnapshot {
        QSqlDatabase &db;
        bool own;
        ~EndSnapshot() {
            if (own)
                QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        }
    } endSnapshot{source, ownSnapshot};

    qint64 total = 0;
    for (const TableSpec &spec : specs()) {
        DatabaseTransfer::TableCheck check;
        check.table = QString::fromUtf8(spec.name);
        const Expected<Measure> m = measure(source, spec);
        if (!m)
            return failure(DatabaseTransfer::Status::SourceError,
                           QStringLiteral("No se puede leer el origen: %1").arg(m.message()));
        check.sourceRows = m->rows;
        check.sourceKeys = m->keys;
        for (int i = 0; i < m->sums.size(); ++i)
            check.sums.append({QString::fromUtf8(spec.money[size_t(i)]), m->sums.at(i), Money()});
        for (int i = 0; i < m->timed.size(); ++i)
            check.timed.append({QString::fromUtf8(spec.dates[size_t(i)]), m->timed.at(i), 0});
        total += check.sourceRows;
        result.tables.append(check);
    }

    Transaction t(target);
    if (!t.isActive())
        return failure(DatabaseTransfer::Status::WriteError,
                       QStringLiteral("No se pudo escribir el destino: %1").arg(t.lastError()));
    if (const ::Result upgraded = Schema::upgrade(target); !upgraded)
        return failure(
            DatabaseTransfer::Status::WriteError,
            QStringLiteral("No se pudo crear la estructura de la base destino: %1").arg(upgraded.message()));
    // Other desks on a target server neither write while the copy runs nor see it half done.
    if (const Result locked = Engine::of(target).lockTables(target, DatabaseTransfer::tableNames()); !locked)
        return failure(
            DatabaseTransfer::Status::TargetError,
            QStringLiteral("No se puede reservar la base destino: %1")
                .arg(Transaction::userMessage(Engine::of(target).pendingError(target), locked.message())));
    const Expected<bool> has = holdsData(target);
    if (!has)
        return failure(DatabaseTransfer::Status::TargetError,
                       QStringLiteral("No se puede leer la base destino: %1").arg(has.message()));
    if (*has)
        return failure(
            DatabaseTransfer::Status::TargetHasData,
            QStringLiteral("La base destino ya tiene datos: la copia solo se hace en una base nueva o vacía, "
                           "para no mezclar ni perder nada. No se escribió nada."));

    Copier copier(source, target, progress);
    DatabaseTransfer::Result step;
    if (!copier.copyAll(total, &step))
        return step;
    // The same club wherever it is kept: its copies stay recognisable as its own.
    const QString identity = Schema::identity(source);
    if (!identity.isEmpty())
        if (const ::Result given = Schema::setIdentity(target, identity); !given)
            return failure(DatabaseTransfer::Status::WriteError,
                           QStringLiteral("No se pudo escribir el destino: %1").arg(given.message()));

    bool same = true;
    for (int i = 0; i < int(specs().size()); ++i) {
        DatabaseTransfer::TableCheck &check = result.tables[i];
        const Expected<Measure> m = measure(target, specs()[size_t(i)]);
        if (!m)
            return failure(DatabaseTransfer::Status::WriteError,
                           QStringLiteral("No se puede leer el destino: %1").arg(m.message()));
        check.targetRows = m->rows;
        check.targetKeys = m->keys;
        for (int k = 0; k < m->sums.size(); ++k)
            check.sums[k].target = m->sums.at(k);
        check.sourceDigest = copier.sourceDigest(check.table);
        const Expected<QByteArray> digest = copier.targetDigest(specs()[size_t(i)]);
        if (!digest)
            return failure(DatabaseTransfer::Status::WriteError,
                           QStringLiteral("No se puede leer el destino: %1").arg(digest.message()));
        check.targetDigest = *digest;
        for (int k = 0; k < m->timed.size(); ++k)
            check.timed[k].target = m->timed.at(k);
        same = same && check.same();
    }
    if (!same) {
        result.status = DatabaseTransfer::Status::Mismatch;
        result.error =
            QStringLiteral("Lo copiado no coincide con el origen: no se guardó nada en el destino.");
        return result; // the guard rolls the target back
    }
    // Checked first: the target's log then holds the source's entries and this one.
    if (const ::Result anotado =
            Actividad::anotar(target, {Actividad::Accion::Transferencia, QString(), std::nullopt,
                                       std::nullopt, QStringLiteral("todas las tablas de otra base")});
        !anotado)
        return failure(DatabaseTransfer::Status::WriteError, anotado.message());
    if (!t.commit())
        return failure(DatabaseTransfer::Status::WriteError,
                       QStringLiteral("No se pudo escribir el destino: %1").arg(t.lastError()));
    result.status = DatabaseTransfer::Status::Ok;
    return result;
}

} // namespace

bool DatabaseTransfer::TableCheck::same() const {
    if (sourceRows != targetRows || sourceKeys != targetKeys || sourceDigest != targetDigest)
        return false;
    for (const Sum &s : sums)
        if (!s.same())
            return false;
    return true;
}

Expected<bool> DatabaseTransfer::isNew(const QSqlDatabase &db) {
    const Expected<bool> has = holdsData(db);
    if (!has)
        return has.failure();
    return !*has;
}

QStringList DatabaseTransfer::tableNames() {
    QStringList out;
    for (const TableSpec &spec : specs())
        out << QString::fromUtf8(spec.name);
    return out;
}

namespace {
DatabaseTransfer::Result copyInto(QSqlDatabase &source, const QString &sourceName, const QString &targetPath,
                                  const DatabaseTransfer::Progress &progress) {
    using Status = DatabaseTransfer::Status;
    const bool fileTarget = !Engine::at(targetPath).isServer();
    const QString target = fileTarget ? QFileInfo(targetPath).absoluteFilePath() : targetPath;
    DatabaseTransfer::Result result;
    // A new file is built under another name beside it and put in place only when complete.
    const bool newFile = fileTarget && !QFileInfo::exists(target);
    QString work = target;
    if (newFile) {
        const Expected<QString> temporal = ArchivoNuevo::temporal(target, QStringLiteral("copiando"));
        if (!temporal)
            return failure(Status::TargetError, temporal.message());
        work = *temporal;
    }
    {
        Connection to("destino");
        if (const ::Result opened = to.open(work, Database::Mode::CreateIfMissing); !opened) {
            if (newFile)
                ArchivoNuevo::borrar(work);
            QString why = opened.message();
            return failure(Status::TargetError, newFile ? why.replace(work, target) : why);
        }
        result = copyBetween(source, to.db(), progress);
        to.close(); // a file's write-ahead log is folded in as its last connection closes
    }

    if (newFile) {
        bool placed = false;
        if (result.ok()) {
            switch (ArchivoNuevo::colocar(work, target, true)) {
            case ArchivoNuevo::Colocacion::Hecha:
                placed = true;
                break;
            case ArchivoNuevo::Colocacion::SinTerminar:
                result = failure(Status::WriteError,
                                 QStringLiteral("No se pudo terminar de escribir %1.").arg(target));
                break;
            case ArchivoNuevo::Colocacion::Ocupado:
                result =
                    failure(Status::TargetError,
                            QStringLiteral("Mientras se copiaba apareció otro archivo %1: no se reemplaza.")
                                .arg(target));
                break;
            case ArchivoNuevo::Colocacion::NoRenombrado:
                result = failure(Status::TargetError,
                                 QStringLiteral("No se pudo guardar la copia como %1.").arg(target));
                break;
            }
        }
        if (!placed)
            ArchivoNuevo::borrar(work);
    }

    if (result.ok()) {
        Log::write(QStringLiteral("Copia de %1 en %2:").arg(sourceName, target));
        for (const QString &line : DatabaseTransfer::summaryLines(result))
            Log::write(QStringLiteral("  ") + line);
    } else if (result.status != Status::Cancelled) {
        Log::error(QStringLiteral("Copia"),
                   sourceName + QStringLiteral(" -> ") + target + QStringLiteral(": ") + result.error);
    }
    return result;
}
} // namespace

DatabaseTransfer::Result DatabaseTransfer::run(const QString &sourcePath, const QString &targetPath,
                                               const Progress &progress) {
    const QString source = Engine::at(sourcePath).absoluteLocation(sourcePath);
    Connection from("origen");
    if (const ::Result opened = from.open(source, Database::Mode::ReadOnly); !opened)
        return failure(Status::SourceError, opened.message());
    return copyInto(from.db(), source, targetPath, progress);
}

DatabaseTransfer::Result DatabaseTransfer::run(const QSqlDatabase &source, const QString &target,
                                               const Progress &progress) {
    QSqlDatabase db = source;
    return copyInto(db, db.databaseName(), target, progress);
}

QStringList DatabaseTransfer::summaryLines(const Result &result) {
    QStringList out;
    const QLocale c = QLocale::c();
    const auto mark = [](bool same) { return same ? QString() : QStringLiteral("  <- NO COINCIDE"); };
    for (const TableCheck &t : result.tables) {
        const bool rowsSame = t.sourceRows == t.targetRows;
        out << QStringLiteral("%1: %2 registros en el origen, %3 en el destino%4")
                   .arg(t.table)
                   .arg(t.sourceRows)
                   .arg(t.targetRows < 0 ? QStringLiteral("-") : QString::number(t.targetRows))
                   .arg(t.targetRows < 0 ? QString() : mark(rowsSame));
        if (t.targetRows >= 0 && rowsSame && t.sourceKeys != t.targetKeys)
            out << QStringLiteral("  %1: los números de registro no coinciden  <- NO COINCIDE").arg(t.table);
        else if (t.targetRows >= 0 && rowsSame && t.sourceDigest != t.targetDigest)
            out << QStringLiteral("  %1: el contenido de los registros no coincide  <- NO COINCIDE")
                       .arg(t.table);
        for (const Sum &s : t.sums)
            out << QStringLiteral("  %1.%2: %3 en el origen, %4 en el destino%5")
                       .arg(t.table, s.column, s.source.toPlainString(c),
                            t.targetRows < 0 ? QStringLiteral("-") : s.target.toPlainString(c),
                            t.targetRows < 0 ? QString() : mark(s.same()));
        for (const TableCheck::Timed &d : t.timed)
            if (t.targetRows >= 0 && d.target < d.source)
                out << QStringLiteral(
                           "  %1.%2: %3 fechas con hora del día en el origen; el destino guarda solo el "
                           "día (%4 con hora)")
                           .arg(t.table, d.column)
                           .arg(d.source)
                           .arg(d.target);
    }
    return out;
}
