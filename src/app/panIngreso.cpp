#include "app/panIngreso.h"

#include "app/Module1.h"
#include "data/Database.h"
#include "data/Log.h"
#include "ui/Controles.h"
#include "ui/Mensaje.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>

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
    Text2->setEchoMode(QLineEdit::Password);
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

int panIngreso::nivelDe(const QString &usuario, const QString &contrasena) {
    // Both texts travel as bound values and are compared without regard to case, as the users expect.
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT "EsSupervisor", "EsAdministrativo" FROM "Usuarios"
                                WHERE "NombreUsuario" = ? COLLATE es AND "Contrasena" = ? COLLATE es
                                ORDER BY "idUsuario")"));
    q.addBindValue(usuario);
    q.addBindValue(contrasena);
    if (!q.exec()) {
        Log::error(QStringLiteral("Ingreso"), q.lastError().text());
        return 0;
    }
    if (!q.next())
        return 0;
    if (q.value(0).toLongLong() != 0)
        return 1;
    if (q.value(1).toLongLong() != 0)
        return 2;
    return 3;
}

void panIngreso::aceptar() {
    const int nivel = nivelDe(Text1->text(), Text2->text());
    if (nivel == 0) {
        Mensaje::error(QStringLiteral("Error, usuario inexistente!"), this);
        ++m_intentos;
        if (m_intentos > 4) {
            m_terminado = true;
            reject();
        }
        return;
    }
    Module1::NivelUsuario = qint16(nivel);
    Tag = QStringLiteral("SI");
    hide();
    done(QDialog::Accepted);
}
