#include "db/Schema.h"

#include "core/Log.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace {

// The work area of Engine::lockWork() that upgrades take (issuance takes 1).
constexpr int SchemaArea = 2;

// Version 1: the nine tables, the five views, their indexes and the rows a new file starts with.
// Money is BIGINT ten-thousandths; dates are DATE (ISO 'YYYY-MM-DD' text in a SQLite file); yes/no is
// INTEGER 0/1. The statements are written once for both engines; Engine::schemaStatement() gives each
// engine its form (key counters, sort-key collation, triggers). In a file nothing names a function or
// collation that only the program registers, so any SQLite tool can read and sort every table and view.
// Views that need today call date(), which reads the program's Clock on its connections.
const char *const kStep1[] = {
    R"(CREATE TABLE "Afiliados" (
        "idAfiliado" INTEGER PRIMARY KEY AUTOINCREMENT,
        "Apellido" TEXT, "Nombres" TEXT, "TipoDocumento" TEXT, "Documento" TEXT, "Domicilio" TEXT,
        "Barrio" TEXT, "Localidad" TEXT, "Telefono" TEXT, "Telefono Trabajo" TEXT, "Fax" TEXT,
        "e-mail" TEXT, "Ocupacion" TEXT, "Fecha Nacimiento" DATE, "Fecha Afiliacion" DATE,
        "idPlan" INTEGER, "idCategoria" INTEGER,
        "Estado Civil" TEXT, "Sexo" TEXT, "Afecciones" TEXT, "Oficio de Riesgo" TEXT,
        "ClaveOrden" TEXT COLLATE BINARY))",
    R"(CREATE TABLE "Planes" (
        "idPlan" INTEGER PRIMARY KEY AUTOINCREMENT,
        "Descripcion" TEXT, "Detalles" TEXT,
        "CuotaMensual" BIGINT NOT NULL DEFAULT 0, "CantidadCuotas" INTEGER NOT NULL DEFAULT 0,
        "Inscripcion" BIGINT NOT NULL DEFAULT 0, "MesComienzo" TEXT, "MesFinal" TEXT, "ClaveOrden" TEXT COLLATE BINARY))",
    R"(CREATE TABLE "Categorias" (
        "idCategoria" INTEGER PRIMARY KEY AUTOINCREMENT, "Descripcion" TEXT))",
    R"(CREATE TABLE "Cuotas" (
        "idCuota" INTEGER PRIMARY KEY AUTOINCREMENT,
        "idAfiliado" INTEGER, "idPlan" INTEGER, "Mes" INTEGER, "Año" INTEGER,
        "Vencimiento" DATE, "Factura" TEXT, "Monto" BIGINT NOT NULL DEFAULT 0,
        "Pagada" INTEGER NOT NULL DEFAULT 0, "Fecha de Pago" DATE, "Recargo" BIGINT))",
    R"(CREATE TABLE "Caja" (
        "idCaja" INTEGER PRIMARY KEY AUTOINCREMENT,
        "Fecha" DATE, "idCuenta" INTEGER, "Detalles" TEXT,
        "Ingresos" BIGINT NOT NULL DEFAULT 0, "Egresos" BIGINT NOT NULL DEFAULT 0,
        "idTipoDivisa" INTEGER, "idCuota" INTEGER))",
    R"(CREATE TABLE "Cuentas" (
        "idCuenta" INTEGER PRIMARY KEY AUTOINCREMENT, "Descripcion" TEXT))",
    R"(CREATE TABLE "TipoDivisas" (
        "idTipoDivisa" INTEGER PRIMARY KEY, "TipoDivisa" TEXT))",
    R"(CREATE TABLE "Usuarios" (
        "idUsuario" INTEGER PRIMARY KEY AUTOINCREMENT,
        "NombreUsuario" TEXT, "Contrasena" TEXT, "NombreCompleto" TEXT,
        "EsSupervisor" INTEGER NOT NULL DEFAULT 0, "EsAdministrativo" INTEGER NOT NULL DEFAULT 0,
        "EsDataEntry" INTEGER NOT NULL DEFAULT 0))",
    R"(CREATE TABLE "TmpCuotas" ("nro" INTEGER PRIMARY KEY, "monto" BIGINT NOT NULL DEFAULT 0))",

    // A member's dues (debt summary, collection, deletion), month/year filter, overdue scans.
    R"(CREATE INDEX "Cuotas_Afiliado" ON "Cuotas" ("idAfiliado", "Pagada", "Vencimiento"))",
    R"(CREATE INDEX "Cuotas_MesAnio" ON "Cuotas" ("Año", "Mes"))",
    R"(CREATE INDEX "Cuotas_Vencidas" ON "Cuotas" ("Pagada", "Vencimiento"))",
    // The dues list runs plan by plan in this order, so it shows its first rows without sorting every due.
    R"(CREATE INDEX "Cuotas_Plan" ON "Cuotas" ("idPlan", "Mes", "Año"))",
    // A day's cash, in list order; an account's cash; the movement of a due.
    R"(CREATE INDEX "Caja_Fecha" ON "Caja" ("Fecha", "idCaja"))",
    R"(CREATE INDEX "Caja_Cuenta" ON "Caja" ("idCuenta", "Fecha"))",
    R"(CREATE INDEX "Caja_Cuota" ON "Caja" ("idCuota"))",
    // Surname order and prefix search run on the stored key.
    R"(CREATE INDEX "Afiliados_Orden" ON "Afiliados" ("ClaveOrden", "idAfiliado"))",
    R"(CREATE INDEX "Afiliados_Plan" ON "Afiliados" ("idPlan"))",
    R"(CREATE INDEX "Planes_Orden" ON "Planes" ("ClaveOrden", "idPlan"))",
    R"(CREATE INDEX "Afiliados_Categoria" ON "Afiliados" ("idCategoria"))",
    R"(CREATE INDEX "Usuarios_Nombre" ON "Usuarios" ("NombreUsuario"))",

    R"(CREATE VIEW "ConsultaCuotas" AS
        SELECT c."idCuota" AS "idCuota", c."idAfiliado" AS "idAfiliado", c."idPlan" AS "idPlan",
               c."Mes" AS "Mes", c."Año" AS "Año", c."Vencimiento" AS "Vencimiento", c."Factura" AS "Factura",
               c."Monto" AS "Monto", c."Pagada" AS "Pagada", c."Fecha de Pago" AS "Fecha de Pago",
               a."Apellido" AS "Apellido", a."Nombres" AS "Nombres", p."Descripcion" AS "Descripcion"
        FROM "Cuotas" c
        LEFT JOIN "Afiliados" a ON a."idAfiliado" = c."idAfiliado"
        LEFT JOIN "Planes" p ON p."idPlan" = c."idPlan")",
    R"(CREATE TRIGGER "ConsultaCuotas_Borrar" INSTEAD OF DELETE ON "ConsultaCuotas"
        BEGIN DELETE FROM "Cuotas" WHERE "idCuota" = OLD."idCuota"; END)",
    R"(CREATE TRIGGER "ConsultaCuotas_Modificar" INSTEAD OF UPDATE ON "ConsultaCuotas"
        BEGIN UPDATE "Cuotas" SET "Monto" = NEW."Monto", "Vencimiento" = NEW."Vencimiento",
               "Factura" = NEW."Factura", "Mes" = NEW."Mes", "Año" = NEW."Año", "Pagada" = NEW."Pagada",
               "Fecha de Pago" = NEW."Fecha de Pago"
           WHERE "idCuota" = OLD."idCuota"; END)",
    R"(CREATE VIEW "ConsultaCaja" AS
        SELECT k."idCaja" AS "idCaja", k."Fecha" AS "Fecha", k."idCuenta" AS "idCuenta",
               k."Detalles" AS "Detalles", k."Ingresos" AS "Ingresos", k."Egresos" AS "Egresos",
               k."idTipoDivisa" AS "idTipoDivisa", k."idCuota" AS "idCuota",
               t."TipoDivisa" AS "TipoDivisa", cu."Descripcion" AS "Descripcion"
        FROM "Caja" k
        LEFT JOIN "Cuentas" cu ON cu."idCuenta" = k."idCuenta"
        LEFT JOIN "TipoDivisas" t ON t."idTipoDivisa" = k."idTipoDivisa")",
    R"(CREATE TRIGGER "ConsultaCaja_Borrar" INSTEAD OF DELETE ON "ConsultaCaja"
        BEGIN DELETE FROM "Caja" WHERE "idCaja" = OLD."idCaja"; END)",
    R"(CREATE TRIGGER "ConsultaCaja_Modificar" INSTEAD OF UPDATE ON "ConsultaCaja"
        BEGIN UPDATE "Caja" SET "Fecha" = NEW."Fecha", "idCuenta" = NEW."idCuenta", "Detalles" = NEW."Detalles",
               "Ingresos" = NEW."Ingresos", "Egresos" = NEW."Egresos", "idTipoDivisa" = NEW."idTipoDivisa"
           WHERE "idCaja" = OLD."idCaja"; END)",
    // Overdue: unpaid and due not later than today.
    R"(CREATE VIEW "ConsultaDeuda" AS
        SELECT "idAfiliado", SUM("Monto") AS "SumaDeMonto" FROM "Cuotas"
        WHERE "Pagada" = 0 AND "Vencimiento" <= date() GROUP BY "idAfiliado")",
    R"(CREATE VIEW "ConsultaNroCuotasDeuda" AS
        SELECT "idAfiliado", COUNT(*) AS "NroCuotas" FROM "Cuotas"
        WHERE "Pagada" = 0 AND "Vencimiento" <= date() GROUP BY "idAfiliado")",
    R"(CREATE VIEW "FechaUltimoPago" AS
        SELECT "idAfiliado", MAX("Fecha de Pago") AS "MaxFecha" FROM "Cuotas"
        WHERE "Pagada" <> 0 AND "Fecha de Pago" IS NOT NULL GROUP BY "idAfiliado")",

    R"(INSERT INTO "TipoDivisas" ("idTipoDivisa", "TipoDivisa") VALUES
        (1, 'Efectivo'), (2, 'Cheque'), (3, 'Transferencia bancaria'), (4, 'Tarjeta de débito'),
        (5, 'Tarjeta de crédito'))",
    R"(INSERT INTO "Cuentas" ("idCuenta", "Descripcion") VALUES (1, 'Caja'))",
};

// Version 2: the dues list reads in its own order from indexes instead of sorting a plan's dues first.
// Each due keeps a copy of its member's sort key ("ClaveSocio"), kept equal to the member's "ClaveOrden" by
// triggers made of SQLite built-ins only, so rows written by any tool stay in place; the program's own
// writers store it with the row, so the triggers find nothing to do. Plans are listed keyed ones first,
// which an index on the key's nullness gives in order.
const char *const kStep2[] = {
    R"(ALTER TABLE "Cuotas" ADD COLUMN "ClaveSocio" TEXT COLLATE BINARY)",
    R"(UPDATE "Cuotas" SET "ClaveSocio" =
        (SELECT a."ClaveOrden" FROM "Afiliados" a WHERE a."idAfiliado" = "Cuotas"."idAfiliado"))",
    R"(DROP INDEX "Cuotas_Plan")",
    // The opening order and the month filter, plan by plan; "Mostrar Todas", plan by plan.
    R"(CREATE INDEX "Cuotas_Plan" ON "Cuotas" ("idPlan", "Mes", "Año", "ClaveSocio"))",
    R"(CREATE INDEX "Cuotas_PlanSocio" ON "Cuotas" ("idPlan", "ClaveSocio"))",
    R"(CREATE INDEX "Planes_Lista" ON "Planes" (("ClaveOrden" IS NULL), "ClaveOrden", "idPlan"))",
    R"(CREATE TRIGGER "Cuotas_ClaveSocio_Alta" AFTER INSERT ON "Cuotas"
        WHEN NEW."ClaveSocio" IS DISTINCT FROM (SELECT "ClaveOrden" FROM "Afiliados" WHERE "idAfiliado" = NEW."idAfiliado")
        BEGIN UPDATE "Cuotas" SET "ClaveSocio" =
                  (SELECT "ClaveOrden" FROM "Afiliados" WHERE "idAfiliado" = NEW."idAfiliado")
              WHERE "idCuota" = NEW."idCuota"; END)",
    R"(CREATE TRIGGER "Cuotas_ClaveSocio_Cambio" AFTER UPDATE OF "idAfiliado", "ClaveSocio" ON "Cuotas"
        WHEN NEW."ClaveSocio" IS DISTINCT FROM (SELECT "ClaveOrden" FROM "Afiliados" WHERE "idAfiliado" = NEW."idAfiliado")
        BEGIN UPDATE "Cuotas" SET "ClaveSocio" =
                  (SELECT "ClaveOrden" FROM "Afiliados" WHERE "idAfiliado" = NEW."idAfiliado")
              WHERE "idCuota" = NEW."idCuota"; END)",
    // A member numbered like dues that are already there (an import writes members with their numbers).
    R"(CREATE TRIGGER "Afiliados_ClaveSocio_Alta" AFTER INSERT ON "Afiliados"
        BEGIN UPDATE "Cuotas" SET "ClaveSocio" = NEW."ClaveOrden"
              WHERE "idAfiliado" = NEW."idAfiliado" AND "ClaveSocio" IS DISTINCT FROM NEW."ClaveOrden"; END)",
    R"(CREATE TRIGGER "Afiliados_ClaveSocio_Cambio" AFTER UPDATE OF "ClaveOrden", "idAfiliado" ON "Afiliados"
        BEGIN UPDATE "Cuotas" SET "ClaveSocio" = NULL
              WHERE "idAfiliado" = OLD."idAfiliado" AND OLD."idAfiliado" IS DISTINCT FROM NEW."idAfiliado";
              UPDATE "Cuotas" SET "ClaveSocio" = NEW."ClaveOrden"
              WHERE "idAfiliado" = NEW."idAfiliado" AND "ClaveSocio" IS DISTINCT FROM NEW."ClaveOrden"; END)",
    R"(CREATE TRIGGER "Afiliados_ClaveSocio_Baja" AFTER DELETE ON "Afiliados"
        BEGIN UPDATE "Cuotas" SET "ClaveSocio" = NULL
              WHERE "idAfiliado" = OLD."idAfiliado" AND "ClaveSocio" IS NOT NULL; END)",
};

// Version 3: the database's identity, made once when the database is (and given to an older one on
// upgrade). Copies keep it, so a copy can be told apart from another club's and kept with its own.
// "IF NOT EXISTS": a restore may have written the table into an older database already.
const char *const kStep3[] = {
    R"(CREATE TABLE IF NOT EXISTS "IdentidadBase" ("Identidad" TEXT NOT NULL))",
};

Result run(const QSqlDatabase &db, const QString &sql, const QVariantList &params = {}) {
    QSqlQuery q(db);
    // A server prepares no DDL: statements without values run as they are.
    bool ok = params.isEmpty() ? q.exec(sql) : q.prepare(sql);
    if (ok && !params.isEmpty()) {
        for (const QVariant &p : params)
            q.addBindValue(p);
        ok = q.exec();
    }
    return ok ? Result::done() : Engine::of(db).failure(q.lastError(), db, q.lastError().text());
}

// Version 4: the reminder record. One row per reminder message handed to the mail server (or refused by
// it), written as it happens: the same day's run skips what was already sent, and a history of reminders
// can be read from it. "Resultado": 1 sent, 2 refused by the server, 3 unknown (the whole message went out
// and no verdict came back). "CodigoSMTP": the server's last reply code, when there was one. "Fecha" is the
// program's today, "Hora" the time of day (HH:MM:SS).
const char *const kStep4[] = {
    R"(CREATE TABLE "Avisos" (
        "idAviso" INTEGER PRIMARY KEY AUTOINCREMENT,
        "idCuota" INTEGER, "idAfiliado" INTEGER, "e-mail" TEXT, "Fecha" DATE, "Hora" TEXT,
        "Resultado" INTEGER NOT NULL DEFAULT 0, "CodigoSMTP" INTEGER))",
    R"(CREATE INDEX "Avisos_Cuota" ON "Avisos" ("idCuota", "Fecha"))",
    R"(CREATE INDEX "Avisos_Afiliado" ON "Avisos" ("idAfiliado", "Fecha"))",
};

// Version 5: the activity log. Rows are only added: triggers refuse to change or delete them, on a file
// as on a server, whoever issues the statement. "Accion" is a number of Actividad's fixed list; the
// amounts are ten-thousandths, Null where no money changed. The list reads newest first within a range of
// days, for everyone, for one user or for one action, each from an index in that order.
const char *const kStep5[] = {
    R"(CREATE TABLE "RegistroActividad" (
        "idRegistro" INTEGER PRIMARY KEY AUTOINCREMENT,
        "Fecha" DATE NOT NULL, "Hora" TEXT, "idUsuario" INTEGER, "Usuario" TEXT,
        "Nivel" INTEGER NOT NULL DEFAULT 0, "Puesto" TEXT, "Accion" INTEGER NOT NULL, "Objeto" TEXT,
        "MontoAntes" BIGINT, "MontoDespues" BIGINT, "Detalle" TEXT))",
    R"(CREATE INDEX "Registro_Fecha" ON "RegistroActividad" ("Fecha", "idRegistro"))",
    R"(CREATE INDEX "Registro_Usuario" ON "RegistroActividad" ("Usuario", "Fecha", "idRegistro"))",
    R"(CREATE INDEX "Registro_Accion" ON "RegistroActividad" ("Accion", "Fecha", "idRegistro"))",
    R"(CREATE TRIGGER "Registro_SinCambios" BEFORE UPDATE ON "RegistroActividad"
        BEGIN SELECT RAISE(ABORT, 'el registro de actividad no se modifica'); END)",
    R"(CREATE TRIGGER "Registro_SinBajas" BEFORE DELETE ON "RegistroActividad"
        BEGIN SELECT RAISE(ABORT, 'el registro de actividad no se borra'); END)",
};

// Version 6: sort keys kept by the database itself. Every writer's new or renamed member or plan gets its key
// from the engine's triggers (Engine::sortKeyTriggers()); "Mantenimiento" holds, for a file, the count of
// name writes made by programs without the key function (compared at opening, which remakes the keys only
// when it is not 0) and the day the file's integrity was last found sound. The keys of an older database are
// made once here.
const char *const kStep6[] = {
    // "IF NOT EXISTS": a restore may have written the table into an older database already.
    R"(CREATE TABLE IF NOT EXISTS "Mantenimiento" ("CambiosAjenos" INTEGER NOT NULL DEFAULT 0,
        "UltimaRevision" DATE))",
    R"(INSERT INTO "Mantenimiento" ("CambiosAjenos") SELECT 0 WHERE NOT EXISTS (SELECT 1 FROM "Mantenimiento"))",
    R"(UPDATE "Afiliados" SET "ClaveOrden" = clave_orden("Apellido", "Nombres")
        WHERE "ClaveOrden" IS DISTINCT FROM clave_orden("Apellido", "Nombres"))",
    R"(UPDATE "Planes" SET "ClaveOrden" = clave_orden("Descripcion")
        WHERE "ClaveOrden" IS DISTINCT FROM clave_orden("Descripcion"))",
};

// Version 7: the dashboard's sums read indexes alone. Three indexes grow by the columns summed (same
// leading columns, so every statement that used them still does), and the dues get one by due date.
// Each index is dropped first: a restore may have brought this step's indexes into an older database.
const char *const kStep7[] = {
    R"(DROP INDEX IF EXISTS "Cuotas_Vencidas")",
    R"(CREATE INDEX "Cuotas_Vencidas" ON "Cuotas" ("Pagada", "Vencimiento", "Monto", "idAfiliado"))",
    R"(DROP INDEX IF EXISTS "Cuotas_Vencimiento")",
    R"(CREATE INDEX "Cuotas_Vencimiento" ON "Cuotas" ("Vencimiento", "Monto"))",
    R"(DROP INDEX IF EXISTS "Caja_Cuenta")",
    R"(CREATE INDEX "Caja_Cuenta" ON "Caja" ("idCuenta", "Fecha", "Ingresos", "Egresos"))",
    R"(DROP INDEX IF EXISTS "Afiliados_Plan")",
    R"(CREATE INDEX "Afiliados_Plan" ON "Afiliados" ("idPlan", "idCategoria"))",
};

// Version 8: the dues list's indexes end in the due's own number and put NULLs first in every column, as
// the list orders them: the list reads a plan's dues page after page from where the last page ended, on
// both engines (a file's index puts NULLs first and ends in the row number by itself).
const char *const kStep8[] = {
    R"(DROP INDEX IF EXISTS "Cuotas_Plan")",
    R"(CREATE INDEX "Cuotas_Plan" ON "Cuotas"
        ("idPlan", "Mes" NULLS FIRST, "Año" NULLS FIRST, "ClaveSocio" NULLS FIRST, "idCuota" NULLS FIRST))",
    R"(DROP INDEX IF EXISTS "Cuotas_PlanSocio")",
    R"(CREATE INDEX "Cuotas_PlanSocio" ON "Cuotas" ("idPlan", "ClaveSocio" NULLS FIRST, "idCuota" NULLS FIRST))",
};

// Version 9: the debt view tells when the member was last reminded of what is owed: "UltimoAviso", the
// day of the last reminder handed to the mail server (sent, or sent without a verdict) for one of the
// member's overdue unpaid dues; Null when none was. Formulas select by it ("avisado / no avisado desde").
const char *const kStep9[] = {
    R"(DROP VIEW IF EXISTS "ConsultaDeuda")",
    R"(CREATE VIEW "ConsultaDeuda" AS
        SELECT c."idAfiliado" AS "idAfiliado", SUM(c."Monto") AS "SumaDeMonto",
               MAX((SELECT MAX(v."Fecha") FROM "Avisos" v
                    WHERE v."idCuota" = c."idCuota" AND v."Resultado" IN (1, 3))) AS "UltimoAviso"
        FROM "Cuotas" c
        WHERE c."Pagada" = 0 AND c."Vencimiento" <= date() GROUP BY c."idAfiliado")",
};
// Version 10: a member's dues index carries the amount, so that the member's debt (the debt view for one
// member, at every row change of the members list) is read on it alone; without it a file's planner took the
// overdue dues' covering index and read every member's overdue dues.
const char *const kStep10[] = {
    R"(DROP INDEX IF EXISTS "Cuotas_Afiliado")",
    R"(CREATE INDEX "Cuotas_Afiliado" ON "Cuotas" ("idAfiliado", "Pagada", "Vencimiento", "Monto"))",
};

// Version 11: how many members each two-letter start of the sort key has, kept by triggers for every writer.
// The members list finds a member's row by adding the counts of the starts before it to a count within its
// own start, instead of counting every member before it (a search keystroke on a server read up to the
// whole index). Members without a key are counted by their own index, as before.
const char *const kStep11[] = {
    R"(CREATE TABLE "ConteoSocios" ("Tramo" TEXT COLLATE BINARY NOT NULL PRIMARY KEY, "Cantidad" INTEGER NOT NULL))",
    R"(INSERT INTO "ConteoSocios" ("Tramo", "Cantidad")
        SELECT substr("ClaveOrden", 1, 2), COUNT(*) FROM "Afiliados" WHERE "ClaveOrden" IS NOT NULL
        GROUP BY substr("ClaveOrden", 1, 2))",
    R"(CREATE TRIGGER "Afiliados_Conteo_Alta" AFTER INSERT ON "Afiliados"
        WHEN NEW."ClaveOrden" IS NOT NULL
        BEGIN INSERT INTO "ConteoSocios" ("Tramo", "Cantidad") VALUES (substr(NEW."ClaveOrden", 1, 2), 1)
              ON CONFLICT ("Tramo") DO UPDATE SET "Cantidad" = "ConteoSocios"."Cantidad" + 1; END)",
    R"(CREATE TRIGGER "Afiliados_Conteo_Baja" AFTER DELETE ON "Afiliados"
        WHEN OLD."ClaveOrden" IS NOT NULL
        BEGIN UPDATE "ConteoSocios" SET "Cantidad" = "Cantidad" - 1
              WHERE "Tramo" = substr(OLD."ClaveOrden", 1, 2); END)",
    // The names too: a server's key trigger changes the key of a rename that does not name it.
    R"(CREATE TRIGGER "Afiliados_Conteo_Cambio" AFTER UPDATE OF "Apellido", "Nombres", "ClaveOrden" ON "Afiliados"
        WHEN substr(OLD."ClaveOrden", 1, 2) IS DISTINCT FROM substr(NEW."ClaveOrden", 1, 2)
        BEGIN UPDATE "ConteoSocios" SET "Cantidad" = "Cantidad" - 1
              WHERE "Tramo" = substr(OLD."ClaveOrden", 1, 2);
              INSERT INTO "ConteoSocios" ("Tramo", "Cantidad")
              SELECT substr(NEW."ClaveOrden", 1, 2), 1 WHERE NEW."ClaveOrden" IS NOT NULL
              ON CONFLICT ("Tramo") DO UPDATE SET "Cantidad" = "ConteoSocios"."Cantidad" + 1; END)",
};

// Version 12: the cash book's income and expenses of each account and day ("idCuenta" 0 for a movement
// without one), kept by triggers for every writer, so that the dashboard reads a few thousand day totals
// instead of every movement. A movement without a day is in no total (no reading counts it); a total gone
// back to 0 stays, and reads as 0.
const char *const kStep12[] = {
    R"(CREATE TABLE "TotalesCaja" ("idCuenta" INTEGER NOT NULL, "Fecha" DATE NOT NULL,
        "Ingresos" BIGINT NOT NULL, "Egresos" BIGINT NOT NULL, PRIMARY KEY ("idCuenta", "Fecha")))",
    R"(INSERT INTO "TotalesCaja" ("idCuenta", "Fecha", "Ingresos", "Egresos")
        SELECT COALESCE("idCuenta", 0), "Fecha", SUM("Ingresos"), SUM("Egresos") FROM "Caja"
        WHERE "Fecha" IS NOT NULL GROUP BY COALESCE("idCuenta", 0), "Fecha")",
    R"(CREATE TRIGGER "Caja_Totales_Alta" AFTER INSERT ON "Caja"
        WHEN NEW."Fecha" IS NOT NULL
        BEGIN INSERT INTO "TotalesCaja" ("idCuenta", "Fecha", "Ingresos", "Egresos")
              VALUES (COALESCE(NEW."idCuenta", 0), NEW."Fecha", NEW."Ingresos", NEW."Egresos")
              ON CONFLICT ("idCuenta", "Fecha") DO UPDATE
              SET "Ingresos" = "TotalesCaja"."Ingresos" + excluded."Ingresos",
                  "Egresos" = "TotalesCaja"."Egresos" + excluded."Egresos"; END)",
    R"(CREATE TRIGGER "Caja_Totales_Baja" AFTER DELETE ON "Caja"
        WHEN OLD."Fecha" IS NOT NULL
        BEGIN UPDATE "TotalesCaja" SET "Ingresos" = "Ingresos" - OLD."Ingresos",
              "Egresos" = "Egresos" - OLD."Egresos"
              WHERE "idCuenta" = COALESCE(OLD."idCuenta", 0) AND "Fecha" = OLD."Fecha"; END)",
    R"(CREATE TRIGGER "Caja_Totales_Cambio" AFTER UPDATE OF "Fecha", "idCuenta", "Ingresos", "Egresos" ON "Caja"
        WHEN OLD."Fecha" IS DISTINCT FROM NEW."Fecha" OR OLD."idCuenta" IS DISTINCT FROM NEW."idCuenta"
          OR OLD."Ingresos" <> NEW."Ingresos" OR OLD."Egresos" <> NEW."Egresos"
        BEGIN UPDATE "TotalesCaja" SET "Ingresos" = "Ingresos" - OLD."Ingresos",
              "Egresos" = "Egresos" - OLD."Egresos"
              WHERE "idCuenta" = COALESCE(OLD."idCuenta", 0) AND "Fecha" = OLD."Fecha";
              INSERT INTO "TotalesCaja" ("idCuenta", "Fecha", "Ingresos", "Egresos")
              SELECT COALESCE(NEW."idCuenta", 0), NEW."Fecha", NEW."Ingresos", NEW."Egresos"
              WHERE NEW."Fecha" IS NOT NULL
              ON CONFLICT ("idCuenta", "Fecha") DO UPDATE
              SET "Ingresos" = "TotalesCaja"."Ingresos" + excluded."Ingresos",
                  "Egresos" = "TotalesCaja"."Egresos" + excluded."Egresos"; END)",
};

// A server's TRUNCATE passes a table's row triggers by: what they keep of it goes with it, by a statement
// trigger (the members' counts, step 11; the cash book's day totals, step 12).
QStringList vaciadoConLaTabla(const QString &tabla, const QString &guardada) {
    return {
        QStringLiteral(R"(CREATE OR REPLACE FUNCTION "%1_Vaciado_f"() RETURNS trigger LANGUAGE plpgsql AS $f$
        BEGIN DELETE FROM "%2"; RETURN NULL; END $f$)")
            .arg(tabla, guardada),
        QStringLiteral(R"(DROP TRIGGER IF EXISTS "%1_Vaciado" ON "%1")").arg(tabla),
        QStringLiteral(R"(CREATE TRIGGER "%1_Vaciado" AFTER TRUNCATE ON "%1"
        FOR EACH STATEMENT EXECUTE FUNCTION "%1_Vaciado_f"())")
            .arg(tabla)};
}

// A server's TRUNCATE empties a table without its row triggers: the activity log refuses it by a statement
// trigger of its own (a file has no TRUNCATE).
const char *const kStep9Servidor[] = {
    R"(CREATE OR REPLACE FUNCTION "Registro_SinVaciar_f"() RETURNS trigger LANGUAGE plpgsql AS $f$
        BEGIN RAISE EXCEPTION 'el registro de actividad no se vacía'; END $f$)",
    R"(DROP TRIGGER IF EXISTS "Registro_SinVaciar" ON "RegistroActividad")",
    R"(CREATE TRIGGER "Registro_SinVaciar" BEFORE TRUNCATE ON "RegistroActividad"
        FOR EACH STATEMENT EXECUTE FUNCTION "Registro_SinVaciar_f"())",
};

} // namespace

int Schema::currentVersion() {
    return 12;
}

QString Schema::identity(const QSqlDatabase &db) {
    // An older database has no such table: no identity, not an error (and no failed statement to spoil
    // a transaction on a server).
    if (!db.tables(QSql::Tables).contains(QStringLiteral("IdentidadBase")))
        return {};
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(R"(SELECT "Identidad" FROM "IdentidadBase")")) || !q.next())
        return {};
    const QString found = q.value(0).toString();
    // The identity names copies' files: only a well-formed one is taken.
    const QUuid id = QUuid::fromString(found);
    return id.isNull() || q.next() ? QString() : id.toString(QUuid::WithoutBraces);
}

Result Schema::setIdentity(const QSqlDatabase &db, const QString &identity) {
    Result r = run(db, Engine::of(db).schemaStatement(QString::fromUtf8(kStep3[0])).constFirst());
    if (r)
        r = run(db, QStringLiteral(R"(DELETE FROM "IdentidadBase")"));
    if (r)
        r = run(db, QStringLiteral(R"(INSERT INTO "IdentidadBase" ("Identidad") VALUES (?))"), {identity});
    return r;
}

QStringList Schema::stepStatements(int toVersion) {
    QStringList out;
    if (toVersion == 1)
        for (const char *s : kStep1)
            out << QString::fromUtf8(s);
    if (toVersion == 2)
        for (const char *s : kStep2)
            out << QString::fromUtf8(s);
    if (toVersion == 3)
        for (const char *s : kStep3)
            out << QString::fromUtf8(s);
    if (toVersion == 4)
        for (const char *s : kStep4)
            out << QString::fromUtf8(s);
    if (toVersion == 5)
        for (const char *s : kStep5)
            out << QString::fromUtf8(s);
    if (toVersion == 6)
        for (const char *s : kStep6)
            out << QString::fromUtf8(s);
    if (toVersion == 7)
        for (const char *s : kStep7)
            out << QString::fromUtf8(s);
    if (toVersion == 8)
        for (const char *s : kStep8)
            out << QString::fromUtf8(s);
    if (toVersion == 9)
        for (const char *s : kStep9)
            out << QString::fromUtf8(s);
    if (toVersion == 10)
        for (const char *s : kStep10)
            out << QString::fromUtf8(s);
    if (toVersion == 11)
        for (const char *s : kStep11)
            out << QString::fromUtf8(s);
    if (toVersion == 12)
        for (const char *s : kStep12)
            out << QString::fromUtf8(s);
    return out;
}

Expected<int> Schema::version(const QSqlDatabase &db) {
    return Engine::of(db).schemaVersion(db);
}

Result Schema::upgrade(QSqlDatabase &db) {
    const Expected<int> found = version(db);
    if (!found)
        return Result::failure(found.code() == Result::Code::NotOurs
                                   ? QStringLiteral("la base de datos contiene tablas de otro programa")
                                   : QStringLiteral("no se pudo leer la versión de la base de datos"),
                               found.code());
    int v = *found;
    if (v > currentVersion())
        return Result::failure(
            QStringLiteral("la base de datos fue creada por una versión más nueva del programa (%1)").arg(v));
    while (v < currentVersion()) {
        const int next = v + 1;
        Transaction t(db);
        if (!t.isActive())
            return t.failure();
        // Two desks opening a new database at once: the second waits here for the first to finish the step,
        // then finds it done.
        if (const Result locked = Engine::of(db).lockWork(db, SchemaArea, 0); !locked)
            return locked;
        if (const Expected<int> now = version(db); now && *now >= next) {
            if (*now > currentVersion() || !t.commit())
                return t.failure();
            v = *now;
            continue;
        }
        QSqlQuery q(db);
        QStringList statements;
        if (v == 0)
            statements << Engine::of(db).preamble();
        for (const QString &sql : stepStatements(next))
            statements << Engine::of(db).schemaStatement(sql);
        if (next == 6)
            statements << Engine::of(db).sortKeyTriggers();
        if (next == 9 && Engine::of(db).isServer())
            for (const char *sql : kStep9Servidor)
                statements << QString::fromUtf8(sql);
        if (next == 11 && Engine::of(db).isServer())
            statements << vaciadoConLaTabla(QStringLiteral("Afiliados"), QStringLiteral("ConteoSocios"));
        if (next == 12 && Engine::of(db).isServer())
            statements << vaciadoConLaTabla(QStringLiteral("Caja"), QStringLiteral("TotalesCaja"));
        for (const QString &sql : std::as_const(statements)) {
            if (!q.exec(sql)) {
                Log::error(QStringLiteral("Esquema"), sql + QStringLiteral(": ") + q.lastError().text());
                // the guard rolls the step back
                return Engine::of(db).failure(q.lastError(), db, Engine::of(db).errorText(q.lastError()));
            }
        }
        // Made once: a database that already has one (restored over an older one) keeps it.
        if (next == 3 && identity(db).isEmpty())
            if (Result r = setIdentity(db, QUuid::createUuid().toString(QUuid::WithoutBraces)); !r)
                return r;
        const Engine &engine = Engine::of(db);
        Result stored = engine.syncKeys(db);
        if (stored)
            stored = engine.setSchemaVersion(db, next);
        if (!stored)
            return stored;
        if (!t.commit())
            return t.failure();
        v = next;
    }
    // A connection that made the step keeps the keys from here on, as one opened on it later does.
    return Engine::of(db).keepSortKeys(db);
}
