#pragma once

#include "core/Result.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// Member categories: lookups, adding and deleting. No widgets here; the categories window and the member
// editor call these.
namespace Categorias {

// The categories window's list: in the order they were added.
QString recordSource();
// Category names in Spanish order, for the member editor's list.
QStringList nombres();
// idCategoria of the first category whose whole name equals texto without regard to case or accents;
// Null when none, and always for an empty texto.
QVariant idPorDescripcion(const QString &texto);
// Name of the category with that number; Null when there is no such category.
QVariant descripcionDe(const QVariant &idCategoria);
// Adds a category with no name; its number, or why the database refused it.
Expected<QVariant> nueva();
// Gives a category a new name (its description, as typed in the list).
Result renombrar(qint64 idCategoria, const QString &descripcion);
// Whether a member belongs to the category.
bool enUso(qint64 idCategoria);

// Deletes the category unless a member belongs to it (checked in the same transaction): Conflict when one
// does.
Result borrar(qint64 idCategoria);

} // namespace Categorias
