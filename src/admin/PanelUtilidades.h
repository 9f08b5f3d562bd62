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

    QPushButton *Command12;         // Limpiar Registro de Cuotas
    QPushButton *Command14;         // Limpiar Registro de Caja
    QPushButton *Command31;         // Cambiar dia de vencimiento...
    QLineEdit *Text1;               // the new due day
    QPushButton *Command32;         // &Cambiar
    QWidget *pictapa;               // covers the day editor while visible
    QLabel *Label12;                // "Listo !"
    QPushButton *Command26;         // Configurar el sistema...
    QPushButton *Command30;         // Configurar Usuarios...
    QPushButton *Command19;         // Enviar e-mail de aviso
    QLabel *lblTime;                // progress of the e-mail run
    QPushButton *cmdCopiaSeguridad; // Copia de seguridad...
    QPushButton *cmdRestaurarCopia; // Restaurar copia...

    // "Copia de seguridad...": asks where and writes a consistent copy of the open database there.
    void copiaDeSeguridad();
    // "Restaurar copia...": picks a copy, shows its date and counts, and on a Yes keeps the current file
    // in copias/ and replaces its contents with the copy's. True when the lists must be read again;
    // soltarDatos lets the opener's lists let go of their rows before the data changes under them.
    bool restaurarCopia(const std::function<void()> &soltarDatos = {});

    // Covers (true) or uncovers (false) the day editor.
    void setTapaVisible(bool visible);
    bool tapaVisible() const;

private:
    QStackedWidget *m_dayStack;
};
