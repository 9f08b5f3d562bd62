#pragma once

#include "ui/Ventana.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// "Configurar el sistema": the company's data for the report headers and the sender data for the
// reminder e-mails and the days between two reminders of one due. Reads the settings when opened;
// "&Aceptar" writes them all.
class panconfSist : public Ventana {
    Q_OBJECT
public:
    explicit panconfSist(QWidget *parent = nullptr);

private:
    QLineEdit *m_txNombreEmpresa;
    QLineEdit *m_txClaveTributaria;
    QLineEdit *m_txEmail;
    QLineEdit *m_txServerFTP;
    QCheckBox *m_chkAutenticacion; // Check1
    QLineEdit *m_txUserSMTP;
    QLineEdit *m_txPassSMTP;
    QSpinBox *m_spnDiasEntreAvisos; // txDiasEntreAvisos
    QPushButton *m_cmdAceptar;      // Command1: &Aceptar
    QPushButton *m_cmdCancelar;     // Command2: &Cancelar

    void cargar();
    void aceptar();
};
