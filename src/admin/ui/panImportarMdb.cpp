#include "admin/ui/panImportarMdb.h"

#include "core/Formato.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "transfer/MdbImport.h"
#include "ui/Controles.h"
#include "ui/Mensaje.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QString kTitulo = QStringLiteral("Importar base anterior");
}

panImportarMdb::panImportarMdb(QWidget *parent) : Ventana(parent) {
    setObjectName(QStringLiteral("panImportarMdb"));
    setWindowTitle(QStringLiteral("Importar base anterior (.mdb)"));

    auto *intro = new QLabel(
        QStringLiteral(
            "Trae los socios, planes, categorías, cuotas, caja, cuentas, formas de pago y usuarios "
            "de la base del programa anterior a una base nueva de Mirabel. La base anterior no se "
            "modifica."),
        this);
    intro->setWordWrap(true);

    auto *lblOrigen = Controles::etiqueta(this, QString(), QStringLiteral("Base &anterior (.mdb) :"));
    m_txtOrigen = Controles::campo(this, QStringLiteral("txtOrigen"), 4096, lblOrigen);
    m_cmdOrigen = Controles::boton(this, QStringLiteral("cmdOrigen"), QStringLiteral("E&xaminar..."));
    auto *lblDestino =
        Controles::etiqueta(this, QString(), QStringLiteral("Base &nueva (.db o postgresql://...) :"));
    m_txtDestino = Controles::campo(this, QStringLiteral("txtDestino"), 4096, lblDestino);
    m_txtDestino->setText(destinoSugerido());
    m_cmdDestino = Controles::boton(this, QStringLiteral("cmdDestino"), QStringLiteral("Exa&minar..."));

    m_lblEstado =
        Controles::etiqueta(this, QStringLiteral("lblEstado"), QStringLiteral("Elija la base anterior."));
    m_lblEstado->setWordWrap(true);
    m_barProgreso = new QProgressBar(this);
    m_barProgreso->setObjectName(QStringLiteral("barProgreso"));
    m_barProgreso->setRange(0, 1);
    m_barProgreso->setValue(0);

    m_grdResumen = new QTableWidget(0, 4, this);
    m_grdResumen->setObjectName(QStringLiteral("grdResumen"));
    m_grdResumen->setHorizontalHeaderLabels({QStringLiteral("Tabla"), QStringLiteral("Leídos"),
                                             QStringLiteral("Escritos"), QStringLiteral("Importes")});
    m_grdResumen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdResumen->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grdResumen->verticalHeader()->hide();
    // Compact rows: the nine tables fit without scrolling.
    m_grdResumen->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    m_grdResumen->horizontalHeader()->setStretchLastSection(true);
    m_grdResumen->setColumnWidth(0, 110);

    m_cmdImportar = Controles::boton(this, QStringLiteral("cmdImportar"), QStringLiteral("&Importar"));
    m_cmdImportar->setDefault(true);
    m_cmdAbrir = Controles::boton(this, QStringLiteral("cmdAbrir"), QStringLiteral("A&brir la base nueva"));
    m_cmdAbrir->setEnabled(false);
    m_cmdCerrar = Controles::boton(this, QStringLiteral("cmdCerrar"), QStringLiteral("&Cerrar"));

    auto *campos = new QGridLayout;
    campos->addWidget(lblOrigen, 0, 0);
    campos->addWidget(m_txtOrigen, 0, 1);
    campos->addWidget(m_cmdOrigen, 0, 2);
    campos->addWidget(lblDestino, 1, 0);
    campos->addWidget(m_txtDestino, 1, 1);
    campos->addWidget(m_cmdDestino, 1, 2);
    campos->setColumnStretch(1, 1);
    auto *botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(m_cmdImportar);
    botones->addWidget(m_cmdAbrir);
    botones->addWidget(m_cmdCerrar);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(campos);
    layout->addWidget(m_lblEstado);
    layout->addWidget(m_barProgreso);
    layout->addWidget(m_grdResumen, 1);
    layout->addLayout(botones);
    resize(760, 500);

    connect(m_cmdOrigen, &QPushButton::clicked, this, &panImportarMdb::elegirOrigen);
    connect(m_cmdDestino, &QPushButton::clicked, this, &panImportarMdb::elegirDestino);
    connect(m_cmdImportar, &QPushButton::clicked, this, &panImportarMdb::importar);
    connect(m_cmdAbrir, &QPushButton::clicked, this, &panImportarMdb::abrirNueva);
    connect(m_cmdCerrar, &QPushButton::clicked, this, &panImportarMdb::reject);
}

QString panImportarMdb::destinoSugerido() {
    // A club on a server suggests a file in the data folder; the user may write a server's address.
    const QString abierta =
        Database::path().isEmpty() || Database::isServer() ? Database::defaultPath() : Database::path();
    const QDir carpeta = QFileInfo(abierta).absoluteDir();
    QString nombre = carpeta.filePath(QStringLiteral("BASE-importada.db"));
    for (int n = 2; QFileInfo::exists(nombre); ++n)
        nombre = carpeta.filePath(QStringLiteral("BASE-importada-%1.db").arg(n));
    return nombre;
}

void panImportarMdb::elegirOrigen() {
    const QString elegido = QFileDialog::getOpenFileName(
        this, QStringLiteral("Base anterior"), QFileInfo(m_txtOrigen->text()).absolutePath(),
        QStringLiteral("Bases de Access (*.mdb *.MDB);;Todos los archivos (*)"));
    if (!elegido.isEmpty())
        m_txtOrigen->setText(QDir::toNativeSeparators(elegido));
}

void panImportarMdb::elegirDestino() {
    // An existing file is not replaced: the import only writes into an empty Mirabel database.
    const QString elegido =
        QFileDialog::getSaveFileName(this, QStringLiteral("Base nueva"), m_txtDestino->text(),
                                     QStringLiteral("Bases de Mirabel (*.db);;Todos los archivos (*)"),
                                     nullptr, QFileDialog::DontConfirmOverwrite);
    if (!elegido.isEmpty())
        m_txtDestino->setText(QDir::toNativeSeparators(elegido));
}

void panImportarMdb::setImportando(bool on) {
    m_importando = on;
    for (QWidget *w : {static_cast<QWidget *>(m_txtOrigen), static_cast<QWidget *>(m_cmdOrigen),
                       static_cast<QWidget *>(m_txtDestino), static_cast<QWidget *>(m_cmdDestino),
                       static_cast<QWidget *>(m_cmdImportar)})
        w->setEnabled(!on);
    m_cmdCerrar->setText(on ? QStringLiteral("&Cancelar") : QStringLiteral("&Cerrar"));
    if (on)
        m_cmdCerrar->setFocus();
}

void panImportarMdb::importar() {
    if (m_importando)
        return;
    const QString origen = m_txtOrigen->text().trimmed();
    const QString destino = m_txtDestino->text().trimmed();
    if (origen.isEmpty()) {
        Mensaje::error(QStringLiteral("Elija la base anterior (.mdb) que quiere importar."), this);
        m_txtOrigen->setFocus();
        return;
    }
    if (destino.isEmpty()) {
        Mensaje::error(QStringLiteral("Escriba el nombre de la base nueva."), this);
        m_txtDestino->setFocus();
        return;
    }

    m_grdResumen->setRowCount(0);
    m_cmdAbrir->setEnabled(false);
    m_importada.clear();
    m_cancelar = false;
    setImportando(true);
    m_lblEstado->setText(QStringLiteral("Leyendo la base anterior..."));
    m_barProgreso->setRange(0, 0);
    QCoreApplication::processEvents();

    const QLocale locale;
    const auto progreso = [&](qint64 hecho, qint64 total, const QString &tabla) {
        m_barProgreso->setRange(0, 1000);
        m_barProgreso->setValue(total > 0 ? int(hecho * 1000 / total) : 0);
        m_lblEstado->setText(QStringLiteral("Importando %1... %2 de %3 registros")
                                 .arg(tabla, locale.toString(hecho), locale.toString(total)));
        QCoreApplication::processEvents();
        return !m_cancelar;
    };
    // A server's address is taken as written; a file's path in the system's form.
    const QString base = Engine::at(destino).absoluteLocation(destino);
    const MdbImport::Result r = MdbImport::run(QDir::fromNativeSeparators(origen), base, progreso);
    setImportando(false);
    m_barProgreso->setRange(0, 1000);

    switch (r.status) {
    case MdbImport::Status::Ok:
        break;
    case MdbImport::Status::Cancelled:
        m_barProgreso->setValue(0);
        m_lblEstado->setText(QStringLiteral("Importación cancelada: no se escribió nada."));
        return;
    default:
        m_barProgreso->setValue(0);
        m_lblEstado->setText(QStringLiteral("No se importó nada."));
        Mensaje::error(r.error, this);
        return;
    }

    m_barProgreso->setValue(1000);
    m_grdResumen->setRowCount(int(r.tables.size()));
    for (int i = 0; i < r.tables.size(); ++i) {
        const MdbImport::TableSummary &t = r.tables.at(i);
        QStringList importes;
        for (const auto &suma : t.sums)
            importes << QStringLiteral("%1: %2").arg(suma.first, Formato::moneda(suma.second));
        if (t.nullsAsZero > 0)
            importes << QStringLiteral("%1 vacíos guardados como 0").arg(t.nullsAsZero);
        const QStringList celdas{t.table, locale.toString(t.read), locale.toString(t.written),
                                 importes.join(QStringLiteral("; "))};
        for (int c = 0; c < celdas.size(); ++c) {
            auto *item = new QTableWidgetItem(celdas.at(c));
            if (c == 1 || c == 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_grdResumen->setItem(i, c, item);
        }
    }
    for (int c = 0; c < 3; ++c) // the amounts take the rest of the width
        m_grdResumen->resizeColumnToContents(c);
    m_importada = base;
    const QString mostrada = Engine::at(base).shownLocation(base);
    m_lblEstado->setText(QStringLiteral("Importación terminada en %1.").arg(mostrada));
    m_cmdAbrir->setEnabled(true);
    m_cmdAbrir->setDefault(true); // Enter now opens what was just made
    if (Mensaje::preguntaSiNo(
            QStringLiteral("La base anterior se importó en %1.\n¿Abrir la base nueva ahora?").arg(mostrada),
            kTitulo, this))
        abrirNueva();
}

void panImportarMdb::abrirNueva() {
    if (m_importada.isEmpty())
        return;
    m_baseParaAbrir = m_importada;
    accept();
}

void panImportarMdb::reject() {
    // Closing while importing is a cancel: the window stays until the import has undone its work.
    if (m_importando) {
        m_cancelar = true;
        m_lblEstado->setText(QStringLiteral("Cancelando..."));
        return;
    }
    Ventana::reject();
}
