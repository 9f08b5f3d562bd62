#include "admin/ui/PanelUtilidades.h"

#include "admin/ui/panConfUs.h"
#include "admin/ui/panImportarMdb.h"
#include "admin/ui/panRegistroActividad.h"
#include "admin/ui/panconfSist.h"
#include "core/Configuracion.h"
#include "core/Log.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "dues/Cuotas.h"
#include "mail/AvisosDeuda.h"
#include "ui/Comandos.h"
#include "ui/Controles.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <QApplication>
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
    m_cmdLimpiarCuotas =
        boton(gDatos, QStringLiteral("Command12"), QStringLiteral("Limpiar Registro de Cuotas"));
    m_cmdLimpiarCaja = boton(gDatos, QStringLiteral("Command14"), QStringLiteral("Limpiar Registro de Caja"));
    auto *lDatos = new QHBoxLayout(gDatos);
    lDatos->addWidget(m_cmdLimpiarCuotas);
    lDatos->addWidget(m_cmdLimpiarCaja);
    lDatos->addStretch();

    // Due day.
    auto *gDia = new QGroupBox(QStringLiteral("Día de vencimiento"), this);
    auto *lblCambiar = new QLabel(
        QStringLiteral("Para cambiar el día en que vencen las cuotas mensuales hacer click aquí :"), gDia);
    lblCambiar->setWordWrap(true);
    m_cmdDiaVencimiento =
        boton(gDia, QStringLiteral("Command31"), QStringLiteral("Cambiar dia de vencimiento..."));
    m_dayStack = new QStackedWidget(gDia);
    m_pictapa = new QWidget;
    m_pictapa->setObjectName(QStringLiteral("pictapa"));
    m_lblListo = Controles::etiqueta(m_pictapa, QStringLiteral("Label12"), QStringLiteral("Listo !"));
    m_lblListo->hide();
    m_lblCopia = Controles::etiqueta(m_pictapa, QStringLiteral("lblCopia"), QString());
    m_lblCopia->setTextFormat(Qt::PlainText);
    m_lblCopia->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *lTapa = new QHBoxLayout(m_pictapa);
    lTapa->addWidget(m_lblListo);
    lTapa->addWidget(m_lblCopia, 1);
    lTapa->addStretch();
    auto *editor = new QWidget;
    auto *lblDia = Controles::etiqueta(editor, QString(), QStringLiteral("Día :"));
    m_txtDia = Controles::campo(editor, QStringLiteral("Text1"), 2, lblDia);
    m_txtDia->setText(QStringLiteral("10"));
    m_txtDia->setMaximumWidth(50);
    m_cmdCambiarDia = boton(editor, QStringLiteral("Command32"), QStringLiteral("&Cambiar"));
    auto *lEditor = new QHBoxLayout(editor);
    lEditor->setContentsMargins(0, 0, 0, 0);
    lEditor->addWidget(lblDia);
    lEditor->addWidget(m_txtDia);
    lEditor->addWidget(m_cmdCambiarDia);
    lEditor->addStretch();
    m_dayStack->addWidget(editor);
    m_dayStack->addWidget(m_pictapa);
    m_dayStack->setCurrentWidget(m_pictapa);
    m_dayStack->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_dayStack->setFixedHeight(editor->sizeHint().height());
    auto *lDia = new QGridLayout(gDia);
    lDia->addWidget(lblCambiar, 0, 0);
    lDia->addWidget(m_cmdDiaVencimiento, 0, 1, Qt::AlignLeft);
    lDia->addWidget(m_dayStack, 1, 0, 1, 2);
    lDia->setColumnStretch(1, 1);

    // Settings and users.
    auto *gSistema = new QGroupBox(QStringLiteral("Sistema"), this);
    m_cmdConfigurarSistema =
        boton(gSistema, QStringLiteral("Command26"), QStringLiteral("Configurar el sistema..."));
    m_cmdConfigurarUsuarios =
        boton(gSistema, QStringLiteral("Command30"), QStringLiteral("Configurar Usuarios..."));
    m_cmdImportarMdb =
        boton(gSistema, QStringLiteral("cmdImportarMdb"), QStringLiteral("Importar base anterior (.mdb)..."));
    m_cmdRegistroActividad =
        boton(gSistema, QStringLiteral("cmdRegistroActividad"), QStringLiteral("Registro de actividad..."));
    auto *lSistema = new QHBoxLayout(gSistema);
    lSistema->addWidget(m_cmdConfigurarSistema);
    lSistema->addWidget(m_cmdConfigurarUsuarios);
    lSistema->addWidget(m_cmdRegistroActividad);
    lSistema->addWidget(m_cmdImportarMdb);
    lSistema->addStretch();

    // Debt reminders.
    auto *gMail = new QGroupBox(QStringLiteral("Aviso de deuda por e-mail"), this);
    auto *lblMail =
        new QLabel(QStringLiteral("Para avisar a los socios que poseen deuda, ud. puede simplemente hacer "
                                  "click aqui y el sistema enviará e-mails a todos ellos avisando su deuda."),
                   gMail);
    lblMail->setWordWrap(true);
    m_cmdEnviarAvisos = boton(gMail, QStringLiteral("Command19"), QStringLiteral("Enviar e-mail de aviso"));
    m_lblTime = Controles::etiqueta(gMail, QStringLiteral("lblTime"),
                                    QStringLiteral("Status de envío de e-mails..."));
    auto *lMail = new QGridLayout(gMail);
    lMail->addWidget(lblMail, 0, 0, 1, 2);
    lMail->addWidget(m_cmdEnviarAvisos, 1, 0);
    lMail->addWidget(m_lblTime, 1, 1);
    lMail->setColumnStretch(1, 1);

    // Copies of the database.
    auto *gCopias = new QGroupBox(QStringLiteral("Copias de seguridad"), this);
    m_cmdCopiaSeguridad =
        boton(gCopias, QStringLiteral("cmdCopiaSeguridad"), QStringLiteral("Copia de seguridad..."));
    m_cmdRestaurarCopia =
        boton(gCopias, QStringLiteral("cmdRestaurarCopia"), QStringLiteral("Restaurar copia..."));
    auto *lblCopias =
        new QLabel(QStringLiteral("Guarde una copia de los datos donde elija, o vuelva a los de una "
                                  "copia anterior (las copias automáticas están en la carpeta de "
                                  "copias)."),
                   gCopias);
    lblCopias->setWordWrap(true);
    auto *lCopias = new QGridLayout(gCopias);
    lCopias->addWidget(lblCopias, 0, 0, 1, 3);
    lCopias->addWidget(m_cmdCopiaSeguridad, 1, 0);
    lCopias->addWidget(m_cmdRestaurarCopia, 1, 1);
    lCopias->setColumnStretch(2, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(gDatos);
    layout->addWidget(gDia);
    layout->addWidget(gSistema);
    layout->addWidget(gMail);
    layout->addWidget(gCopias);
    layout->addStretch();

    Niveles::conectar(m_cmdLimpiarCuotas, [this] { limpiarRegistroCuotas(); });
    Niveles::conectar(m_cmdDiaVencimiento, [this] { destaparDia(); });
    Niveles::conectar(m_cmdCambiarDia, [this] { cambiarDia(); });
    connect(m_txtDia, &QLineEdit::returnPressed, m_cmdCambiarDia, &QPushButton::click);
    Niveles::conectar(m_cmdConfigurarSistema, [this] { configurarSistema(); });
    Niveles::conectar(m_cmdConfigurarUsuarios, [this] { configurarUsuarios(); });
    Niveles::conectar(m_cmdRegistroActividad, [this] {
        panRegistroActividad w(this);
        w.exec();
    });
    Niveles::conectar(m_cmdEnviarAvisos, [this] { enviarAvisos(); });
    Niveles::conectar(m_cmdImportarMdb, [this] { importarMdb(); });
    Niveles::conectar(m_cmdCopiaSeguridad, [this] { copiaDeSeguridad(); });
}

void PanelUtilidades::setLimpiarCaja(std::function<void()> limpiar) {
    Niveles::conectar(m_cmdLimpiarCaja, std::move(limpiar));
}

void PanelUtilidades::setAlRestaurar(std::function<void()> soltarDatos, std::function<void()> releer) {
    Niveles::conectar(m_cmdRestaurarCopia,
                      [this, soltarDatos = std::move(soltarDatos), releer = std::move(releer)] {
                          if (restaurarCopia(soltarDatos))
                              releer();
                      });
}

void PanelUtilidades::setRefrescar(std::function<void()> tablas, std::function<void()> cuotas) {
    m_refrescarTablas = std::move(tablas);
    m_refrescarCuotas = std::move(cuotas);
}

void PanelUtilidades::limpiarRegistroCuotas() {
    if (!Module1::Confirma(QStringLiteral("Borra TODA la información de cuotas?")))
        return;
    const Expected<QString> copia = Cuotas::limpiarRegistro();
    if (!copia) {
        Mensaje::error(copia.message(), window());
        return;
    }
    if (m_refrescarTablas)
        m_refrescarTablas();
    Mensaje::informacion(
        QStringLiteral("Se borró el registro de cuotas. La copia de seguridad previa está en:\n%1")
            .arg(*copia),
        QString(), window());
}

void PanelUtilidades::destaparDia() {
    setTapaVisible(!tapaVisible());
    m_txtDia->setSelection(0, 2);
    m_txtDia->setFocus();
}

void PanelUtilidades::cambiarDia() {
    const auto dia = Cuotas::leerDia(m_txtDia->text());
    if (!dia) {
        Mensaje::error(QStringLiteral("Dia de vencimiento inválido !"), window());
        m_txtDia->setFocus();
        m_txtDia->selectAll();
        return;
    }
    if (Mensaje::mostrar(QStringLiteral("Seguro de cambiar el día de vencimiento a las cuotas?"),
                         QStringLiteral("Atención"), QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::No, window()) != QMessageBox::Yes)
        return;
    const Expected<QString> copia = Cuotas::cambiarDiaConCopia(*dia);
    if (!copia) {
        Mensaje::error(copia.message(), window());
        return;
    }
    if (m_refrescarCuotas)
        m_refrescarCuotas();
    setTapaVisible(true);
    m_lblListo->show();
    m_lblCopia->setText(QStringLiteral("Copia de seguridad previa: %1").arg(*copia));
}

void PanelUtilidades::configurarSistema() {
    panconfSist w(this);
    w.exec();
}

void PanelUtilidades::configurarUsuarios() {
    panConfUs w(this);
    w.exec();
}

void PanelUtilidades::enviarAvisos() {
    if (Mensaje::mostrar(QStringLiteral("Desea enviar mensajes de cuotas vencidas por e-mail?"),
                         QStringLiteral("Atención"), QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::No, this) != QMessageBox::Yes)
        return;
    // Disabled for the length of the run, so that it cannot be started twice.
    m_cmdEnviarAvisos->setEnabled(false);
    enviaMailDeudores();
    m_cmdEnviarAvisos->setEnabled(true);
}

void PanelUtilidades::enviaMailDeudores() {
    const Configuracion::Ajustes ajustes = Configuracion::leerTodo();
    if (!AvisosDeuda::configuracionCompleta(ajustes)) {
        Mensaje::error(AvisosDeuda::kFaltaConfiguracion, this);
        return;
    }
    int total = 0;
    for (;;) {
        const auto contadas = AvisosDeuda::contarPendientes();
        if (contadas) {
            total = *contadas;
            break;
        }
        const auto r = Mensaje::mostrar(QStringLiteral("Error detectado: 0 - ") + contadas.message() +
                                            QStringLiteral("\nQue desea hacer?"),
                                        QStringLiteral("Atención"), QMessageBox::Critical,
                                        QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
                                        QMessageBox::Abort, this);
        if (r != QMessageBox::Retry)
            return;
    }
    if (total == 0)
        return;

    AvisosDeuda::Envio envio;
    envio.locale = QLocale();
    envio.progreso = [this](int n, int total) {
        // A leading blank where a sign would go: two blanks before each number.
        m_lblTime->setText(QStringLiteral("Enviando Mensaje  %1 de  %2.").arg(n).arg(total));
        QCoreApplication::processEvents();
    };
    envio.alEsperar = [] { QCoreApplication::processEvents(); };
    envio.alFallarConexion = [this](int codigo, const QString &descripcion) {
        const auto r = Mensaje::mostrar(
            QStringLiteral("Error detectado: %1 - %2\nQue desea hacer?").arg(codigo).arg(descripcion),
            QStringLiteral("Atención"), QMessageBox::Critical,
            QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::Abort, this);
        return r == QMessageBox::Retry    ? AvisosDeuda::Decision::Reintentar
               : r == QMessageBox::Ignore ? AvisosDeuda::Decision::Ignorar
                                          : AvisosDeuda::Decision::Abortar;
    };
    envio.informe = [](const QString &linea, bool enviado) {
        if (enviado)
            Log::write(QStringLiteral("Aviso de deuda: ") + linea);
    };
    const AvisosDeuda::Resultado r =
        envio.ejecutar(ajustes, total, AvisosDeuda::lectorPendientes(ajustes.dias()));
    m_lblTime->setText(r.abortado ? QStringLiteral("Envío interrumpido.") : QStringLiteral("Listo!"));
    if (!r.detenido.isEmpty())
        Mensaje::error(r.detenido, this);
    if (r.fallidos == 0 && r.dudosos == 0 && r.sinDireccion == 0 && r.yaEnviados == 0 && r.recientes == 0)
        return;
    QString texto =
        QStringLiteral("Se enviaron %1 mensajes; %2 no se pudieron enviar.").arg(r.enviados).arg(r.fallidos);
    if (r.dudosos > 0)
        texto += QStringLiteral(" %1 quedaron dudosos: el servidor no confirmó si los recibió; no se repiten "
                                "hoy.")
                     .arg(r.dudosos);
    if (r.sinDireccion > 0)
        texto += QStringLiteral(" %1 sin dirección de e-mail.").arg(r.sinDireccion);
    if (r.yaEnviados > 0)
        texto += QStringLiteral(" %1 ya enviados hoy, no se repitieron.").arg(r.yaEnviados);
    if (r.recientes > 0)
        texto += QStringLiteral(" %1 avisados hace menos de %2 días, no se repitieron.")
                     .arg(r.recientes)
                     .arg(ajustes.dias());
    if (r.fallidos > 0 || r.dudosos > 0 || r.sinDireccion > 0)
        texto += QStringLiteral(" El registro del programa (%1) indica a quiénes.").arg(Log::file());
    Mensaje::mostrar(texto, QStringLiteral("Aviso de deuda"),
                     r.fallidos > 0 || r.dudosos > 0 ? QMessageBox::Warning : QMessageBox::Information,
                     QMessageBox::Ok, QMessageBox::Ok, this);
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
    m_pictapa->setVisible(visible);
}

bool PanelUtilidades::tapaVisible() const {
    return m_dayStack->currentIndex() == 1;
}

namespace {
// The program's own file dialog (not the desktop's), so it looks the same everywhere and tests can drive it.
// filtro: the first choice of file names; the open database's kind of copy when empty.
QString elegirArchivo(QWidget *padre, const QString &titulo, QFileDialog::AcceptMode modo,
                      const QString &inicial, const QString &filtro = QString()) {
    QFileDialog dialogo(padre, titulo);
    dialogo.setObjectName(QStringLiteral("dlgArchivoCopia"));
    dialogo.setOption(QFileDialog::DontUseNativeDialog);
    dialogo.setAcceptMode(modo);
    dialogo.setFileMode(modo == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The open database's kind of copy: .db for a file, .dump for a server.
    const QString extension = Backup::extension();
    dialogo.setNameFilters(
        {filtro.isEmpty() ? QStringLiteral("Copias de Mirabel (*.%1)").arg(extension) : filtro,
         QStringLiteral("Todos los archivos (*)")});
    dialogo.setDefaultSuffix(extension);
    const QFileInfo info(inicial);
    dialogo.setDirectory(info.isDir() ? inicial : info.absolutePath());
    if (!info.isDir())
        dialogo.selectFile(info.fileName());
    if (dialogo.exec() != QDialog::Accepted || dialogo.selectedFiles().isEmpty())
        return {};
    return dialogo.selectedFiles().constFirst();
}
} // namespace

void PanelUtilidades::copiaDeSeguridad() {
    const QString nombre = QStringLiteral("Mirabel-%1.%2")
                               .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")),
                                    Backup::extension());
    const QString destino = elegirArchivo(this, QStringLiteral("Copia de seguridad"), QFileDialog::AcceptSave,
                                          QDir::home().filePath(nombre));
    if (destino.isEmpty())
        return;
    if (QFileInfo(destino).absoluteFilePath() == QFileInfo(Database::path()).absoluteFilePath()) {
        Mensaje::error(QStringLiteral("La copia no puede reemplazar a la base de datos abierta."), this);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Result copiada = Backup::copyTo(destino);
    QApplication::restoreOverrideCursor();
    if (!copiada) {
        Mensaje::error(copiada.message(), this);
        return;
    }
    Mensaje::informacion(
        QStringLiteral("Copia de seguridad escrita en %1").arg(QDir::toNativeSeparators(destino)),
        QStringLiteral("Copia de seguridad"), this);
}

bool PanelUtilidades::restaurarCopia(const std::function<void()> &soltarDatos) {
    if (Database::isReadOnly()) {
        Mensaje::error(
            QStringLiteral("La base de datos abierta es de solo lectura: no se puede restaurar una "
                           "copia sobre ella."),
            this);
        return false;
    }
    // The copies of this database first: the others' share the folder.
    const QString copia =
        elegirArchivo(this, QStringLiteral("Restaurar copia"), QFileDialog::AcceptOpen,
                      QDir(Backup::folder()).exists() ? Backup::folder() : QDir::homePath(),
                      QStringLiteral("Copias de esta base (%1)").arg(Backup::pattern(Database::db())));
    if (copia.isEmpty())
        return false;
    const Expected<Backup::Contents> leida = Backup::inspect(copia, Database::path());
    if (!leida) {
        Mensaje::error(leida.message(), this);
        return false;
    }
    const Backup::Contents &contenido = *leida;
    // Another club's data over this one's is a choice made knowingly, never by a slip in the dialog.
    const Result deEsta = Backup::isCopyOf(contenido, Database::path());
    const bool otraBase = !deEsta;
    if (otraBase &&
        !Mensaje::preguntaSiNo(deEsta.message() +
                                   QStringLiteral("\n\n¿Restaurarla de todos modos? Los datos de esta base "
                                                  "serán reemplazados por los de la otra."),
                               QStringLiteral("Atención"), this))
        return false;
    const QString pregunta =
        QStringLiteral(
            "La copia %1 es del %2 y tiene %3.\n\n"
            "¿Reemplazar los datos actuales por los de la copia? Antes se guardará una copia de la "
            "base actual en %4.")
            .arg(QFileInfo(copia).fileName(), contenido.taken.toString(QStringLiteral("dd/MM/yyyy HH:mm")),
                 contenido.describe(), QDir::toNativeSeparators(Backup::folder()));
    if (!Mensaje::preguntaSiNo(pregunta, QStringLiteral("Atención"), this))
        return false;

    const QString ruta = Database::path();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (soltarDatos)
        soltarDatos();
    // A file is written through the engine while the program's connection stays open (another desk waits
    // for the write); a server's connections are closed and opened again. Either way the lists and windows
    // read the restored data at their next refresh.
    const Expected<QString> anterior = Backup::restore(copia, ruta, otraBase);
    QApplication::restoreOverrideCursor();
    if (!anterior) {
        Mensaje::error(anterior.message(), this);
        return true; // the lists were let go: they are read again
    }
    Mensaje::informacion(QStringLiteral("Copia restaurada. Los datos anteriores quedaron guardados en %1")
                             .arg(QDir::toNativeSeparators(*anterior)),
                         QStringLiteral("Restaurar copia"), this);
    return true;
}
