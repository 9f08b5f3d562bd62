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

    txtNombre = Controles::campo(this, QStringLiteral("txtNombre"), 50, lblNombre);
    txtDetalles = new QPlainTextEdit(this);
    txtDetalles->setObjectName(QStringLiteral("txtDetalles"));
    txtDetalles->setTabChangesFocus(true);
    txtDetalles->setFixedHeight(txtDetalles->fontMetrics().lineSpacing() * 4 + 12);
    Controles::asociar(lblDetalles, txtDetalles);
    // A multi-line box has no length limit of its own: cut what goes beyond the field's size.
    connect(txtDetalles, &QPlainTextEdit::textChanged, this, [this] {
        const QString t = txtDetalles->toPlainText();
        if (t.size() > m_largoDetalles) {
            QSignalBlocker block(txtDetalles);
            txtDetalles->setPlainText(t.left(m_largoDetalles));
            txtDetalles->moveCursor(QTextCursor::End);
        }
    });
    txtInscripcion = Controles::campo(this, QStringLiteral("txtInscripcion"), 20, lblInscripcion);
    txtCuota = Controles::campo(this, QStringLiteral("txtCuota"), 20, lblCuota);
    txCantCuotas = Controles::campo(this, QStringLiteral("txCantCuotas"), 20, lblCant);
    for (QLineEdit *e : {txtInscripcion, txtCuota, txCantCuotas}) {
        e->setAlignment(Qt::AlignRight);
        e->setMaximumWidth(160);
    }
    txCantCuotas->setToolTip(QStringLiteral("Las flechas arriba y abajo suman o restan una cuota"));
    txCantCuotas->installEventFilter(this);

    UpDown1 = new QWidget(this);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1Arriba = new QToolButton(UpDown1);
    UpDown1Arriba->setObjectName(QStringLiteral("UpDown1_arriba"));
    UpDown1Arriba->setArrowType(Qt::UpArrow);
    UpDown1Arriba->setAccessibleName(QStringLiteral("Una cuota más"));
    UpDown1Abajo = new QToolButton(UpDown1);
    UpDown1Abajo->setObjectName(QStringLiteral("UpDown1_abajo"));
    UpDown1Abajo->setArrowType(Qt::DownArrow);
    UpDown1Abajo->setAccessibleName(QStringLiteral("Una cuota menos"));
    auto *arrows = new QVBoxLayout(UpDown1);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    for (QToolButton *b : {UpDown1Arriba, UpDown1Abajo}) {
        b->setFocusPolicy(Qt::NoFocus); // the keyboard uses the arrow keys in the box
        b->setFixedSize(22, 13);
        b->setAutoRepeat(true);
        arrows->addWidget(b);
    }
    connect(UpDown1Arriba, &QToolButton::clicked, this, [this] { flecha(1); });
    connect(UpDown1Abajo, &QToolButton::clicked, this, [this] { flecha(-1); });

    Command1 = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &panPlan::aceptar);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);

    auto *form = new QGridLayout;
    form->addWidget(lblNombre, 0, 0);
    form->addWidget(txtNombre, 0, 1, 1, 2);
    form->addWidget(lblDetalles, 1, 0, Qt::AlignTop);
    form->addWidget(txtDetalles, 1, 1, 1, 2);
    form->addWidget(lblInscripcion, 2, 0);
    form->addWidget(txtInscripcion, 2, 1);
    form->addWidget(lblCuota, 3, 0);
    form->addWidget(txtCuota, 3, 1);
    form->addWidget(lblCant, 4, 0);
    auto *cant = new QHBoxLayout;
    cant->setSpacing(2);
    cant->addWidget(txCantCuotas);
    cant->addWidget(UpDown1);
    form->addLayout(cant, 4, 1);
    form->setColumnStretch(2, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new PanelEncabezado(QStringLiteral("Plan de Cuotas"), 2, this));
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);

    setTabOrder(txtNombre, txtDetalles);
    setTabOrder(txtDetalles, txtInscripcion);
    setTabOrder(txtInscripcion, txtCuota);
    setTabOrder(txtCuota, txCantCuotas);
    setTabOrder(txCantCuotas, Command1);
    setTabOrder(Command1, Command2);
    txtNombre->setFocus();
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
    const std::pair<QLineEdit *, QString> cajas[] = {{txtNombre, plan->nombre},
                                                     {txtCuota, plan->cuota},
                                                     {txtInscripcion, plan->inscripcion},
                                                     {txCantCuotas, plan->cantidad}};
    for (const auto &[caja, texto] : cajas) {
        caja->setMaxLength(qMax(caja->maxLength(), int(texto.size())));
        caja->setText(texto);
    }
    m_largoDetalles = qMax(LargoDetalles, int(plan->detalles.size()));
    txtDetalles->setPlainText(plan->detalles);
    return true;
}

void panPlan::flecha(int paso) {
    txCantCuotas->setText(Planes::pasoCantidad(txCantCuotas->text(), paso));
}

bool panPlan::eventFilter(QObject *watched, QEvent *event) {
    if (watched == txCantCuotas && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            flecha(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return Ventana::eventFilter(watched, event);
}

void panPlan::aceptar() {
    const Planes::Entrada entrada{txtNombre->text(), txtDetalles->toPlainText(), txtCuota->text(),
                                  txtInscripcion->text(), txCantCuotas->text()};
    const Planes::Verificacion v = Planes::verificar(entrada);
    if (!v.ok()) {
        Mensaje::error(v.mensaje, this);
        switch (v.campo) {
        case Planes::Campo::Nombre:
            txtNombre->setFocus();
            break;
        case Planes::Campo::Cuota:
            txtCuota->setFocus();
            break;
        case Planes::Campo::Inscripcion:
            txtInscripcion->setFocus();
            break;
        case Planes::Campo::Cantidad:
            txCantCuotas->setFocus();
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
        txtNombre->setFocus();
        return;
    default:
        Mensaje::error(QStringLiteral("Error, no se pudo guardar el plan: ") + r.message(), this);
        return;
    }
}
