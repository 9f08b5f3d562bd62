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

    // A free name for the new database beside the open one.
    static QString destinoSugerido();

public slots:
    void importar();
    void reject() override;

private:
    QLineEdit *m_txtOrigen;
    QPushButton *m_cmdOrigen;
    QLineEdit *m_txtDestino;
    QPushButton *m_cmdDestino;
    QLabel *m_lblEstado;
    QProgressBar *m_barProgreso;
    QTableWidget *m_grdResumen;
    QPushButton *m_cmdImportar;
    QPushButton *m_cmdAbrir;
    QPushButton *m_cmdCerrar; // "Cancelar" while importing

    void elegirOrigen();
    void elegirDestino();
    void abrirNueva();
    void setImportando(bool on);

    QString m_baseParaAbrir;
    QString m_importada;
    bool m_importando = false;
    bool m_cancelar = false;
};
