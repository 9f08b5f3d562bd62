#include "app/panPrimerUsuario.h"

#include "admin/Usuarios.h"
#include "ui/Controles.h"
#include "ui/Mensaje.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

panPrimerUsuario::panPrimerUsuario(QWidget *parent) : Ventana(parent) {
    setObjectName(QStringLiteral("panPrimerUsuario"));
    setWindowTitle(QStringLiteral("Primer supervisor del sistema"));

    auto *intro =
        new QLabel(QStringLiteral("La base de datos no tiene usuarios todavía. Ingrese los datos del "
                                  "supervisor general, que podrá luego crear a los demás usuarios."),
                   this);
    intro->setWordWrap(true);

    auto *l1 = Controles::etiqueta(this, QString(), QStringLiteral("&Nombre completo :"));
    m_txtNombreCompleto = Controles::campo(this, QStringLiteral("txtNombreCompleto"), 50, l1);
    auto *l2 = Controles::etiqueta(this, QString(), QStringLiteral("&Usuario :"));
    m_txtUsuario = Controles::campo(this, QStringLiteral("txtUsuario"), 15, l2);
    auto *l3 = Controles::etiqueta(this, QString(), QStringLiteral("C&ontraseña :"));
    m_txtContrasena = Controles::campo(this, QStringLiteral("txtContrasena"), 15, l3);
    auto *l4 = Controles::etiqueta(this, QString(), QStringLiteral("&Repita la contraseña :"));
    m_txtRepetir = Controles::campo(this, QStringLiteral("txtRepetir"), 15, l4);
    Controles::ocultarTexto(m_txtContrasena);
    Controles::ocultarTexto(m_txtRepetir);
    m_cmdAceptar = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    m_cmdCancelar = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));

    auto *form = new QFormLayout;
    form->addRow(l1, m_txtNombreCompleto);
    form->addRow(l2, m_txtUsuario);
    form->addRow(l3, m_txtContrasena);
    form->addRow(l4, m_txtRepetir);
    Controles::disponerConLogo(this, intro, form, m_cmdAceptar, m_cmdCancelar);
    setMinimumWidth(480);

    connect(m_cmdAceptar, &QPushButton::clicked, this, &panPrimerUsuario::aceptar);
    connect(m_cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
}

void panPrimerUsuario::aceptar() {
    auto refuse = [this](const QString &msg, QLineEdit *focus) {
        Mensaje::error(msg, this);
        focus->setFocus();
    };
    if (m_txtNombreCompleto->text().trimmed().isEmpty())
        return refuse(QStringLiteral("Error, debe colocar el nombre completo!"), m_txtNombreCompleto);
    if (m_txtUsuario->text().trimmed().isEmpty())
        return refuse(QStringLiteral("Error, debe colocar un nombre de usuario!"), m_txtUsuario);
    if (m_txtContrasena->text().isEmpty())
        return refuse(QStringLiteral("Error, debe colocar una contraseña!"), m_txtContrasena);
    if (m_txtContrasena->text() != m_txtRepetir->text())
        return refuse(QStringLiteral("Error, las contraseñas no coinciden!"), m_txtRepetir);
    if (const Result r = Usuarios::crearPrimerSupervisor(
            m_txtNombreCompleto->text().trimmed(), m_txtUsuario->text().trimmed(), m_txtContrasena->text());
        !r)
        return refuse(QStringLiteral("Error, no se pudo crear el usuario: ") + r.message(), m_txtUsuario);
    accept();
}
