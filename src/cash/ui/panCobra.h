#pragma once

#include "ui/Ventana.h"

class DatePicker;
class QComboBox;
class QLineEdit;
class QPushButton;
class ReportControl;

// "Cobranza de Cuota": the payment of one due, booked as an income movement, and its receipt.
class panCobra : public Ventana {
    Q_OBJECT
public:
    explicit panCobra(ReportControl *cr, QWidget *parent = nullptr);

    void cobrar();         // Command1
    void imprimirRecibo(); // Command2

protected:
    void showEvent(QShowEvent *e) override;

private:
    QLineEdit *m_txtSocio;
    QLineEdit *m_txtMesyAnio;
    QLineEdit *m_txtVencimiento;
    QLineEdit *m_txtConcepto;
    QLineEdit *m_txtImporte;
    DatePicker *m_cdFechaPago;
    QComboBox *m_cboCuenta;
    QPushButton *m_cmdCobrar;         // Command1: &Cobrar
    QPushButton *m_cmdImprimirRecibo; // Command2: &Imprimir Recibo
    QPushButton *m_cmdSalir;          // Command3: &Salir

    bool mostrar();
    void cerrarConError();
    ReportControl *m_cr;
    bool m_mostrado = false;
};
