#include "dues/Emision.h"

#include "core/Log.h"
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

// A plan-wide run reads and writes members in groups: on a server every statement is a round trip, and a run
// over thousands of members paid it several times per member. A group's members are distinct and their new
// dues are written before the next group is read, so a member the list names twice sees its dues of the
// first time. New amounts of issued dues are grouped by amount across the run: a run reads no amount back.
class EscritorPorLotes {
public:
    struct Alta {
        qint64 idAfiliado = 0;
        QVariant claveSocio;
        QDate vencimiento;
        QString factura;
        int mes = 0;
        Money monto;
    };
    static constexpr int FilasPorInsert = 64;
    static constexpr int CuotasPorUpdate = 256;

    EscritorPorLotes(qint64 idPlan, int anio) : m_idPlan(idPlan), m_anio(anio) {}

    void agregar(Alta alta) { m_altas.push_back(std::move(alta)); }
    // Writes the new dues gathered so far.
    bool escribirAltas() {
        for (qsizetype desde = 0; desde < m_altas.size(); desde += FilasPorInsert) {
            const int n = int(qMin<qsizetype>(FilasPorInsert, m_altas.size() - desde));
            QSqlQuery &q = insercion(n);
            for (int i = 0; i < n; ++i) {
                const Alta &a = m_altas.at(desde + i);
                for (const QVariant &v : {QVariant(a.idAfiliado), QVariant(m_idPlan),
                                          QVariant(iso(a.vencimiento)), QVariant(a.factura), QVariant(a.mes),
                                          QVariant(m_anio), a.monto.toVariant(), a.claveSocio})
                    q.addBindValue(v);
            }
            if (!ejecutar(q))
                return false;
        }
        m_altas.clear();
        return true;
    }
    // An unpaid due's new amount. A due another desk pays meanwhile keeps its amount: the statement itself
    // passes over paid dues, so it holds however the run's reading has aged.
    bool cambiarMonto(qint64 idCuota, Money monto) {
        if (m_pendientes.contains(idCuota))
            return true;
        m_pendientes.insert(idCuota);
        QVector<qint64> &ids = m_cambios[monto.units()];
        ids.push_back(idCuota);
        return ids.size() < CuotasPorUpdate || vaciar(monto.units());
    }
    // Everything still pending; before the commit.
    bool terminar() {
        if (!escribirAltas())
            return false;
        for (const qint64 monto : m_cambios.keys())
            if (!vaciar(monto))
                return false;
        return true;
    }
    QString error;
    QSqlError causa;   // the failed statement's, for the transaction
    int cambiadas = 0; // dues whose amount was replaced
    int yaPagadas = 0; // dues found paid by the statement itself

private:
    QSqlQuery &insercion(int filas) {
        auto it = m_inserciones.find(filas);
        if (it == m_inserciones.end()) {
            QStringList valores;
            for (int i = 0; i < filas; ++i)
                valores << QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?)");
            it = m_inserciones.insert(filas, QSqlQuery(Database::db()));
            it->prepare(
                QStringLiteral(R"(INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Vencimiento", "Factura",
                                              "Mes", "Año", "Monto", "ClaveSocio") VALUES )") +
                valores.join(QStringLiteral(", ")));
        }
        return *it;
    }
    bool vaciar(qint64 monto) {
        const QVector<qint64> ids = m_cambios.take(monto);
        if (ids.isEmpty())
            return true;
        auto it = m_actualizaciones.find(int(ids.size()));
        if (it == m_actualizaciones.end()) {
            it = m_actualizaciones.insert(int(ids.size()), QSqlQuery(Database::db()));
            // "+" keeps a file's planner on the key: the index on "Pagada" would walk every unpaid due.
            it->prepare(
                QStringLiteral(R"(UPDATE "Cuotas" SET "Monto" = ? WHERE "idCuota" IN (%1) AND +"Pagada" = 0)")
                    .arg(QStringList(ids.size(), QStringLiteral("?")).join(QStringLiteral(", "))));
        }
        it->addBindValue(QVariant::fromValue<qlonglong>(monto));
        for (const qint64 id : ids) {
            it->addBindValue(QVariant::fromValue<qlonglong>(id));
            m_pendientes.remove(id);
        }
        if (!ejecutar(*it))
            return false;
        const int n = it->numRowsAffected();
        cambiadas += n;
        yaPagadas += int(ids.size()) - n;
        return true;
    }
    bool ejecutar(QSqlQuery &q) {
        if (q.exec())
            return true;
        causa = q.lastError();
        error = causa.text();
        Log::error(QStringLiteral("Emisión"), error);
        return false;
    }
    qint64 m_idPlan;
    int m_anio;
    QVector<Alta> m_altas;
    QHash<int, QSqlQuery> m_inserciones;
    QHash<int, QSqlQuery> m_actualizaciones;
    QHash<qint64, QVector<qint64>> m_cambios; // ids of issued dues by their new amount
    QSet<qint64> m_pendientes;                // the ids of m_cambios
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
Emision::Resultado ejecutar(qint64 idPlan,
                            const std::function<bool(Transaction &, Emision::Resultado &)> &obra) {
    Emision::Resultado r;
    const Result hecho = Transaction::run(Database::db(), [&](Transaction &t) {
        r = Emision::Resultado();
        r.estado = Estado::Fallo;
        const QSqlDatabase db = Database::db();
        if (!Engine::of(db).lockWork(db, AreaEmision, idPlan))
            return t.fail(Engine::of(db).lastFailure(db));
        if (obra(t, r))
            return true;
        // The run's own refusal or cancellation, as the run tells it; else a failed statement.
        return r.causa != Causa::Ninguna && t.refuse(Result::failure(r.mensaje, Result::Code::Invalid));
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

    return ejecutar(p->idPlan, [&](Transaction &t, Resultado &r) {
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
                if (!w.agregar(*idAfiliado, p->idPlan, e.fechaInscripcion, QStringLiteral("INSCRIPCION"), 0,
                               *anio, p->inscripcion))
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
    struct Paso {
        QDate vencimiento;
        QString factura;
        Money monto;
    };
    QVector<Paso> serie;
    QDate d = e.primerVencimiento;
    for (int n = 1; n <= p->cantidad; ++n, d = d.addMonths(1))
        serie.push_back({d, QStringLiteral("MES %1 AÑO %2").arg(d.month()).arg(d.year()),
                         n <= e.montos.size() ? e.montos.at(n - 1) : p->cuotaMensual});
    const QString inscripcion = QStringLiteral("INSCRIPCION");

    return ejecutar(p->idPlan, [&](Transaction &t, Resultado &r) {
        EscritorPorLotes w(p->idPlan, *anio);
        constexpr int SociosPorGrupo = 128;
        const int total = int(e.afiliados.size());
        for (int i = 0; i < total;) {
            // The next members up to a repeated one.
            QVector<qint64> grupo;
            QSet<qint64> enGrupo;
            for (int j = i;
                 j < total && grupo.size() < SociosPorGrupo && !enGrupo.contains(e.afiliados.at(j)); ++j) {
                grupo.push_back(e.afiliados.at(j));
                enGrupo.insert(e.afiliados.at(j));
            }
            QSqlQuery q(Database::db());
            QHash<qint64, Existentes> existentes;
            if (!leerExistentes(q, p->idPlan, *anio, grupo, &existentes))
                return t.fail(q.lastError());

            for (const qint64 a : std::as_const(grupo)) {
                if (progreso && !progreso(i, total)) {
                    r.estado = Estado::Cancelado;
                    r.causa = Causa::Cancelada;
                    r.mensaje = QStringLiteral("Emisión cancelada: no se guardó ninguna cuota.");
                    r.agregadas = r.actualizadas = r.pagadasSinCambio = 0;
                    return false;
                }
                ++i;
                const auto socio = existentes.constFind(a);
                if (socio == existentes.constEnd()) {
                    r.estado = Estado::Fallo;
                    r.causa = Causa::Socio;
                    r.mensaje = kSocioNoLocalizado;
                    return false;
                }
                if (e.inscripcion && !socio->conInscripcion) {
                    w.agregar({a, socio->clave, e.fechaInscripcion, inscripcion, 0, p->inscripcion});
                    ++r.agregadas;
                }
                // The series' months differ from one another, so none of the dues added here is met again
                // further on.
                for (const Paso &s : serie) {
                    const auto ya = socio->porMes.constFind(mesDe(s.vencimiento));
                    if (ya == socio->porMes.constEnd()) {
                        w.agregar(
                            {a, socio->clave, s.vencimiento, s.factura, s.vencimiento.month(), s.monto});
                        ++r.agregadas;
                    } else if (ya->pagada) {
                        // Settled: its amount is what was collected.
                        ++r.pagadasSinCambio;
                    } else if (!w.cambiarMonto(ya->idCuota, s.monto)) {
                        return t.fail(w.causa);
                    }
                }
            }
            if (!w.escribirAltas())
                return t.fail(w.causa);
        }
        if (progreso)
            progreso(total, total);
        if (!w.terminar())
            return t.fail(w.causa);
        r.actualizadas = w.cambiadas;
        r.pagadasSinCambio += w.yaPagadas;
        return true;
    });
}

} // namespace Emision
