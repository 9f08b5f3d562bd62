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

signals:
    // Before each member of a run, with the members done and the total (the progress dialog is up).
    void avance(int hechos, int total);

private:
    QComboBox *m_txtPlan;
    QLineEdit *m_txtNoPlan;
    QListWidget *m_lstSocios;           // List1
    QPushButton *m_cmdSeleccionarTodos; // Command4: Seleccionar Todos
    QLineEdit *m_txMes;
    QLineEdit *m_txAno;
    DatePicker *m_dtFechaPrimVen;
    QCheckBox *m_chkInscripcion; // Check2
    DatePicker *m_fecInscripcion;
    QWidget *m_picMontos;           // Picture1
    DataControl *m_datMontos;       // Data1
    DataGrid *m_grdMontos;          // DBGrid1
    QPushButton *m_cmdEditarCuotas; // Command5: Editar cuotas >>>
    QPushButton *m_cmdEmitir;       // Command1: 1. &Emitir y Generar Cuotas
    QPushButton *m_cmdImprimir;     // Command3: 2. &Imprimir...
    QPushButton *m_cmdCerrar;       // Command2: &Cerrar

    ReportControl *m_cr;
    std::function<void()> m_refrescar;
    bool m_emitiendo = false;
};
