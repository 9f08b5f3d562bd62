#pragma once

#include "ui/Ventana.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The login: a user name and password that match a user let the program go on ("SI" in the Tag).
// The fourth refused attempt in a row ends the program.
class panIngreso : public Ventana {
    Q_OBJECT
public:
    explicit panIngreso(QWidget *parent = nullptr);

    int intentos() const { return m_intentos; }
    // True when the refusals used up the attempts: the program must end.
    bool programaTerminado() const { return m_terminado; }

private:
    QLabel *m_lblUsuario;       // Label1
    QLineEdit *m_txtUsuario;    // Text1
    QLabel *m_lblContrasena;    // Label2
    QLineEdit *m_txtContrasena; // Text2
    QPushButton *m_cmdAceptar;  // Command1: &Aceptar
    QPushButton *m_cmdCancelar; // Command2: &Cancelar

    void aceptar();
    int m_intentos = 1;
    bool m_terminado = false;
};
