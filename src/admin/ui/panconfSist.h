#pragma once

#include "ui/Ventana.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

// "Configurar el sistema": the company's data for the report headers and the sender data for the
// reminder e-mails. Reads the settings when opened; "&Aceptar" writes all seven keys.
class panconfSist : public Ventana {
    Q_OBJECT
public:
    explicit panconfSist(QWidget *parent = nullptr);

    QLineEdit *txNombreEmpresa;
    QLineEdit *txClaveTributaria;
    QLineEdit *txEmail;
    QLineEdit *txServerFTP;
    QCheckBox *Check1;
    QLineEdit *txUserSMTP;
    QLineEdit *txPassSMTP;
    QPushButton *Command1; // &Aceptar
    QPushButton *Command2; // &Cancelar

private:
    void cargar();
    void aceptar();
};
