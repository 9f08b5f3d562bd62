#include "cash/Cuentas.h"

#include "data/Database.h"
#include "data/Transaction.h"

namespace Cuentas {

namespace {
// Another account (not excepto) with the same name when letter case and accents are set aside: the stored
// sort key folds both.
bool existe(const QString &nombre, qint64 excepto) {
    return !Database::buscaValor(QStringLiteral(R"(SELECT "idCuenta" FROM "Cuentas"
                                                  WHERE clave_orden("Descripcion") = clave_orden(?) AND "idCuenta" <> ?
                                                  LIMIT 1)"),
                                 QStringLiteral("idCuenta"), {nombre, excepto})
                .isNull();
}
} // namespace

QString recordSource() {
    return QStringLiteral(R"(Select * from "Cuentas" order by "Descripcion" COLLATE es, "idCuenta")");
}

QString recordSourceFiltro() {
    return QStringLiteral(R"(Select * from "Cuentas")");
}

Alta nueva(const QString &nombre, QString *error) {
    Transaction t;
    if (!t.isActive()) {
        if (error)
            *error = t.lastError();
        return Alta::Fallo;
    }
    if (existe(nombre, 0))
        return Alta::Existe;
    if (!Database::exec(QStringLiteral(R"(INSERT INTO "Cuentas" ("Descripcion") VALUES (?))"), {nombre},
                        error))
        return Alta::Fallo;
    if (!t.commit()) {
        if (error)
            *error = t.lastError();
        return Alta::Fallo;
    }
    return Alta::Agregada;
}

Renombre renombrar(qint64 idCuenta, const QString &nombre, QString *error) {
    if (nombre.trimmed().isEmpty())
        return Renombre::Vacio;
    Transaction t;
    if (!t.isActive()) {
        if (error)
            *error = t.lastError();
        return Renombre::Fallo;
    }
    if (existe(nombre, idCuenta))
        return Renombre::Existe;
    if (!Database::exec(QStringLiteral(R"(UPDATE "Cuentas" SET "Descripcion" = ? WHERE "idCuenta" = ?)"),
                        {nombre, idCuenta}, error))
        return Renombre::Fallo;
    if (!t.commit()) {
        if (error)
            *error = t.lastError();
        return Renombre::Fallo;
    }
    return Renombre::Hecho;
}

bool borrable(qint64 idCuenta) {
    return idCuenta != 1;
}

bool borrar(qint64 idCuenta, QString *error) {
    if (!borrable(idCuenta))
        return false;
    return Database::exec(QStringLiteral(R"(DELETE FROM "Cuentas" WHERE "idCuenta" = ?)"), {idCuenta}, error);
}

} // namespace Cuentas
