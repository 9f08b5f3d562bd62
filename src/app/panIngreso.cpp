#include "app/panIngreso.h"

#include "admin/Usuarios.h"
#include "ui/Controles.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

panIngreso::panIngreso(QWidget *parent) : Ventana(parent) {
    setObjectName(QStringLiteral("panIngreso"));
    setWindowTitle(QStringLiteral("Ingreso al sistema"));
    Tag = QStringLiteral("NO");

    auto *Image2 = new QLabel(QStringLiteral("Ingrese su usuario y su contraseña"), this);
    Image2->setObjectName(QStringLiteral("Image2"));
    QFont f = Image2->font();
    f.setBold(true);
    Image2->setFont(f);

    m_lblUsuario = Controles::etiqueta(this, QStringLiteral("Label1"), QStringLiteral("Usuario :"));
    m_txtUsuario = Controles::campo(this, QStringLiteral("Text1"), 15, m_lblUsuario);
    m_lblContrasena = Controles::etiqueta(this, QStringLiteral("Label2"), QStringLiteral("Contraseña :"));
    m_txtContrasena = Controles::campo(this, QStringLiteral("Text2"), 15, m_lblContrasena);
    Controles::ocultarTexto(m_txtContrasena);
    m_cmdAceptar = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    m_cmdCancelar = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));

    auto *grid = new QGridLayout;
    grid->addWidget(m_lblUsuario, 0, 0);
    grid->addWidget(m_txtUsuario, 0, 1);
    grid->addWidget(m_lblContrasena, 1, 0);
    grid->addWidget(m_txtContrasena, 1, 1);
    Controles::disponerConLogo(this, Image2, grid, m_cmdAceptar, m_cmdCancelar);
    setMinimumWidth(400);
    setTabOrder(m_txtUsuario, m_txtContrasena);
    setTabOrder(m_txtContrasena, m_cmdAceptar);
    setTabOrder(m_cmdAceptar, m_cmdCancelar);

    connect(m_cmdAceptar, &QPushButton::clicked, this, &panIngreso::aceptar);
    // Cancelling is a refusal: the window closes with its Tag still "NO" and the program ends.
    connect(m_cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
}

void panIngreso::aceptar() {
    // The name is trimmed as the users window stores it; both texts are compared by the logic class.
    const Usuarios::Ingreso ingreso = Usuarios::ingresar(m_txtUsuario->text(), m_txtContrasena->text());
    if (ingreso.nivel == 0) {
        Mensaje::error(QStringLiteral("Error, usuario inexistente!"), this);
        ++m_intentos;
        if (m_intentos > 4) {
            m_terminado = true;
            reject();
        }
        return;
    }
    Module1::NivelUsuario = qint16(ingreso.nivel);
    Module1::IdUsuario = ingreso.idUsuario;
    Module1::NombreUsuario = ingreso.nombreUsuario;
    Tag = QStringLiteral("SI");
    hide();
    done(QDialog::Accepted);
}
