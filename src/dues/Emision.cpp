#include "dues/Emision.h"

#include "data/Database.h"
#include "data/Log.h"
#include "data/SqlEngine.h"
#include "data/Transaction.h"
#include "members/Planes.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSet>

namespace {

using Estado = Emision::Resultado::Estado;

// The lock area of issuing a plan's dues (lockWork's first number, the plan's the second): two desks
// issuing the same plan take turns, so the second one sees the first one's dues and never repeats them.
constexpr int AreaEmision = 1;

Emision::Resultado rechazo(const QString &mensaje) {
    Emision::Resultado r;
    r.estado = Estado::Rechazado;
    r.mensaje = mensaje;
    return r;
}

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
    QSqlQuery actualizar{Database::db()};
    QString error;
    QSqlError causa; // the failed statement's, for the transaction

    bool preparar() {
        return preparar(insertar,
                        QStringLiteral(
                            R"(INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Vencimiento", "Factura",
                                      "Mes", "Año", "Monto", "ClaveSocio") VALUES (?, ?, ?, ?, ?, ?, ?,
                                      (SELECT "ClaveOrden" FROM "Afiliados" WHERE "idAfiliado" = ?)))")) &&
               preparar(actualizar, QStringLiteral(R"(UPDATE "Cuotas" SET "Monto" = ? WHERE "idCuota" = ?)"));
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
    bool cambiarMonto(qint64 idCuota, Money monto) {
        actualizar.addBindValue(monto.toVariant());
        actualizar.addBindValue(idCuota);
        if (!actualizar.exec()) {
            causa = actualizar.lastError();
            error = causa.text();
            Log::error(QStringLiteral("Emisión"), error);
            return false;
        }
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
                for (const QVariant &v : {QVariant(a.idAfiliado), QVariant(m_idPlan), QVariant(iso(a.vencimiento)),
                                          QVariant(a.factura), QVariant(a.mes), QVariant(m_anio), a.monto.toVariant(),
                                          a.claveSocio})
                    q.addBindValue(v);
            }
            if (!ejecutar(q))
                return false;
        }
        m_altas.clear();
        return true;
    }
    bool cambiarMonto(qint64 idCuota, Money monto) {
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
    QSqlError causa; // the failed statement's, for the transaction

private:
    QSqlQuery &insercion(int filas) {
        auto it = m_inserciones.find(filas);
        if (it == m_inserciones.end()) {
            QStringList valores;
            for (int i = 0; i < filas; ++i)
                valores << QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?)");
            it = m_inserciones.insert(filas, QSqlQuery(Database::db()));
            it->prepare(QStringLiteral(R"(INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Vencimiento", "Factura",
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
            it->prepare(QStringLiteral(R"(UPDATE "Cuotas" SET "Monto" = ? WHERE "idCuota" IN (%1))")
                            .arg(QStringList(ids.size(), QStringLiteral("?")).join(QStringLiteral(", "))));
        }
        it->addBindValue(QVariant::fromValue<qlonglong>(monto));
        for (const qint64 id : ids)
            it->addBindValue(QVariant::fromValue<qlonglong>(id));
        return ejecutar(*it);
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

Emision::Resultado fallo(const QString &detalle) {
    Emision::Resultado r;
    r.estado = Estado::Fallo;
    r.mensaje = QStringLiteral("No se pudieron guardar las cuotas; no se emitió ninguna. %1").arg(detalle);
    return r;
}

// Runs a run's writing in one transaction (repeated when another desk's change got in the way), serialised
// per plan; the run's own refusals and cancellation come back as they are, failures with their reason.
Emision::Resultado ejecutar(qint64 idPlan,
                            const std::function<bool(Transaction &, Emision::Resultado &)> &obra) {
    Emision::Resultado r;
    QString motivo;
    const bool hecho = Transaction::run(
        Database::db(),
        [&](Transaction &t) {
            r = Emision::Resultado();
            r.estado = Estado::Fallo;
            if (!SqlEngine::lockWork(Database::db(), AreaEmision, idPlan))
                return t.fail(SqlEngine::lastFailure(Database::db()));
            return obra(t, r);
        },
        &motivo);
    if (hecho) {
        r.estado = Estado::Emitido;
        return r;
    }
    if (!r.mensaje.isEmpty())
        return r;
    return fallo(motivo);
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
        return rechazo(QStringLiteral("Plan no localizado !"));
    const auto idAfiliado = id(e.tag);
    QSqlQuery socioQ(Database::db());
    socioQ.prepare(QStringLiteral(R"(SELECT 1 FROM "Afiliados" WHERE "idAfiliado" = ?)"));
    bool existe = false;
    if (!idAfiliado || !existeAfiliado(socioQ, *idAfiliado, &existe) || !existe)
        return rechazo(QStringLiteral("Socio no localizado !"));
    const auto anio = leerEntero(e.anio);
    if (!anio || *anio <= 1994)
        return rechazo(QStringLiteral("Año de emisión inválido !"));
    const auto dia = leerEntero(e.dia);
    if (!dia || *dia < 1 || *dia > 30)
        return rechazo(QStringLiteral("Dia de vencimiento inválido !"));

    return ejecutar(p->idPlan, [&](Transaction &t, Resultado &r) {
        Escritor w;
        if (!w.preparar())
            return t.fail(w.causa);
        QSqlQuery busca(Database::db());
        if (e.inscripcion) {
            if (!Database::run(busca, QStringLiteral(R"(SELECT 1 FROM "Cuotas" WHERE "Factura" = 'INSCRIPCION'
                                   AND "idAfiliado" = ? AND "Año" = ?)"),
                               {*idAfiliado, int(*anio)}, QStringLiteral("Emisión")))
                return t.fail(busca.lastError());
            if (busca.next()) {
                r.avisos << QStringLiteral("La inscripción a este Socio ya ha sido emitida.");
            } else {
                if (!w.agregar(*idAfiliado, p->idPlan, e.fechaInscripcion, QStringLiteral("INSCRIPCION"), 0,
                               *anio, p->inscripcion))
                    return t.fail(w.causa);
                ++r.agregadas;
            }
            busca.finish();
        }
        // Only dues issued before this run count as already issued: due 1 of a series from November written
        // here must not pass for "due 11" of the same year a moment later.
        const QVariant ultima = Database::buscaValor(
            QStringLiteral(R"(SELECT MAX("idCuota") AS "n" FROM "Cuotas")"), QStringLiteral("n"));
        if (!busca.prepare(
                QStringLiteral(R"(SELECT 1 FROM "Cuotas" WHERE "idAfiliado" = ? AND "Mes" = ? AND "Año" = ?
                                             AND "idCuota" <= ?)")))
            return t.fail(busca.lastError());
        // Each due date follows from the previous one, so a day shortened by a short month carries on.
        QDate d = e.primerVencimiento;
        for (int n = 1; n <= p->cantidad; ++n, d = d.addMonths(1)) {
            busca.addBindValue(*idAfiliado);
            busca.addBindValue(n);
            busca.addBindValue(int(*anio));
            busca.addBindValue(ultima.isNull() ? QVariant(qlonglong(0)) : ultima);
            if (!busca.exec())
                return t.fail(busca.lastError());
            const bool hay = busca.next();
            busca.finish();
            if (hay) {
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
    if (!Database::run(q, QStringLiteral(R"(SELECT "Descripcion", "idPlan" FROM "Planes"
                           WHERE "Descripcion" IS NOT NULL ORDER BY "idPlan")"),
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
    return SqlEngine::usePrivateScratch(Database::db()) && Database::exec(QStringLiteral(R"(DELETE FROM "TmpCuotas")"));
}

int prepararMontos(qint64 idPlan) {
    const auto p = Planes::buscar(idPlan);
    Transaction t;
    if (!vaciarMontos() || !p) {
        t.commit();
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
    SqlEngine::usePrivateScratch(Database::db());
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
        return rechazo(QStringLiteral("Plan no localizado !"));
    const auto anio = leerEntero(e.anio);
    if (!leerEntero(e.mes) || !anio)
        return rechazo(QStringLiteral("Error, ingrese el mes y año correctamente!"));
    if (!e.hayAfiliados)
        return rechazo(QStringLiteral("No hay afiliados a emitir cuota !"));

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
    auto clave = [](const QString &factura, qint64 mes) {
        return factura + QChar(0x1f) + QString::number(mes);
    };

    return ejecutar(p->idPlan, [&](Transaction &t, Resultado &r) {
        EscritorPorLotes w(p->idPlan, *anio);
        constexpr int SociosPorGrupo = 128;
        const int total = int(e.afiliados.size());
        for (int i = 0; i < total;) {
            // The next members up to a repeated one.
            QVector<qint64> grupo;
            QSet<qint64> enGrupo;
            for (int j = i; j < total && grupo.size() < SociosPorGrupo && !enGrupo.contains(e.afiliados.at(j)); ++j) {
                grupo.push_back(e.afiliados.at(j));
                enGrupo.insert(e.afiliados.at(j));
            }
            // Each member's sort key (each new due keeps a copy) and dues of the run's year: the first one of each
            // invoice and month is the one a re-issue updates.
            QHash<qint64, QVariant> claves;
            QSqlQuery q(Database::db());
            if (!leerGrupo(q, QStringLiteral(R"(SELECT "idAfiliado", "ClaveOrden" FROM "Afiliados" WHERE "idAfiliado" IN (%1))"),
                           {}, grupo))
                return t.fail(q.lastError());
            while (q.next())
                claves.insert(q.value(0).toLongLong(), q.value(1));
            QHash<qint64, QHash<QString, qint64>> mensuales;
            QSet<qint64> conInscripcion;
            // Only the member index narrows this (a year or an order here would let a file's planner walk far more).
            if (!leerGrupo(q, QStringLiteral(R"(SELECT "idAfiliado", "idCuota", "Factura", "idPlan", "Mes", "Año"
                                                FROM "Cuotas" WHERE "idAfiliado" IN (%1))"),
                           {}, grupo))
                return t.fail(q.lastError());
            while (q.next()) {
                if (q.value(5).toLongLong() != *anio)
                    continue;
                const qint64 a = q.value(0).toLongLong();
                const qint64 idCuota = q.value(1).toLongLong();
                const QString factura = q.value(2).toString();
                const qint64 mes = q.value(4).toLongLong();
                if (factura == inscripcion && mes == 0 && q.value(3).toLongLong() == p->idPlan)
                    conInscripcion.insert(a);
                QHash<QString, qint64> &delSocio = mensuales[a];
                auto it = delSocio.find(clave(factura, mes));
                if (it == delSocio.end())
                    delSocio.insert(clave(factura, mes), idCuota);
                else if (idCuota < *it)
                    *it = idCuota;
            }
            q.finish();

            for (const qint64 a : std::as_const(grupo)) {
                if (progreso && !progreso(i, total)) {
                    r.estado = Estado::Cancelado;
                    r.mensaje = QStringLiteral("Emisión cancelada: no se guardó ninguna cuota.");
                    r.agregadas = r.actualizadas = 0;
                    return false;
                }
                ++i;
                const auto socio = claves.constFind(a);
                if (socio == claves.constEnd()) {
                    r.estado = Estado::Fallo;
                    r.mensaje = QStringLiteral("Socio no localizado !");
                    return false;
                }
                if (e.inscripcion && !conInscripcion.contains(a)) {
                    w.agregar({a, *socio, e.fechaInscripcion, inscripcion, 0, p->inscripcion});
                    ++r.agregadas;
                }
                // The series' invoices differ from one another (each names its month and year), so none of the
                // dues added here is met again further on.
                const QHash<QString, qint64> delSocio = mensuales.value(a);
                for (const Paso &s : serie) {
                    const auto it = delSocio.constFind(clave(s.factura, s.vencimiento.month()));
                    if (it != delSocio.constEnd()) {
                        if (!w.cambiarMonto(*it, s.monto))
                            return t.fail(w.causa);
                        ++r.actualizadas;
                        continue;
                    }
                    w.agregar({a, *socio, s.vencimiento, s.factura, s.vencimiento.month(), s.monto});
                    ++r.agregadas;
                }
            }
            if (!w.escribirAltas())
                return t.fail(w.causa);
        }
        if (progreso)
            progreso(total, total);
        if (!w.terminar())
            return t.fail(w.causa);
        return true;
    });
}

} // namespace Emision
