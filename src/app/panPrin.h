#pragma once

#include <QMainWindow>

class DataControl;
class PanelCaja;
class PanelAfiliados;
class PanelCuotas;
class PanelInformes;
class PanelPlanes;
class PanelTablero;
class PanelUtilidades;
class QFrame;
class QLabel;
class QPushButton;
class QToolButton;
class DataGrid;
class ReportControl;

// The main window: six options on the left, the chosen option's panel on the right. It hosts the panels
// of the subsystems, owns the four lists and the report object, and applies the user-level rule.
class panPrin : public QMainWindow {
    Q_OBJECT
public:
    explicit panPrin(QWidget *parent = nullptr);
    ~panPrin() override;

    // The options, by index; Tablero is listed first in the bar.
    static constexpr int Opciones = 7;
    static constexpr int OpcionTablero = 6;
    // Shows option elBoton (0..6): header, panels, and the members sub-panel only for Clientes.
    void HaceClickOpcion(int elBoton);
    int opcionActual() const { return m_opcion; }
    // "Actualizar Tablas": re-reads the four lists, each with its current record source.
    void actualizarTablas();
    // Works on another database from now on: the user logs in to it (its users are its own) and the lists
    // read it. If it cannot be opened or the login does not succeed, the previous one stays open.
    bool abrirBase(const QString &ruta);

    // The list of the option shown (none for Informes and Utilidades).
    DataGrid *listaActual() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    DataControl *m_datSocios; // Data1
    DataControl *m_datCuotas; // Data2
    DataControl *m_datPlanes; // Data3
    DataControl *m_datCaja;   // Data4
    ReportControl *m_cr;      // CR
    PanelAfiliados *m_clientes;
    PanelCuotas *m_cuotas;
    PanelPlanes *m_planes;
    PanelInformes *m_informes;
    PanelCaja *m_caja;
    PanelUtilidades *m_utilidades;
    PanelTablero *m_tablero;
    QWidget *m_panelProceso[Opciones];
    QLabel *m_btnIconSelect[Opciones];
    QLabel *m_lblOpcion[Opciones];
    QFrame *m_shpOpcionElegida;         // Shape1
    QPushButton *m_cmdTablas;           // Command1: "Tablas": heading of the option bar
    QPushButton *m_cmdActualizarTablas; // Command10: Actualizar Tablas
    QToolButton *m_cmdExportar;         // the shown list to Excel or CSV
    QLabel *m_lblTablaSeleccionada;
    QLabel *m_imgTablaSeleccionada;
    QLabel *m_lblInfo = nullptr;

    QWidget *crearBarraOpciones();
    // The option's key with Ctrl: 1 to 6 in their order, 0 for the dashboard.
    static Qt::Key atajo(int opcion);
    void cargar();
    // What the window reads from the database: account filter, amount lock, the four lists.
    void leerBase();
    void marcarOpcion(int indice);
    int m_opcion = 0;
};
