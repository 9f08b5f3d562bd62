#pragma once

#include "ui/Ventana.h"

#include <QString>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

// "Importar base anterior (.mdb)...": brings the old program's BASE.mdb into a new Mirabel database,
// with its progress (the user may cancel) and, at the end, the rows and amounts of every table. When the
// user chooses to open the new database, the window closes and baseParaAbrir() names it for the opener.
class panImportarMdb : public Ventana {
    Q_OBJECT
public:
    explicit panImportarMdb(QWidget *parent = nullptr);

    // The database the user chose to open once the window is gone; empty otherwise.
    QString baseParaAbrir() const { return m_baseParaAbrir; }
    bool importando() const { return m_importando; }

    QLineEdit *txtOrigen;
    QPushButton *cmdOrigen;
    QLineEdit *txtDestino;
    QPushButton *cmdDestino;
    QLabel *lblEstado;
    QProgressBar *barProgreso;
    QTableWidget *grdResumen;
    QPushButton *cmdImportar;
    QPushButton *cmdAbrir;
    QPushButton *cmdCerrar; // "Cancelar" while importing

    // A free name for the new database beside the open one.
    static QString destinoSugerido();

public slots:
    void importar();
    void reject() override;

private:
    void elegirOrigen();
    void elegirDestino();
    void abrirNueva();
    void setImportando(bool on);

    QString m_baseParaAbrir;
    QString m_importada;
    bool m_importando = false;
    bool m_cancelar = false;
};
