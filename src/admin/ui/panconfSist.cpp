#include "admin/ui/panconfSist.h"

#include "admin/Sistema.h"

#include "core/Configuracion.h"
#include "ui/Controles.h"
#include "ui/Mensaje.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
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
    m_txNombreEmpresa = campo(gEmpresa, fEmpresa, QStringLiteral("txNombreEmpresa"),
                              QStringLiteral("Nombre de la empresa :"));
    m_txClaveTributaria = campo(gEmpresa, fEmpresa, QStringLiteral("txClaveTributaria"),
                                QStringLiteral("Clave Tributaria (CUIT /RUT / RUC ) :"));
    auto *lEmpresa = new QVBoxLayout(gEmpresa);
    lEmpresa->addWidget(explicacion(
        gEmpresa,
        QStringLiteral(
            "Provea la información necesaria para poder configurar los informes y comprobantes :")));
    lEmpresa->addLayout(fEmpresa);

    auto *gSmtp = new QGroupBox(QStringLiteral("Configuración SMTP"), this);
    auto *fSmtp = new QFormLayout;
    m_txEmail = campo(gSmtp, fSmtp, QStringLiteral("txEmail"), QStringLiteral("Su e-mail :"));
    m_txServerFTP = campo(gSmtp, fSmtp, QStringLiteral("txServerFTP"), QStringLiteral("Servidor SMTP :"));
    m_txServerFTP->setPlaceholderText(QStringLiteral("servidor, servidor:587 o smtps://servidor"));
    m_chkAutenticacion = new QCheckBox(QStringLiteral("Requiere Autenticación ?"), gSmtp);
    m_chkAutenticacion->setObjectName(QStringLiteral("Check1"));
    fSmtp->addRow(QString(), m_chkAutenticacion);
    m_txUserSMTP = campo(gSmtp, fSmtp, QStringLiteral("txUserSMTP"), QStringLiteral("Nombre Usuario :"));
    m_txPassSMTP = campo(gSmtp, fSmtp, QStringLiteral("txPassSMTP"), QStringLiteral("Contraseña :"));
    Controles::ocultarTexto(m_txPassSMTP);
    // The reminder run's pause between two reminders of one due (0: every run, as always).
    m_spnDiasEntreAvisos = new QSpinBox(gSmtp);
    m_spnDiasEntreAvisos->setObjectName(QStringLiteral("txDiasEntreAvisos"));
    m_spnDiasEntreAvisos->setRange(0, 365);
    auto *antes = new QLabel(QStringLiteral("no volver a avisar la misma cuota antes de"), gSmtp);
    antes->setBuddy(m_spnDiasEntreAvisos);
    auto *filaDias = new QHBoxLayout;
    filaDias->addWidget(antes);
    filaDias->addWidget(m_spnDiasEntreAvisos);
    filaDias->addWidget(new QLabel(QStringLiteral("días"), gSmtp));
    filaDias->addStretch();
    fSmtp->addRow(filaDias);
    auto *lSmtp = new QVBoxLayout(gSmtp);
    lSmtp->addWidget(
        explicacion(gSmtp, QStringLiteral("Provea la información necesaria para poder configurar "
                                          "adecuadamente los envíos de e-mail :")));
    lSmtp->addLayout(fSmtp);

    m_cmdAceptar = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    m_cmdCancelar = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));
    m_cmdAceptar->setDefault(true);
    auto *botones = new QDialogButtonBox(this);
    botones->addButton(m_cmdAceptar, QDialogButtonBox::AcceptRole);
    botones->addButton(m_cmdCancelar, QDialogButtonBox::RejectRole);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(gEmpresa);
    layout->addWidget(gSmtp);
    layout->addStretch();
    layout->addWidget(botones);
    setMinimumWidth(520);

    connect(m_cmdAceptar, &QPushButton::clicked, this, &panconfSist::aceptar);
    connect(m_cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
    cargar();
}

void panconfSist::cargar() {
    const Configuracion::Ajustes a = Configuracion::leerTodo();
    mostrar(m_txNombreEmpresa, a.nombreEmpresa);
    mostrar(m_txClaveTributaria, a.cuitEmpresa);
    mostrar(m_txEmail, a.email);
    mostrar(m_txServerFTP, a.serverSMTP);
    // Only "SI" exactly, as this window writes it.
    m_chkAutenticacion->setChecked(a.autentica == QLatin1String("SI"));
    mostrar(m_txUserSMTP, a.nombreUsuarioAUT);
    mostrar(m_txPassSMTP, a.contrasenaAUT);
    m_spnDiasEntreAvisos->setValue(a.dias());
}

void panconfSist::aceptar() {
    Configuracion::Ajustes a;
    a.nombreEmpresa = m_txNombreEmpresa->text();
    a.cuitEmpresa = m_txClaveTributaria->text();
    a.email = m_txEmail->text();
    a.serverSMTP = m_txServerFTP->text();
    a.autentica = m_chkAutenticacion->isChecked() ? QStringLiteral("SI") : QStringLiteral("NO");
    a.nombreUsuarioAUT = m_txUserSMTP->text();
    a.contrasenaAUT = m_txPassSMTP->text();
    a.diasEntreAvisos = QString::number(m_spnDiasEntreAvisos->value());
    if (const Result r = Sistema::guardar(a); !r) {
        // Nothing typed is lost: the window stays open.
        Mensaje::error(r.message(), this);
        return;
    }
    accept();
}
