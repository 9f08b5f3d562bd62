#pragma once

#include "db/Actividad.h"
#include "ui/Ventana.h"

class DataControl;
class DataGrid;
class DatePicker;
class QComboBox;
class QPushButton;

// "Registro de actividad": who did what, when and at which desk, newest first, for a range of days, a user
// and an action; the list exports to Excel or CSV and prints. Read-only.
class panRegistroActividad : public Ventana {
    Q_OBJECT
public:
    explicit panRegistroActividad(QWidget *parent = nullptr);

    // The print-out's selection formula for a filter.
    static QString formula(const Actividad::Filtro &filtro);

private:
    // "Buscar": reads the list for the filter shown; false (after telling the user) when it cannot.
    bool buscar();
    void imprimir();
    // The filter the controls show; nullopt (told) when the range is backwards.
    std::optional<Actividad::Filtro> filtro();

    DatePicker *m_dtDesde;
    DatePicker *m_dtHasta;
    QComboBox *m_cboUsuario;
    QComboBox *m_cboAccion;
    QPushButton *m_cmdBuscar;
    QPushButton *m_cmdImprimir;
    QPushButton *m_cmdCerrar;
    DataControl *m_datRegistro;
    DataGrid *m_grdRegistro;
};
