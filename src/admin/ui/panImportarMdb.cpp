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
    txtOrigen = Controles::campo(this, QStringLiteral("txtOrigen"), 4096, lblOrigen);
    cmdOrigen = Controles::boton(this, QStringLiteral("cmdOrigen"), QStringLiteral("E&xaminar..."));
    auto *lblDestino =
        Controles::etiqueta(this, QString(), QStringLiteral("Base &nueva (.db o postgresql://...) :"));
    txtDestino = Controles::campo(this, QStringLiteral("txtDestino"), 4096, lblDestino);
    txtDestino->setText(destinoSugerido());
    cmdDestino = Controles::boton(this, QStringLiteral("cmdDestino"), QStringLiteral("Exa&minar..."));

    lblEstado =
        Controles::etiqueta(this, QStringLiteral("lblEstado"), QStringLiteral("Elija la base anterior."));
    lblEstado->setWordWrap(true);
    barProgreso = new QProgressBar(this);
    barProgreso->setObjectName(QStringLiteral("barProgreso"));
    barProgreso->setRange(0, 1);
    barProgreso->setValue(0);

    grdResumen = new QTableWidget(0, 4, this);
    grdResumen->setObjectName(QStringLiteral("grdResumen"));
    grdResumen->setHorizontalHeaderLabels({QStringLiteral("Tabla"), QStringLiteral("Leídos"),
                                           QStringLiteral("Escritos"), QStringLiteral("Importes")});
    grdResumen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdResumen->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdResumen->verticalHeader()->hide();
    // Compact rows: the nine tables fit without scrolling.
    grdResumen->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    grdResumen->horizontalHeader()->setStretchLastSection(true);
    grdResumen->setColumnWidth(0, 110);

    cmdImportar = Controles::boton(this, QStringLiteral("cmdImportar"), QStringLiteral("&Importar"));
    cmdImportar->setDefault(true);
    cmdAbrir = Controles::boton(this, QStringLiteral("cmdAbrir"), QStringLiteral("A&brir la base nueva"));
    cmdAbrir->setEnabled(false);
    cmdCerrar = Controles::boton(this, QStringLiteral("cmdCerrar"), QStringLiteral("&Cerrar"));

    auto *campos = new QGridLayout;
    campos->addWidget(lblOrigen, 0, 0);
    campos->addWidget(txtOrigen, 0, 1);
    campos->addWidget(cmdOrigen, 0, 2);
    campos->addWidget(lblDestino, 1, 0);
    campos->addWidget(txtDestino, 1, 1);
    campos->addWidget(cmdDestino, 1, 2);
    campos->setColumnStretch(1, 1);
    auto *botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(cmdImportar);
    botones->addWidget(cmdAbrir);
    botones->addWidget(cmdCerrar);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(campos);
    layout->addWidget(lblEstado);
    layout->addWidget(barProgreso);
    layout->addWidget(grdResumen, 1);
    layout->addLayout(botones);
    resize(760, 500);

    connect(cmdOrigen, &QPushButton::clicked, this, &panImportarMdb::elegirOrigen);
    connect(cmdDestino, &QPushButton::clicked, this, &panImportarMdb::elegirDestino);
    connect(cmdImportar, &QPushButton::clicked, this, &panImportarMdb::importar);
    connect(cmdAbrir, &QPushButton::clicked, this, &panImportarMdb::abrirNueva);
    connect(cmdCerrar, &QPushButton::clicked, this, &panImportarMdb::reject);
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
        this, QStringLiteral("Base anterior"), QFileInfo(txtOrigen->text()).absolutePath(),
        QStringLiteral("Bases de Access (*.mdb *.MDB);;Todos los archivos (*)"));
    if (!elegido.isEmpty())
        txtOrigen->setText(QDir::toNativeSeparators(elegido));
}

void panImportarMdb::elegirDestino() {
    // An existing file is not replaced: the import only writes into an empty Mirabel database.
    const QString elegido =
        QFileDialog::getSaveFileName(this, QStringLiteral("Base nueva"), txtDestino->text(),
                                     QStringLiteral("Bases de Mirabel (*.db);;Todos los archivos (*)"),
                                     nullptr, QFileDialog::DontConfirmOverwrite);
    if (!elegido.isEmpty())
        txtDestino->setText(QDir::toNativeSeparators(elegido));
}

void panImportarMdb::setImportando(bool on) {
    m_importando = on;
    for (QWidget *w : {static_cast<QWidget *>(txtOrigen), static_cast<QWidget *>(cmdOrigen),
                       static_cast<QWidget *>(txtDestino), static_cast<QWidget *>(cmdDestino),
                       static_cast<QWidget *>(cmdImportar)})
        w->setEnabled(!on);
    cmdCerrar->setText(on ? QStringLiteral("&Cancelar") : QStringLiteral("&Cerrar"));
    if (on)
        cmdCerrar->setFocus();
}

void panImportarMdb::importar() {
    if (m_importando)
        return;
    const QString origen = txtOrigen->text().trimmed();
    const QString destino = txtDestino->text().trimmed();
    if (origen.isEmpty()) {
        Mensaje::error(QStringLiteral("Elija la base anterior (.mdb) que quiere importar."), this);
        txtOrigen->setFocus();
        return;
    }
    if (destino.isEmpty()) {
        Mensaje::error(QStringLiteral("Escriba el nombre de la base nueva."), this);
        txtDestino->setFocus();
        return;
    }

    grdResumen->setRowCount(0);
    cmdAbrir->setEnabled(false);
    m_importada.clear();
    m_cancelar = false;
    setImportando(true);
    lblEstado->setText(QStringLiteral("Leyendo la base anterior..."));
    barProgreso->setRange(0, 0);
    QCoreApplication::processEvents();

    const QLocale locale;
    const auto progreso = [&](qint64 hecho, qint64 total, const QString &tabla) {
        barProgreso->setRange(0, 1000);
        barProgreso->setValue(total > 0 ? int(hecho * 1000 / total) : 0);
        lblEstado->setText(QStringLiteral("Importando %1... %2 de %3 registros")
                               .arg(tabla, locale.toString(hecho), locale.toString(total)));
        QCoreApplication::processEvents();
        return !m_cancelar;
    };
    // A server's address is taken as written; a file's path in the system's form.
    const QString base = Engine::at(destino).absoluteLocation(destino);
    const MdbImport::Result r = MdbImport::run(QDir::fromNativeSeparators(origen), base, progreso);
    setImportando(false);
    barProgreso->setRange(0, 1000);

    switch (r.status) {
    case MdbImport::Status::Ok:
        break;
    case MdbImport::Status::Cancelled:
        barProgreso->setValue(0);
        lblEstado->setText(QStringLiteral("Importación cancelada: no se escribió nada."));
        return;
    default:
        barProgreso->setValue(0);
        lblEstado->setText(QStringLiteral("No se importó nada."));
        Mensaje::error(r.error, this);
        return;
    }

    barProgreso->setValue(1000);
    grdResumen->setRowCount(int(r.tables.size()));
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
            grdResumen->setItem(i, c, item);
        }
    }
    for (int c = 0; c < 3; ++c) // the amounts take the rest of the width
        grdResumen->resizeColumnToContents(c);
    m_importada = base;
    const QString mostrada = Engine::at(base).shownLocation(base);
    lblEstado->setText(QStringLiteral("Importación terminada en %1.").arg(mostrada));
    cmdAbrir->setEnabled(true);
    cmdAbrir->setDefault(true); // Enter now opens what was just made
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
        lblEstado->setText(QStringLiteral("Cancelando..."));
        return;
    }
    Ventana::reject();
}
