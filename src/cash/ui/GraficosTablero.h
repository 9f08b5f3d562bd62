#pragma once

#include "cash/Tablero.h"
#include "core/Result.h"

#include <QRectF>
#include <QString>

class QChart;
class QPainter;

// The dashboard's charts and tables, drawn on screen, on paper and in files alike.
namespace GraficosTablero {

#ifndef MIRABEL_SIN_GRAFICOS
// Chart g of the figures. Amounts become doubles here, only to be drawn; the numbers shown on hover
// are the exact ones. The caller owns the chart.
QChart *grafico(const Tablero::Cifras &c, Tablero::Grafico g);
#endif
// A table cell as shown: amounts in the currency form, counts with thousands grouping.
QString texto(const QVariant &celda);
bool esNumero(const QVariant &celda);

// Chart g and its table side by side in rect (the table alone in a build without Qt Charts), on any painter
// (a page, an image).
void dibujar(QPainter &p, const QRectF &rect, const Tablero::Cifras &c, Tablero::Grafico g);
// Chart g with its table, as a PNG image or a one-page PDF (by the file's extension).
Result guardar(const Tablero::Cifras &c, Tablero::Grafico g, const QString &ruta);
// The table of chart g as CSV, as the lists' export writes it (amounts as plain numbers).
Result guardarCsv(const Tablero::Cifras &c, Tablero::Grafico g, const QString &ruta);
// The whole dashboard on one landscape page: the four charts with their tables, under a heading with the
// club's name and the day.
Result escribirPdf(const Tablero::Cifras &c, const QString &ruta, const QString &empresa);

} // namespace GraficosTablero
