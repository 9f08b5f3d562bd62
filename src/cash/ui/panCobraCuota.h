#pragma once

#include "cash/Cobranza.h"
#include "ui/Ventana.h"

class DataControl;
class DataGrid;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class ReportControl;

// "Cobranza": a member's unpaid dues and their total; pays the chosen due (panCobra) or deletes it.
class panCobraCuota : public Ventana {
    Q_OBJECT
public:
    // cr prints the receipts of the payments made from here.
    explicit panCobraCuota(ReportControl *cr, QWidget *parent = nullptr);

    // Opens the window modally for the member whose idAfiliado is tag.
    static void cobrar(const QString &tag, ReportControl *cr, QWidget *parent);

    // Re-reads the member's name and list (when shown and after a payment).
    void mostrar();
    void cambiarFiltro();  // Check1
    void alCambiarFila();  // total and "&Cobrar cuota seleccionada..."
    void cobrarCuota();    // Command1
    void eliminar();       // Command3
    void avisosEnviados(); // the member's reminders, newest first

    enum { ColumnaMonto = 5 };

protected:
    void showEvent(QShowEvent *e) override;

private:
    QLabel *m_lblSocio;           // Label1
    DataControl *m_datCuotas;     // Data1
    DataGrid *m_grdCuotas;        // DBGrid1
    QCheckBox *m_chkSoloVencidas; // Check1
    QLineEdit *m_txtDeudaTotal;
    QPushButton *m_cmdCobrar;   // Command1: &Cobrar cuota seleccionada...
    QPushButton *m_cmdEliminar; // Command3: &Eliminar...
    QPushButton *m_cmdSalir;    // Command2: &Salir
    QToolButton *m_cmdExportar; // the unpaid dues to Excel or CSV
    QPushButton *m_cmdAvisos;   // Avisos enviados...

    qint64 idAfiliado() const;
    ReportControl *m_cr;
    bool m_mostrado = false;
};
