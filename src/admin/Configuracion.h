#pragma once

#include <QString>

// The program's settings: application "Mirabel!", group "Configuracion". The file holds an SMTP password,
// so it is kept readable by its owner only.
class Configuracion {
public:
    static QString leer(const QString &clave, const QString &porDefecto = QString());
    static void escribir(const QString &clave, const QString &valor);

    static QString nombreEmpresa() { return leer(QStringLiteral("NombreEmpresa")); }
    static QString cuitEmpresa() { return leer(QStringLiteral("CUITEmpresa")); }
};
