#include "app/panPrin.h"

#include "admin/ui/PanelUtilidades.h"
#include "app/Main.h"
#include "app/panIngreso.h"
#include "cash/ui/PanelCaja.h"
#include "cash/ui/PanelInformes.h"
#include "cash/ui/panCobraCuota.h"
#include "core/Clock.h"
#include "db/Database.h"
#include "dues/ui/PanelCuotas.h"
#include "members/Afiliados.h"
#include "members/Planes.h"
#include "members/ui/PanelClientes.h"
#include "members/ui/PanelPlanes.h"
#include "ui/Artwork.h"
#include "ui/Comandos.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"
#include "ui/EstadoVentanas.h"
#include "ui/ExportarLista.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/ReportControl.h"
#include "ui/Ventana.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const char *const kOpciones[] = {"Clientes", "Cuotas", "Planes", "Informes", "Caja", "Utilidades"};
} // namespace

panPrin::panPrin(QWidget *parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("panPrin"));
    setWindowTitle(QStringLiteral("Mirabel! - Socios, cuotas y caja - versión %1")
                       .arg(QCoreApplication::applicationVersion()));
    setWindowIcon(Artwork::iconoPrograma());

    Data1 = new DataControl(QStringLiteral("Data1"), this);
    Data2 = new DataControl(QStringLiteral("Data2"), this);
    Data3 = new DataControl(QStringLiteral("Data3"), this);
    Data4 = new DataControl(QStringLiteral("Data4"), this);
    CR = new ReportControl(this);
    CR->setObjectName(QStringLiteral("CR"));

    auto *central = new QWidget(this);
    auto *root = new QHBoxLayout(central);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(crearBarraOpciones());

    // Header: the chosen option and "Actualizar Tablas".
    auto *right = new QWidget(central);
    auto *rightLayout = new QVBoxLayout(right);
    auto *header = new QFrame(right);
    header->setObjectName(QStringLiteral("encabezado"));
    header->setStyleSheet(QStringLiteral("#encabezado { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
                                         "stop:0 #0d47a1, stop:1 #00838f); border-radius: 6px; }"
                                         "#encabezado QLabel { color: white; }"));
    auto *headerLayout = new QHBoxLayout(header);
    imgTablaSeleccionada = new QLabel(header);
    imgTablaSeleccionada->setObjectName(QStringLiteral("imgTablaSeleccionada"));
    lblTablaSeleccionada = new QLabel(QStringLiteral("Clientes"), header);
    lblTablaSeleccionada->setObjectName(QStringLiteral("lblTablaSeleccionada"));
    QFont hf = lblTablaSeleccionada->font();
    hf.setPointSizeF(hf.pointSizeF() * 1.6);
    hf.setBold(true);
    lblTablaSeleccionada->setFont(hf);
    Command10 = Controles::boton(header, QStringLiteral("Command10"), QStringLiteral("Actualizar Tablas"));
    headerLayout->addWidget(imgTablaSeleccionada);
    cmdExportar = new QToolButton(header);
    cmdExportar->setObjectName(QStringLiteral("cmdExportar"));
    cmdExportar->setText(QStringLiteral("&Exportar"));
    cmdExportar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    cmdExportar->setPopupMode(QToolButton::InstantPopup);
    auto *menuExportar = new QMenu(cmdExportar);
    menuExportar->addAction(QStringLiteral("Exportar a E&xcel..."), this, [this] {
        ExportarLista::exportar(listaActual(), TableExport::Format::Xlsx, this);
    });
    menuExportar->addAction(QStringLiteral("Exportar a &CSV..."), this, [this] {
        ExportarLista::exportar(listaActual(), TableExport::Format::Csv, this);
    });
    cmdExportar->setMenu(menuExportar);
    headerLayout->addWidget(lblTablaSeleccionada, 1);
    headerLayout->addWidget(cmdExportar);
    headerLayout->addWidget(Command10);
    rightLayout->addWidget(header);

    // The six panels, one shown at a time; the members sub-panel beside them.
    clientes = new PanelClientes(
        Data1, CR,
        [this](const QString &texto) {
            if (lblInfo)
                lblInfo->setText(texto);
        },
        right);
    cuotas = new PanelCuotas(Data2, CR, right);
    planes = new PanelPlanes(Data3, right);
    informes = new PanelInformes(CR, right);
    caja = new PanelCaja(
        Data4, CR, [this] { actualizarTablas(); }, right);
    utilidades = new PanelUtilidades(right);
    panelProceso[0] = clientes;
    panelProceso[1] = cuotas;
    panelProceso[2] = planes;
    panelProceso[3] = informes;
    panelProceso[4] = caja;
    panelProceso[5] = utilidades;
    auto *content = new QHBoxLayout;
    auto *stack = new QVBoxLayout;
    for (QWidget *p : panelProceso)
        stack->addWidget(p, 1);
    content->addLayout(stack, 1);
    auto *sub = clientes->panelCuotasClientesParticular;
    sub->setParent(right);
    sub->setFixedWidth(280);
    content->addWidget(sub);
    rightLayout->addLayout(content, 1);
    root->addWidget(right, 1);
    setCentralWidget(central);

    lblInfo = new QLabel(QStringLiteral("<Información acerca de la tabla activa>"), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(lblInfo, 1);

    // Shortcuts: double-click on a list runs its "Modificar", which applies its own level rule.
    connect(clientes->DBGrid1, &QAbstractItemView::doubleClicked, this,
            [this] { clientes->Command4->click(); });
    connect(planes->DBGrid3, &QAbstractItemView::doubleClicked, this, [this] { planes->Command17->click(); });
    Niveles::conectar(Command10, [this] { actualizarTablas(); });
    // What an export of each list is called (the Excel sheet, the suggested file name).
    clientes->DBGrid1->setNombreLista(QStringLiteral("Socios"));
    cuotas->DBGrid2->setNombreLista(QStringLiteral("Cuotas"));
    planes->DBGrid3->setNombreLista(QStringLiteral("Planes"));
    caja->DBGrid4->setNombreLista(QStringLiteral("Caja"));
    // Issuing from the members list: afterwards the dues list and the member's debt summary show the new
    // dues.
    cuotas->setRefrescar([this] { Data2->refresh(); });
    connect(clientes, &PanelClientes::emitirCuotas, this, [this](const QString &tag) {
        cuotas->emitirIndividual(tag);
        clientes->alCambiarFila();
    });
    utilidades->setRefrescar([this] { actualizarTablas(); }, [this] { Data2->refresh(); });
    Niveles::conectar(utilidades->Command14, [this] { caja->limpiarRegistro(); });
    // Back from collecting, the cash list and the member's debt summary show the payments at once.
    connect(clientes, &PanelClientes::cobrarCuotas, this, [this](const QString &tag) {
        panCobraCuota::cobrar(tag, CR, this);
        Data4->refresh();
        clientes->alCambiarFila();
    });
    utilidades->setAbrirBase([this](const QString &ruta) { abrirBase(ruta); });
    Niveles::conectar(utilidades->cmdCopiaSeguridad, [this] { utilidades->copiaDeSeguridad(); });
    Niveles::conectar(utilidades->cmdRestaurarCopia, [this] {
        const auto soltar = [this] {
            for (DataControl *d : {Data1, Data2, Data3, Data4})
                d->model()->clear();
        };
        if (utilidades->restaurarCopia(soltar))
            leerBase();
    });
    for (int i = 0; i < 6; ++i) {
        auto *sc = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)), this);
        connect(sc, &QShortcut::activated, this, [this, i] { HaceClickOpcion(i); });
    }

    resize(1180, 720);
    EstadoVentanas::restaurar(this);
    cargar();
}

panPrin::~panPrin() = default;

QWidget *panPrin::crearBarraOpciones() {
    auto *bar = new QFrame;
    bar->setObjectName(QStringLiteral("barraOpciones"));
    bar->setStyleSheet(QStringLiteral("#barraOpciones { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                                      "stop:0 #263238, stop:1 #37474f); }"
                                      "#barraOpciones QLabel { color: #eceff1; }"));
    bar->setFixedWidth(120);
    auto *layout = new QVBoxLayout(bar);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(2);
    Command1 = Controles::boton(bar, QStringLiteral("Command1"), QStringLiteral("Tablas"));
    Command1->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(Command1);
    layout->addSpacing(10);

    Shape1 = new QFrame(bar);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setStyleSheet(QStringLiteral("#Shape1 { border: 2px solid #ffd54f; border-radius: 8px; }"));
    Shape1->setAttribute(Qt::WA_TransparentForMouseEvents);
    Shape1->hide();

    for (int i = 0; i < 6; ++i) {
        btnIconSelect[i] = new QLabel(bar);
        btnIconSelect[i]->setObjectName(QStringLiteral("btnIconSelect_%1").arg(i));
        btnIconSelect[i]->setPixmap(Artwork::iconoOpcion(i, 48));
        btnIconSelect[i]->setAlignment(Qt::AlignCenter);
        btnIconSelect[i]->setCursor(Qt::PointingHandCursor);
        btnIconSelect[i]->setToolTip(
            QStringLiteral("%1 (Ctrl+%2)").arg(QString::fromUtf8(kOpciones[i])).arg(i + 1));
        lblOpcion[i] = new QLabel(QString::fromUtf8(kOpciones[i]), bar);
        lblOpcion[i]->setObjectName(QStringLiteral("lblOpcion_%1").arg(i));
        lblOpcion[i]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        lblOpcion[i]->setCursor(Qt::PointingHandCursor);
        btnIconSelect[i]->installEventFilter(this);
        lblOpcion[i]->installEventFilter(this);
        layout->addWidget(btnIconSelect[i]);
        layout->addWidget(lblOpcion[i]);
        layout->addSpacing(8);
    }
    layout->addStretch();
    return bar;
}

bool panPrin::eventFilter(QObject *watched, QEvent *event) {
    for (int i = 0; i < 6; ++i) {
        if (watched != btnIconSelect[i] && watched != lblOpcion[i])
            continue;
        if (event->type() == QEvent::MouseButtonRelease) {
            HaceClickOpcion(i);
            return true;
        }
        if (event->type() == QEvent::Enter && watched == btnIconSelect[i]) {
            // The highlight follows the pointer: its top a little above the icon's.
            const QRect icon = btnIconSelect[i]->geometry();
            const QRect label = lblOpcion[i]->geometry();
            Shape1->setGeometry(icon.x() - 2, icon.y() - 7, icon.width() + 4, label.bottom() - icon.y() + 11);
            Shape1->show();
            Shape1->raise();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void panPrin::cargar() {
    // 1. Clientes in front.
    HaceClickOpcion(0);
    lblTablaSeleccionada->setText(QStringLiteral("Clientes"));
    // 2. Centred.
    Ventana::centrar(this);
    // 3. Date pickers: the report range is 365 days back, not one calendar year.
    const QDate hoy = Clock::today();
    informes->dtDesdeCaja->setDate(hoy.addDays(-365));
    informes->dtHastaCaja->setDate(hoy);
    caja->dtFechaCaja->setDate(hoy);
    // 4. Month and year boxes: plain numbers.
    cuotas->txtSelMes->setText(QString::number(hoy.month()));
    cuotas->txtSelAnio->setText(QString::number(hoy.year()));
    leerBase();
}

void panPrin::leerBase() {
    // The account filter, in the order the database gives the accounts; nothing selected.
    caja->llenarCuentas();
    // Only a supervisor may type a due's amount into the list.
    cuotas->DBGrid2->setColumnLocked(PanelCuotas::ColumnaMonto,
                                     !Niveles::permiteActual(QStringLiteral("DBGrid2.Monto")));

    // The lists open on their design record sources.
    Data1->setRecordSource(Afiliados::recordSource());
    cuotas->usarRecordSourceDiseno();
    Data3->setRecordSource(Planes::recordSource());
    // The cash list opens on today's movements of every account.
    caja->filtrar(false);
    actualizarTablas();
}

bool panPrin::abrirBase(const QString &ruta) {
    const QString anterior = Database::path();
    // No list may keep a query on the connection that is about to close.
    for (DataControl *d : {Data1, Data2, Data3, Data4})
        d->model()->clear();
    QString error;
    Main::contrasenaCancelada();
    bool abierta = Database::open(ruta, Database::Mode::MustExist, &error);
    if (!abierta) {
        // A cancelled password window needs no message: the previous database stays open.
        if (!Main::contrasenaCancelada())
            Mensaje::error(error, this);
    } else {
        const qint16 nivelAnterior = Module1::NivelUsuario;
        panIngreso login(this);
        login.Tag = QStringLiteral("NO");
        login.exec();
        if (!Main::ingresoAceptado(login.Tag)) {
            Module1::NivelUsuario = nivelAnterior;
            abierta = false;
            Mensaje::informacion(
                QStringLiteral("No se ingresó a la base %1: sigue abierta la anterior.").arg(ruta),
                QStringLiteral("Mirabel!"), this);
        } else {
            Main::recordarBase(Database::path());
        }
    }
    if (!abierta && !anterior.isEmpty() && !Database::open(anterior, Database::Mode::MustExist, &error))
        Mensaje::error(error, this);
    leerBase();
    return abierta;
}

void panPrin::actualizarTablas() {
    if (!DataGrid::tomarEdiciones(this))
        return;
    for (DataControl *d : {Data1, Data2, Data3, Data4})
        d->refresh();
}

void panPrin::marcarOpcion(int indice) {
    for (int i = 0; i < 6; ++i) {
        QFont f = lblOpcion[i]->font();
        f.setBold(i == indice);
        lblOpcion[i]->setFont(f);
    }
}

void panPrin::closeEvent(QCloseEvent *event) {
    EstadoVentanas::guardar(this);
    QMainWindow::closeEvent(event);
}

DataGrid *panPrin::listaActual() const {
    const auto grillas = panelProceso[m_opcion]->findChildren<DataGrid *>();
    for (DataGrid *g : grillas)
        if (!g->isHidden())
            return g;
    return nullptr;
}

void panPrin::HaceClickOpcion(int elBoton) {
    if (elBoton < 0 || elBoton > 5)
        return;
    m_opcion = elBoton;
    lblTablaSeleccionada->setText(lblOpcion[elBoton]->text());
    imgTablaSeleccionada->setPixmap(Artwork::iconoOpcion(elBoton, 36));
    for (QWidget *p : panelProceso)
        p->hide();
    const bool esClientes = elBoton == 0;
    clientes->panelCuotasClientesParticular->setVisible(esClientes);
    lblInfo->setVisible(esClientes);
    panelProceso[elBoton]->show();
    panelProceso[elBoton]->raise();
    cmdExportar->setEnabled(listaActual() != nullptr);
    marcarOpcion(elBoton);
}
