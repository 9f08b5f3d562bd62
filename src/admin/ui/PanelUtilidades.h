#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

// The "Utilidades" option of the main window: maintenance commands.
class PanelUtilidades : public QWidget {
    Q_OBJECT
public:
    explicit PanelUtilidades(QWidget *parent = nullptr);

    // What the dues commands refresh afterwards: every list ("Actualizar Tablas") and the dues list.
    void setRefrescar(std::function<void()> tablas, std::function<void()> cuotas);
    // "Limpiar Registro de Caja": the cash book's own command, run behind the level rule.
    void setLimpiarCaja(std::function<void()> limpiar);
    // "Restaurar copia...": soltarDatos before the data changes, releer when the lists must be read again.
    void setAlRestaurar(std::function<void()> soltarDatos, std::function<void()> releer);

    // "Limpiar Registro de Cuotas": after a Yes, a copy of the database and then every due deleted.
    void limpiarRegistroCuotas();
    // "Cambiar dia de vencimiento...": uncovers (or covers) the day editor.
    void destaparDia();
    // "&Cambiar": checks the day, asks, copies the database and moves every due to that day of its month.
    void cambiarDia();
    // The debt reminder run of "Enviar e-mail de aviso", after its question.
    void enviaMailDeudores();

    // "Copia de seguridad...": asks where and writes a consistent copy of the open database there.
    void copiaDeSeguridad();
    // "Restaurar copia...": picks a copy, shows its date and counts, and on a Yes keeps the current file
    // in copias/ and replaces its contents with the copy's. True when the lists must be read again;
    // soltarDatos lets the opener's lists let go of their rows before the data changes under them.
    bool restaurarCopia(const std::function<void()> &soltarDatos = {});

    // Covers (true) or uncovers (false) the day editor.
    void setTapaVisible(bool visible);
    bool tapaVisible() const;

    // Who opens a database that a command of this panel has made (the main window reopens itself on it).
    void setAbrirBase(std::function<void(const QString &ruta)> abrir) { m_abrirBase = std::move(abrir); }
    // "Importar base anterior (.mdb)...": the import window, then the new database if the user asks for it.
    void importarMdb();

private:
    QPushButton *m_cmdLimpiarCuotas;      // Command12: Limpiar Registro de Cuotas
    QPushButton *m_cmdLimpiarCaja;        // Command14: Limpiar Registro de Caja
    QPushButton *m_cmdDiaVencimiento;     // Command31: Cambiar dia de vencimiento...
    QLineEdit *m_txtDia;                  // Text1: the new due day
    QPushButton *m_cmdCambiarDia;         // Command32: &Cambiar
    QWidget *m_pictapa;                   // covers the day editor while visible
    QLabel *m_lblListo;                   // Label12: "Listo !"
    QLabel *m_lblCopia;                   // where the copy taken before a due-day change went
    QPushButton *m_cmdConfigurarSistema;  // Command26: Configurar el sistema...
    QPushButton *m_cmdConfigurarUsuarios; // Command30: Configurar Usuarios...
    QPushButton *m_cmdRegistroActividad;  // Registro de actividad...
    QPushButton *m_cmdEnviarAvisos;       // Command19: Enviar e-mail de aviso
    QLabel *m_lblTime;                    // progress of the e-mail run
    QPushButton *m_cmdImportarMdb;        // Importar base anterior (.mdb)...
    QPushButton *m_cmdCopiaSeguridad;     // Copia de seguridad...
    QPushButton *m_cmdRestaurarCopia;     // Restaurar copia...

    void configurarSistema();
    void configurarUsuarios();
    void enviarAvisos();
    QStackedWidget *m_dayStack;
    std::function<void()> m_refrescarTablas;
    std::function<void()> m_refrescarCuotas;
    std::function<void(const QString &)> m_abrirBase;
};
