#pragma once

#include "ui/Ventana.h"

class DataControl;
class DataGrid;
class QPushButton;

// "Tabla de Categorías de Socios": the categories in a grid where the names are typed in place.
class panCategorias : public Ventana {
    Q_OBJECT
public:
    explicit panCategorias(QWidget *parent = nullptr);

    void nueva();        // "&Nueva"
    void tomarCambios(); // "&Tomar Cambios"
    void eliminar();     // "&Eliminar"
    // Stores a name still being typed in the grid.
    void guardarPendiente();

    void done(int r) override; // a name being typed is kept however the window closes

private:
    DataControl *m_datCategorias;   // Data1
    DataGrid *m_grdCategorias;      // DBGrid1
    QPushButton *m_cmdNueva;        // Command1: &Nueva
    QPushButton *m_cmdTomarCambios; // Command4: &Tomar Cambios
    QPushButton *m_cmdEliminar;     // Command2: &Eliminar
    QPushButton *m_cmdSalir;        // Command3: &Salir
};
