#include "members/ui/panAfiliado.h"

#include "core/Clock.h"
#include "members/Categorias.h"
#include "members/Planes.h"
#include "ui/Controles.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/PanelEncabezado.h"

#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Box index -> on-screen label and maximum length.
struct Caja {
    const char *etiqueta;
    int largo;
};
const Caja kCajas[Afiliado::NumCampos] = {
    {"Apellido :", 50},
    {"Nombres :", 50},
    {"Tipo y Doc. :", 5},
    {"Tipo y Doc. :", 50},
    {"Domicilio :", 50},
    {"Nombre del padre :", 50},
    {"Nombre de la madre :", 50},
    {"Telefono Particular :", 50},
    {"Telefono Alternativo :", 50},
    {"Estudios Previos :", 50},
    {"e-mail :", 50},
    {"Escuela :", 50},
};

} // namespace

panAfiliado::panAfiliado(QWidget *parent) : Ventana(parent) {
    setObjectName(QStringLiteral("panAfiliado"));
    setWindowTitle(QStringLiteral("Clientes / Socios"));

    QLabel *etiquetas[Afiliado::NumCampos] = {};
    for (int i = 0; i < Afiliado::NumCampos; ++i) {
        if (i != 3)
            etiquetas[i] = Controles::etiqueta(this, QString(), QString::fromUtf8(kCajas[i].etiqueta));
        txtCampo[i] =
            Controles::campo(this, QStringLiteral("txtCampo_%1").arg(i), kCajas[i].largo, etiquetas[i]);
        // The box's own Tag: the title of a required box.
        txtCampo[i]->setProperty("Tag", Afiliados::titulo(i));
    }
    // The document's kind and number share one label.
    txtCampo[2]->setAccessibleName(QStringLiteral("Tipo de documento"));
    txtCampo[3]->setAccessibleName(QStringLiteral("Número de documento"));
    txtCampo[2]->setMaximumWidth(70);

    auto *lblCategoria = Controles::etiqueta(this, QString(), QStringLiteral("Categoría :"));
    auto *lblFecNac = Controles::etiqueta(this, QString(), QStringLiteral("Fecha de Nacim. :"));
    auto *lblFecAf = Controles::etiqueta(this, QString(), QStringLiteral("Fecha de Afiliación :"));
    auto *lblPlan = Controles::etiqueta(this, QString(), QStringLiteral("Plan de Cuota :"));

    // Loading: the pickers' starting dates and the two lists, read afresh at each opening.
    cboCategoria = Controles::comboEditable(this, QStringLiteral("cboCategoria"), Categorias::nombres());
    cbPlan = Controles::comboEditable(this, QStringLiteral("cbPlan"), Planes::nombres());
    dtFecNac = new DatePicker(this);
    dtFecNac->setObjectName(QStringLiteral("dtFecNac"));
    dtFecNac->setDate(QDate(2002, 3, 24));
    dtFecAf = new DatePicker(this);
    dtFecAf->setObjectName(QStringLiteral("dtFecAf"));
    dtFecAf->setDate(Clock::today());
    Controles::asociar(lblCategoria, cboCategoria);
    Controles::asociar(lblFecNac, dtFecNac);
    Controles::asociar(lblFecAf, dtFecAf);
    Controles::asociar(lblPlan, cbPlan);

    Command1 = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &panAfiliado::aceptar);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);

    // Screen order, top to bottom, is the tab order.
    auto *form = new QGridLayout;
    int fila = 0;
    auto agregar = [&](QLabel *etiqueta, QWidget *control) {
        form->addWidget(etiqueta, fila, 0);
        form->addWidget(control, fila, 1);
        ++fila;
    };
    agregar(etiquetas[0], txtCampo[0]);
    agregar(etiquetas[1], txtCampo[1]);
    auto *documento = new QHBoxLayout;
    documento->addWidget(txtCampo[2]);
    documento->addWidget(txtCampo[3], 1);
    form->addWidget(etiquetas[2], fila, 0);
    form->addLayout(documento, fila, 1);
    ++fila;
    for (int i = 4; i <= 10; ++i)
        agregar(etiquetas[i], txtCampo[i]);
    agregar(lblCategoria, cboCategoria);
    agregar(etiquetas[11], txtCampo[11]);
    agregar(lblFecNac, dtFecNac);
    agregar(lblFecAf, dtFecAf);
    agregar(lblPlan, cbPlan);
    form->setColumnStretch(1, 1);
    dtFecNac->setMaximumWidth(160);
    dtFecAf->setMaximumWidth(160);

    QWidget *orden[] = {txtCampo[0],  txtCampo[1], txtCampo[2], txtCampo[3], txtCampo[4],  txtCampo[5],
                        txtCampo[6],  txtCampo[7], txtCampo[8], txtCampo[9], txtCampo[10], cboCategoria,
                        txtCampo[11], dtFecNac,    dtFecAf,     cbPlan,      Command1,     Command2};
    for (size_t i = 0; i + 1 < std::size(orden); ++i)
        setTabOrder(orden[i], orden[i + 1]);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new PanelEncabezado(QStringLiteral("Clientes"), 0, this));
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);
    txtCampo[0]->setFocus();
    resize(560, sizeHint().height());
}

void panAfiliado::showEvent(QShowEvent *e) {
    Ventana::showEvent(e);
    if (!m_llenado) {
        m_llenado = true;
        llenar();
    }
}

void panAfiliado::llenar() {
    if (!tagEsNumerico())
        return;
    const auto a = Afiliados::buscar(Tag.trimmed().toLongLong());
    if (!a)
        return;
    for (int i = 0; i < Afiliado::NumCampos; ++i) {
        // A value stored longer than the box allows (by another tool) is shown whole, so saving keeps it.
        if (a->campos[i].size() > txtCampo[i]->maxLength())
            txtCampo[i]->setMaxLength(int(a->campos[i].size()));
        txtCampo[i]->setText(a->campos[i]);
    }
    // A date never stored leaves the picker at its starting date.
    if (a->fechaNacimiento.isValid())
        dtFecNac->setDate(a->fechaNacimiento);
    if (a->fechaAfiliacion.isValid())
        dtFecAf->setDate(a->fechaAfiliacion);
    const QString sinPlan = QStringLiteral("Error, seguramente asignación de planes inexistentes!");
    const QVariant plan = Planes::descripcionDe(a->idPlan);
    if (plan.isNull()) {
        Mensaje::error(sinPlan, this);
        return;
    }
    cbPlan->setCurrentText(plan.toString());
    if (a->idCategoria.isNull())
        return;
    const QVariant categoria = Categorias::descripcionDe(a->idCategoria);
    if (categoria.isNull()) {
        Mensaje::error(sinPlan, this);
        return;
    }
    cboCategoria->setCurrentText(categoria.toString());
}

void panAfiliado::aceptar() {
    std::array<QString, Afiliado::NumCampos> campos;
    for (int i = 0; i < Afiliado::NumCampos; ++i)
        campos[i] = txtCampo[i]->text();
    const Afiliados::Verificacion v =
        Afiliados::verificar(campos, cbPlan->currentText(), cboCategoria->currentText());
    if (!v.ok()) {
        Mensaje::error(v.mensaje, this);
        if (v.campo >= 0 && v.campo < Afiliado::NumCampos)
            txtCampo[v.campo]->setFocus();
        else if (v.campo == Afiliados::PlanCampo)
            cbPlan->setFocus();
        else if (v.campo == Afiliados::CategoriaCampo)
            cboCategoria->setFocus();
        return;
    }
    Afiliado a;
    if (tagEsNumerico())
        a.idAfiliado = Tag.trimmed().toLongLong();
    a.campos = campos;
    a.fechaNacimiento = dtFecNac->date();
    a.fechaAfiliacion = dtFecAf->date();
    a.idPlan = v.idPlan;
    a.idCategoria = v.idCategoria;
    if (const Result r = Afiliados::guardar(a); !r) {
        Mensaje::error(QStringLiteral("Error Detectado: ") + r.message(), this);
        return;
    }
    accept();
}
