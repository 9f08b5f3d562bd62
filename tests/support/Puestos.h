#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Trouble on demand and other desks, for the tests of what several desks on one database must get right.
namespace TestSupport {

// Makes the database refuse a write, as a full disk would: a trigger named nombre on tabla, run at
// momento ("BEFORE INSERT", "BEFORE UPDATE", ...), that fails with mensaje whenever condicion (over NEW or
// OLD; empty for always) holds. In either engine's own form. quitarFalla removes it.
bool crearFalla(const QString &nombre, const QString &momento, const QString &tabla, const QString &mensaje,
                const QString &condicion = QString());
bool quitarFalla(const QString &nombre, const QString &tabla);

// Server only: the first veces writes of momento on tabla fail as a serialisation failure (SQLSTATE
// 40001), the later ones pass. Counted by a sequence, which the rollback of the failed work does not undo.
bool crearFallaSerializacion(const QString &nombre, const QString &momento, const QString &tabla, int veces);

// Another desk on the test database: a second connection, named nombre, prepared as the program's.
// Database::close() ends it with the program's own.
QSqlDatabase otroPuesto(const QString &nombre = QStringLiteral("otro puesto"));

// Whether a connection of the server is waiting for a lock another holds (so another desk is blocked
// on this one's transaction, not merely slow).
bool hayPuestoEsperando(const QSqlDatabase &db);

} // namespace TestSupport
