#pragma once

#include <QWidget>

class DatePicker;
class QDate;
class QPushButton;
class ReportControl;

// The "Informes" option of the main window: the summary of sums and balances and the debt report.
class PanelInformes : public QWidget {
    Q_OBJECT
public:
    explicit PanelInformes(ReportControl *cr, QWidget *parent = nullptr);

    void resumen();      // Command27
    void informeDeuda(); // Command25
    // The dates of the summary.
    void setRango(const QDate &desde, const QDate &hasta);

private:
    DatePicker *m_dtDesdeCaja;
    DatePicker *m_dtHastaCaja;
    QPushButton *m_cmdResumen;      // Command27: Resumen Sumas y Saldos Caja
    QPushButton *m_cmdInformeDeuda; // Command25: Informe de Deudas socios

    ReportControl *m_cr;
};
