#pragma once

#include "ui/DataGrid.h"

#include <QWidget>
#include <functional>

class DataControl;
class QLabel;
class QLineEdit;
class QPushButton;
class ReportControl;

// The "Clientes" option of the main window: the members list with its search box and commands, and the
// sub-panel with the current member's debt summary (placed by the main window, shown only with this option).
class PanelAfiliados : public QWidget {
    Q_OBJECT
public:
    // The host hands in the members list, the report object that prints, and where the list position
    // ("Registro 3 de 5") is shown.
    PanelAfiliados(DataControl *data1, ReportControl *cr, std::function<void(const QString &)> mostrarInfo,
                   QWidget *parent = nullptr);

    // The member's debt summary, which the host places beside the list and shows only with this option.
    QWidget *subPanel() const { return m_panelCuotasClientesParticular; }

    // The current-row update: the per-member commands, the member's debt summary and the list position.
    void alCambiarFila();
    // Search as the user types: the first member whose surname starts with the text; a failed search
    // re-reads the list and clears the box.
    void buscar(const QString &texto);

    void nuevo();
    void modificar();
    void borrar();
    void enfocarBusqueda();
    void listar();
    void categorias();
    void verCuentaCorriente();

signals:
    // "Emitir Cuotas..." and "Cobrar Cuotas..." for the current member (its idAfiliado as text, the opened
    // window's Tag): the dues issuance and the collection connect here.
    void emitirCuotas(const QString &tag);
    void cobrarCuotas(const QString &tag);

private:
    DataControl *m_datSocios; // Data1
    DataGrid *m_grdSocios;    // DBGrid1
    QLineEdit *m_txtBuscaAfiliado;
    QPushButton *m_cmdNuevo;      // Command2: Nuevo
    QPushButton *m_cmdModificar;  // Command4: Modificar
    QPushButton *m_cmdBorrar;     // Command3: Borrar
    QPushButton *m_cmdBuscar;     // Command5: Buscar
    QPushButton *m_cmdListar;     // Command6: Listar
    QPushButton *m_cmdCategorias; // Command18: Categ.
    // The sub-panel and its controls.
    QWidget *m_panelCuotasClientesParticular;
    QLabel *m_lblAfiliado;
    QLabel *m_lblNroCuotasAdeudadas;
    QLabel *m_lblMontoAdeudaSocio;
    QLabel *m_lblFechaUPago;
    QLabel *m_lblNumeroPlan;           // bound to the current row's idPlan
    QPushButton *m_cmdEmitirCuotas;    // Command7: Emitir Cuotas...
    QPushButton *m_cmdCobrarCuotas;    // Command8: Cobrar Cuotas...
    QPushButton *m_cmdCuentaCorriente; // Command9: Ver Cuenta Corriente...

    void crearSubPanel();
    void mostrarPlanActual();
    QString tagActual() const;
    void imprimir(const QString &informe, const QString &formula);
    ReportControl *m_cr;
    std::function<void(const QString &)> m_mostrarInfo;
};
