#pragma once

#include <QWidget>
#include <functional>

class DataControl;
class DataGrid;
class QLineEdit;
class QPushButton;
class ReportControl;

// The "Cuotas" option of the main window: issued dues, filtered by month and year; deleting one due and
// the plan-wide issuance. The main window hands it the dues list, the report object and a way to refresh.
class PanelCuotas : public QWidget {
    Q_OBJECT
public:
    PanelCuotas(DataControl *data2, ReportControl *cr, QWidget *parent = nullptr);

    // Sets the dues list's opening record source (read at the next refresh).
    void usarRecordSourceDiseno();
    // What the issuance windows call after issuing; the dues list by default.
    void setRefrescar(std::function<void()> refrescar);

    void buscar();
    void mostrarTodas();
    void borrar();
    // "Emitir Cuotas...": the plan-wide issuance.
    void emitirGrupal();
    // The individual issuance of the member whose idAfiliado is tag (from the members panel).
    void emitirIndividual(const QString &tag);
    // The month and year of the filter.
    void setMesAnio(int mes, int anio);
    // Whether the amounts may be typed into the list (a supervisor's right).
    void setMontoEditable(bool editable);

    static constexpr int ColumnaMonto = 6;

private:
    DataControl *m_datCuotas; // Data2
    DataGrid *m_grdCuotas;    // DBGrid2
    QLineEdit *m_txtSelMes;
    QLineEdit *m_txtSelAnio;
    QPushButton *m_cmdBuscar;       // Command11: Buscar
    QPushButton *m_cmdMostrarTodas; // Command33: Mostrar Todas
    QPushButton *m_cmdBorrar;       // Command13: Borrar
    QPushButton *m_cmdEmitir;       // Command29: Emitir Cuotas...

    void refrescar();
    ReportControl *m_cr;
    std::function<void()> m_refrescar;
};
