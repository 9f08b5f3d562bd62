#pragma once

#include <QWidget>

class DataControl;
class DataGrid;
class QLineEdit;
class QPushButton;

// The "Cuotas" option of the main window: issued dues, filtered by month and year.
class PanelCuotas : public QWidget {
    Q_OBJECT
public:
    PanelCuotas(DataControl *data2, QWidget *parent = nullptr);
    static QString recordSourceDiseno();

    DataControl *Data2;
    DataGrid *DBGrid2;
    QLineEdit *txtSelMes;
    QLineEdit *txtSelAnio;
    QPushButton *Command11; // Buscar
    QPushButton *Command33; // Mostrar Todas
    QPushButton *Command13; // Borrar
    QPushButton *Command29; // Emitir Cuotas...
    static constexpr int ColumnaMonto = 6;
};
