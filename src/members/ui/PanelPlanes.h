#pragma once

#include "ui/DataGrid.h"

#include <QWidget>

class DataControl;
class QPushButton;

// The "Planes" option of the main window: the dues plans.
class PanelPlanes : public QWidget {
    Q_OBJECT
public:
    PanelPlanes(DataControl *data3, QWidget *parent = nullptr);

    DataControl *Data3;
    DataGrid *DBGrid3;
    QPushButton *Command15; // Nuevo Plan
    QPushButton *Command17; // Modificar
    QPushButton *Command16; // Borrar

    void nuevoPlan();
    void modificar();
    void borrar();

private:
    void alCambiarFila();
};
