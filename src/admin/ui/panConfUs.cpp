#include "admin/ui/panConfUs.h"

#include "admin/Usuarios.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

panConfUs::panConfUs(QWidget *parent) : Ventana(parent) {
    setObjectName(QStringLiteral("panConfUs"));
    setWindowTitle(QStringLiteral("Usuarios del sistema"));

    m_datUsuarios = new DataControl(QStringLiteral("Data1"), this);
    m_datUsuarios->setRecordSource(Usuarios::recordSource());
    m_grdUsuarios = new DataGrid(QStringLiteral("DBGrid1"), m_datUsuarios, this);
    m_grdUsuarios->setColumns({
        {QStringLiteral("idUsuario"), QStringLiteral("idUsuario"), Formato::Tipo::Entero, true},
        {QStringLiteral("NombreCompleto"), QStringLiteral("NombreCompleto"), Formato::Tipo::General, true},
    });
    m_grdUsuarios->setAccessibleName(QStringLiteral("Usuarios"));
    m_grdUsuarios->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdUsuarios->horizontalHeader()->setStretchLastSection(true);

    // The data control's bar: first, previous, next and last record.
    auto *barra = new QWidget(this);
    barra->setObjectName(QStringLiteral("barraData1"));
    auto *lBarra = new QHBoxLayout(barra);
    lBarra->setContentsMargins(0, 0, 0, 0);
    auto flecha = [&](const QString &texto, const QString &ayuda, std::function<int()> fila) {
        auto *b = new QToolButton(barra);
        b->setText(texto);
        b->setToolTip(ayuda);
        b->setAccessibleName(ayuda);
        connect(b, &QToolButton::clicked, this, [this, fila] { moverA(fila()); });
        lBarra->addWidget(b);
    };
    flecha(QStringLiteral("|◀"), QStringLiteral("Primer registro"), [] { return 0; });
    flecha(QStringLiteral("◀"), QStringLiteral("Registro anterior"), [this] { return qMax(0, m_fila - 1); });
    auto *lblRecorrer = new QLabel(QStringLiteral("Recorrer Registros"), barra);
    lblRecorrer->setAlignment(Qt::AlignCenter);
    lBarra->addWidget(lblRecorrer, 1);
    flecha(QStringLiteral("▶"), QStringLiteral("Registro siguiente"),
           [this] { return qMin(m_fila + 1, m_datUsuarios->recordCount() - 1); });
    flecha(QStringLiteral("▶|"), QStringLiteral("Último registro"),
           [this] { return m_datUsuarios->recordCount() - 1; });

    auto *lNombre = Controles::etiqueta(this, QString(), QStringLiteral("Nombre :"));
    m_txNombre = Controles::campo(this, QStringLiteral("txNombre"), 50, lNombre);
    auto *lUsuario = Controles::etiqueta(this, QString(), QStringLiteral("Usuario :"));
    m_txUsuario = Controles::campo(this, QStringLiteral("txUsuario"), 15, lUsuario);
    auto *lContrasena = Controles::etiqueta(this, QString(), QStringLiteral("Contraseña :"));
    m_txContrasena = Controles::campo(this, QStringLiteral("txContrasena"), 15, lContrasena);
    Controles::ocultarTexto(m_txContrasena);
    m_txContrasena->setPlaceholderText(QStringLiteral("(sin cambios)"));
    m_txContrasena->setToolTip(QStringLiteral("Escriba una contraseña nueva para reemplazar la guardada; "
                                              "vacía conserva la actual."));
    auto *form = new QFormLayout;
    form->addRow(lNombre, m_txNombre);
    form->addRow(lUsuario, m_txUsuario);
    form->addRow(lContrasena, m_txContrasena);

    auto *gNivel = new QGroupBox(this);
    m_lblNivel = Controles::etiqueta(gNivel, QStringLiteral("Label4"), QStringLiteral(" Nivel de usuario "));
    m_optSupervisor = new QRadioButton(QStringLiteral("Supervisor General"), gNivel);
    m_optSupervisor->setObjectName(QStringLiteral("optSupervisor"));
    m_optAdmin = new QRadioButton(QStringLiteral("Administrativo"), gNivel);
    m_optAdmin->setObjectName(QStringLiteral("optAdmin"));
    m_optDataEntry = new QRadioButton(QStringLiteral("Data Entry"), gNivel);
    m_optDataEntry->setObjectName(QStringLiteral("optDataEntry"));
    m_niveles = new QButtonGroup(this);
    for (QRadioButton *o : {m_optSupervisor, m_optAdmin, m_optDataEntry}) {
        m_niveles->addButton(o);
        connect(o, &QRadioButton::clicked, this, [this] {
            m_sucio = true;
            m_cmdGuardar->setEnabled(true);
        });
    }
    auto *lNivel = new QVBoxLayout(gNivel);
    lNivel->addWidget(m_lblNivel);
    lNivel->addWidget(m_optSupervisor);
    lNivel->addWidget(m_optAdmin);
    lNivel->addWidget(m_optDataEntry);

    m_cmdNuevo = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Nuevo"));
    m_cmdBorrar = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Borrar"));
    m_cmdGuardar = Controles::boton(this, QStringLiteral("Command3"), QStringLiteral("&Guardar Cambios"));
    m_cmdSalir = Controles::boton(this, QStringLiteral("Command4"), QStringLiteral("&Salir"));
    connect(m_cmdNuevo, &QPushButton::clicked, this, &panConfUs::nuevo);
    connect(m_cmdBorrar, &QPushButton::clicked, this, &panConfUs::borrar);
    connect(m_cmdGuardar, &QPushButton::clicked, this, &panConfUs::guardarCambios);
    connect(m_cmdSalir, &QPushButton::clicked, this, &QDialog::reject);
    m_cmdGuardar->setDefault(true); // Enter saves

    for (QLineEdit *e : {m_txNombre, m_txUsuario, m_txContrasena})
        connect(e, &QLineEdit::textEdited, this, [this] {
            m_sucio = true;
            m_cmdGuardar->setEnabled(true);
        });
    m_txNombre->installEventFilter(this);

    auto *izquierda = new QVBoxLayout;
    izquierda->addWidget(m_grdUsuarios, 1);
    izquierda->addWidget(barra);
    auto *derecha = new QVBoxLayout;
    derecha->addLayout(form);
    derecha->addWidget(gNivel);
    derecha->addStretch();
    auto *botones = new QHBoxLayout;
    for (QPushButton *b : {m_cmdNuevo, m_cmdBorrar, m_cmdGuardar})
        botones->addWidget(b);
    botones->addStretch();
    botones->addWidget(m_cmdSalir);
    auto *cuerpo = new QHBoxLayout;
    cuerpo->addLayout(izquierda, 1);
    cuerpo->addLayout(derecha, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(cuerpo, 1);
    layout->addLayout(botones);

    setTabOrder(m_grdUsuarios, m_txNombre);
    setTabOrder(m_txNombre, m_txUsuario);
    setTabOrder(m_txUsuario, m_txContrasena);
    setTabOrder(m_txContrasena, m_optSupervisor);
    resize(720, 400);

    connect(m_datUsuarios, &DataControl::reposition, this, [this](int row) {
        if (m_cargando || row == m_fila)
            return;
        // Leaving a record with typed changes stores them, as a bound form does; a refused save keeps the
        // user on the record with what was typed.
        if (m_sucio && !guardarCambios()) {
            const int volver = m_fila;
            QTimer::singleShot(0, this, [this, volver] {
                m_cargando = true;
                m_datUsuarios->setCurrentRow(volver);
                m_cargando = false;
            });
            return;
        }
        mostrarRegistro(row);
    });
    if (!m_datUsuarios->refresh())
        Mensaje::error(QStringLiteral("No se pudo leer la lista de usuarios: ") + m_datUsuarios->lastError(),
                       this);
}

void panConfUs::marcarNivel(QRadioButton *boton) {
    // A record may have no level flag at all: then none of the three is on.
    m_niveles->setExclusive(false);
    for (QRadioButton *o : {m_optSupervisor, m_optAdmin, m_optDataEntry})
        o->setChecked(false);
    m_niveles->setExclusive(true);
    if (boton)
        boton->setChecked(true);
}

void panConfUs::mostrarRegistro(int row) {
    m_fila = row;
    m_id = row >= 0 ? m_datUsuarios->valueAt(row, QStringLiteral("idUsuario")).toInt() : 0;
    m_txNombre->setText(row >= 0 ? m_datUsuarios->valueAt(row, QStringLiteral("NombreCompleto")).toString()
                                 : QString());
    m_txUsuario->setText(row >= 0 ? m_datUsuarios->valueAt(row, QStringLiteral("NombreUsuario")).toString()
                                  : QString());
    // Passwords are stored as hashes: the box is for typing a new one.
    m_txContrasena->clear();
    if (row >= 0) {
        // The three flags in order, each on when set: the last one set wins, as with option buttons.
        QRadioButton *elegido = nullptr;
        if (m_datUsuarios->valueAt(row, QStringLiteral("EsSupervisor")).toLongLong() != 0)
            elegido = m_optSupervisor;
        if (m_datUsuarios->valueAt(row, QStringLiteral("EsAdministrativo")).toLongLong() != 0)
            elegido = m_optAdmin;
        if (m_datUsuarios->valueAt(row, QStringLiteral("EsDataEntry")).toLongLong() != 0)
            elegido = m_optDataEntry;
        marcarNivel(elegido);
    }
    m_sucio = false;
    m_cmdGuardar->setEnabled(true);
}

bool panConfUs::guardarCambios() {
    if (m_id == 0)
        return true;
    Usuarios::Datos d;
    d.nombreCompleto = m_txNombre->text();
    d.nombreUsuario = m_txUsuario->text();
    d.contrasenaNueva = m_txContrasena->text();
    d.esSupervisor = m_optSupervisor->isChecked();
    d.esAdministrativo = m_optAdmin->isChecked();
    d.esDataEntry = m_optDataEntry->isChecked();
    if (const Result r = Usuarios::guardar(m_id, d); !r) {
        Mensaje::error(r.message(), this);
        return false;
    }
    m_sucio = false;
    // The list shows the stored values (trimmed) again, on the same record.
    const int fila = m_fila;
    m_cargando = true;
    m_datUsuarios->refresh();
    m_datUsuarios->setCurrentRow(fila);
    m_cargando = false;
    mostrarRegistro(m_datUsuarios->currentRow());
    m_cmdGuardar->setEnabled(false);
    m_cmdNuevo->setEnabled(true);
    return true;
}

void panConfUs::nuevo() {
    if (m_sucio && !guardarCambios())
        return;
    if (const auto id = Usuarios::nuevo(); !id) {
        Mensaje::error(QStringLiteral("No se pudo agregar el usuario: ") + id.message(), this);
        return;
    }
    m_cargando = true;
    m_datUsuarios->refresh();
    m_datUsuarios->fetchAll();
    m_datUsuarios->setCurrentRow(m_datUsuarios->recordCount() - 1);
    m_cargando = false;
    mostrarRegistro(m_datUsuarios->currentRow());
    m_txNombre->setFocus();
    m_txNombre->setSelection(0, 50);
    m_cmdNuevo->setEnabled(false);
}

void panConfUs::borrar() {
    if (!m_datUsuarios->hasCurrent() || m_id == 0)
        return;
    if (const Result r = Usuarios::puedeBorrarse(m_id, Module1::IdUsuario); !r) {
        Mensaje::error(r.message(), this);
        return;
    }
    if (Mensaje::mostrar(QStringLiteral("Atención: Elimina el usuario seleccionado?"),
                         QStringLiteral("Eliminar"), QMessageBox::Critical,
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No, this) != QMessageBox::Yes)
        return;
    if (const Result r = Usuarios::borrar(m_id, Module1::IdUsuario); !r) {
        Mensaje::error(r.message(), this);
        return;
    }
    const int fila = m_fila;
    m_sucio = false;
    m_cargando = true;
    m_datUsuarios->refresh();
    m_datUsuarios->fetchAll();
    m_datUsuarios->setCurrentRow(qMin(fila, m_datUsuarios->recordCount() - 1));
    m_cargando = false;
    mostrarRegistro(m_datUsuarios->currentRow());
    m_cmdNuevo->setEnabled(true);
}

void panConfUs::moverA(int row) {
    if (row >= 0)
        m_datUsuarios->setCurrentRow(row);
}

bool panConfUs::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_txNombre && event->type() == QEvent::FocusIn)
        // After the click that gave the focus has placed the cursor.
        QTimer::singleShot(0, m_txNombre, [this] { m_txNombre->setSelection(0, 50); });
    return Ventana::eventFilter(watched, event);
}

void panConfUs::reject() {
    // "&Salir", the close box and Escape all end here. Typed changes are stored as when moving to another
    // record; if they cannot be, the user decides whether to drop them.
    if (m_sucio && !guardarCambios() &&
        !Mensaje::preguntaSiNo(QStringLiteral("¿Cierra la ventana sin guardar los cambios del usuario?"),
                               QStringLiteral("Atención"), this))
        return;
    Ventana::reject();
}
