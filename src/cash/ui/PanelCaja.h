#pragma once

#include "ui/DataGrid.h"

#include <QWidget>
#include <functional>

class DataControl;
class DatePicker;
class QDate;
class QComboBox;
class QPushButton;
class ReportControl;

// The "Caja" option of the main window: the cash book by day and account. The main window hands it the
// list's data control, the report object and its "Actualizar Tablas".
class PanelCaja : public QWidget {
    Q_OBJECT
public:
    PanelCaja(DataControl *data4, ReportControl *cr, std::function<void()> actualizarTablas,
              QWidget *parent = nullptr);

    // Sets the day and account filter as the list's source; re-reads the list when releer.
    void filtrar(bool releer = true);
    void todo();      // Command21
    void nuevo();     // Command24
    void modificar(); // Command22
    void borrar();    // Command23
    void listar();    // Command20
    void cuentas();   // Command28
    // "Limpiar Registro de Caja" of the Utilidades option: a copy of the database first, then every movement
    // deleted and the lists re-read.
    void limpiarRegistro();
    // Fills the account filter; no account chosen.
    void llenarCuentas();
    // The day of the filter.
    void setFecha(const QDate &dia);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    DataControl *m_datCaja; // Data4
    DataGrid *m_grdCaja;    // DBGrid4
    QComboBox *m_cboCuenta; // Combo1
    DatePicker *m_dtFechaCaja;
    QPushButton *m_cmdNuevo;     // Command24: Nuevo Mov.
    QPushButton *m_cmdModificar; // Command22: Modificar
    QPushButton *m_cmdBorrar;    // Command23: Borrar
    QPushButton *m_cmdListar;    // Command20: Listar
    QPushButton *m_cmdTodo;      // Command21: Todo
    QPushButton *m_cmdCuentas;   // Command28: Cuentas...

    void alCambiarFila();
    ReportControl *m_cr;
    std::function<void()> m_actualizarTablas;
};
