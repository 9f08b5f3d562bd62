#pragma once

#include "core/Result.h"

#include <QString>
#include <QVariant>

// The chart of cash accounts. Names are unique as the database compares them (letter case and accents
// aside); account 1 is never deleted. No widgets here; the accounts window calls these.
namespace Cuentas {

// The accounts window's list, by name.
QString recordSource();
// The account filter's source: every account in the order the database gives them.
QString recordSourceFiltro();

// Adds an account; blanks around the name are dropped, and an empty name (Invalid) or another account's
// (Conflict) is refused.
Result nueva(const QString &nombre);

// Gives an account a new name, by the same rule as a new account.
Result renombrar(qint64 idCuenta, const QString &nombre);

// Whether the account may be deleted at all (account 1 may not).
bool borrable(qint64 idCuenta);
// Deletes the account; its movements stay in the cash book. Account 1 is refused (Invalid).
Result borrar(qint64 idCuenta);

} // namespace Cuentas
