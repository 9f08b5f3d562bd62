#pragma once

#include <QString>
#include <QVariant>

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
    };
    // The login: the first user (in idUsuario order) with that name and password. A readable password
    // that matches is replaced by its hash.
    static Ingreso ingresar(const QString &nombreUsuario, const QString &contrasena);
    static int nivelDe(bool esSupervisor, bool esAdministrativo);

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
    // Saves a user. Refuses (false, with the message for the user) a duplicate name or taking away the
    // last supervisor; a refusal of the database is reported the same way.
    static bool guardar(int idUsuario, const Datos &datos, QString *error);
    // A new user named "<Nuevo>"; its key, or 0 with the reason.
    static int nuevo(QString *error);
    // Why the user may not be deleted (the logged-in user, the last supervisor); empty when it may.
    static QString motivoParaNoBorrar(int idUsuario, int idUsuarioActual);
    // Deletes a user; refuses the logged-in user and the last supervisor.
    static bool borrar(int idUsuario, int idUsuarioActual, QString *error);
    // The first supervisor of a new database; refuses when any user exists.
    static bool crearPrimerSupervisor(const QString &nombreCompleto, const QString &nombreUsuario,
                                      const QString &contrasena, QString *error);
    // Adds a user with a hashed password (first supervisor, sample data); its key or 0.
    static int agregar(const Datos &datos, QString *error);

    static const QString kUsuarioExiste;
    static const QString kUltimoSupervisor;
    static const QString kUsuarioActual;
};
