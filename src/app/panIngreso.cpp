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

    Label1 = Controles::etiqueta(this, QStringLiteral("Label1"), QStringLiteral("Usuario :"));
    Text1 = Controles::campo(this, QStringLiteral("Text1"), 15, Label1);
    Label2 = Controles::etiqueta(this, QStringLiteral("Label2"), QStringLiteral("Contraseña :"));
    Text2 = Controles::campo(this, QStringLiteral("Text2"), 15, Label2);
    Controles::ocultarTexto(Text2);
    Command1 = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));

    auto *grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Text1, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(Text2, 1, 1);
    Controles::disponerConLogo(this, Image2, grid, Command1, Command2);
    setMinimumWidth(400);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Command1);
    setTabOrder(Command1, Command2);

    connect(Command1, &QPushButton::clicked, this, &panIngreso::aceptar);
    // Cancelling is a refusal: the window closes with its Tag still "NO" and the program ends.
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
}

void panIngreso::aceptar() {
    // The name is trimmed as the users window stores it; both texts are compared by the logic class.
    const Usuarios::Ingreso ingreso = Usuarios::ingresar(Text1->text(), Text2->text());
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
    Tag = QStringLiteral("SI");
    hide();
    done(QDialog::Accepted);
}
