#include "admin/ui/panconfSist.h"

#include "core/Configuracion.h"
#include "ui/Controles.h"
#include "ui/Mensaje.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLabel *explicacion(QWidget *padre, const QString &texto) {
    auto *l = new QLabel(texto, padre);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    return l;
}
// A value longer than the box (written by another tool) is shown whole, so an unchanged "Aceptar" does
// not cut it.
void mostrar(QLineEdit *e, const QString &valor) {
    if (valor.size() > e->maxLength())
        e->setMaxLength(int(valor.size()));
    e->setText(valor);
}
} // namespace

panconfSist::panconfSist(QWidget *parent) : Ventana(parent) {
    setObjectName(QStringLiteral("panconfSist"));
    setWindowTitle(QStringLiteral("Configurar el sistema"));

    auto campo = [this](QWidget *grupo, QFormLayout *form, const QString &nombre, const QString &rotulo) {
        auto *l = Controles::etiqueta(grupo, QString(), rotulo);
        QLineEdit *e = Controles::campo(grupo, nombre, 100, l);
        form->addRow(l, e);
        return e;
    };

    auto *gEmpresa = new QGroupBox(QStringLiteral("Datos de la empresa"), this);
    auto *fEmpresa = new QFormLayout;
    txNombreEmpresa = campo(gEmpresa, fEmpresa, QStringLiteral("txNombreEmpresa"),
                            QStringLiteral("Nombre de la empresa :"));
    txClaveTributaria = campo(gEmpresa, fEmpresa, QStringLiteral("txClaveTributaria"),
                              QStringLiteral("Clave Tributaria (CUIT /RUT / RUC ) :"));
    auto *lEmpresa = new QVBoxLayout(gEmpresa);
    lEmpresa->addWidget(explicacion(
        gEmpresa,
        QStringLiteral(
            "Provea la información necesaria para poder configurar los informes y comprobantes :")));
    lEmpresa->addLayout(fEmpresa);

    auto *gSmtp = new QGroupBox(QStringLiteral("Configuración SMTP"), this);
    auto *fSmtp = new QFormLayout;
    txEmail = campo(gSmtp, fSmtp, QStringLiteral("txEmail"), QStringLiteral("Su e-mail :"));
    txServerFTP = campo(gSmtp, fSmtp, QStringLiteral("txServerFTP"), QStringLiteral("Servidor SMTP :"));
    txServerFTP->setPlaceholderText(QStringLiteral("servidor, servidor:587 o smtps://servidor"));
    Check1 = new QCheckBox(QStringLiteral("Requiere Autenticación ?"), gSmtp);
    Check1->setObjectName(QStringLiteral("Check1"));
    fSmtp->addRow(QString(), Check1);
    txUserSMTP = campo(gSmtp, fSmtp, QStringLiteral("txUserSMTP"), QStringLiteral("Nombre Usuario :"));
    txPassSMTP = campo(gSmtp, fSmtp, QStringLiteral("txPassSMTP"), QStringLiteral("Contraseña :"));
    Controles::ocultarTexto(txPassSMTP);
    auto *lSmtp = new QVBoxLayout(gSmtp);
    lSmtp->addWidget(
        explicacion(gSmtp, QStringLiteral("Provea la información necesaria para poder configurar "
                                          "adecuadamente los envíos de e-mail :")));
    lSmtp->addLayout(fSmtp);

    Command1 = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));
    Command1->setDefault(true);
    auto *botones = new QDialogButtonBox(this);
    botones->addButton(Command1, QDialogButtonBox::AcceptRole);
    botones->addButton(Command2, QDialogButtonBox::RejectRole);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(gEmpresa);
    layout->addWidget(gSmtp);
    layout->addStretch();
    layout->addWidget(botones);
    setMinimumWidth(520);

    connect(Command1, &QPushButton::clicked, this, &panconfSist::aceptar);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    cargar();
}

void panconfSist::cargar() {
    const Configuracion::Ajustes a = Configuracion::leerTodo();
    mostrar(txNombreEmpresa, a.nombreEmpresa);
    mostrar(txClaveTributaria, a.cuitEmpresa);
    mostrar(txEmail, a.email);
    mostrar(txServerFTP, a.serverSMTP);
    // Only "SI" exactly, as this window writes it.
    Check1->setChecked(a.autentica == QLatin1String("SI"));
    mostrar(txUserSMTP, a.nombreUsuarioAUT);
    mostrar(txPassSMTP, a.contrasenaAUT);
}

void panconfSist::aceptar() {
    Configuracion::Ajustes a;
    a.nombreEmpresa = txNombreEmpresa->text();
    a.cuitEmpresa = txClaveTributaria->text();
    a.email = txEmail->text();
    a.serverSMTP = txServerFTP->text();
    a.autentica = Check1->isChecked() ? QStringLiteral("SI") : QStringLiteral("NO");
    a.nombreUsuarioAUT = txUserSMTP->text();
    a.contrasenaAUT = txPassSMTP->text();
    if (const Result r = Configuracion::guardarTodo(a); !r) {
        // Nothing typed is lost: the window stays open.
        Mensaje::error(r.message(), this);
        return;
    }
    accept();
}
