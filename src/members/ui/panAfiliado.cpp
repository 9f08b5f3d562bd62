#include "members/ui/panAfiliado.h"

#include "core/Clock.h"
#include "mail/HistorialAvisos.h"
#include "members/Categorias.h"
#include "members/Planes.h"
#include "ui/Controles.h"
#include "ui/DatePicker.h"
#include "ui/ListaBreve.h"
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
        m_txtCampo[i] =
            Controles::campo(this, QStringLiteral("txtCampo_%1").arg(i), kCajas[i].largo, etiquetas[i]);
        // The box's own Tag: the title of a required box.
        m_txtCampo[i]->setProperty("Tag", Afiliados::titulo(i));
    }
    // The document's kind and number share one label.
    m_txtCampo[2]->setAccessibleName(QStringLiteral("Tipo de documento"));
    m_txtCampo[3]->setAccessibleName(QStringLiteral("Número de documento"));
    m_txtCampo[2]->setMaximumWidth(70);

    auto *lblCategoria = Controles::etiqueta(this, QString(), QStringLiteral("Categoría :"));
    auto *lblFecNac = Controles::etiqueta(this, QString(), QStringLiteral("Fecha de Nacim. :"));
    auto *lblFecAf = Controles::etiqueta(this, QString(), QStringLiteral("Fecha de Afiliación :"));
    auto *lblPlan = Controles::etiqueta(this, QString(), QStringLiteral("Plan de Cuota :"));

    // Loading: the pickers' starting dates and the two lists, read afresh at each opening.
    m_cboCategoria = Controles::comboEditable(this, QStringLiteral("cboCategoria"), Categorias::nombres());
    m_cbPlan = Controles::comboEditable(this, QStringLiteral("cbPlan"), Planes::nombres());
    m_dtFecNac = new DatePicker(this);
    m_dtFecNac->setObjectName(QStringLiteral("dtFecNac"));
    m_dtFecNac->setDate(QDate(2002, 3, 24));
    m_dtFecAf = new DatePicker(this);
    m_dtFecAf->setObjectName(QStringLiteral("dtFecAf"));
    m_dtFecAf->setDate(Clock::today());
    Controles::asociar(lblCategoria, m_cboCategoria);
    Controles::asociar(lblFecNac, m_dtFecNac);
    Controles::asociar(lblFecAf, m_dtFecAf);
    Controles::asociar(lblPlan, m_cbPlan);

    m_cmdAceptar = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    m_cmdCancelar = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));
    m_cmdAceptar->setDefault(true);
    connect(m_cmdAceptar, &QPushButton::clicked, this, &panAfiliado::aceptar);
    connect(m_cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
    m_cmdAvisos =
        Controles::boton(this, QStringLiteral("cmdAvisosEnviados"), QStringLiteral("A&visos enviados..."));
    m_cmdAvisos->setAutoDefault(false);
    m_cmdAvisos->setEnabled(false);
    connect(m_cmdAvisos, &QPushButton::clicked, this, &panAfiliado::avisosEnviados);

    // Screen order, top to bottom, is the tab order.
    auto *form = new QGridLayout;
    int fila = 0;
    auto agregar = [&](QLabel *etiqueta, QWidget *control) {
        form->addWidget(etiqueta, fila, 0);
        form->addWidget(control, fila, 1);
        ++fila;
    };
    agregar(etiquetas[0], m_txtCampo[0]);
    agregar(etiquetas[1], m_txtCampo[1]);
    auto *documento = new QHBoxLayout;
    documento->addWidget(m_txtCampo[2]);
    documento->addWidget(m_txtCampo[3], 1);
    form->addWidget(etiquetas[2], fila, 0);
    form->addLayout(documento, fila, 1);
    ++fila;
    for (int i = 4; i <= 10; ++i)
        agregar(etiquetas[i], m_txtCampo[i]);
    agregar(lblCategoria, m_cboCategoria);
    agregar(etiquetas[11], m_txtCampo[11]);
    agregar(lblFecNac, m_dtFecNac);
    agregar(lblFecAf, m_dtFecAf);
    agregar(lblPlan, m_cbPlan);
    form->setColumnStretch(1, 1);
    m_dtFecNac->setMaximumWidth(160);
    m_dtFecAf->setMaximumWidth(160);

    QWidget *orden[] = {m_txtCampo[0],  m_txtCampo[1],  m_txtCampo[2],  m_txtCampo[3], m_txtCampo[4],
                        m_txtCampo[5],  m_txtCampo[6],  m_txtCampo[7],  m_txtCampo[8], m_txtCampo[9],
                        m_txtCampo[10], m_cboCategoria, m_txtCampo[11], m_dtFecNac,    m_dtFecAf,
                        m_cbPlan,       m_cmdAceptar,   m_cmdCancelar,  m_cmdAvisos};
    for (size_t i = 0; i + 1 < std::size(orden); ++i)
        setTabOrder(orden[i], orden[i + 1]);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdAvisos);
    buttons->addStretch();
    buttons->addWidget(m_cmdAceptar);
    buttons->addWidget(m_cmdCancelar);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new PanelEncabezado(QStringLiteral("Clientes"), 0, this));
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);
    m_txtCampo[0]->setFocus();
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
    m_cmdAvisos->setEnabled(tagEsNumerico());
    if (!tagEsNumerico())
        return;
    const auto a = Afiliados::buscar(Tag.trimmed().toLongLong());
    if (!a)
        return;
    for (int i = 0; i < Afiliado::NumCampos; ++i) {
        // A value stored longer than the box allows (by another tool) is shown whole, so saving keeps it.
        if (a->campos[i].size() > m_txtCampo[i]->maxLength())
            m_txtCampo[i]->setMaxLength(int(a->campos[i].size()));
        m_txtCampo[i]->setText(a->campos[i]);
    }
    // A date never stored leaves the picker at its starting date.
    if (a->fechaNacimiento.isValid())
        m_dtFecNac->setDate(a->fechaNacimiento);
    if (a->fechaAfiliacion.isValid())
        m_dtFecAf->setDate(a->fechaAfiliacion);
    const QString sinPlan = QStringLiteral("Error, seguramente asignación de planes inexistentes!");
    const QVariant plan = Planes::descripcionDe(a->idPlan);
    if (plan.isNull()) {
        Mensaje::error(sinPlan, this);
        return;
    }
    m_cbPlan->setCurrentText(plan.toString());
    if (a->idCategoria.isNull())
        return;
    const QVariant categoria = Categorias::descripcionDe(a->idCategoria);
    if (categoria.isNull()) {
        Mensaje::error(sinPlan, this);
        return;
    }
    m_cboCategoria->setCurrentText(categoria.toString());
}

void panAfiliado::aceptar() {
    std::array<QString, Afiliado::NumCampos> campos;
    for (int i = 0; i < Afiliado::NumCampos; ++i)
        campos[i] = m_txtCampo[i]->text();
    const Afiliados::Verificacion v =
        Afiliados::verificar(campos, m_cbPlan->currentText(), m_cboCategoria->currentText());
    if (!v.ok()) {
        Mensaje::error(v.mensaje, this);
        if (v.campo >= 0 && v.campo < Afiliado::NumCampos)
            m_txtCampo[v.campo]->setFocus();
        else if (v.campo == Afiliados::PlanCampo)
            m_cbPlan->setFocus();
        else if (v.campo == Afiliados::CategoriaCampo)
            m_cboCategoria->setFocus();
        return;
    }
    Afiliado a;
    if (tagEsNumerico())
        a.idAfiliado = Tag.trimmed().toLongLong();
    a.campos = campos;
    a.fechaNacimiento = m_dtFecNac->date();
    a.fechaAfiliacion = m_dtFecAf->date();
    a.idPlan = v.idPlan;
    a.idCategoria = v.idCategoria;
    if (const Result r = Afiliados::guardar(a); !r) {
        Mensaje::error(QStringLiteral("Error Detectado: ") + r.message(), this);
        return;
    }
    accept();
}

void panAfiliado::avisosEnviados() {
    const HistorialAvisos::Fuente f = HistorialAvisos::delSocio(Tag.trimmed().toLongLong());
    ListaBreve::abrir(QStringLiteral("panAvisosEnviados"), HistorialAvisos::titulo(),
                      HistorialAvisos::columnas(), HistorialAvisos::sinAvisos(), f.sql, f.params, this);
}
