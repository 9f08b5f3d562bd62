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

    DataControl *Data1;
    DataGrid *DBGrid1;
    QPushButton *Command1; // &Nueva
    QPushButton *Command4; // &Tomar Cambios
    QPushButton *Command2; // &Eliminar
    QPushButton *Command3; // &Salir

    void done(int r) override; // a name being typed is kept however the window closes
};
