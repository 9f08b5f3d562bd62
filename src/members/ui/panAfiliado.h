#pragma once

#include "members/Afiliados.h"
#include "ui/Ventana.h"

#include <array>

class DatePicker;
class QComboBox;
class QLineEdit;
class QPushButton;

// "Clientes / Socios": creates a member (Tag "NUEVO") or changes the member whose idAfiliado is the Tag.
class panAfiliado : public Ventana {
    Q_OBJECT
public:
    explicit panAfiliado(QWidget *parent = nullptr);

    // Fills the window from the member named by a numeric Tag (nothing for a new member or a member that
    // is gone). A plan or category that no longer exists is told to the user and stops the filling there.
    void llenar();
    // "&Aceptar": the checks in order, then the save; the window stays open with the user's input on failure.
    void aceptar();
    // "Avisos enviados...": the member's reminders, newest first.
    void avisosEnviados();

protected:
    void showEvent(QShowEvent *e) override;

private:
    std::array<QLineEdit *, Afiliado::NumCampos> m_txtCampo;
    QComboBox *m_cboCategoria;
    DatePicker *m_dtFecNac;
    DatePicker *m_dtFecAf;
    QComboBox *m_cbPlan;
    QPushButton *m_cmdAceptar;  // Command1: &Aceptar
    QPushButton *m_cmdCancelar; // Command2: &Cancelar
    QPushButton *m_cmdAvisos;   // Avisos enviados... (a member already stored)

    bool m_llenado = false;
};
