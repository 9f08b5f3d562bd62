#pragma once

#include <QWidget>

class DatePicker;
class QPushButton;

// The "Informes" option of the main window: the summary of sums and balances and the debt report.
class PanelInformes : public QWidget {
    Q_OBJECT
public:
    explicit PanelInformes(QWidget *parent = nullptr);

    DatePicker *dtDesdeCaja;
    DatePicker *dtHastaCaja;
    QPushButton *Command27; // Resumen Sumas y Saldos Caja
    QPushButton *Command25; // Informe de Deudas socios
};
