#pragma once

#include "ui/Ventana.h"

class DataControl;
class DataGrid;
class QPushButton;
class QToolButton;

// "Plan de Cuentas": the cash accounts, renamed by typing over their name in the list.
class panCuentas : public Ventana {
    Q_OBJECT
public:
    explicit panCuentas(QWidget *parent = nullptr);

    void nueva();  // Command1
    void borrar(); // Command2

    void done(int r) override; // a name being typed is stored however the window closes

private:
    DataControl *m_datCuentas;  // Data1
    DataGrid *m_grdCuentas;     // DBGrid1
    QPushButton *m_cmdNueva;    // Command1: &Nueva...
    QPushButton *m_cmdBorrar;   // Command2: &Borrar
    QPushButton *m_cmdSalir;    // Command3: &Salir
    QToolButton *m_cmdExportar; // the accounts to Excel or CSV
};
