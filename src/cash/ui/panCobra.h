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

    QLineEdit *txtSocio;
    QLineEdit *txtMesyAnio;
    QLineEdit *txtVencimiento;
    QLineEdit *txtConcepto;
    QLineEdit *txtImporte;
    DatePicker *cdFechaPago;
    QComboBox *cboCuenta;
    QPushButton *Command1; // &Cobrar
    QPushButton *Command2; // &Imprimir Recibo
    QPushButton *Command3; // &Salir

protected:
    void showEvent(QShowEvent *e) override;

private:
    bool mostrar();
    void cerrarConError();
    ReportControl *m_cr;
    bool m_mostrado = false;
};
