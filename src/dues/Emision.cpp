#include "dues/Emision.h"

#include "core/Log.h"
#include "db/Actividad.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"
#include "members/Planes.h"

#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace {

using Estado = Emision::Resultado::Estado;

// The lock area of issuing a plan's dues (lockWork's first number, the plan's the second): two desks
// issuing the same plan take turns, so the second one sees the first one's dues and never repeats them.
constexpr int AreaEmision = 1;

using Causa = Emision::Resultado::Causa;

Emision::Resultado rechazo(Causa causa, const QString &mensaje) {
    Emision::Resultado r;
    r.estado = Estado::Rechazado;
    r.causa = causa;
    r.mensaje = mensaje;
    return r;
}

const QString kSocioNoLocalizado = QStringLiteral("Socio no localizado !");

std::optional<qint64> id(const QString &texto) {
    bool ok = false;
    const qint64 v = texto.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

QString iso(const QDate &d) {
    return d.toString(Qt::ISODate);
}

struct DatosPlan {
    qint64 idPlan = 0;
    int cantidad = 0;
    Money cuotaMensual;
    Money inscripcion;
};

std::optional<DatosPlan> plan(const QString &noPlan) {
    const auto n = id(noPlan);
    if (!n)
        return std::nullopt;
    const auto p = Planes::buscar(*n);
    if (!p)
        return std::nullopt;
    return DatosPlan{*n, p->cantidadCuotas, p->cuotaMensual, p->inscripcion};
}

bool existeAfiliado(QSqlQuery &q, qint64 idAfiliado, bool *existe) {
    q.addBindValue(idAfiliado);
    if (!q.exec())
        return false;
    *existe = q.next();
    q.finish();
    return true;
}

// The prepared statements of a run, reused for every row.
struct Escritor {
    QSqlQuery insertar{Database::db()};
    QString error;
    QSqlError causa; // the failed statement's, for the transaction

    bool preparar() {
        return preparar(insertar,
                        QStringLiteral(
                            R"(INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Vencimiento", "Factura",
                                      "Mes", "Año", "Monto", "ClaveSocio") VALUES (?, ?, ?, ?, ?, ?, ?,
                                      (SELECT "ClaveOrden" FROM "Afiliados" WHERE "idAfiliado" = ?)))"));
    }
    bool preparar(QSqlQuery &q, const QString &sql) {
        if (q.prepare(sql))
            return true;
        causa = q.lastError();
        error = causa.text();
        return false;
    }
    bool agregar(qint64 idAfiliado, qint64 idPlan, const QDate &venc, const QString &factura, int mes,
                 int anio, Money monto, qint64 *nuevo = nullptr) {
        for (const QVariant &v :
             {QVariant(idAfiliado), QVariant(idPlan), QVariant(iso(venc)), QVariant(factura), QVariant(mes),
              QVariant(anio), monto.toVariant(), QVariant(idAfiliado)})
            insertar.addBindValue(v);
        if (!insertar.exec()) {
            causa = insertar.lastError();
            error = causa.text();
            Log::error(QStringLiteral("Emisión"), error);
            return false;
        }
        if (nuevo)
            *nuevo = SqlEngine::lastInsertId(insertar).toLongLong();
        return true;
    }
};

// A plan-wide run works on sets: the run's members and its series go into scratch tables of the connection,
// and each step is one statement over all of them (on a server every statement is a round trip, and a run
// over thousands of members paid several per member). Members are taken in groups of distinct ones, the
// next group up to a member listed again: a member the list names twice sees its dues of the first time.
class EmisionEnConjunto {
public:
    struct Paso {
        QDate vencimiento;
        QString factura;
        int mes = 0;
        Money monto;
    };
    static constexpr int SociosPorGrupo = 1000;

    EmisionEnConjunto(qint64 idPlan, int anio) : m_idPlan(idPlan), m_anio(anio) {}

    // The scratch tables, empty, and the run's series: step 0 the inscription (when issued), then the dues.
    bool preparar(const std::optional<Paso> &inscripcion, const QVector<Paso> &serie) {
        const Engine &engine = Engine::of(m_db);
        for (
            const char *sql :
            {R"(CREATE TEMP TABLE IF NOT EXISTS "EmisionSocios" ("orden" INTEGER PRIMARY KEY, "idAfiliado" BIGINT))",
             R"(CREATE TEMP TABLE IF NOT EXISTS "EmisionSerie" ("n" INTEGER PRIMARY KEY, "desde" DATE,
                     "hasta" DATE, "vencimiento" DATE, "factura" TEXT, "mes" INTEGER, "monto" BIGINT))",
             R"(CREATE TEMP TABLE IF NOT EXISTS "EmisionHallada" ("orden" INTEGER, "n" INTEGER, "idCuota" BIGINT,
                     PRIMARY KEY ("orden", "n")))",
             // The new amounts are looked up by the due.
             R"(CREATE INDEX IF NOT EXISTS "EmisionHallada_Cuota" ON "EmisionHallada" ("idCuota"))",
             R"(DELETE FROM "EmisionSerie")"})
            if (!ejecutar(engine.schemaStatement(QString::fromUtf8(sql)).constFirst()))
                return false;
        for (const QString &sql : engine.keyedJoinStatements())
            if (!ejecutar(sql))
                return false;
        const QString alta = QStringLiteral(
            R"(INSERT INTO "EmisionSerie" ("n", "desde", "hasta", "vencimiento", "factura", "mes", "monto")
               VALUES (?, ?, ?, ?, ?, ?, ?))");
        m_inscripcion = inscripcion.has_value();
        if (inscripcion && !ejecutar(alta, {0, QVariant(), QVariant(), iso(inscripcion->vencimiento),
                                            inscripcion->factura, 0, inscripcion->monto.toVariant()}))
            return false;
        for (int n = 1; n <= serie.size(); ++n) {
            const Paso &s = serie.at(n - 1);
            // A member's due of the step's month, whatever its day.
            const QDate desde(s.vencimiento.year(), s.vencimiento.month(), 1);
            if (!ejecutar(alta, {n, iso(desde), iso(desde.addMonths(1)), iso(s.vencimiento), s.factura, s.mes,
                                 s.monto.toVariant()}))
                return false;
        }
        return conTamanos({QStringLiteral("EmisionSerie")});
    }

    // Puts a group of distinct members in the scratch table, in the run's order, and reads which of them
    // exist; their rows stay until the transaction ends, so another desk's deletion waits.
    bool cargar(const QVector<qint64> &grupo, QSet<qint64> *existentes) {
        if (!ejecutar(QStringLiteral(R"(DELETE FROM "EmisionSocios")")) ||
            !ejecutar(QStringLiteral(R"(DELETE FROM "EmisionHallada")")))
            return false;
        const int porInsert = qMax(1, Engine::of(m_db).rowsPerInsert());
        for (int desde = 0; desde < grupo.size(); desde += porInsert) {
            const int n = qMin(porInsert, int(grupo.size()) - desde);
            QVariantList valores;
            for (int i = desde; i < desde + n; ++i)
                valores << m_orden + i << QVariant::fromValue<qlonglong>(grupo.at(i));
            if (!ejecutar(QStringLiteral(R"(INSERT INTO "EmisionSocios" ("orden", "idAfiliado") VALUES )") +
                              QStringList(n, QStringLiteral("(?, ?)")).join(QStringLiteral(", ")),
                          valores))
                return false;
        }
        m_orden += int(grupo.size());
        // Read by the member index only when the planner knows the group is a thousand members, not all.
        if (!conTamanos({QStringLiteral("EmisionSocios")}))
            return false;
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        if (!Database::run(q,
                           QStringLiteral(R"(SELECT "idAfiliado" FROM "Afiliados"
                                             WHERE "idAfiliado" IN (SELECT "idAfiliado" FROM "EmisionSocios"))") +
                               Engine::of(m_db).keepRowsClause(),
                           {}, QStringLiteral("Emisión")))
            return falla(q);
        while (q.next())
            existentes->insert(q.value(0).toLongLong());
        return true;
    }

    // The group's dues: the unpaid ones found get the new amount, a paid one keeps its own, the missing
    // ones are added (each member's in series order, members in the run's order).
    bool escribir(Emision::Resultado &r) {
        // The first due of each member's month, whatever its invoice says; inscriptions are not months. The
        // members lead, each one's dues read by the member index: a file's planner knows nothing of the
        // scratch tables' sizes and would walk every due otherwise.
        const QString join = Engine::of(m_db).orderedJoin();
        if (!ejecutar(QStringLiteral(R"(INSERT INTO "EmisionHallada" ("orden", "n", "idCuota")
                SELECT u."orden", s."n", MIN(c."idCuota") FROM "EmisionSocios" u
                %1 "Cuotas" c ON c."idAfiliado" = u."idAfiliado"
                %1 "EmisionSerie" s ON c."Vencimiento" >= s."desde" AND c."Vencimiento" < s."hasta"
                WHERE +c."idPlan" = ? AND NOT (COALESCE(c."Mes", 0) = 0 AND c."Factura" = 'INSCRIPCION')
                GROUP BY u."orden", s."n")")
                          .arg(join),
                      {m_idPlan}))
            return false;
        // The member's inscription of the plan and year, found the same way (step 0): it is only issued when
        // missing, never rewritten.
        if (m_inscripcion &&
            !ejecutar(QStringLiteral(R"(INSERT INTO "EmisionHallada" ("orden", "n", "idCuota")
                SELECT u."orden", 0, MIN(c."idCuota") FROM "EmisionSocios" u
                %1 "Cuotas" c ON c."idAfiliado" = u."idAfiliado"
                WHERE +c."idPlan" = ? AND COALESCE(c."Mes", 0) = 0 AND c."Factura" = 'INSCRIPCION'
                  AND COALESCE(c."Año", 0) = ?
                GROUP BY u."orden")")
                          .arg(join),
                      {m_idPlan, m_anio}))
            return false;
        // A due paid meanwhile by another desk keeps its amount too: the statement itself passes over paid
        // dues, however the run's reading has aged. A due that already has its amount is not written again:
        // a run repeated, or one that changes a single month, rewrites only what changes (on a server every
        // rewritten due is a new row version in each of the dues' indexes).
        const QString nuevoMonto = QStringLiteral(R"((SELECT s."monto"
                    FROM "EmisionHallada" h JOIN "EmisionSerie" s ON s."n" = h."n"
                    WHERE h."idCuota" = "Cuotas"."idCuota" AND h."n" > 0))");
        QSqlQuery q(m_db);
        if (!Database::run(q,
                           QStringLiteral(R"(UPDATE "Cuotas" SET "Monto" = %1
                WHERE "idCuota" IN (SELECT "idCuota" FROM "EmisionHallada" WHERE "n" > 0) AND +"Pagada" = 0
                  AND "Monto" IS DISTINCT FROM %1)")
                               .arg(nuevoMonto),
                           {}, QStringLiteral("Emisión")))
            return falla(q);
        // Every unpaid due found now has the run's amount, rewritten or not.
        QSqlQuery halladas(m_db);
        if (!Database::run(halladas,
                           QStringLiteral(R"(SELECT COUNT(*), COALESCE(SUM((SELECT CASE WHEN c."Pagada" = 0
                    THEN 1 ELSE 0 END FROM "Cuotas" c WHERE c."idCuota" = h."idCuota")), 0) FROM "EmisionHallada" h
                    WHERE h."n" > 0)"),
                           {}, QStringLiteral("Emisión")) ||
            !halladas.next())
            return falla(halladas);
        r.actualizadas += halladas.value(1).toInt();
        r.pagadasSinCambio += halladas.value(0).toInt() - halladas.value(1).toInt();
        QSqlQuery altas(m_db);
        if (!Database::run(altas,
                           QStringLiteral(R"(INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Vencimiento",
                    "Factura", "Mes", "Año", "Monto", "ClaveSocio")
                SELECT u."idAfiliado", ?, s."vencimiento", s."factura", s."mes", ?, s."monto", a."ClaveOrden"
                FROM "EmisionSocios" u %1 "Afiliados" a ON a."idAfiliado" = u."idAfiliado"
                CROSS JOIN "EmisionSerie" s
                WHERE NOT EXISTS (SELECT 1 FROM "EmisionHallada" h WHERE h."orden" = u."orden" AND h."n" = s."n")
                ORDER BY u."orden", s."n")")
                               .arg(join),
                           {m_idPlan, m_anio}, QStringLiteral("Emisión")))
            return falla(altas);
        r.agregadas += altas.numRowsAffected();
        return true;
    }

    QSqlError causa; // the failed statement's, for the transaction

private:
    bool conTamanos(const QStringList &tablas) {
        for (const QString &sql : Engine::of(m_db).statisticsStatements(tablas))
            if (!ejecutar(sql))
                return false;
        return true;
    }
    bool ejecutar(const QString &sql, const QVariantList &valores = {}) {
        QSqlQuery q(m_db);
        // A server prepares no DDL: statements without values run as they are.
        if (valores.isEmpty()) {
            if (q.exec(sql))
                return true;
            Log::error(QStringLiteral("Emisión"), sql + QStringLiteral(": ") + q.lastError().text());
            return falla(q);
        }
        return Database::run(q, sql, valores, QStringLiteral("Emisión")) || falla(q);
    }
    bool falla(const QSqlQuery &q) {
        causa = q.lastError();
        return false;
    }
    QSqlDatabase m_db = Database::db();
    qint64 m_idPlan;
    int m_anio;
    int m_orden = 0;            // the run's position of the next member put in the scratch table
    bool m_inscripcion = false; // the run issues the inscription (step 0)
};

// Runs sql, whose last placeholders are a list "IN (%1)", for the given leading values and ids.
bool leerGrupo(QSqlQuery &q, const QString &sql, const QVariantList &antes, const QVector<qint64> &ids) {
    q.setForwardOnly(true);
    if (!q.prepare(sql.arg(QStringList(ids.size(), QStringLiteral("?")).join(QStringLiteral(", ")))))
        return false;
    for (const QVariant &v : antes)
        q.addBindValue(v);
    for (const qint64 id : ids)
        q.addBindValue(QVariant::fromValue<qlonglong>(id));
    return q.exec();
}

// A due's month as one number, for finding a member's due of a given month and year.
int mesDe(const QDate &d) {
    return d.year() * 12 + d.month() - 1;
}

bool esInscripcion(const QString &factura, qint64 mes) {
    return mes == 0 && factura == QLatin1String("INSCRIPCION");
}

// What a member already has of a plan when a run starts: the member's sort key (each new due keeps a
// copy), whether the year's inscription is issued, and the plan's monthly dues by the month of their due
// date, whatever their invoice says (the two issuances write different ones).
struct Existentes {
    struct Cuota {
        qint64 idCuota = 0;
        bool pagada = false;
    };
    QVariant clave;
    bool conInscripcion = false;
    QHash<int, Cuota> porMes; // the first due of each month
};

// Reads, inside the run's transaction, what the members of grupo have of plan idPlan; a member missing
// from *out no longer exists. The members' rows stay until the transaction ends: another desk's deletion
// waits, so no due is written for a member deleted meanwhile.
bool leerExistentes(QSqlQuery &q, qint64 idPlan, int anioInscripcion, const QVector<qint64> &grupo,
                    QHash<qint64, Existentes> *out) {
    if (!leerGrupo(q,
                   QStringLiteral(
                       R"(SELECT "idAfiliado", "ClaveOrden" FROM "Afiliados" WHERE "idAfiliado" IN (%1))") +
                       Engine::of(Database::db()).keepRowsClause(),
                   {}, grupo))
        return false;
    while (q.next())
        (*out)[q.value(0).toLongLong()].clave = q.value(1);
    // Only the member index narrows this: "+" keeps a file's planner off the plan's index, which would walk
    // every due of the plan; the plan's condition only spares reading the members' other dues.
    if (!leerGrupo(q,
                   QStringLiteral(R"(SELECT "idAfiliado", "idCuota", "Factura", "Mes", "Año", "Vencimiento",
                                               "Pagada" FROM "Cuotas" WHERE +"idPlan" = ? AND "idAfiliado" IN (%1))"),
                   {idPlan}, grupo))
        return false;
    while (q.next()) {
        const auto socio = out->find(q.value(0).toLongLong());
        if (socio == out->end())
            continue;
        const qint64 idCuota = q.value(1).toLongLong();
        if (esInscripcion(q.value(2).toString(), q.value(3).toLongLong())) {
            if (q.value(4).toLongLong() == anioInscripcion)
                socio->conInscripcion = true;
            continue;
        }
        const QDate venc = q.value(5).toDate();
        if (!venc.isValid())
            continue;
        const auto it = socio->porMes.find(mesDe(venc));
        if (it == socio->porMes.end() || idCuota < it->idCuota)
            socio->porMes.insert(mesDe(venc), {idCuota, q.value(6).toLongLong() != 0});
    }
    q.finish();
    return true;
}

Emision::Resultado fallo(const QString &detalle) {
    Emision::Resultado r;
    r.estado = Estado::Fallo;
    r.causa = Causa::Base;
    r.mensaje = QStringLiteral("No se pudieron guardar las cuotas; no se emitió ninguna. %1").arg(detalle);
    return r;
}

// Runs a run's writing in one transaction (repeated when another desk's change got in the way), serialised
// per plan; the run's own refusals and cancellation come back as they are, failures with their reason.
// The run's log entry counts and sums the plan's dues numbered after those there were before it: the plan's
// runs are serialised, so they are this run's.
Emision::Resultado ejecutar(qint64 idPlan, const QString &detalle,
                            const std::function<bool(Transaction &, Emision::Resultado &)> &obra) {
    Emision::Resultado r;
    const Result hecho = Transaction::run(Database::db(), [&](Transaction &t) {
        r = Emision::Resultado();
        r.estado = Estado::Fallo;
        const QSqlDatabase db = Database::db();
        if (!Engine::of(db).lockWork(db, AreaEmision, idPlan))
            return t.fail(Engine::of(db).lastFailure(db));
        QSqlQuery q(db);
        if (!Database::run(q, QStringLiteral(R"(SELECT MAX("idCuota") FROM "Cuotas")"), {},
                           QStringLiteral("Emisión")) ||
            !q.next())
            return t.fail(q.lastError());
        const qint64 antes = q.value(0).toLongLong();
        q.finish();
        if (!obra(t, r))
            // The run's own refusal or cancellation, as the run tells it; else a failed statement.
            return r.causa != Causa::Ninguna && t.refuse(Result::failure(r.mensaje, Result::Code::Invalid));
        if (!Database::run(q, QStringLiteral(R"(SELECT COUNT(*), SUM("Monto") FROM "Cuotas"
                                              WHERE "idCuota" > ? AND "idPlan" = ?)"),
                           {antes, idPlan}, QStringLiteral("Emisión")) ||
            !q.next())
            return t.fail(q.lastError());
        const qint64 cuotas = q.value(0).toLongLong();
        const Money total = Money::fromVariant(q.value(1)).value_or(Money());
        q.finish();
        const Result anotado = Actividad::anotar(
            db, {Actividad::Accion::Emision, QStringLiteral("plan %1: %2 cuotas").arg(idPlan).arg(cuotas),
                 std::nullopt, total, detalle});
        if (anotado)
            return true;
        r.causa = Causa::Base;
        r.mensaje = anotado.message();
        return t.refuse(anotado);
    });
    if (hecho) {
        r.estado = Estado::Emitido;
        return r;
    }
    if (r.causa != Causa::Ninguna)
        return r;
    return fallo(hecho.message());
}

} // namespace

namespace Emision {

std::optional<Socio> socio(const QString &tag) {
    const auto n = id(tag);
    if (!n)
        return std::nullopt;
    QSqlQuery q(Database::db());
    if (!Database::run(q, QStringLiteral(R"(SELECT a."Apellido", a."Nombres", a."idPlan", p."Descripcion"
                           FROM "Afiliados" a LEFT JOIN "Planes" p ON p."idPlan" = a."idPlan"
                           WHERE a."idAfiliado" = ?)"),
                       {*n}, QStringLiteral("Emisión")) ||
        !q.next())
        return std::nullopt;
    if (q.value(2).isNull() || q.value(3).isNull())
        return std::nullopt;
    return Socio{q.value(0).toString(), q.value(1).toString(), q.value(2).toLongLong(),
                 q.value(3).toString()};
}

std::optional<qint16> leerEntero(const QString &texto) {
    return Planes::leerCantidad(texto);
}

Resultado emitirIndividual(const Individual &e) {
    const auto p = plan(e.noPlan);
    if (!p)
        return rechazo(Causa::Plan, QStringLiteral("Plan no localizado !"));
    const auto idAfiliado = id(e.tag);
    QSqlQuery socioQ(Database::db());
    socioQ.prepare(QStringLiteral(R"(SELECT 1 FROM "Afiliados" WHERE "idAfiliado" = ?)"));
    bool existe = false;
    if (!idAfiliado || !existeAfiliado(socioQ, *idAfiliado, &existe) || !existe)
        return rechazo(Causa::Socio, kSocioNoLocalizado);
    const auto anio = leerEntero(e.anio);
    if (!anio || *anio <= 1994)
        return rechazo(Causa::Anio, QStringLiteral("Año de emisión inválido !"));
    const auto dia = leerEntero(e.dia);
    if (!dia || *dia < 1 || *dia > 30)
        return rechazo(Causa::Dia, QStringLiteral("Dia de vencimiento inválido !"));

    return ejecutar(
        p->idPlan, QStringLiteral("socio %1").arg(*idAfiliado), [&](Transaction &t, Resultado &r) {
            Escritor w;
            if (!w.preparar())
                return t.fail(w.causa);
            // Read before anything is written: only dues from before the run count as issued.
            QSqlQuery q(Database::db());
            QHash<qint64, Existentes> socios;
            if (!leerExistentes(q, p->idPlan, *anio, {*idAfiliado}, &socios))
                return t.fail(q.lastError());
            if (!socios.contains(*idAfiliado)) {
                r.causa = Causa::Socio;
                r.mensaje = kSocioNoLocalizado;
                return false;
            }
            const Existentes &ya = socios[*idAfiliado];
            if (e.inscripcion) {
                if (ya.conInscripcion) {
                    r.avisos << QStringLiteral("La inscripción a este Socio ya ha sido emitida.");
                } else {
                    if (!w.agregar(*idAfiliado, p->idPlan, e.fechaInscripcion, QStringLiteral("INSCRIPCION"),
                                   0, *anio, p->inscripcion))
                        return t.fail(w.causa);
                    ++r.agregadas;
                }
            }
            // Each due date follows from the previous one, so a day shortened by a short month carries on.
            QDate d = e.primerVencimiento;
            for (int n = 1; n <= p->cantidad; ++n, d = d.addMonths(1)) {
                if (ya.porMes.contains(mesDe(d))) {
                    r.avisos << QStringLiteral("La cuota del mes %1 a este Socio ya ha sido emitida.").arg(n);
                    continue;
                }
                if (!w.agregar(*idAfiliado, p->idPlan, d, QStringLiteral("CUOTA MES %1").arg(n), d.month(),
                               d.year(), p->cuotaMensual))
                    return t.fail(w.causa);
                ++r.agregadas;
            }
            return true;
        });
}

QVector<Item> planes() {
    QVector<Item> out;
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    // Every plan, a nameless one too: the table's order, which is that of its numbers.
    if (!Database::run(q, QStringLiteral(R"(SELECT "Descripcion", "idPlan" FROM "Planes" ORDER BY "idPlan")"),
                       {}, QStringLiteral("Emisión")))
        return out;
    while (q.next())
        out.push_back({q.value(0).toString(), q.value(1).toLongLong()});
    return out;
}

QVector<Item> afiliadosDelPlan(qint64 idPlan) {
    QVector<Item> out;
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(q, QStringLiteral(R"(SELECT "Apellido", "Nombres", "idAfiliado" FROM "Afiliados"
                           WHERE "idPlan" = ? ORDER BY "ClaveOrden", "idAfiliado")"),
                       {idPlan}, QStringLiteral("Emisión")))
        return out;
    while (q.next())
        out.push_back(
            {q.value(0).toString() + QStringLiteral(", ") + q.value(1).toString(), q.value(2).toLongLong()});
    return out;
}

bool vaciarMontos() {
    const QSqlDatabase db = Database::db();
    return Engine::of(db).usePrivateScratch(db) &&
           Database::exec(QStringLiteral(R"(DELETE FROM "TmpCuotas")"));
}

int prepararMontos(qint64 idPlan) {
    const auto p = Planes::buscar(idPlan);
    Transaction t;
    if (!vaciarMontos() || !p) {
        (void)t.commit();
        return 0;
    }
    QSqlQuery q(Database::db());
    q.prepare(QStringLiteral(R"(INSERT INTO "TmpCuotas" ("nro", "monto") VALUES (?, ?))"));
    for (int n = 1; n <= p->cantidadCuotas; ++n) {
        q.addBindValue(n);
        q.addBindValue(p->cuotaMensual.toVariant());
        if (!q.exec()) {
            Log::error(QStringLiteral("Emisión"), q.lastError().text());
            return 0;
        }
    }
    return t.commit() ? qMax(0, int(p->cantidadCuotas)) : 0;
}

QString recordSourceMontos() {
    const QSqlDatabase db = Database::db();
    // Without its own scratch table the list reads the shared one, as before it was taken: nothing to tell.
    (void)Engine::of(db).usePrivateScratch(db);
    return QStringLiteral(R"(SELECT "nro", "monto" FROM "TmpCuotas" ORDER BY "nro")");
}

QVector<Money> montos() {
    QVector<Money> out;
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(q, recordSourceMontos(), {}, QStringLiteral("Emisión")))
        return out;
    while (q.next())
        out.push_back(Money::fromVariant(q.value(1)).value_or(Money()));
    return out;
}

Resultado emitirGrupal(const Grupal &e, const Progreso &progreso) {
    const auto p = plan(e.noPlan);
    if (!p)
        return rechazo(Causa::Plan, QStringLiteral("Plan no localizado !"));
    const auto anio = leerEntero(e.anio);
    if (!leerEntero(e.mes) || !anio)
        return rechazo(Causa::MesAnio, QStringLiteral("Error, ingrese el mes y año correctamente!"));
    if (!e.hayAfiliados)
        return rechazo(Causa::SinAfiliados, QStringLiteral("No hay afiliados a emitir cuota !"));

    // The series is the same for every member: dates, invoices and amounts are worked out once.
    using Paso = EmisionEnConjunto::Paso;
    QVector<Paso> serie;
    QDate d = e.primerVencimiento;
    for (int n = 1; n <= p->cantidad; ++n, d = d.addMonths(1))
        serie.push_back({d, QStringLiteral("MES %1 AÑO %2").arg(d.month()).arg(d.year()), d.month(),
                         n <= e.montos.size() ? e.montos.at(n - 1) : p->cuotaMensual});
    std::optional<Paso> inscripcion;
    if (e.inscripcion)
        inscripcion = Paso{e.fechaInscripcion, QStringLiteral("INSCRIPCION"), 0, p->inscripcion};

    return ejecutar(p->idPlan, QStringLiteral("por plan, %1 socios").arg(e.afiliados.size()),
                    [&](Transaction &t, Resultado &r) {
                        EmisionEnConjunto w(p->idPlan, *anio);
                        if (!w.preparar(inscripcion, serie))
                            return t.fail(w.causa);
                        const int total = int(e.afiliados.size());
                        for (int i = 0; i < total;) {
                            // The next members up to a repeated one.
                            QVector<qint64> grupo;
                            QSet<qint64> enGrupo;
                            for (int j = i; j < total && grupo.size() < EmisionEnConjunto::SociosPorGrupo &&
                                            !enGrupo.contains(e.afiliados.at(j));
                                 ++j) {
                                grupo.push_back(e.afiliados.at(j));
                                enGrupo.insert(e.afiliados.at(j));
                            }
                            QSet<qint64> existentes;
                            if (!w.cargar(grupo, &existentes))
                                return t.fail(w.causa);
                            for (const qint64 a : std::as_const(grupo)) {
                                if (progreso && !progreso(i, total)) {
                                    r.estado = Estado::Cancelado;
                                    r.causa = Causa::Cancelada;
                                    r.mensaje =
                                        QStringLiteral("Emisión cancelada: no se guardó ninguna cuota.");
                                    r.agregadas = r.actualizadas = r.pagadasSinCambio = 0;
                                    return false;
                                }
                                ++i;
                                if (!existentes.contains(a)) {
                                    r.estado = Estado::Fallo;
                                    r.causa = Causa::Socio;
                                    r.mensaje = kSocioNoLocalizado;
                                    r.agregadas = r.actualizadas = r.pagadasSinCambio = 0;
                                    return false;
                                }
                            }
                            if (!w.escribir(r))
                                return t.fail(w.causa);
                        }
                        if (progreso)
                            progreso(total, total);
                        return true;
                    });
}

} // namespace Emision
