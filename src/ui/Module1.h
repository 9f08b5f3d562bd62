#pragma once

#include "core/Sesion.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVariantList>

class QComboBox;
class QWidget;

// Routines shared by every window; the session they act for is in core/Sesion.h.
namespace Module1 {

// The one open database of the run.
QSqlDatabase BaseDatos();

// The value of field campo of the first row that the query yields, or a null QVariant (no row, a bad
// query or a misspelt field: those are logged, never shown). Values reach the SQL only as bound parameters.
QVariant BuscaValor(const QString &sql, const QString &campo, const QVariantList &params = {});

// Centres a window on its screen; the size stays.
void CentraForm(QWidget *ventana);

// Asks texto + " ??" under the title "Pregunta" with Yes, No and Cancel; true only for Yes.
bool Confirma(const QString &texto);

// Appends field campo of every row of the query to the combo box (a Null field adds no entry).
void LlenaCombo(QComboBox *combo, const QString &sql, const QString &campo, const QVariantList &params = {});

// As LlenaCombo, storing field campoId of the row as each entry's item data; a row whose text is Null
// is skipped whole.
void LlenaComboId(QComboBox *combo, const QString &sql, const QString &campoTexto, const QString &campoId,
                  const QVariantList &params = {});

} // namespace Module1
