#pragma once

#include "ui/Ventana.h"

class DataControl;
class DataGrid;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Usuarios del sistema": the people who may log in, their passwords and levels. The grid moves through
// the users; the boxes show and edit the current one.
class panConfUs : public Ventana {
    Q_OBJECT
public:
    explicit panConfUs(QWidget *parent = nullptr);

    // Whether what is shown differs from the stored record.
    bool cambiosPendientes() const { return m_sucio; }

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    DataControl *m_datUsuarios; // Data1
    DataGrid *m_grdUsuarios;    // DBGrid1
    QLineEdit *m_txNombre;
    QLineEdit *m_txUsuario;
    QLineEdit *m_txContrasena;
    QRadioButton *m_optSupervisor;
    QRadioButton *m_optAdmin;
    QRadioButton *m_optDataEntry;
    QLabel *m_lblNivel;        // Label4
    QPushButton *m_cmdNuevo;   // Command1: &Nuevo
    QPushButton *m_cmdBorrar;  // Command2: &Borrar
    QPushButton *m_cmdGuardar; // Command3: &Guardar Cambios
    QPushButton *m_cmdSalir;   // Command4: &Salir

    void mostrarRegistro(int row);
    bool guardarCambios();
    void nuevo();
    void borrar();
    void moverA(int row);
    void marcarNivel(QRadioButton *boton);
    QButtonGroup *m_niveles;
    int m_id = 0; // the user shown in the boxes
    int m_fila = -1;
    bool m_sucio = false;
    bool m_cargando = false;
};
