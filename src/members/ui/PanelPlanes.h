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

    void nuevoPlan();
    void modificar();
    void borrar();

private:
    DataControl *m_datPlanes;    // Data3
    DataGrid *m_grdPlanes;       // DBGrid3
    QPushButton *m_cmdNuevo;     // Command15: Nuevo Plan
    QPushButton *m_cmdModificar; // Command17: Modificar
    QPushButton *m_cmdBorrar;    // Command16: Borrar

    void alCambiarFila();
};
