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

    Data1 = new DataControl(QStringLiteral("Data1"), this);
    Data1->setRecordSource(Usuarios::recordSource());
    DBGrid1 = new DataGrid(QStringLiteral("DBGrid1"), Data1, this);
    DBGrid1->setColumns({
        {QStringLiteral("idUsuario"), QStringLiteral("idUsuario"), Formato::Tipo::Entero, true},
        {QStringLiteral("NombreCompleto"), QStringLiteral("NombreCompleto"), Formato::Tipo::General, true},
    });
    DBGrid1->setAccessibleName(QStringLiteral("Usuarios"));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);

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
           [this] { return qMin(m_fila + 1, Data1->recordCount() - 1); });
    flecha(QStringLiteral("▶|"), QStringLiteral("Último registro"),
           [this] { return Data1->recordCount() - 1; });

    auto *lNombre = Controles::etiqueta(this, QString(), QStringLiteral("Nombre :"));
    txNombre = Controles::campo(this, QStringLiteral("txNombre"), 50, lNombre);
    auto *lUsuario = Controles::etiqueta(this, QString(), QStringLiteral("Usuario :"));
    txUsuario = Controles::campo(this, QStringLiteral("txUsuario"), 15, lUsuario);
    auto *lContrasena = Controles::etiqueta(this, QString(), QStringLiteral("Contraseña :"));
    txContrasena = Controles::campo(this, QStringLiteral("txContrasena"), 15, lContrasena);
    Controles::ocultarTexto(txContrasena);
    txContrasena->setPlaceholderText(QStringLiteral("(sin cambios)"));
    txContrasena->setToolTip(QStringLiteral("Escriba una contraseña nueva para reemplazar la guardada; "
                                            "vacía conserva la actual."));
    auto *form = new QFormLayout;
    form->addRow(lNombre, txNombre);
    form->addRow(lUsuario, txUsuario);
    form->addRow(lContrasena, txContrasena);

    auto *gNivel = new QGroupBox(this);
    Label4 = Controles::etiqueta(gNivel, QStringLiteral("Label4"), QStringLiteral(" Nivel de usuario "));
    optSupervisor = new QRadioButton(QStringLiteral("Supervisor General"), gNivel);
    optSupervisor->setObjectName(QStringLiteral("optSupervisor"));
    optAdmin = new QRadioButton(QStringLiteral("Administrativo"), gNivel);
    optAdmin->setObjectName(QStringLiteral("optAdmin"));
    optDataEntry = new QRadioButton(QStringLiteral("Data Entry"), gNivel);
    optDataEntry->setObjectName(QStringLiteral("optDataEntry"));
    m_niveles = new QButtonGroup(this);
    for (QRadioButton *o : {optSupervisor, optAdmin, optDataEntry}) {
        m_niveles->addButton(o);
        connect(o, &QRadioButton::clicked, this, [this] {
            m_sucio = true;
            Command3->setEnabled(true);
        });
    }
    auto *lNivel = new QVBoxLayout(gNivel);
    lNivel->addWidget(Label4);
    lNivel->addWidget(optSupervisor);
    lNivel->addWidget(optAdmin);
    lNivel->addWidget(optDataEntry);

    Command1 = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Nuevo"));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Borrar"));
    Command3 = Controles::boton(this, QStringLiteral("Command3"), QStringLiteral("&Guardar Cambios"));
    Command4 = Controles::boton(this, QStringLiteral("Command4"), QStringLiteral("&Salir"));
    connect(Command1, &QPushButton::clicked, this, &panConfUs::nuevo);
    connect(Command2, &QPushButton::clicked, this, &panConfUs::borrar);
    connect(Command3, &QPushButton::clicked, this, &panConfUs::guardarCambios);
    connect(Command4, &QPushButton::clicked, this, &QDialog::reject);
    Command3->setDefault(true); // Enter saves

    for (QLineEdit *e : {txNombre, txUsuario, txContrasena})
        connect(e, &QLineEdit::textEdited, this, [this] {
            m_sucio = true;
            Command3->setEnabled(true);
        });
    txNombre->installEventFilter(this);

    auto *izquierda = new QVBoxLayout;
    izquierda->addWidget(DBGrid1, 1);
    izquierda->addWidget(barra);
    auto *derecha = new QVBoxLayout;
    derecha->addLayout(form);
    derecha->addWidget(gNivel);
    derecha->addStretch();
    auto *botones = new QHBoxLayout;
    for (QPushButton *b : {Command1, Command2, Command3})
        botones->addWidget(b);
    botones->addStretch();
    botones->addWidget(Command4);
    auto *cuerpo = new QHBoxLayout;
    cuerpo->addLayout(izquierda, 1);
    cuerpo->addLayout(derecha, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(cuerpo, 1);
    layout->addLayout(botones);

    setTabOrder(DBGrid1, txNombre);
    setTabOrder(txNombre, txUsuario);
    setTabOrder(txUsuario, txContrasena);
    setTabOrder(txContrasena, optSupervisor);
    resize(720, 400);

    connect(Data1, &DataControl::reposition, this, [this](int row) {
        if (m_cargando || row == m_fila)
            return;
        // Leaving a record with typed changes stores them, as a bound form does; a refused save keeps the
        // user on the record with what was typed.
        if (m_sucio && !guardarCambios()) {
            const int volver = m_fila;
            QTimer::singleShot(0, this, [this, volver] {
                m_cargando = true;
                Data1->setCurrentRow(volver);
                m_cargando = false;
            });
            return;
        }
        mostrarRegistro(row);
    });
    if (!Data1->refresh())
        Mensaje::error(QStringLiteral("No se pudo leer la lista de usuarios: ") + Data1->lastError(), this);
}

void panConfUs::marcarNivel(QRadioButton *boton) {
    // A record may have no level flag at all: then none of the three is on.
    m_niveles->setExclusive(false);
    for (QRadioButton *o : {optSupervisor, optAdmin, optDataEntry})
        o->setChecked(false);
    m_niveles->setExclusive(true);
    if (boton)
        boton->setChecked(true);
}

void panConfUs::mostrarRegistro(int row) {
    m_fila = row;
    m_id = row >= 0 ? Data1->valueAt(row, QStringLiteral("idUsuario")).toInt() : 0;
    txNombre->setText(row >= 0 ? Data1->valueAt(row, QStringLiteral("NombreCompleto")).toString()
                               : QString());
    txUsuario->setText(row >= 0 ? Data1->valueAt(row, QStringLiteral("NombreUsuario")).toString()
                                : QString());
    // Passwords are stored as hashes: the box is for typing a new one.
    txContrasena->clear();
    if (row >= 0) {
        // The three flags in order, each on when set: the last one set wins, as with option buttons.
        QRadioButton *elegido = nullptr;
        if (Data1->valueAt(row, QStringLiteral("EsSupervisor")).toLongLong() != 0)
            elegido = optSupervisor;
        if (Data1->valueAt(row, QStringLiteral("EsAdministrativo")).toLongLong() != 0)
            elegido = optAdmin;
        if (Data1->valueAt(row, QStringLiteral("EsDataEntry")).toLongLong() != 0)
            elegido = optDataEntry;
        marcarNivel(elegido);
    }
    m_sucio = false;
    Command3->setEnabled(true);
}

bool panConfUs::guardarCambios() {
    if (m_id == 0)
        return true;
    Usuarios::Datos d;
    d.nombreCompleto = txNombre->text();
    d.nombreUsuario = txUsuario->text();
    d.contrasenaNueva = txContrasena->text();
    d.esSupervisor = optSupervisor->isChecked();
    d.esAdministrativo = optAdmin->isChecked();
    d.esDataEntry = optDataEntry->isChecked();
    if (const Result r = Usuarios::guardar(m_id, d); !r) {
        Mensaje::error(r.message(), this);
        return false;
    }
    m_sucio = false;
    // The list shows the stored values (trimmed) again, on the same record.
    const int fila = m_fila;
    m_cargando = true;
    Data1->refresh();
    Data1->setCurrentRow(fila);
    m_cargando = false;
    mostrarRegistro(Data1->currentRow());
    Command3->setEnabled(false);
    Command1->setEnabled(true);
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
    Data1->refresh();
    Data1->fetchAll();
    Data1->setCurrentRow(Data1->recordCount() - 1);
    m_cargando = false;
    mostrarRegistro(Data1->currentRow());
    txNombre->setFocus();
    txNombre->setSelection(0, 50);
    Command1->setEnabled(false);
}

void panConfUs::borrar() {
    if (!Data1->hasCurrent() || m_id == 0)
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
    Data1->refresh();
    Data1->fetchAll();
    Data1->setCurrentRow(qMin(fila, Data1->recordCount() - 1));
    m_cargando = false;
    mostrarRegistro(Data1->currentRow());
    Command1->setEnabled(true);
}

void panConfUs::moverA(int row) {
    if (row >= 0)
        Data1->setCurrentRow(row);
}

bool panConfUs::eventFilter(QObject *watched, QEvent *event) {
    if (watched == txNombre && event->type() == QEvent::FocusIn)
        // After the click that gave the focus has placed the cursor.
        QTimer::singleShot(0, txNombre, [this] { txNombre->setSelection(0, 50); });
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
