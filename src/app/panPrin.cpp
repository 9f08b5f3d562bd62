#include "app/panPrin.h"

#include "admin/ui/PanelUtilidades.h"
#include "app/Main.h"
#include "app/panIngreso.h"
#include "cash/ui/PanelCaja.h"
#include "cash/ui/PanelInformes.h"
#include "cash/ui/PanelTablero.h"
#include "cash/ui/panCobraCuota.h"
#include "core/Clock.h"
#include "db/Database.h"
#include "dues/ui/PanelCuotas.h"
#include "members/Afiliados.h"
#include "members/Planes.h"
#include "members/ui/PanelAfiliados.h"
#include "members/ui/PanelPlanes.h"
#include "ui/Artwork.h"
#include "ui/Comandos.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"
#include "ui/EstadoVentanas.h"
#include "ui/ListExportDialog.h"
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
const char *const kOpciones[] = {"Clientes", "Cuotas", "Planes", "Informes", "Caja", "Utilidades", "Tablero"};
// The bar lists the dashboard first, then the six options in their order.
const int kOrdenBarra[] = {6, 0, 1, 2, 3, 4, 5};
} // namespace

panPrin::panPrin(QWidget *parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("panPrin"));
    setWindowTitle(QStringLiteral("Mirabel! - Socios, cuotas y caja - versión %1")
                       .arg(QCoreApplication::applicationVersion()));
    setWindowIcon(Artwork::iconoPrograma());

    m_datSocios = new DataControl(QStringLiteral("Data1"), this);
    m_datCuotas = new DataControl(QStringLiteral("Data2"), this);
    m_datPlanes = new DataControl(QStringLiteral("Data3"), this);
    m_datCaja = new DataControl(QStringLiteral("Data4"), this);
    m_cr = new ReportControl(this);
    m_cr->setObjectName(QStringLiteral("CR"));

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
    m_imgTablaSeleccionada = new QLabel(header);
    m_imgTablaSeleccionada->setObjectName(QStringLiteral("imgTablaSeleccionada"));
    m_lblTablaSeleccionada = new QLabel(QStringLiteral("Clientes"), header);
    m_lblTablaSeleccionada->setObjectName(QStringLiteral("lblTablaSeleccionada"));
    QFont hf = m_lblTablaSeleccionada->font();
    hf.setPointSizeF(hf.pointSizeF() * 1.6);
    hf.setBold(true);
    m_lblTablaSeleccionada->setFont(hf);
    m_cmdActualizarTablas =
        Controles::boton(header, QStringLiteral("Command10"), QStringLiteral("Actualizar Tablas"));
    headerLayout->addWidget(m_imgTablaSeleccionada);
    m_cmdExportar = new QToolButton(header);
    m_cmdExportar->setObjectName(QStringLiteral("cmdExportar"));
    m_cmdExportar->setText(QStringLiteral("&Exportar"));
    m_cmdExportar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_cmdExportar->setPopupMode(QToolButton::InstantPopup);
    auto *menuExportar = new QMenu(m_cmdExportar);
    menuExportar->addAction(QStringLiteral("Exportar a E&xcel..."), this, [this] {
        ListExportDialog::exportar(listaActual(), ListExport::Format::Xlsx, this);
    });
    menuExportar->addAction(QStringLiteral("Exportar a &CSV..."), this, [this] {
        ListExportDialog::exportar(listaActual(), ListExport::Format::Csv, this);
    });
    m_cmdExportar->setMenu(menuExportar);
    headerLayout->addWidget(m_lblTablaSeleccionada, 1);
    headerLayout->addWidget(m_cmdExportar);
    headerLayout->addWidget(m_cmdActualizarTablas);
    rightLayout->addWidget(header);

    // The six panels, one shown at a time; the members sub-panel beside them.
    m_clientes = new PanelAfiliados(
        m_datSocios, m_cr,
        [this](const QString &texto) {
            if (m_lblInfo)
                m_lblInfo->setText(texto);
        },
        right);
    m_cuotas = new PanelCuotas(m_datCuotas, m_cr, right);
    m_planes = new PanelPlanes(m_datPlanes, right);
    m_informes = new PanelInformes(m_cr, right);
    m_caja = new PanelCaja(
        m_datCaja, m_cr, [this] { actualizarTablas(); }, right);
    m_utilidades = new PanelUtilidades(right);
    m_tablero = new PanelTablero(right);
    m_panelProceso[0] = m_clientes;
    m_panelProceso[1] = m_cuotas;
    m_panelProceso[2] = m_planes;
    m_panelProceso[3] = m_informes;
    m_panelProceso[4] = m_caja;
    m_panelProceso[5] = m_utilidades;
    m_panelProceso[OpcionTablero] = m_tablero;
    auto *content = new QHBoxLayout;
    auto *stack = new QVBoxLayout;
    for (QWidget *p : m_panelProceso)
        stack->addWidget(p, 1);
    content->addLayout(stack, 1);
    auto *sub = m_clientes->subPanel();
    sub->setParent(right);
    sub->setFixedWidth(280);
    content->addWidget(sub);
    rightLayout->addLayout(content, 1);
    root->addWidget(right, 1);
    setCentralWidget(central);

    m_lblInfo = new QLabel(QStringLiteral("<Información acerca de la tabla activa>"), this);
    m_lblInfo->setObjectName(QStringLiteral("lblInfo"));
    m_lblInfo->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(m_lblInfo, 1);

    Niveles::conectar(m_cmdActualizarTablas, [this] { actualizarTablas(); });
    // Issuing from the members list: afterwards the dues list and the member's debt summary show the new
    // dues.
    m_cuotas->setRefrescar([this] { m_datCuotas->refresh(); });
    connect(m_clientes, &PanelAfiliados::emitirCuotas, this, [this](const QString &tag) {
        m_cuotas->emitirIndividual(tag);
        m_clientes->alCambiarFila();
    });
    m_utilidades->setRefrescar([this] { actualizarTablas(); }, [this] { m_datCuotas->refresh(); });
    m_utilidades->setLimpiarCaja([this] { m_caja->limpiarRegistro(); });
    // Back from collecting, the cash list and the member's debt summary show the payments at once.
    connect(m_clientes, &PanelAfiliados::cobrarCuotas, this, [this](const QString &tag) {
        panCobraCuota::cobrar(tag, m_cr, this);
        m_datCaja->refresh();
        m_clientes->alCambiarFila();
    });
    m_utilidades->setAbrirBase([this](const QString &ruta) { abrirBase(ruta); });
    m_utilidades->setAlRestaurar(
        [this] {
            m_tablero->esperar();
            for (DataControl *d : {m_datSocios, m_datCuotas, m_datPlanes, m_datCaja})
                d->model()->clear();
        },
        [this] { leerBase(); });
    for (int i = 0; i < Opciones; ++i) {
        auto *sc = new QShortcut(QKeySequence(Qt::CTRL | atajo(i)), this);
        connect(sc, &QShortcut::activated, this, [this, i] { HaceClickOpcion(i); });
    }
    // Any list re-read (after a write, or "Actualizar Tablas") or row written may change the figures.
    for (DataControl *d : {m_datSocios, m_datCuotas, m_datPlanes, m_datCaja}) {
        connect(d, &DataControl::refreshed, m_tablero, &PanelTablero::invalidar);
        connect(d, &DataControl::rowChanged, m_tablero, &PanelTablero::invalidar);
    }

    resize(1180, 720);
    EstadoVentanas::restaurar(this);
    cargar();
}

panPrin::~panPrin() = default;

Qt::Key panPrin::atajo(int opcion) {
    return opcion == OpcionTablero ? Qt::Key_0 : Qt::Key(Qt::Key_1 + opcion);
}

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
    m_cmdTablas = Controles::boton(bar, QStringLiteral("Command1"), QStringLiteral("Tablas"));
    m_cmdTablas->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_cmdTablas);
    layout->addSpacing(10);

    m_shpOpcionElegida = new QFrame(bar);
    m_shpOpcionElegida->setObjectName(QStringLiteral("Shape1"));
    m_shpOpcionElegida->setStyleSheet(
        QStringLiteral("#Shape1 { border: 2px solid #ffd54f; border-radius: 8px; }"));
    m_shpOpcionElegida->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_shpOpcionElegida->hide();

    for (int i : kOrdenBarra) {
        m_btnIconSelect[i] = new QLabel(bar);
        m_btnIconSelect[i]->setObjectName(QStringLiteral("btnIconSelect_%1").arg(i));
        m_btnIconSelect[i]->setPixmap(Artwork::iconoOpcion(i, 48));
        m_btnIconSelect[i]->setAlignment(Qt::AlignCenter);
        m_btnIconSelect[i]->setCursor(Qt::PointingHandCursor);
        m_btnIconSelect[i]->setToolTip(QStringLiteral("%1 (%2)").arg(
            QString::fromUtf8(kOpciones[i]),
            QKeySequence(Qt::CTRL | atajo(i)).toString(QKeySequence::NativeText)));
        m_lblOpcion[i] = new QLabel(QString::fromUtf8(kOpciones[i]), bar);
        m_lblOpcion[i]->setObjectName(QStringLiteral("lblOpcion_%1").arg(i));
        m_lblOpcion[i]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        m_lblOpcion[i]->setCursor(Qt::PointingHandCursor);
        m_btnIconSelect[i]->installEventFilter(this);
        m_lblOpcion[i]->installEventFilter(this);
        layout->addWidget(m_btnIconSelect[i]);
        layout->addWidget(m_lblOpcion[i]);
        layout->addSpacing(8);
    }
    layout->addStretch();
    return bar;
}

bool panPrin::eventFilter(QObject *watched, QEvent *event) {
    for (int i = 0; i < Opciones; ++i) {
        if (watched != m_btnIconSelect[i] && watched != m_lblOpcion[i])
            continue;
        if (event->type() == QEvent::MouseButtonRelease) {
            HaceClickOpcion(i);
            return true;
        }
        if (event->type() == QEvent::Enter && watched == m_btnIconSelect[i]) {
            // The highlight follows the pointer: its top a little above the icon's.
            const QRect icon = m_btnIconSelect[i]->geometry();
            const QRect label = m_lblOpcion[i]->geometry();
            m_shpOpcionElegida->setGeometry(icon.x() - 2, icon.y() - 7, icon.width() + 4,
                                            label.bottom() - icon.y() + 11);
            m_shpOpcionElegida->show();
            m_shpOpcionElegida->raise();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void panPrin::cargar() {
    // 1. The level's first option in front: the dashboard, or Clientes.
    const QString inicial = Niveles::opcionInicial(Module1::NivelUsuario);
    for (int i = 0; i < Opciones; ++i)
        if (QString::fromUtf8(kOpciones[i]) == inicial)
            HaceClickOpcion(i);
    // 2. Centred.
    Ventana::centrar(this);
    // 3. Date pickers: the report range is 365 days back, not one calendar year.
    const QDate hoy = Clock::today();
    m_informes->setRango(hoy.addDays(-365), hoy);
    m_caja->setFecha(hoy);
    // 4. Month and year boxes: plain numbers.
    m_cuotas->setMesAnio(hoy.month(), hoy.year());
    leerBase();
}

void panPrin::leerBase() {
    // The account filter, in the order the database gives the accounts; nothing selected.
    m_caja->llenarCuentas();
    // Only a supervisor may type a due's amount into the list.
    m_cuotas->setMontoEditable(Niveles::permiteActual(QStringLiteral("DBGrid2.Monto")));

    // The lists open on their design record sources.
    m_datSocios->setRecordSource(Afiliados::recordSource());
    m_cuotas->usarRecordSourceDiseno();
    m_datPlanes->setRecordSource(Planes::recordSource());
    // The cash list opens on today's movements of every account.
    m_caja->filtrar(false);
    actualizarTablas();
}

bool panPrin::abrirBase(const QString &ruta) {
    const QString anterior = Database::path();
    // Nor the dashboard's reading.
    m_tablero->esperar();
    // No list may keep a query on the connection that is about to close.
    for (DataControl *d : {m_datSocios, m_datCuotas, m_datPlanes, m_datCaja})
        d->model()->clear();
    Main::contrasenaCancelada();
    const Result abrir = Database::open(ruta, Database::Mode::MustExist);
    bool abierta = abrir.ok();
    if (!abierta) {
        // A cancelled password window needs no message: the previous database stays open.
        if (!Main::contrasenaCancelada())
            Mensaje::error(abrir.message(), this);
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
            Main::revisarBase();
        }
    }
    if (!abierta && !anterior.isEmpty())
        if (const Result vuelta = Database::open(anterior, Database::Mode::MustExist); !vuelta)
            Mensaje::error(vuelta.message(), this);
    leerBase();
    return abierta;
}

void panPrin::actualizarTablas() {
    if (!DataGrid::tomarEdiciones(this))
        return;
    m_tablero->invalidar();
    for (DataControl *d : {m_datSocios, m_datCuotas, m_datPlanes, m_datCaja})
        d->refresh();
}

void panPrin::marcarOpcion(int indice) {
    for (int i = 0; i < Opciones; ++i) {
        QFont f = m_lblOpcion[i]->font();
        f.setBold(i == indice);
        m_lblOpcion[i]->setFont(f);
    }
}

void panPrin::closeEvent(QCloseEvent *event) {
    EstadoVentanas::guardar(this);
    QMainWindow::closeEvent(event);
}

DataGrid *panPrin::listaActual() const {
    const auto grillas = m_panelProceso[m_opcion]->findChildren<DataGrid *>();
    for (DataGrid *g : grillas)
        if (!g->isHidden())
            return g;
    return nullptr;
}

void panPrin::HaceClickOpcion(int elBoton) {
    if (elBoton < 0 || elBoton >= Opciones)
        return;
    m_opcion = elBoton;
    m_lblTablaSeleccionada->setText(m_lblOpcion[elBoton]->text());
    m_imgTablaSeleccionada->setPixmap(Artwork::iconoOpcion(elBoton, 36));
    for (QWidget *p : m_panelProceso)
        p->hide();
    const bool esClientes = elBoton == 0;
    m_clientes->subPanel()->setVisible(esClientes);
    m_lblInfo->setVisible(esClientes);
    m_panelProceso[elBoton]->show();
    m_panelProceso[elBoton]->raise();
    m_cmdExportar->setEnabled(listaActual() != nullptr);
    marcarOpcion(elBoton);
}
