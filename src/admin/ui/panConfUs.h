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

    DataControl *Data1;
    DataGrid *DBGrid1;
    QLineEdit *txNombre;
    QLineEdit *txUsuario;
    QLineEdit *txContrasena;
    QRadioButton *optSupervisor;
    QRadioButton *optAdmin;
    QRadioButton *optDataEntry;
    QLabel *Label4;
    QPushButton *Command1; // &Nuevo
    QPushButton *Command2; // &Borrar
    QPushButton *Command3; // &Guardar Cambios
    QPushButton *Command4; // &Salir

    // Whether what is shown differs from the stored record.
    bool cambiosPendientes() const { return m_sucio; }

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
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
