#pragma once

#include <QDate>
#include <QString>

// Selection formulas of the cash and debt reports.
namespace InformesCaja {

// The entry of the cash report's account list that stands for every account.
QString todas();
// caja.rpt: movements from desde to hasta, both included; of the account named cuenta, of all when empty.
QString formulaCaja(const QDate &desde, const QDate &hasta, const QString &cuenta);
// resctas.rpt: every account, from desde to hasta.
QString formulaResumen(const QDate &desde, const QDate &hasta);
// infDeuda.rpt: the members who owe today.
QString formulaDeuda();

} // namespace InformesCaja
