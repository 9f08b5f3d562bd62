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

    m_lblMensaje = new QLabel(
        wrong
            ? QStringLiteral("El servidor no aceptó la contraseña para %1. Escríbala de nuevo.").arg(address)
            : QStringLiteral("El servidor pide una contraseña para abrir %1.").arg(address),
        this);
    m_lblMensaje->setObjectName(QStringLiteral("lblMensaje"));
    // The address is the user's text (a database name may hold anything).
    m_lblMensaje->setTextFormat(Qt::PlainText);
    m_lblMensaje->setWordWrap(true);

    m_lblContrasena =
        Controles::etiqueta(this, QStringLiteral("lblContrasena"), QStringLiteral("&Contraseña :"));
    m_txtContrasena = Controles::campo(this, QStringLiteral("txtContrasena"), 1024, m_lblContrasena);
    Controles::ocultarTexto(m_txtContrasena);
    m_cmdAceptar = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    m_cmdCancelar = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));

    auto *grid = new QGridLayout;
    grid->addWidget(m_lblContrasena, 0, 0);
    grid->addWidget(m_txtContrasena, 0, 1);
    Controles::disponerConLogo(this, m_lblMensaje, grid, m_cmdAceptar, m_cmdCancelar);
    setMinimumWidth(420);
    setTabOrder(m_txtContrasena, m_cmdAceptar);
    setTabOrder(m_cmdAceptar, m_cmdCancelar);

    connect(m_cmdAceptar, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<QString> PedirContrasena::pedir(const QString &address, bool wrong, QWidget *parent) {
    PedirContrasena w(address, wrong, parent ? parent : QApplication::activeWindow());
    if (w.exec() != QDialog::Accepted)
        return std::nullopt;
    return w.m_txtContrasena->text();
}
