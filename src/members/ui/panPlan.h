#pragma once

#include "ui/Ventana.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

// "Planes de Cuotas": creates a plan (Tag "NUEVO") or changes the plan whose idPlan is the Tag.
class panPlan : public Ventana {
    Q_OBJECT
public:
    explicit panPlan(QWidget *parent = nullptr);

    // Fills the boxes from the plan named by a numeric Tag. When the plan no longer exists it tells the user
    // and returns false (the window then closes).
    bool cargar();
    // "&Aceptar": checks, stores and closes; a failing check leaves the window open with the focus on the
    // box.
    void aceptar();
    // The arrows beside the number of dues.
    void flecha(int paso);

    static constexpr int LargoDetalles = 200;

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_txtNombre;
    QPlainTextEdit *m_txtDetalles;
    QLineEdit *m_txtInscripcion;
    QLineEdit *m_txtCuota;
    QLineEdit *m_txCantCuotas;
    QWidget *m_updCantCuotas;     // UpDown1
    QToolButton *m_cmdCuotaMas;   // UpDown1_arriba
    QToolButton *m_cmdCuotaMenos; // UpDown1_abajo
    QPushButton *m_cmdAceptar;    // Command1: &Aceptar
    QPushButton *m_cmdCancelar;   // Command2: &Cancelar

    bool m_cargado = false;
    int m_largoDetalles = LargoDetalles; // more when a stored plan has longer details
};
