#include "members/ui/panPlan.h"

#include "members/Planes.h"
#include "ui/Controles.h"
#include "ui/Mensaje.h"
#include "ui/PanelEncabezado.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QString kNoLocalizado = QStringLiteral("Error, el plan no se puede localizar !");
}

panPlan::panPlan(QWidget *parent) : Ventana(parent) {
    setObjectName(QStringLiteral("panPlan"));
    setWindowTitle(QStringLiteral("Planes de Cuotas"));

    auto *lblNombre = Controles::etiqueta(this, QString(), QStringLiteral("Nombre/Descripción :"));
    auto *lblDetalles = Controles::etiqueta(this, QString(), QStringLiteral("Detalles del plan :"));
    auto *lblInscripcion = Controles::etiqueta(this, QString(), QStringLiteral("Inscripción :"));
    auto *lblCuota = Controles::etiqueta(this, QString(), QStringLiteral("Cuota Mensual :"));
    auto *lblCant = Controles::etiqueta(this, QString(), QStringLiteral("Cantidad de cuotas :"));

    m_txtNombre = Controles::campo(this, QStringLiteral("txtNombre"), 50, lblNombre);
    m_txtDetalles = new QPlainTextEdit(this);
    m_txtDetalles->setObjectName(QStringLiteral("txtDetalles"));
    m_txtDetalles->setTabChangesFocus(true);
    m_txtDetalles->setFixedHeight(m_txtDetalles->fontMetrics().lineSpacing() * 4 + 12);
    Controles::asociar(lblDetalles, m_txtDetalles);
    // A multi-line box has no length limit of its own: cut what goes beyond the field's size.
    connect(m_txtDetalles, &QPlainTextEdit::textChanged, this, [this] {
        const QString t = m_txtDetalles->toPlainText();
        if (t.size() > m_largoDetalles) {
            QSignalBlocker block(m_txtDetalles);
            m_txtDetalles->setPlainText(t.left(m_largoDetalles));
            m_txtDetalles->moveCursor(QTextCursor::End);
        }
    });
    m_txtInscripcion = Controles::campo(this, QStringLiteral("txtInscripcion"), 20, lblInscripcion);
    m_txtCuota = Controles::campo(this, QStringLiteral("txtCuota"), 20, lblCuota);
    m_txCantCuotas = Controles::campo(this, QStringLiteral("txCantCuotas"), 20, lblCant);
    for (QLineEdit *e : {m_txtInscripcion, m_txtCuota, m_txCantCuotas}) {
        e->setAlignment(Qt::AlignRight);
        e->setMaximumWidth(160);
    }
    m_txCantCuotas->setToolTip(QStringLiteral("Las flechas arriba y abajo suman o restan una cuota"));
    m_txCantCuotas->installEventFilter(this);

    m_updCantCuotas = new QWidget(this);
    m_updCantCuotas->setObjectName(QStringLiteral("UpDown1"));
    m_cmdCuotaMas = new QToolButton(m_updCantCuotas);
    m_cmdCuotaMas->setObjectName(QStringLiteral("UpDown1_arriba"));
    m_cmdCuotaMas->setArrowType(Qt::UpArrow);
    m_cmdCuotaMas->setAccessibleName(QStringLiteral("Una cuota más"));
    m_cmdCuotaMenos = new QToolButton(m_updCantCuotas);
    m_cmdCuotaMenos->setObjectName(QStringLiteral("UpDown1_abajo"));
    m_cmdCuotaMenos->setArrowType(Qt::DownArrow);
    m_cmdCuotaMenos->setAccessibleName(QStringLiteral("Una cuota menos"));
    auto *arrows = new QVBoxLayout(m_updCantCuotas);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    for (QToolButton *b : {m_cmdCuotaMas, m_cmdCuotaMenos}) {
        b->setFocusPolicy(Qt::NoFocus); // the keyboard uses the arrow keys in the box
        b->setFixedSize(22, 13);
        b->setAutoRepeat(true);
        arrows->addWidget(b);
    }
    connect(m_cmdCuotaMas, &QToolButton::clicked, this, [this] { flecha(1); });
    connect(m_cmdCuotaMenos, &QToolButton::clicked, this, [this] { flecha(-1); });

    m_cmdAceptar = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    m_cmdCancelar = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));
    m_cmdAceptar->setDefault(true);
    connect(m_cmdAceptar, &QPushButton::clicked, this, &panPlan::aceptar);
    connect(m_cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);

    auto *form = new QGridLayout;
    form->addWidget(lblNombre, 0, 0);
    form->addWidget(m_txtNombre, 0, 1, 1, 2);
    form->addWidget(lblDetalles, 1, 0, Qt::AlignTop);
    form->addWidget(m_txtDetalles, 1, 1, 1, 2);
    form->addWidget(lblInscripcion, 2, 0);
    form->addWidget(m_txtInscripcion, 2, 1);
    form->addWidget(lblCuota, 3, 0);
    form->addWidget(m_txtCuota, 3, 1);
    form->addWidget(lblCant, 4, 0);
    auto *cant = new QHBoxLayout;
    cant->setSpacing(2);
    cant->addWidget(m_txCantCuotas);
    cant->addWidget(m_updCantCuotas);
    form->addLayout(cant, 4, 1);
    form->setColumnStretch(2, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdAceptar);
    buttons->addWidget(m_cmdCancelar);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new PanelEncabezado(QStringLiteral("Plan de Cuotas"), 2, this));
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);

    setTabOrder(m_txtNombre, m_txtDetalles);
    setTabOrder(m_txtDetalles, m_txtInscripcion);
    setTabOrder(m_txtInscripcion, m_txtCuota);
    setTabOrder(m_txtCuota, m_txCantCuotas);
    setTabOrder(m_txCantCuotas, m_cmdAceptar);
    setTabOrder(m_cmdAceptar, m_cmdCancelar);
    m_txtNombre->setFocus();
    resize(480, sizeHint().height());
}

void panPlan::showEvent(QShowEvent *e) {
    Ventana::showEvent(e);
    if (m_cargado)
        return;
    m_cargado = true;
    if (tagEsNumerico() && !cargar())
        QTimer::singleShot(0, this, &QDialog::reject);
}

bool panPlan::cargar() {
    const auto plan = Planes::entradaDe(Tag.trimmed().toLongLong());
    if (!plan) {
        Mensaje::error(kNoLocalizado, this);
        return false;
    }
    // What another tool stored beyond the boxes' limits is shown whole, so that an unchanged save keeps it.
    const std::pair<QLineEdit *, QString> cajas[] = {{m_txtNombre, plan->nombre},
                                                     {m_txtCuota, plan->cuota},
                                                     {m_txtInscripcion, plan->inscripcion},
                                                     {m_txCantCuotas, plan->cantidad}};
    for (const auto &[caja, texto] : cajas) {
        caja->setMaxLength(qMax(caja->maxLength(), int(texto.size())));
        caja->setText(texto);
    }
    m_largoDetalles = qMax(LargoDetalles, int(plan->detalles.size()));
    m_txtDetalles->setPlainText(plan->detalles);
    return true;
}

void panPlan::flecha(int paso) {
    m_txCantCuotas->setText(Planes::pasoCantidad(m_txCantCuotas->text(), paso));
}

bool panPlan::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_txCantCuotas && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            flecha(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return Ventana::eventFilter(watched, event);
}

void panPlan::aceptar() {
    const Planes::Entrada entrada{m_txtNombre->text(), m_txtDetalles->toPlainText(), m_txtCuota->text(),
                                  m_txtInscripcion->text(), m_txCantCuotas->text()};
    const Planes::Verificacion v = Planes::verificar(entrada);
    if (!v.ok()) {
        Mensaje::error(v.mensaje, this);
        switch (v.campo) {
        case Planes::Campo::Nombre:
            m_txtNombre->setFocus();
            break;
        case Planes::Campo::Cuota:
            m_txtCuota->setFocus();
            break;
        case Planes::Campo::Inscripcion:
            m_txtInscripcion->setFocus();
            break;
        case Planes::Campo::Cantidad:
            m_txCantCuotas->setFocus();
            break;
        case Planes::Campo::Ninguno:
            break;
        }
        return;
    }
    Plan plan = v.plan;
    if (tagEsNumerico())
        plan.idPlan = Tag.trimmed().toLongLong();
    const Result r = Planes::guardar(plan);
    switch (r.code()) {
    case Result::Code::Ok:
        accept();
        return;
    case Result::Code::NotFound:
        Mensaje::error(r.message(), this);
        reject();
        return;
    case Result::Code::Conflict: // the name exists
        Mensaje::error(r.message(), this);
        m_txtNombre->setFocus();
        return;
    default:
        Mensaje::error(QStringLiteral("Error, no se pudo guardar el plan: ") + r.message(), this);
        return;
    }
}
