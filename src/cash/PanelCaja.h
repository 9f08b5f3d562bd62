#pragma once

#include <QWidget>

class DataControl;
class DataGrid;
class DatePicker;
class QComboBox;
class QPushButton;

// The "Caja" option of the main window: the cash book by day and account.
class PanelCaja : public QWidget {
    Q_OBJECT
public:
    PanelCaja(DataControl *data4, QWidget *parent = nullptr);
    static QString recordSourceDiseno();

    DataControl *Data4;
    DataGrid *DBGrid4;
    QComboBox *Combo1;
    DatePicker *dtFechaCaja;
    QPushButton *Command24; // Nuevo Mov.
    QPushButton *Command22; // Modificar
    QPushButton *Command23; // Borrar
    QPushButton *Command20; // Listar
    QPushButton *Command21; // Todo
    QPushButton *Command28; // Cuentas...
};
