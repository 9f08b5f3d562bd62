#pragma once

#include "ui/Ventana.h"

class DatePicker;
class QComboBox;
class QPushButton;
class ReportControl;

// "Informes de Caja": the cash movements between two dates, of one account or of all.
class panInfCaja : public Ventana {
    Q_OBJECT
public:
    explicit panInfCaja(ReportControl *cr, QWidget *parent = nullptr);

    void vistaPrevia(); // Command1

    // Runs a report through the main window's report object: file, connection, formula, run.
    static void imprimir(ReportControl *cr, const QString &archivo, const QString &formula);

private:
    DatePicker *m_dtInicio;
    DatePicker *m_dtFin;
    QComboBox *m_cboCuentas;
    QPushButton *m_cmdVistaPrevia; // Command1: &Vista Previa / Impresión...
    QPushButton *m_cmdSalir;       // Command2: &Salir

    ReportControl *m_cr;
};
