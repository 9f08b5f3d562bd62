#pragma once

#include "core/Result.h"

#include <QString>
#include <memory>

class QSettings;

// The program's settings: application "Mirabel!", section "Configuracion", seven text keys. The file holds
// an SMTP password, so it is kept readable by its owner only. One reader for everything that needs them
// (report headers, the reminder run, the settings window).
class Configuracion {
public:
    // The seven keys, as stored. A key never written reads as empty text.
    struct Ajustes {
        QString nombreEmpresa;    // "NombreEmpresa"
        QString cuitEmpresa;      // "CUITEmpresa"
        QString email;            // "email"
        QString serverSMTP;       // "ServerSMTP"
        QString autentica;        // "Autentica": "SI" or "NO" as written by the settings window
        QString nombreUsuarioAUT; // "NombreUsuarioAUT"
        QString contrasenaAUT;    // "ContrasenaAUT"
        // "CertificadoSMTP": a PEM file of certificates to trust for the SMTP server (a private CA); written
        // by hand, never by the settings window.
        QString certificadoSMTP;
        // "DiasEntreAvisos": the reminder run does not remind the same due again before this many days
        // (empty or 0: every run, apart from the same day's).
        QString diasEntreAvisos;
        // That number; 0 when empty or not a whole number from 0 up.
        int dias() const;
    };

    // The settings store: the INI file archivo, or (empty) the per-user store: on Windows the registry key
    // HKEY_CURRENT_USER\Software\VB and VBA Program Settings\Mirabel!, elsewhere a file.
    static std::unique_ptr<QSettings> almacen(const QString &archivo);
    // Another settings file in INI format (section [Configuracion]) instead of the per-user one:
    // --settings FILE or MIRABEL_SETTINGS. An empty path returns to the per-user file.
    static void setArchivo(const QString &path);
    // The file in use (the per-user one unless another was set).
    static QString archivo();

    // A value as the file holds it: commas, ';' and '#' are plain characters; a backslash escapes (\\ for
    // itself, \" for a quote); a value wholly in double quotes keeps its blanks at both ends.
    static QString leer(const QString &clave);
    // Before s (on the settings file) saves anything: keeps the values of [Configuracion] as this program
    // reads them, since Qt rewrites the whole file in its own reading.
    static void conservar(QSettings &s);
    // Writes one key; a Spanish reason when the file could not be written (logged).
    static Result escribir(const QString &clave, const QString &valor);

    static Ajustes leerTodo();
    // Writes all seven keys in their documented order, empty ones included.
    static Result guardarTodo(const Ajustes &a);

    static QString nombreEmpresa() { return leer(QStringLiteral("NombreEmpresa")); }
    static QString cuitEmpresa() { return leer(QStringLiteral("CUITEmpresa")); }
};
