#pragma once

#include "core/Result.h"

#include <QString>
#include <QVariant>
#include <functional>

// The people who may log in (table "Usuarios"): password hashes, the login check and the upkeep that the
// users window does. No widgets here.
class Usuarios {
public:
    // An Argon2id hash (libsodium's crypto_pwhash_str) of the password folded to a case-insensitive form,
    // so that the login keeps ignoring letter case. Empty text when hashing failed (out of memory).
    static QString hash(const QString &contrasena);
    // Whether a stored value is one of our hashes (anything else is a readable password of an older file).
    static bool esHash(const QString &guardada);
    // Whether the typed password matches the stored value, hashed or readable.
    static bool coincide(const QString &guardada, const QString &contrasena);
    // How user names are compared: letter case and accents ignored, surrounding blanks dropped.
    static QString claveNombre(const QString &nombreUsuario);

    struct Ingreso {
        int nivel = 0; // 1 supervisor, 2 administrative, 3 other; 0 when refused
        int idUsuario = 0;
        QString nombreUsuario; // as stored
    };
    // The login: the first user (in idUsuario order) with that name and password. A readable password
    // that matches is replaced by its hash.
    static Ingreso ingresar(const QString &nombreUsuario, const QString &contrasena);
    static int nivelDe(bool esSupervisor, bool esAdministrativo);

    // The login (accepted or refused) as the activity log keeps it.
    static Ingreso anotarIngreso(const QString &escrito, const Ingreso &ingreso);

    // The record source of the users window.
    static QString recordSource();

    struct Datos {
        QString nombreCompleto;
        QString nombreUsuario;
        QString contrasenaNueva; // empty keeps the stored one
        bool esSupervisor = false;
        bool esAdministrativo = false;
        bool esDataEntry = false;
    };
    // Saves a user. Refuses a duplicate name (Conflict) or taking away the last supervisor (Invalid), with
    // the message for the user; a refusal of the database is reported the same way (Failed).
    static Result guardar(int idUsuario, const Datos &datos);
    // A new user named "<Nuevo>"; its key, or the reason.
    static Expected<int> nuevo();
    // Whether the user may be deleted: Invalid with the reason for the logged-in user and the last
    // supervisor.
    static Result puedeBorrarse(int idUsuario, int idUsuarioActual);
    // Deletes a user; refuses the logged-in user and the last supervisor.
    static Result borrar(int idUsuario, int idUsuarioActual);
    // The first supervisor of a new database; refuses when any user exists (Conflict).
    static Result crearPrimerSupervisor(const QString &nombreCompleto, const QString &nombreUsuario,
                                        const QString &contrasena);
    // Adds a user with a hashed password (first supervisor, sample data); its key.
    static Expected<int> agregar(const Datos &datos);

    static const QString kUsuarioExiste;

private:
    static Ingreso ingresarSinAnotar(const QString &clave, const QString &contrasena,
                                     const std::function<Ingreso()> &rechazo);

public:
    static const QString kUltimoSupervisor;
    static const QString kUsuarioActual;
};
