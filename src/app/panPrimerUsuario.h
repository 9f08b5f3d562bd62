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

    QLineEdit *txtNombreCompleto;
    QLineEdit *txtUsuario;
    QLineEdit *txtContrasena;
    QLineEdit *txtRepetir;
    QPushButton *Command1; // &Aceptar
    QPushButton *Command2; // &Cancelar

private:
    void aceptar();
};
