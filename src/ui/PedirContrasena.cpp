#include "ui/PedirContrasena.h"

#include "ui/Controles.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

PedirContrasena::PedirContrasena(const QString &address, bool wrong, QWidget *parent) : Ventana(parent) {
    setObjectName(QStringLiteral("PedirContrasena"));
    setWindowTitle(QStringLiteral("Contraseña del servidor"));

    lblMensaje = new QLabel(
        wrong
            ? QStringLiteral("El servidor no aceptó la contraseña para %1. Escríbala de nuevo.").arg(address)
            : QStringLiteral("El servidor pide una contraseña para abrir %1.").arg(address),
        this);
    lblMensaje->setObjectName(QStringLiteral("lblMensaje"));
    // The address is the user's text (a database name may hold anything).
    lblMensaje->setTextFormat(Qt::PlainText);
    lblMensaje->setWordWrap(true);

    lblContrasena =
        Controles::etiqueta(this, QStringLiteral("lblContrasena"), QStringLiteral("&Contraseña :"));
    txtContrasena = Controles::campo(this, QStringLiteral("txtContrasena"), 1024, lblContrasena);
    Controles::ocultarTexto(txtContrasena);
    Command1 = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));

    auto *grid = new QGridLayout;
    grid->addWidget(lblContrasena, 0, 0);
    grid->addWidget(txtContrasena, 0, 1);
    Controles::disponerConLogo(this, lblMensaje, grid, Command1, Command2);
    setMinimumWidth(420);
    setTabOrder(txtContrasena, Command1);
    setTabOrder(Command1, Command2);

    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<QString> PedirContrasena::pedir(const QString &address, bool wrong, QWidget *parent) {
    PedirContrasena w(address, wrong, parent ? parent : QApplication::activeWindow());
    if (w.exec() != QDialog::Accepted)
        return std::nullopt;
    return w.txtContrasena->text();
}
