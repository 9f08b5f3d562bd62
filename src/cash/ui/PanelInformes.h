#pragma once

#include <QWidget>

class DatePicker;
class QPushButton;
class ReportControl;

// The "Informes" option of the main window: the summary of sums and balances and the debt report.
class PanelInformes : public QWidget {
    Q_OBJECT
public:
    explicit PanelInformes(ReportControl *cr, QWidget *parent = nullptr);

    void resumen();      // Command27
    void informeDeuda(); // Command25

    DatePicker *dtDesdeCaja;
    DatePicker *dtHastaCaja;
    QPushButton *Command27; // Resumen Sumas y Saldos Caja
    QPushButton *Command25; // Informe de Deudas socios

private:
    ReportControl *m_cr;
};
