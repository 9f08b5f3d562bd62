#pragma once

#include "ui/Ventana.h"

class QLineEdit;
class QPushButton;

// First start of a new database: nobody can log in yet, so the first supervisor is created here.
// No user or password is built into the program.
class panPrimerUsuario : public Ventana {
    Q_OBJECT
public:
    explicit panPrimerUsuario(QWidget *parent = nullptr);

private:
    QLineEdit *m_txtNombreCompleto;
    QLineEdit *m_txtUsuario;
    QLineEdit *m_txtContrasena;
    QLineEdit *m_txtRepetir;
    QPushButton *m_cmdAceptar;  // Command1: &Aceptar
    QPushButton *m_cmdCancelar; // Command2: &Cancelar

    void aceptar();
};
