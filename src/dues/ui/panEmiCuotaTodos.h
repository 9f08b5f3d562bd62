#pragma once

#include "ui/Ventana.h"

#include <functional>

class DataControl;
class DataGrid;
class DatePicker;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class ReportControl;

// "Emision de Cuotas Grupal": issues the dues of a plan for the chosen members at once; each due of the
// series may carry its own amount (the amounts list). A due that exists gets the new amount.
class panEmiCuotaTodos : public Ventana {
    Q_OBJECT
public:
    panEmiCuotaTodos(ReportControl *cr, std::function<void()> refrescarCuotas, QWidget *parent = nullptr);

    // Choosing a plan: its number, its members (none selected) and a fresh amounts list.
    void elegirPlan(int indice);
    void seleccionarTodos();
    void editarCuotas();
    void emitir();
    void imprimir();
    // Closing waits while a run is being written.
    void reject() override;

    QComboBox *txtPlan;
    QLineEdit *txtNoPlan;
    QListWidget *List1;
    QPushButton *Command4; // Seleccionar Todos
    QLineEdit *txMes;
    QLineEdit *txAno;
    DatePicker *dtFechaPrimVen;
    QCheckBox *Check2;
    DatePicker *fecInscripcion;
    QWidget *Picture1;
    DataControl *Data1;
    DataGrid *DBGrid1;
    QPushButton *Command5; // Editar cuotas >>>
    QPushButton *Command1; // 1. &Emitir y Generar Cuotas
    QPushButton *Command3; // 2. &Imprimir...
    QPushButton *Command2; // &Cerrar

signals:
    // Before each member of a run, with the members done and the total (the progress dialog is up).
    void avance(int hechos, int total);

private:
    ReportControl *m_cr;
    std::function<void()> m_refrescar;
    bool m_emitiendo = false;
};
