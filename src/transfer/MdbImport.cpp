#include "transfer/MdbImport.h"

#include "db/ArchivoNuevo.h"

#include "core/Log.h"
#include "core/PasswordHash.h"
#include "db/Actividad.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "db/Schema.h"
#include "db/SqlEngine.h"
#include "db/Tables.h"
#include "db/Transaction.h"
#include "transfer/DatabaseTransfer.h"
#include "transfer/MdbReader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

enum class Kind { Integer, Money, Date, YesNo, YesNoText, Text, Password };
// Member: the row's own key; Plan: the plan's; MemberOfDue: the key of the member a due belongs to, read
// from the members already written (stored on the due for the dues list's order).
enum class SortKey { None, Member, Plan, MemberOfDue };

struct Field {
    const char *name;
    Kind kind;
    bool notNull = false; // the column cannot hold Null: a Null amount or flag is stored as 0
};

using Tables::Reference;

struct TableSpec {
    const char *name;
    const char *key;
    std::vector<Field> fields;
    SortKey sortKey = SortKey::None;
    // Rows that point into this table: their numbers stay taken even when the row they name is gone.
    std::vector<Reference> referencedBy = {};
    QString oldName; // in the old file
};

// How the import reads a stored column from the old file.
Kind importKind(const Tables::Column &c) {
    switch (c.old) {
    case Tables::Old::Integer:
        return Kind::Integer;
    case Tables::Old::YesNo:
        return Kind::YesNoText;
    case Tables::Old::Secret:
        return Kind::Password;
    default:
        break;
    }
    switch (c.kind) {
    case Tables::Kind::Key:
    case Tables::Kind::Integer:
        return Kind::Integer;
    case Tables::Kind::Money:
        return Kind::Money;
    case Tables::Kind::Date:
        return Kind::Date;
    case Tables::Kind::YesNo:
        return Kind::YesNo;
    default:
        return Kind::Text;
    }
}

// The tables read from the old file, parents before the rows that point at them.
const std::vector<TableSpec> &specs() {
    static const std::vector<TableSpec> s = [] {
        std::vector<TableSpec> out;
        for (const Tables::Table &t : Tables::all()) {
            if (!t.imported)
                continue;
            TableSpec spec{t.name, t.key, {}, SortKey::None, t.referencedBy, t.nameInOldFile()};
            for (const Tables::Column &c : t.columns)
                if (c.old != Tables::Old::None)
                    spec.fields.push_back({c.name, importKind(c), c.notNull});
            // The sort keys, made here from the names read (a due takes its member's).
            if (qstrcmp(t.name, "Afiliados") == 0)
                spec.sortKey = SortKey::Member;
            else if (qstrcmp(t.name, "Planes") == 0)
                spec.sortKey = SortKey::Plan;
            else if (qstrcmp(t.name, "Cuotas") == 0)
                spec.sortKey = SortKey::MemberOfDue;
            out.push_back(std::move(spec));
        }
        return out;
    }();
    return s;
}

QString q(const char *name) {
    return QLatin1Char('"') + QString::fromUtf8(name) + QLatin1Char('"');
}

bool accepts(Kind kind, MdbReader::Type type) {
    using T = MdbReader::Type;
    switch (kind) {
    case Kind::Integer:
        return type == T::Integer;
    case Kind::Money:
        return type == T::Money;
    case Kind::Date:
        return type == T::DateTime;
    case Kind::YesNo:
    case Kind::YesNoText:
        return type == T::YesNo || type == T::Integer;
    case Kind::Text:
    case Kind::Password:
        return type == T::Text;
    }
    return false;
}

// Dates keep their time of day only where one was stored; a date alone reads as the program writes it.
QVariant storedDate(const QVariant &v) {
    const QDateTime dt = v.toDateTime();
    if (dt.time() == QTime(0, 0))
        return dt.date().toString(Qt::ISODate);
    return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool truth(const QVariant &v) {
    return v.typeId() == QMetaType::Bool ? v.toBool() : v.toLongLong() != 0;
}

// The connection on the target for the length of one import; removed when it goes out of scope.
class TargetConnection {
public:
    explicit TargetConnection(const QString &path)
        : m_name(QStringLiteral("mirabel-importacion-") + QUuid::createUuid().toString(QUuid::Id128)) {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(path);
    }
    ~TargetConnection() {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase &db() { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
};

enum class TargetState { Missing, Empty, Mirabel, HasData, NotOurs, Newer };

// What the target holds, read without writing a byte of it; a failure when it cannot be read.
Expected<TargetState> inspectTarget(const QString &path) {
    const auto unreadable = [](const QString &why) { return ::Result::failure(why); };
    const QFileInfo info(path);
    if (!info.exists())
        return TargetState::Missing;
    if (!info.isFile())
        return TargetState::NotOurs;
    if (info.size() == 0)
        return TargetState::Empty;
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return unreadable(f.errorString());
        if (f.read(16) != QByteArray("SQLite format 3\0", 16))
            return TargetState::NotOurs;
    }
    // An ordinary connection that only reads: closing it folds away the -wal and -shm it needed, where a
    // read-only one would leave them beside a file that is not to be touched.
    TargetConnection c(path);
    if (!c.db().open())
        return unreadable(c.db().lastError().text());
    QSqlQuery query(c.db());
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return unreadable(query.lastError().text());
    const int version = query.value(0).toInt();
    if (version > Schema::currentVersion())
        return TargetState::Newer;
    if (version == 0) {
        if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")) || !query.next())
            return unreadable(query.lastError().text());
        return query.value(0).toLongLong() == 0 ? TargetState::Empty : TargetState::NotOurs;
    }
    for (const char *table : {"Afiliados", "Cuotas", "Caja"}) {
        if (!query.exec(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(q(table))))
            return unreadable(query.lastError().text());
        if (query.next())
            return TargetState::HasData;
    }
    return TargetState::Mirabel;
}

class Importer {
public:
    Importer(MdbReader &reader, QSqlDatabase &db, const MdbImport::Progress &progress)
        : m_reader(reader), m_db(db), m_progress(progress) {}

    // Fills the open target inside the caller's transaction.
    MdbImport::Result fill(qint64 total) {
        MdbImport::Result r;
        m_total = total;
        QSqlQuery query(m_db);
        for (const TableSpec &spec : specs()) {
            if (!query.exec(QStringLiteral("DELETE FROM %1").arg(q(spec.name))))
                return writeError(query.lastError().text());
        }
        for (const TableSpec &spec : specs()) {
            MdbImport::TableSummary summary;
            summary.table = QString::fromUtf8(spec.name);
            if (!importTable(spec, &summary, &r))
                return r;
            r.tables.append(summary);
        }
        for (const TableSpec &spec : specs()) {
            if (spec.referencedBy.empty())
                continue;
            QStringList parts{QStringLiteral("SELECT MAX(%1) AS m FROM %2").arg(q(spec.key), q(spec.name))};
            for (const Reference &ref : spec.referencedBy)
                parts << QStringLiteral("SELECT MAX(%1) FROM %2").arg(q(ref.field), q(ref.table));
            if (!query.exec(QStringLiteral("SELECT MAX(m) FROM (%1) AS t")
                                .arg(parts.join(QStringLiteral(" UNION ALL ")))))
                return writeError(query.lastError().text());
            if (query.next() && !query.value(0).isNull())
                if (const ::Result reserved = Engine::of(m_db).reserveKeys(m_db, QString::fromUtf8(spec.name),
                                                                           query.value(0).toLongLong());
                    !reserved)
                    return writeError(reserved.message());
        }
        // Every table's counter past the numbers written with the rows (a server's do not follow by
        // themselves).
        if (const ::Result synced = Engine::of(m_db).syncKeys(m_db); !synced)
            return writeError(synced.message());
        r.status = MdbImport::Status::Ok;
        return r;
    }

private:
    MdbImport::Result writeError(const QString &detail) {
        MdbImport::Result r;
        r.status = MdbImport::Status::WriteError;
        r.error = QStringLiteral("No se pudo escribir la base nueva: %1").arg(detail);
        return r;
    }

    bool importTable(const TableSpec &spec, MdbImport::TableSummary *summary, MdbImport::Result *r) {
        const QString table = QString::fromUtf8(spec.name);
        QStringList wanted, columns, marks;
        for (const Field &f : spec.fields) {
            wanted << QString::fromUtf8(f.name);
            columns << q(f.name);
            marks << QStringLiteral("?");
            if (f.kind == Kind::Money)
                summary->sums.append({QString::fromUtf8(f.name), Money()});
        }
        if (spec.sortKey == SortKey::MemberOfDue) {
            columns << QStringLiteral("\"ClaveSocio\"");
            marks << QStringLiteral(R"((SELECT "ClaveOrden" FROM "Afiliados" WHERE "idAfiliado" = ?))");
        } else if (spec.sortKey != SortKey::None) {
            columns << QStringLiteral("\"ClaveOrden\"");
            marks << QStringLiteral("?");
        }
        SqlEngine::BulkStatement insert(m_db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                  .arg(q(spec.name), columns.join(QStringLiteral(", ")),
                                                       marks.join(QStringLiteral(", "))));
        if (!insert.isValid()) {
            *r = writeError(insert.lastError());
            return false;
        }
        if (m_progress && !m_progress(m_done, m_total, table)) {
            r->status = MdbImport::Status::Cancelled;
            return false;
        }

        QString failure;
        bool cancelled = false;
        const auto row = [&](const std::vector<QVariant> &values) {
            ++summary->read;
            for (size_t i = 0; i < spec.fields.size(); ++i) {
                const Field &f = spec.fields[i];
                const QVariant &v = values[i];
                QVariant out;
                if (v.isNull()) {
                    if (f.notNull)
                        ++summary->nullsAsZero;
                    out = f.notNull ? QVariant(qlonglong(0)) : QVariant();
                } else {
                    switch (f.kind) {
                    case Kind::Integer:
                    case Kind::Money:
                    case Kind::Text:
                        out = v;
                        break;
                    case Kind::Date:
                        out = storedDate(v);
                        break;
                    case Kind::YesNo:
                        out = qlonglong(truth(v) ? 1 : 0);
                        break;
                    case Kind::YesNoText:
                        out = truth(v) ? QStringLiteral("Sí") : QStringLiteral("No");
                        break;
                    case Kind::Password:
                        out = MdbImport::storedPassword(v);
                        break;
                    }
                }
                insert.bind(int(i), out);
            }
            if (spec.sortKey == SortKey::Member)
                insert.bind(int(spec.fields.size()),
                            SqlEngine::memberSortKey(values[1].toString(), values[2].toString()));
            else if (spec.sortKey == SortKey::Plan)
                insert.bind(int(spec.fields.size()), SqlEngine::sortKey(values[1].toString()));
            else if (spec.sortKey == SortKey::MemberOfDue)
                insert.bind(int(spec.fields.size()), values[1]);
            if (!insert.exec()) {
                failure = QStringLiteral("tabla %1, registro %2: %3")
                              .arg(table, values[0].toString(), insert.lastError());
                return false;
            }
            ++m_done;
            if ((m_done & 255) == 0 && m_progress && !m_progress(m_done, m_total, table)) {
                cancelled = true;
                return false;
            }
            return true;
        };
        if (const Result read = m_reader.readTable(spec.oldName, wanted, row); !read) {
            if (read.code() != Result::Code::Cancelled) {
                r->status = MdbImport::Status::SourceError;
                r->error = read.message();
            } else if (cancelled) {
                r->status = MdbImport::Status::Cancelled;
            } else { // a row could not be written
                *r = writeError(failure);
            }
            return false;
        }

        // What the target now holds, read back: the summary shows what was written, not what was meant.
        // SUM of integer columns stays an exact integer in SQLite.
        QStringList aggregates{QStringLiteral("COUNT(*)")};
        for (const Field &f : spec.fields)
            if (f.kind == Kind::Money)
                aggregates << QStringLiteral("COALESCE(SUM(%1), 0)").arg(q(f.name));
        QSqlQuery check(m_db);
        if (!check.exec(QStringLiteral("SELECT %1 FROM %2")
                            .arg(aggregates.join(QStringLiteral(", ")), q(spec.name))) ||
            !check.next()) {
            *r = writeError(check.lastError().text());
            return false;
        }
        summary->written = check.value(0).toLongLong();
        for (int i = 0; i < summary->sums.size(); ++i)
            summary->sums[i].second = Money::fromUnits(check.value(i + 1).toLongLong());
        if (summary->written != summary->read) {
            *r = writeError(QStringLiteral("la tabla %1 quedó con %2 registros de %3 leídos")
                                .arg(table)
                                .arg(summary->written)
                                .arg(summary->read));
            return false;
        }
        return true;
    }

    MdbReader &m_reader;
    QSqlDatabase &m_db;
    const MdbImport::Progress &m_progress;
    qint64 m_done = 0;
    qint64 m_total = 0;
};

MdbImport::Result failure(MdbImport::Status status, const QString &error) {
    MdbImport::Result r;
    r.status = status;
    r.error = error;
    return r;
}

// The import's entry in the target's log, in the import's transaction: an import that cannot be logged
// is not kept.
void noteImport(const QSqlDatabase &db, MdbImport::Result *result) {
    if (!result->ok())
        return;
    qint64 escritos = 0;
    for (const MdbImport::TableSummary &t : std::as_const(result->tables))
        escritos += t.written;
    if (const ::Result anotado =
            Actividad::anotar(db, {Actividad::Accion::Importacion, QStringLiteral("%1 filas").arg(escritos),
                                   std::nullopt, std::nullopt, QStringLiteral("base del programa anterior")});
        !anotado)
        *result = failure(MdbImport::Status::WriteError, anotado.message());
}

Expected<bool> hasMembersDuesOrCash(const QSqlDatabase &db) {
    QSqlQuery query(db);
    for (const char *table : {"Afiliados", "Cuotas", "Caja"}) {
        if (!query.exec(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(q(table))))
            return Engine::of(db).failure(query.lastError(), db, query.lastError().text());
        if (query.next())
            return true;
    }
    return false;
}

// Into a database on a server: it must exist (empty, or Mirabel's without members, dues or movements).
// One transaction holds the schema, the rows and the counters; the other desks' writes wait meanwhile.
MdbImport::Result intoServer(MdbReader &reader, qint64 total, const QString &target,
                             const MdbImport::Progress &progress) {
    using Status = MdbImport::Status;
    const QString name = QStringLiteral("mirabel-importacion-") + QUuid::createUuid().toString(QUuid::Id128);
    struct Close {
        QString name;
        ~Close() { Database::closeOther(name); }
    } close{name};
    const Expected<QSqlDatabase> opened = Database::openOther(name, target, Database::Mode::CreateIfMissing);
    if (!opened)
        return failure(Status::TargetError, opened.message());
    QSqlDatabase db = *opened;
    const QString hasData =
        QStringLiteral(
            "La base %1 ya tiene socios, cuotas o movimientos de caja: la importación solo se hace en "
            "una base nueva o vacía.")
            .arg(target);
    bool fresh = true;
    if (const Expected<int> version = Schema::version(db); version && *version > 0) {
        const Expected<bool> has = hasMembersDuesOrCash(db);
        if (!has)
            return failure(Status::TargetError,
                           QStringLiteral("No se puede leer la base %1. %2").arg(target, has.message()));
        const Expected<bool> nueva = DatabaseTransfer::isNew(db);
        if (!nueva)
            return failure(Status::TargetError,
                           QStringLiteral("No se puede leer la base %1. %2").arg(target, nueva.message()));
        fresh = *nueva;
        if (*has)
            return failure(Status::TargetHasData, hasData);
    }
    // Users, accounts, plans or categories are about to be replaced: a copy first.
    if (!fresh) {
        if (const Expected<QString> copy = Backup::automatic(db); !copy)
            return failure(Status::TargetError,
                           QStringLiteral("No se hizo la copia de seguridad de %1, así que no se importa. %2")
                               .arg(target, copy.message()));
    }
    MdbImport::Result result;
    {
        Transaction t(db);
        if (!t.isActive())
            return failure(Status::WriteError,
                           QStringLiteral("No se pudo escribir la base nueva: %1").arg(t.lastError()));
        if (const ::Result upgraded = Schema::upgrade(db); !upgraded)
            return failure(Status::WriteError,
                           QStringLiteral("No se pudo crear la estructura de la base nueva: %1")
                               .arg(upgraded.message()));
        if (const ::Result locked = Engine::of(db).lockTables(db, MdbImport::tableNames()); !locked)
            return failure(Status::TargetError,
                           QStringLiteral("La base %1 está ocupada por otro puesto: no se importa. %2")
                               .arg(target, locked.message()));
        // Looked at again under the lock: another desk may have added a member in between.
        const Expected<bool> has = hasMembersDuesOrCash(db);
        if (!has)
            return failure(Status::TargetError,
                           QStringLiteral("No se puede leer la base %1. %2").arg(target, has.message()));
        if (*has)
            return failure(Status::TargetHasData, hasData);
        Importer importer(reader, db, progress);
        result = importer.fill(total);
        noteImport(db, &result);
        if (result.ok() && !t.commit())
            result = failure(Status::WriteError,
                             QStringLiteral("No se pudo escribir la base nueva: %1").arg(t.lastError()));
    }
    db = QSqlDatabase();
    return result;
}

} // namespace

namespace {
void logOutcome(const MdbImport::Result &result, const QString &source, const QString &target) {
    if (result.ok()) {
        Log::write(
            QStringLiteral("Importación de %1 en %2:").arg(QFileInfo(source).absoluteFilePath(), target));
        for (const QString &line : MdbImport::summaryLines(result))
            Log::write(QStringLiteral("  ") + line);
    } else if (result.status != MdbImport::Status::Cancelled) {
        Log::error(QStringLiteral("Importación"),
                   source + QStringLiteral(" -> ") + target + QStringLiteral(": ") + result.error);
    }
}
} // namespace

QStringList MdbImport::tableNames() {
    QStringList out;
    for (const TableSpec &spec : specs())
        out << QString::fromUtf8(spec.name);
    return out;
}

QVariant MdbImport::storedPassword(const QVariant &asRead) {
    // The old file kept passwords readable; the new one never does.
    if (asRead.isNull() || PasswordHash::isHash(asRead.toString()))
        return asRead;
    const QString h = PasswordHash::hash(asRead.toString());
    return h.isEmpty() ? asRead : QVariant(h);
}

MdbImport::Result MdbImport::run(const QString &source, const QString &targetPath, const Progress &progress) {
    MdbReader reader;
    if (const ::Result opened = reader.open(source); !opened)
        return failure(Status::SourceError, opened.message());

    // Every table and column is checked before the target is touched.
    qint64 total = 0;
    for (const TableSpec &spec : specs()) {
        const auto read = reader.columns(spec.oldName);
        if (!read)
            return failure(Status::SourceError, read.message());
        const QList<MdbReader::Column> &cols = *read;
        for (const Field &f : spec.fields) {
            const QString name = QString::fromUtf8(f.name);
            const auto it = std::find_if(cols.cbegin(), cols.cend(), [&](const MdbReader::Column &c) {
                return c.name.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (it == cols.cend())
                return failure(Status::SourceError,
                               QStringLiteral("La tabla %1 de la base anterior no tiene el campo %2.")
                                   .arg(spec.oldName, name));
            if (!accepts(f.kind, it->type))
                return failure(Status::SourceError,
                               QStringLiteral("El campo %2 de la tabla %1 de la base anterior no es del tipo "
                                              "esperado.")
                                   .arg(spec.oldName, name));
        }
        total += reader.recordedRows(spec.oldName);
    }

    if (Engine::at(targetPath).isServer()) {
        Result result = intoServer(reader, total, targetPath, progress);
        logOutcome(result, source, targetPath);
        return result;
    }

    const QString target = QFileInfo(targetPath).absoluteFilePath();
    const Expected<TargetState> inspected = inspectTarget(target);
    if (!inspected)
        return failure(Status::TargetError,
                       QStringLiteral("No se puede leer la base %1. %2").arg(target, inspected.message()));
    const TargetState state = *inspected;
    switch (state) {
    case TargetState::HasData:
        return failure(
            Status::TargetHasData,
            QStringLiteral("La base %1 ya tiene socios, cuotas o movimientos de caja: la importación "
                           "solo se hace en una base nueva o vacía.")
                .arg(target));
    case TargetState::NotOurs:
        return failure(
            Status::TargetError,
            QStringLiteral("El archivo %1 no es una base de datos de Mirabel: no se modifica.").arg(target));
    case TargetState::Newer:
        return failure(Status::TargetError,
                       QStringLiteral("La base %1 es de una versión más nueva del programa: no se modifica.")
                           .arg(target));
    case TargetState::Missing:
    case TargetState::Empty:
    case TargetState::Mirabel:
        break;
    }

    // A new file is built beside the target under another name and put in place only when complete.
    const bool inPlace = state == TargetState::Mirabel;
    QString work = target;
    if (!inPlace) {
        const Expected<QString> temporal = ArchivoNuevo::temporal(target, QStringLiteral("importando"));
        if (!temporal)
            return failure(Status::TargetError, temporal.message());
        work = *temporal;
    }

    Result result;
    {
        TargetConnection c(work);
        if (const ::Result prepared = c.db().open() ? Engine::prepare(c.db()) : ::Result::failure(QString());
            !prepared) {
            if (!inPlace)
                ArchivoNuevo::borrar(work);
            return failure(Status::TargetError,
                           QStringLiteral("No se puede abrir la base %1. %2")
                               .arg(target, prepared.message() + c.db().lastError().text()));
        }
        if (inPlace) {
            if (const Expected<QString> copy = Backup::automatic(c.db()); !copy)
                return failure(
                    Status::TargetError,
                    QStringLiteral("No se hizo la copia de seguridad de %1, así que no se importa. %2")
                        .arg(target, copy.message()));
        }
        Transaction t(c.db());
        if (!t.isActive()) {
            if (!inPlace)
                ArchivoNuevo::borrar(work);
            return failure(Status::WriteError,
                           QStringLiteral("No se pudo escribir la base nueva: %1").arg(t.lastError()));
        }
        if (const ::Result upgraded = Schema::upgrade(c.db()); !upgraded) {
            result = failure(Status::WriteError,
                             QStringLiteral("No se pudo crear la estructura de la base nueva: %1")
                                 .arg(upgraded.message()));
        } else {
            Importer importer(reader, c.db(), progress);
            result = importer.fill(total);
            noteImport(c.db(), &result);
            if (result.ok() && !t.commit())
                result = failure(Status::WriteError,
                                 QStringLiteral("No se pudo escribir la base nueva: %1").arg(t.lastError()));
        }
        if (!result.ok())
            t.rollback();
    }

    if (!inPlace) {
        bool placed = false;
        if (result.ok()) {
            switch (ArchivoNuevo::colocar(work, target, state == TargetState::Missing)) {
            case ArchivoNuevo::Colocacion::Hecha:
                placed = true;
                break;
            case ArchivoNuevo::Colocacion::SinTerminar:
                result = failure(Status::WriteError,
                                 QStringLiteral("No se pudo terminar de escribir la base nueva."));
                break;
            case ArchivoNuevo::Colocacion::Ocupado:
                result =
                    failure(Status::TargetError,
                            QStringLiteral("Mientras se importaba apareció otro archivo %1: no se reemplaza.")
                                .arg(target));
                break;
            case ArchivoNuevo::Colocacion::NoRenombrado:
                result = failure(Status::TargetError,
                                 QStringLiteral("No se pudo guardar la base nueva como %1.").arg(target));
                break;
            }
        }
        if (!placed)
            ArchivoNuevo::borrar(work);
    }

    logOutcome(result, source, target);
    return result;
}

QStringList MdbImport::summaryLines(const Result &result) {
    QStringList out;
    const QLocale c = QLocale::c();
    for (const TableSummary &t : result.tables) {
        QString line = QStringLiteral("%1: %2 leídos, %3 escritos").arg(t.table).arg(t.read).arg(t.written);
        for (const auto &sum : t.sums)
            line += QStringLiteral("; %1 = %2").arg(sum.first, sum.second.toPlainString(c));
        if (t.nullsAsZero > 0)
            line += QStringLiteral("; %1 valores vacíos guardados como 0").arg(t.nullsAsZero);
        out << line;
    }
    return out;
}
