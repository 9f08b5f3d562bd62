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

    DatePicker *dtInicio;
    DatePicker *dtFin;
    QComboBox *cboCuentas;
    QPushButton *Command1; // &Vista Previa / Impresión...
    QPushButton *Command2; // &Salir

private:
    ReportControl *m_cr;
};
