#pragma once

#include "transfer/ListExport.h"

#include <QString>

class DataGrid;
struct Columna;
class QWidget;

// "Exportar a Excel..." and "Exportar a CSV..." of every list: asks where, writes what the list shows
// (its record source, order, columns and captions) with a progress dialog that can cancel.
namespace ListExportDialog {

// Returns true when the file was written; a cancelled choice or export returns false and shows nothing.
bool exportar(DataGrid *grilla, ListExport::Format formato, QWidget *padre = nullptr);

// The grid's columns as the export writes them: caption, field and kind of value.
QVector<ListExport::Column> columnas(DataGrid *grilla);

// The file chosen in the save dialog (empty: cancelled). In the message boxes' test mode no dialog is
// shown: the next queued path is taken (none queued: cancelled).
QString pedirArchivo(QWidget *padre, const QString &titulo, const QString &sugerido, const QString &filtro);
void encolarArchivo(const QString &ruta);

} // namespace ListExportDialog
