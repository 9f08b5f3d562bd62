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

    QPushButton *Command12; // Limpiar Registro de Cuotas
    QPushButton *Command14; // Limpiar Registro de Caja
    QPushButton *Command31; // Cambiar dia de vencimiento...
    QLineEdit *Text1;       // the new due day
    QPushButton *Command32; // &Cambiar
    QWidget *pictapa;       // covers the day editor while visible
    QLabel *Label12;        // "Listo !"
    QPushButton *Command26; // Configurar el sistema...
    QPushButton *Command30; // Configurar Usuarios...
    QPushButton *Command19; // Enviar e-mail de aviso
    QLabel *lblTime;        // progress of the e-mail run
    // Importar base anterior (.mdb)...
    QPushButton *cmdImportarMdb;

    // Covers (true) or uncovers (false) the day editor.
    void setTapaVisible(bool visible);
    bool tapaVisible() const;

    // Who opens a database that a command of this panel has made (the main window reopens itself on it).
    void setAbrirBase(std::function<void(const QString &ruta)> abrir) { m_abrirBase = std::move(abrir); }
    // "Importar base anterior (.mdb)...": the import window, then the new database if the user asks for it.
    void importarMdb();

private:
    QStackedWidget *m_dayStack;
    std::function<void(const QString &)> m_abrirBase;
};
