#pragma once

#include "ui/Ventana.h"

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the password of a server database when libpq's own sources (PGPASSWORD, ~/.pgpass) give none
// or a wrong one. What is typed stays in memory: nothing here writes it anywhere.
class PedirContrasena : public Ventana {
    Q_OBJECT
public:
    // address: the server database, as shown to the user; wrong: the last password was refused.
    PedirContrasena(const QString &address, bool wrong, QWidget *parent = nullptr);

    // The window, modal; nullopt when the user cancels.
    static std::optional<QString> pedir(const QString &address, bool wrong, QWidget *parent = nullptr);

private:
    QLabel *m_lblMensaje;
    QLabel *m_lblContrasena;
    QLineEdit *m_txtContrasena;
    QPushButton *m_cmdAceptar;  // Command1: &Aceptar
    QPushButton *m_cmdCancelar; // Command2: &Cancelar
};
