#include "admin/PanelUtilidades.h"

#include "admin/panImportarMdb.h"
#include "app/Niveles.h"
#include "ui/Controles.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using Controles::boton;

PanelUtilidades::PanelUtilidades(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("panelProceso_5"));

    // Dues and cash maintenance.
    auto *gDatos = new QGroupBox(QStringLiteral("Mantenimiento de registros"), this);
    Command12 = boton(gDatos, QStringLiteral("Command12"), QStringLiteral("Limpiar Registro de Cuotas"));
    Command14 = boton(gDatos, QStringLiteral("Command14"), QStringLiteral("Limpiar Registro de Caja"));
    auto *lDatos = new QHBoxLayout(gDatos);
    lDatos->addWidget(Command12);
    lDatos->addWidget(Command14);
    lDatos->addStretch();

    // Due day.
    auto *gDia = new QGroupBox(QStringLiteral("Día de vencimiento"), this);
    auto *lblCambiar = new QLabel(
        QStringLiteral("Para cambiar el día en que vencen las cuotas mensuales hacer click aquí :"), gDia);
    lblCambiar->setWordWrap(true);
    Command31 = boton(gDia, QStringLiteral("Command31"), QStringLiteral("Cambiar dia de vencimiento..."));
    m_dayStack = new QStackedWidget(gDia);
    pictapa = new QWidget;
    pictapa->setObjectName(QStringLiteral("pictapa"));
    Label12 = Controles::etiqueta(pictapa, QStringLiteral("Label12"), QStringLiteral("Listo !"));
    Label12->hide();
    auto *lTapa = new QHBoxLayout(pictapa);
    lTapa->addWidget(Label12);
    lTapa->addStretch();
    auto *editor = new QWidget;
    auto *lblDia = Controles::etiqueta(editor, QString(), QStringLiteral("Día :"));
    Text1 = Controles::campo(editor, QStringLiteral("Text1"), 2, lblDia);
    Text1->setText(QStringLiteral("10"));
    Text1->setMaximumWidth(50);
    Command32 = boton(editor, QStringLiteral("Command32"), QStringLiteral("&Cambiar"));
    auto *lEditor = new QHBoxLayout(editor);
    lEditor->setContentsMargins(0, 0, 0, 0);
    lEditor->addWidget(lblDia);
    lEditor->addWidget(Text1);
    lEditor->addWidget(Command32);
    lEditor->addStretch();
    m_dayStack->addWidget(editor);
    m_dayStack->addWidget(pictapa);
    m_dayStack->setCurrentWidget(pictapa);
    m_dayStack->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_dayStack->setFixedHeight(editor->sizeHint().height());
    auto *lDia = new QGridLayout(gDia);
    lDia->addWidget(lblCambiar, 0, 0);
    lDia->addWidget(Command31, 0, 1, Qt::AlignLeft);
    lDia->addWidget(m_dayStack, 1, 0, 1, 2);
    lDia->setColumnStretch(1, 1);

    // Settings and users.
    auto *gSistema = new QGroupBox(QStringLiteral("Sistema"), this);
    Command26 = boton(gSistema, QStringLiteral("Command26"), QStringLiteral("Configurar el sistema..."));
    Command30 = boton(gSistema, QStringLiteral("Command30"), QStringLiteral("Configurar Usuarios..."));
    cmdImportarMdb =
        boton(gSistema, QStringLiteral("cmdImportarMdb"), QStringLiteral("Importar base anterior (.mdb)..."));
    auto *lSistema = new QHBoxLayout(gSistema);
    lSistema->addWidget(Command26);
    lSistema->addWidget(Command30);
    lSistema->addWidget(cmdImportarMdb);
    lSistema->addStretch();

    // Debt reminders.
    auto *gMail = new QGroupBox(QStringLiteral("Aviso de deuda por e-mail"), this);
    auto *lblMail =
        new QLabel(QStringLiteral("Para avisar a los socios que poseen deuda, ud. puede simplemente hacer "
                                  "click aqui y el sistema enviará e-mails a todos ellos avisando su deuda."),
                   gMail);
    lblMail->setWordWrap(true);
    Command19 = boton(gMail, QStringLiteral("Command19"), QStringLiteral("Enviar e-mail de aviso"));
    lblTime = Controles::etiqueta(gMail, QStringLiteral("lblTime"),
                                  QStringLiteral("Status de envío de e-mails..."));
    auto *lMail = new QGridLayout(gMail);
    lMail->addWidget(lblMail, 0, 0, 1, 2);
    lMail->addWidget(Command19, 1, 0);
    lMail->addWidget(lblTime, 1, 1);
    lMail->setColumnStretch(1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(gDatos);
    layout->addWidget(gDia);
    layout->addWidget(gSistema);
    layout->addWidget(gMail);
    layout->addStretch();

    Niveles::conectar(cmdImportarMdb, [this] { importarMdb(); });
}

void PanelUtilidades::importarMdb() {
    QString abrir;
    {
        panImportarMdb ventana(this);
        ventana.exec();
        abrir = ventana.baseParaAbrir();
    }
    if (!abrir.isEmpty() && m_abrirBase)
        m_abrirBase(abrir);
}

void PanelUtilidades::setTapaVisible(bool visible) {
    m_dayStack->setCurrentIndex(visible ? 1 : 0);
    pictapa->setVisible(visible);
}

bool PanelUtilidades::tapaVisible() const {
    return m_dayStack->currentIndex() == 1;
}
