#include "members/Afiliados.h"

#include "core/Log.h"
#include "db/Actividad.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"
#include "members/Categorias.h"
#include "members/Planes.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace {

struct CampoTexto {
    const char *campo;
    const char *titulo;
};
// Box index -> stored field and required-field title (empty: optional).
const CampoTexto kCampos[Afiliado::NumCampos] = {
    {"Apellido", "Apellido"},
    {"Nombres", "Nombres"},
    {"TipoDocumento", "Tipo Documento"},
    {"Documento", "Documento"},
    {"Domicilio", "Domicilio"},
    {"Barrio", ""},
    {"Localidad", ""},
    {"Telefono", "Telefono Particular"},
    {"Telefono Trabajo", ""},
    {"Fax", ""},
    {"e-mail", ""},
    {"Ocupacion", ""},
};

QString fieldList() {
    QStringList f;
    for (const CampoTexto &c : kCampos)
        f << QLatin1Char('"') + QString::fromUtf8(c.campo) + QLatin1Char('"');
    return f.join(QStringLiteral(", "));
}

QVariant fechaIso(const QDate &d) {
    return d.isValid() ? QVariant(d.toString(Qt::ISODate)) : QVariant();
}

// A database failure as the member editor reports it: the engine's description and number.
struct FalloBase {
    QString descripcion;
    QString numero;
};

FalloBase falloDe(const QSqlError &e) {
    QString numero = e.nativeErrorCode();
    if (numero.isEmpty())
        numero = QString::number(int(e.type()));
    return {e.databaseText().isEmpty() ? e.text() : e.databaseText(), numero};
}

// Number of members listed before the one with key clave and number id: the list runs by (ClaveOrden,
// idAfiliado), rows without a key first. The members whose key starts with two letters before the key's come
// from their kept counts; the rest are each a short range on the list's index.
std::optional<int> posicion(const QVariant &clave, const QVariant &id) {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (clave.isNull()) {
        q.prepare(QStringLiteral(
            R"(SELECT COUNT(*) FROM "Afiliados" WHERE "ClaveOrden" IS NULL AND "idAfiliado" < ?)"));
        q.addBindValue(id);
    } else {
        q.prepare(QStringLiteral(R"(SELECT (SELECT COUNT(*) FROM "Afiliados" WHERE "ClaveOrden" IS NULL)
            + (SELECT COALESCE(SUM("Cantidad"), 0) FROM "ConteoSocios" WHERE "Tramo" < substr(?, 1, 2))
            + (SELECT COUNT(*) FROM "Afiliados" WHERE "ClaveOrden" >= substr(?, 1, 2) AND "ClaveOrden" < ?)
            + (SELECT COUNT(*) FROM "Afiliados" WHERE "ClaveOrden" = ? AND "idAfiliado" < ?))"));
        for (const QVariant &v : {clave, clave, clave, clave, id})
            q.addBindValue(v);
    }
    if (!q.exec() || !q.next()) {
        Log::error(QStringLiteral("Afiliados"), q.lastError().text());
        return std::nullopt;
    }
    return q.value(0).toInt();
}

// The sort-key prefixes a surname search covers. The key keeps ñ apart from n (so that Ñandú sorts after
// Núñez), but a search by the first letters finds either: "Na" finds Ñandú as "N" does. Beyond a few n's
// in the text only the plain reading and the text as typed are tried.
QStringList clavesDeBusqueda(const QString &texto) {
    const QString enie = SqlEngine::sortKey(QStringLiteral("ñ"));
    QStringList claves = {QStringLiteral("")}; // not a null text: that would bind as NULL
    int variantes = 0;
    for (const QChar ch : texto) {
        const QString k = SqlEngine::sortKey(QString(ch));
        const bool ambigua = k == QStringLiteral("n") || k == enie;
        if (ambigua && ++variantes <= 6) {
            QStringList siguientes;
            for (const QString &c : std::as_const(claves))
                siguientes << c + QStringLiteral("n") << c + enie;
            claves = siguientes;
        } else {
            for (QString &c : claves)
                c += ambigua ? QStringLiteral("n") : k;
        }
    }
    if (variantes > 6)
        claves << SqlEngine::sortKey(texto);
    claves.removeDuplicates();
    return claves;
}

} // namespace

namespace Afiliados {

QString recordSource() {
    return QStringLiteral(R"(Select * from "Afiliados" order by "ClaveOrden", "idAfiliado")");
}

QString cantidadSql() {
    return QStringLiteral(R"(SELECT (SELECT COALESCE(SUM("Cantidad"), 0) FROM "ConteoSocios")
                                  + (SELECT COUNT(*) FROM "Afiliados" WHERE "ClaveOrden" IS NULL))");
}

QString campo(int i) {
    return i >= 0 && i < Afiliado::NumCampos ? QString::fromUtf8(kCampos[i].campo) : QString();
}
QString titulo(int i) {
    return i >= 0 && i < Afiliado::NumCampos ? QString::fromUtf8(kCampos[i].titulo) : QString();
}

std::optional<Afiliado> buscar(qint64 idAfiliado) {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT %1, "Fecha Nacimiento", "Fecha Afiliacion", "idPlan", "idCategoria"
                                FROM "Afiliados" WHERE "idAfiliado" = ?)")
                  .arg(fieldList()));
    q.addBindValue(idAfiliado);
    if (!q.exec()) {
        Log::error(QStringLiteral("Afiliados"), q.lastError().text());
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    Afiliado a;
    a.idAfiliado = idAfiliado;
    for (int i = 0; i < Afiliado::NumCampos; ++i)
        a.campos[i] = q.value(i).toString();
    a.fechaNacimiento = QDate::fromString(q.value(12).toString().left(10), Qt::ISODate);
    a.fechaAfiliacion = QDate::fromString(q.value(13).toString().left(10), Qt::ISODate);
    a.idPlan = q.value(14);
    a.idCategoria = q.value(15);
    return a;
}

Verificacion verificar(const std::array<QString, Afiliado::NumCampos> &campos, const QString &plan,
                       const QString &categoria) {
    Verificacion v;
    for (int i = 0; i < Afiliado::NumCampos; ++i) {
        if (!titulo(i).isEmpty() && campos[i].isEmpty()) {
            v.mensaje = QStringLiteral("El campo : ") + titulo(i) + QStringLiteral(" no puede estar vacío. ");
            v.campo = i;
            return v;
        }
    }
    v.idPlan = Planes::idPorDescripcion(plan);
    if (v.idPlan.isNull()) {
        v.mensaje = QStringLiteral("Ingrese un plan válido !");
        v.campo = PlanCampo;
        return v;
    }
    v.idCategoria = Categorias::idPorDescripcion(categoria);
    if (v.idCategoria.isNull()) {
        v.mensaje = QStringLiteral("Ingrese una categoria válida !");
        v.campo = CategoriaCampo;
        return v;
    }
    return v;
}

Result guardar(Afiliado &a) {
    auto falla = [&](const FalloBase &f, Result::Code code = Result::Code::Failed) {
        const QString texto = f.descripcion + QStringLiteral(" (") + f.numero + QLatin1Char(')');
        Log::error(QStringLiteral("Afiliados"), texto);
        return Result::failure(texto, code);
    };
    Transaction t;
    if (!t.isActive())
        return falla({t.lastError(), QStringLiteral("0")});
    QVariantList valores;
    for (const QString &s : a.campos)
        valores << QVariant(s.isNull() ? QStringLiteral("") : s); // an empty box stores zero-length text
    valores << fechaIso(a.fechaNacimiento) << fechaIso(a.fechaAfiliacion) << a.idPlan << a.idCategoria
            << SqlEngine::memberSortKey(a.campos[0], a.campos[1]);
    const QString campos =
        fieldList() +
        QStringLiteral(R"(, "Fecha Nacimiento", "Fecha Afiliacion", "idPlan", "idCategoria", "ClaveOrden")");
    QSqlQuery q(Database::db());
    const bool nuevo = a.idAfiliado.isNull();
    if (nuevo) {
        QStringList marcas;
        for (int i = 0; i < valores.size(); ++i)
            marcas << QStringLiteral("?");
        q.prepare(QStringLiteral(R"(INSERT INTO "Afiliados" (%1) VALUES (%2))")
                      .arg(campos, marcas.join(QStringLiteral(", "))));
    } else {
        QStringList asignaciones;
        for (const QString &c : campos.split(QStringLiteral(", ")))
            asignaciones << c + QStringLiteral(" = ?");
        q.prepare(QStringLiteral(R"(UPDATE "Afiliados" SET %1 WHERE "idAfiliado" = ?)")
                      .arg(asignaciones.join(QStringLiteral(", "))));
        valores << a.idAfiliado;
    }
    for (const QVariant &v : valores)
        q.addBindValue(v);
    if (!q.exec())
        return falla(falloDe(q.lastError()));
    // 3021 is the number the club staff know for "no current record" from the earlier versions.
    if (!nuevo && q.numRowsAffected() != 1)
        return falla({QStringLiteral("El socio ya no existe en la base de datos"), QStringLiteral("3021")},
                     Result::Code::NotFound);
    const QVariant id = nuevo ? SqlEngine::lastInsertId(q) : a.idAfiliado;
    if (const Result anotado = Actividad::anotar(
            Database::db(), {nuevo ? Actividad::Accion::AfiliadoAlta : Actividad::Accion::AfiliadoCambio,
                             QStringLiteral("socio %1").arg(id.toString()), std::nullopt, std::nullopt,
                             a.campos[0] + QStringLiteral(", ") + a.campos[1]});
        !anotado)
        return anotado;
    if (!t.commit())
        return falla({t.lastError(), QStringLiteral("0")});
    a.idAfiliado = id;
    return Result::done();
}

Result borrar(qint64 idAfiliado) {
    Transaction t;
    if (!t.isActive())
        return t.failure();
    // The member first: on a server it waits for an issuance run that holds the member, and the dues that
    // run wrote are then seen and deleted with the rest instead of staying without their member.
    const QVariant nombre = Database::buscaValor(
        QStringLiteral(
            R"(SELECT "Apellido" || ', ' || "Nombres" AS n FROM "Afiliados" WHERE "idAfiliado" = ?)"),
        QStringLiteral("n"), {idAfiliado});
    if (Result r =
            Database::exec(QStringLiteral(R"(DELETE FROM "Afiliados" WHERE "idAfiliado" = ?)"), {idAfiliado});
        !r)
        return r;
    // The unpaid amount that goes with the member's dues.
    const std::optional<Money> impago = Money::fromVariant(Database::buscaValor(
        QStringLiteral(R"(SELECT SUM("Monto") AS s FROM "Cuotas" WHERE "idAfiliado" = ? AND "Pagada" = 0)"),
        QStringLiteral("s"), {idAfiliado}));
    if (Result r =
            Database::exec(QStringLiteral(R"(DELETE FROM "Cuotas" WHERE "idAfiliado" = ?)"), {idAfiliado});
        !r)
        return r;
    if (const Result anotado = Actividad::anotar(
            Database::db(),
            {Actividad::Accion::AfiliadoBaja, QStringLiteral("socio %1").arg(idAfiliado), impago,
             impago ? std::optional<Money>(Money()) : std::nullopt, nombre.toString()});
        !anotado)
        return anotado;
    if (!t.commit())
        return t.failure();
    return Result::done();
}

ResumenDeuda resumenDeuda(qint64 idAfiliado) {
    ResumenDeuda r;
    r.sumaDeMonto =
        Database::buscaValor(QStringLiteral(R"(Select * from "ConsultaDeuda" where "idAfiliado" = ?)"),
                             QStringLiteral("SumaDeMonto"), {idAfiliado});
    r.nroCuotas = Database::buscaValor(
        QStringLiteral(R"(Select * from "ConsultaNroCuotasDeuda" where "idAfiliado" = ?)"),
        QStringLiteral("NroCuotas"), {idAfiliado});
    r.maxFecha =
        Database::buscaValor(QStringLiteral(R"(Select * from "FechaUltimoPago" where "idAfiliado" = ?)"),
                             QStringLiteral("MaxFecha"), {idAfiliado});
    return r;
}

namespace {
// The page's keys around the member (clave, id) at row fila: those before it on its page, read backwards
// from it, then it and those after it.
QVariantList clavesAlrededor(const QVariant &clave, qint64 id, int fila, int filasPorPagina) {
    const int antes = fila % filasPorPagina;
    QVariantList claves;
    for (const bool previas : {true, false}) {
        QSqlQuery q(Database::db());
        q.setForwardOnly(true);
        // Row values: a range on the index where an OR of the two columns is a scan from the list's end
        // on a server. A member without a key compares as unknown, so is left out as before.
        q.prepare(previas ? QStringLiteral(R"(SELECT "idAfiliado" FROM "Afiliados"
                                               WHERE ("ClaveOrden", "idAfiliado") < (?, ?)
                                               ORDER BY "ClaveOrden" DESC, "idAfiliado" DESC LIMIT ?)")
                          : QStringLiteral(R"(SELECT "idAfiliado" FROM "Afiliados"
                                               WHERE ("ClaveOrden", "idAfiliado") >= (?, ?)
                                               ORDER BY "ClaveOrden", "idAfiliado" LIMIT ?)"));
        for (const QVariant &v : {clave, QVariant(id), QVariant(previas ? antes : filasPorPagina - antes)})
            q.addBindValue(v);
        if (!q.exec()) {
            Log::error(QStringLiteral("Afiliados"), q.lastError().text());
            return {};
        }
        QVariantList leidas;
        while (q.next())
            leidas << q.value(0);
        if (previas && leidas.size() != antes)
            return {}; // members without a key sit above: their place is not in the index
        if (previas)
            std::reverse(leidas.begin(), leidas.end());
        claves += leidas;
    }
    return claves;
}
} // namespace

std::optional<int> posicionPorApellido(const QString &texto, QVariantList *clavesDePagina,
                                       int filasPorPagina) {
    // The first member in list order among the surnames that start with the text: one range on the list's
    // index for each way of reading the text's n and ñ, which the search does not tell apart.
    std::optional<std::pair<QByteArray, qint64>> primero;
    QVariant clave;
    for (const QString &desde : clavesDeBusqueda(texto)) {
        QSqlQuery q(Database::db());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral(R"(SELECT "ClaveOrden", "idAfiliado" FROM "Afiliados"
                                    WHERE "ClaveOrden" >= ? AND "ClaveOrden" < ? AND "Apellido" IS NOT NULL
                                    ORDER BY "ClaveOrden", "idAfiliado" LIMIT 1)"));
        q.addBindValue(desde);
        q.addBindValue(SqlEngine::prefixUpperBound(desde));
        if (!q.exec()) {
            Log::error(QStringLiteral("Afiliados"), q.lastError().text());
            return std::nullopt;
        }
        if (!q.next())
            continue;
        // The database orders text by its UTF-8 bytes.
        const std::pair<QByteArray, qint64> candidato{q.value(0).toString().toUtf8(),
                                                      q.value(1).toLongLong()};
        if (!primero || candidato < *primero) {
            primero = candidato;
            clave = q.value(0);
        }
    }
    if (!primero)
        return std::nullopt;
    const auto fila = posicion(clave, primero->second);
    if (fila && clavesDePagina && filasPorPagina > 0)
        *clavesDePagina = clavesAlrededor(clave, primero->second, *fila, filasPorPagina);
    return fila;
}

std::optional<int> posicionDe(qint64 idAfiliado) {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT "ClaveOrden" FROM "Afiliados" WHERE "idAfiliado" = ?)"));
    q.addBindValue(idAfiliado);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return posicion(q.value(0), idAfiliado);
}

} // namespace Afiliados

QVector<Columna> Afiliados::columnas() {
    using T = Formato::Tipo;
    return {
        {QStringLiteral("idSocio"), QStringLiteral("idAfiliado"), T::General},
        {QStringLiteral("Nombres"), QStringLiteral("Nombres"), T::General},
        {QStringLiteral("Apellido"), QStringLiteral("Apellido"), T::General},
        {QStringLiteral("TipoDocumento"), QStringLiteral("TipoDocumento"), T::General},
        {QStringLiteral("Documento"), QStringLiteral("Documento"), T::General},
        {QStringLiteral("Domicilio"), QStringLiteral("Domicilio"), T::General},
        {QStringLiteral("Padre"), QStringLiteral("Barrio"), T::General},
        {QStringLiteral("Madre"), QStringLiteral("Localidad"), T::General},
        {QStringLiteral("Telefono"), QStringLiteral("Telefono"), T::General},
        {QStringLiteral("Tel. Alternativo"), QStringLiteral("Telefono Trabajo"), T::General},
        {QStringLiteral("Escuela"), QStringLiteral("Ocupacion"), T::General},
        {QStringLiteral("Fecha Nacimiento"), QStringLiteral("Fecha Nacimiento"), T::Fecha},
        {QStringLiteral("Estado Civil"), QStringLiteral("Estado Civil"), T::General},
        {QStringLiteral("Sexo"), QStringLiteral("Sexo"), T::General},
        {QStringLiteral("Afecciones"), QStringLiteral("Afecciones"), T::General},
        {QStringLiteral("Oficio de Riesgo"), QStringLiteral("Oficio de Riesgo"), T::General},
        {QStringLiteral("Fecha Afiliacion"), QStringLiteral("Fecha Afiliacion"), T::Fecha},
        {QStringLiteral("idPlan"), QStringLiteral("idPlan"), T::Entero},
    };
}
