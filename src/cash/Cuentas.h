#pragma once

#include <QString>
#include <QVariant>

// The chart of cash accounts. Names are unique as the database compares them (letter case and accents
// aside); account 1 is never deleted. No widgets here; the accounts window calls these.
namespace Cuentas {

// The accounts window's list, by name.
QString recordSource();
// The account filter's source: every account in the order the database gives them.
QString recordSourceFiltro();

enum class Alta { Agregada, Vacio, Existe, Fallo };
// Adds an account; blanks around the name are dropped, and an empty name or another account's is refused.
Alta nueva(const QString &nombre, QString *error = nullptr);

enum class Renombre { Hecho, Vacio, Existe, Fallo };
// Gives an account a new name, by the same rule as a new account.
Renombre renombrar(qint64 idCuenta, const QString &nombre, QString *error = nullptr);

// Whether the account may be deleted at all (account 1 may not).
bool borrable(qint64 idCuenta);
// Deletes the account; its movements stay in the cash book.
bool borrar(qint64 idCuenta, QString *error = nullptr);

} // namespace Cuentas
