#pragma once

#include "core/Money.h"

#include <QDate>
#include <QString>
#include <QVariant>

// How stored values are shown: the program's formats, always with a four-digit year.
namespace Formato {

enum class Tipo { General, Moneda, Fecha, Entero, SiNo };

QString fecha(const QDate &d);            // "05/03/2009"
QDate leerFecha(const QVariant &stored);  // ISO text (with or without a time part) to QDate
QString moneda(const Money &m);           // "$ 1.234,50"
QString monedaDe(const QVariant &stored); // empty when Null
QString entero(const QVariant &stored);   // "##0": whole number, empty when Null
QString siNo(const QVariant &stored);     // "Sí" / "No"
// The refusal of a typed amount beyond Money::MaxEntry.
QString importeExcedido();
// A stored value as the column's format shows it.
QString mostrar(const QVariant &stored, Tipo tipo);
// The program's locale: the system's when it is Spanish, otherwise es_AR.
QLocale localePrograma();

} // namespace Formato
