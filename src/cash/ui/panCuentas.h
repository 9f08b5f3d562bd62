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

    DataControl *Data1;
    DataGrid *DBGrid1;
    QPushButton *Command1;    // &Nueva...
    QPushButton *Command2;    // &Borrar
    QPushButton *Command3;    // &Salir
    QToolButton *cmdExportar; // the accounts to Excel or CSV

    void done(int r) override; // a name being typed is stored however the window closes
};
