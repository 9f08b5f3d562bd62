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
    txtNombreCompleto = Controles::campo(this, QStringLiteral("txtNombreCompleto"), 50, l1);
    auto *l2 = Controles::etiqueta(this, QString(), QStringLiteral("&Usuario :"));
    txtUsuario = Controles::campo(this, QStringLiteral("txtUsuario"), 15, l2);
    auto *l3 = Controles::etiqueta(this, QString(), QStringLiteral("C&ontraseña :"));
    txtContrasena = Controles::campo(this, QStringLiteral("txtContrasena"), 15, l3);
    auto *l4 = Controles::etiqueta(this, QString(), QStringLiteral("&Repita la contraseña :"));
    txtRepetir = Controles::campo(this, QStringLiteral("txtRepetir"), 15, l4);
    Controles::ocultarTexto(txtContrasena);
    Controles::ocultarTexto(txtRepetir);
    Command1 = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));

    auto *form = new QFormLayout;
    form->addRow(l1, txtNombreCompleto);
    form->addRow(l2, txtUsuario);
    form->addRow(l3, txtContrasena);
    form->addRow(l4, txtRepetir);
    Controles::disponerConLogo(this, intro, form, Command1, Command2);
    setMinimumWidth(480);

    connect(Command1, &QPushButton::clicked, this, &panPrimerUsuario::aceptar);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
}

void panPrimerUsuario::aceptar() {
    auto refuse = [this](const QString &msg, QLineEdit *focus) {
        Mensaje::error(msg, this);
        focus->setFocus();
    };
    if (txtNombreCompleto->text().trimmed().isEmpty())
        return refuse(QStringLiteral("Error, debe colocar el nombre completo!"), txtNombreCompleto);
    if (txtUsuario->text().trimmed().isEmpty())
        return refuse(QStringLiteral("Error, debe colocar un nombre de usuario!"), txtUsuario);
    if (txtContrasena->text().isEmpty())
        return refuse(QStringLiteral("Error, debe colocar una contraseña!"), txtContrasena);
    if (txtContrasena->text() != txtRepetir->text())
        return refuse(QStringLiteral("Error, las contraseñas no coinciden!"), txtRepetir);
    if (const Result r = Usuarios::crearPrimerSupervisor(txtNombreCompleto->text().trimmed(),
                                                         txtUsuario->text().trimmed(), txtContrasena->text());
        !r)
        return refuse(QStringLiteral("Error, no se pudo crear el usuario: ") + r.message(), txtUsuario);
    accept();
}
