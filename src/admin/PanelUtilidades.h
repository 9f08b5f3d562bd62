#pragma once

#include <QWidget>

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

    // The debt reminder run of "Enviar e-mail de aviso", after its question.
    void enviaMailDeudores();

    // Covers (true) or uncovers (false) the day editor.
    void setTapaVisible(bool visible);
    bool tapaVisible() const;

private:
    void configurarSistema();
    void configurarUsuarios();
    void enviarAvisos();
    QStackedWidget *m_dayStack;
};
