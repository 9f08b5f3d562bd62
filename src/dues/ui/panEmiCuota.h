#pragma once

#include "ui/Ventana.h"

#include <functional>

class DatePicker;
class QCheckBox;
class QLineEdit;
class QPushButton;
class ReportControl;

// "Emision de Cuotas Individual": issues the dues of the member whose idAfiliado is the Tag, then prints
// the member's unpaid dues of the plan.
class panEmiCuota : public Ventana {
    Q_OBJECT
public:
    // cr prints "cuotas.rpt"; refrescarCuotas re-reads the main window's dues list after an issue.
    panEmiCuota(ReportControl *cr, std::function<void()> refrescarCuotas, QWidget *parent = nullptr);

    // Fills the caption and the plan from the Tag; false (after telling the user) when it cannot.
    bool mostrarSocio();
    void emitir();
    void imprimir();

protected:
    void showEvent(QShowEvent *e) override;

private:
    QLineEdit *m_txtPlan;
    QLineEdit *m_txtNoPlan;
    QLineEdit *m_txtAnio; // year of issue
    QLineEdit *m_txtDia;  // due day
    DatePicker *m_fecInic;
    QCheckBox *m_chkInscripcion; // Check2
    DatePicker *m_fecInscripcion;
    QPushButton *m_cmdEmitir;   // Command1: 1. &Emitir y Generar Cuotas
    QPushButton *m_cmdImprimir; // Command3: 2. &Imprimir...
    QPushButton *m_cmdCerrar;   // Command2: &Cerrar

    ReportControl *m_cr;
    std::function<void()> m_refrescar;
    bool m_mostrado = false;
};
