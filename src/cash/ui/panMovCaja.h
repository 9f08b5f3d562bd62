#pragma once

#include "core/Money.h"

#include "ui/Ventana.h"

#include <QColor>

class DatePicker;
class QComboBox;
class QLineEdit;
class QPushButton;

// "Movimiento de caja": enters a new movement of the cash book (Tag "NUEVO") or changes one (Tag idCaja).
class panMovCaja : public Ventana {
    Q_OBJECT
public:
    explicit panMovCaja(QWidget *parent = nullptr);

    // The kind of movement is the colour of botTipoCaja.
    static QColor colorIngreso() { return QColor(192, 192, 255); }
    static QColor colorEgreso() { return QColor(255, 192, 192); }
    QColor colorTipo() const { return m_color; }
    bool esIngreso() const { return m_color == colorIngreso(); }

    void cambiarTipo(); // botTipoCaja
    void aceptar();     // Command1

protected:
    void showEvent(QShowEvent *e) override;

private:
    DatePicker *m_dtFechaCaja;
    QPushButton *m_botTipoCaja;
    QComboBox *m_cbCuenta;
    QLineEdit *m_txtDetalle;
    QLineEdit *m_txtImporte;
    QComboBox *m_cbDivisa;
    QPushButton *m_cmdAceptar;  // Command1: &Aceptar
    QPushButton *m_cmdCancelar; // Command2: &Cancelar

    void mostrar();
    void ponerTipo(bool ingreso);
    QColor m_color;
    bool m_mostrado = false;
    Money m_importeGuardado; // the amount of the movement being changed, as stored
};
