#include "ui/Module1.h"

#include "core/Log.h"
#include "db/Database.h"
#include "ui/Mensaje.h"
#include "ui/Ventana.h"

#include <QComboBox>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QWidget>

namespace Module1 {

QSqlDatabase BaseDatos() {
    return Database::db();
}

QVariant BuscaValor(const QString &sql, const QString &campo, const QVariantList &params) {
    return Database::buscaValor(sql, campo, params);
}

void CentraForm(QWidget *ventana) {
    Ventana::centrar(ventana);
}

bool Confirma(const QString &texto) {
    return Mensaje::mostrar(texto + QStringLiteral(" ??"), QStringLiteral("Pregunta"), QMessageBox::Question,
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                            QMessageBox::Yes) == QMessageBox::Yes;
}

namespace {
// Runs the query and calls add(record) for each row; errors are logged and end the filling.
template <typename Add> void forEachRow(const QString &sql, const QVariantList &params, Add add) {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(q, sql, params, QStringLiteral("LlenaCombo")))
        return;
    while (q.next())
        add(q.record());
}

QVariant field(const QSqlRecord &rec, const QString &name) {
    const int idx = Database::fieldIndex(rec, name);
    if (idx < 0) {
        Log::error(QStringLiteral("LlenaCombo"), QStringLiteral("campo inexistente ") + name);
        return {};
    }
    return rec.value(idx);
}
} // namespace

void LlenaCombo(QComboBox *combo, const QString &sql, const QString &campo, const QVariantList &params) {
    forEachRow(sql, params, [&](const QSqlRecord &rec) {
        const QVariant v = field(rec, campo);
        if (!v.isNull())
            combo->addItem(v.toString());
    });
}

void LlenaComboId(QComboBox *combo, const QString &sql, const QString &campoTexto, const QString &campoId,
                  const QVariantList &params) {
    forEachRow(sql, params, [&](const QSqlRecord &rec) {
        const QVariant text = field(rec, campoTexto);
        if (text.isNull())
            return;
        combo->addItem(text.toString(), field(rec, campoId).toInt());
    });
}

} // namespace Module1
