#pragma once

class DatePicker;
class QCheckBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QString;
class QWidget;
class ReportControl;

// The pieces both issuance windows share: the plan number box, the inscription row, the command row and the
// print-out of unpaid dues.
namespace PanelEmision {

// txtNoPlan: read-only, outside the tab order.
QLineEdit *numeroDePlan(QWidget *ventana);

struct Inscripcion {
    QCheckBox *cobra;        // Check2: "Cobra Inscripción ?", checked
    DatePicker *vencimiento; // fecInscripcion: enabled while Check2 is checked
    QHBoxLayout *fila;
};
Inscripcion inscripcion(QWidget *ventana);

struct Botones {
    QPushButton *emitir;   // Command1: 1. &Emitir y Generar Cuotas
    QPushButton *imprimir; // Command3: 2. &Imprimir...
    QPushButton *cerrar;   // Command2: &Cerrar: closes the window
    QHBoxLayout *fila;
};
Botones botones(QWidget *ventana);

// "cuotas.rpt" with the selection formula, through the main window's report object.
void imprimirCuotas(ReportControl *cr, const QString &formula);

} // namespace PanelEmision
