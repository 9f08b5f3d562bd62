#include "support/Puestos.h"

#include "db/Database.h"
#include "db/SqlEngine.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtGlobal>

namespace TestSupport {

namespace {
QString literal(const QString &texto) {
    return QLatin1Char('\'') + QString(texto).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

bool ejecutar(const QString &sql) {
    QSqlQuery q(Database::db());
    if (q.exec(sql))
        return true;
    qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return false;
}

// A server's trigger: a function with the work, and the trigger that runs it for each row.
bool disparadorServidor(const QString &nombre, const QString &momento, const QString &tabla,
                        const QString &cuerpo) {
    // A BEFORE trigger that returns nothing would silently skip the row.
    const QString fila =
        momento.contains(QLatin1String("DELETE")) ? QStringLiteral("OLD") : QStringLiteral("NEW");
    return ejecutar(QStringLiteral(R"(CREATE OR REPLACE FUNCTION "%1_f"() RETURNS trigger LANGUAGE plpgsql AS
                                      $f$ BEGIN %2 RETURN %3; END $f$)")
                        .arg(nombre, cuerpo, fila)) &&
           ejecutar(QStringLiteral(R"(CREATE TRIGGER "%1" %2 ON "%3" FOR EACH ROW EXECUTE FUNCTION "%1_f"())")
                        .arg(nombre, momento, tabla));
}
} // namespace

bool crearFalla(const QString &nombre, const QString &momento, const QString &tabla, const QString &mensaje,
                const QString &condicion) {
    if (Database::isServer()) {
        QString cuerpo = QStringLiteral("RAISE EXCEPTION '%' , %1;").arg(literal(mensaje));
        if (!condicion.isEmpty())
            cuerpo = QStringLiteral("IF %1 THEN %2 END IF;").arg(condicion, cuerpo);
        return disparadorServidor(nombre, momento, tabla, cuerpo);
    }
    return ejecutar(QStringLiteral(R"(CREATE TRIGGER "%1" %2 ON "%3" %4 BEGIN SELECT RAISE(ABORT, %5); END)")
                        .arg(nombre, momento, tabla,
                             condicion.isEmpty() ? QString() : QStringLiteral("WHEN ") + condicion,
                             literal(mensaje)));
}

bool quitarFalla(const QString &nombre, const QString &tabla) {
    if (Database::isServer())
        return ejecutar(QStringLiteral(R"(DROP TRIGGER "%1" ON "%2")").arg(nombre, tabla)) &&
               ejecutar(QStringLiteral(R"(DROP FUNCTION "%1_f"())").arg(nombre));
    return ejecutar(QStringLiteral(R"(DROP TRIGGER "%1")").arg(nombre));
}

bool crearFallaSerializacion(const QString &nombre, const QString &momento, const QString &tabla, int veces) {
    if (!Database::isServer())
        return false;
    return ejecutar(QStringLiteral(R"(CREATE SEQUENCE "%1_n")").arg(nombre)) &&
           disparadorServidor(nombre, momento, tabla,
                              QStringLiteral(R"(IF nextval('"%1_n"') <= %2 THEN
                                   RAISE EXCEPTION 'could not serialize access' USING ERRCODE = '40001';
                                 END IF;)")
                                  .arg(nombre)
                                  .arg(veces));
}

QSqlDatabase otroPuesto(const QString &nombre) {
    const Expected<QSqlDatabase> db = Database::openExtra(nombre);
    if (!db) {
        qWarning("no se pudo abrir otro puesto: %s", qPrintable(db.message()));
        return QSqlDatabase::database(nombre, false);
    }
    return *db;
}

bool hayPuestoEsperando(const QSqlDatabase &db) {
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() "
                                 "AND wait_event_type = 'Lock'")) &&
           q.next() && q.value(0).toInt() > 0;
}

} // namespace TestSupport
