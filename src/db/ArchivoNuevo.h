#pragma once

#include "core/Result.h"

#include <QString>

// A new database file is built under a temporary name beside its place and put there only when complete,
// so that a failed or cancelled run never leaves a half-written club under the name the user gave.
namespace ArchivoNuevo {

// The temporary name beside target (its folder made owner-only when missing), created empty and readable
// by its owner alone. etiqueta names the work ("copiando").
[[nodiscard]] Expected<QString> temporal(const QString &target, const QString &etiqueta);
// Removes a database file and its engine's companions (-wal, -shm, -journal).
void borrar(const QString &path);

// Puts a finished file in target's place in one step, replacing what was there: nobody sees the target
// missing or half written, and a failure leaves the old target as it was.
[[nodiscard]] bool reemplazar(const QString &work, const QString &target);

enum class Colocacion { Hecha, SinTerminar, Ocupado, NoRenombrado };
// Puts the finished work file (its last connection closed) in target's place. With noReemplazar, a file that
// appeared at target meanwhile is left alone. Anything but Hecha leaves work where it is.
Colocacion colocar(const QString &work, const QString &target, bool noReemplazar);

} // namespace ArchivoNuevo
