#include "SampleClub.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <cstdio>

namespace {

void print(FILE *f, const QString &text) {
    std::fputs(text.toUtf8().constData(), f);
    std::fflush(f);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Mirabel"));
    QCoreApplication::setApplicationName(QStringLiteral("mirabel-sample"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Genera un club de ejemplo para Mirabel en un archivo nuevo (si existe, lo reemplaza): cuentas,\n"
        "categorías, planes, socios (apellidos, nombres, documentos, domicilios, teléfonos, e-mails, fechas "
        "de\n"
        "nacimiento y de afiliación), las cuotas del año (emisión por plan para los socios que ya estaban,\n"
        "individual con inscripción para los que se asociaron después), los cobros con sus movimientos de "
        "caja y\n"
        "los demás ingresos y gastos del club. Las fechas se cuentan desde --today, así que el club tiene "
        "cuotas\n"
        "vencidas e impagas ese día. Misma semilla y misma fecha: el mismo archivo.\n"
        "\n"
        "Usuarios: el archivo trae siempre los tres usuarios de ejemplo, también sin --demo, para que las\n"
        "mediciones puedan ingresar:\n"
        "  super / super   nivel 1, supervisor\n"
        "  admin / admin   nivel 2, administrativo\n"
        "  socio / socio   nivel 3, otro usuario (carga de datos)\n"
        "Son contraseñas conocidas: un archivo generado sirve solo para probar, nunca para un club de "
        "verdad.\n"
        "--demo además muestra al terminar los usuarios con que ingresar.\n"
        "\n"
        "Ejemplos:\n"
        "  mirabel-sample --out demo.db --members 300 --seed 1 --demo\n"
        "  mirabel-sample --out grande.db --members 100000 --seed 7"));
    parser.addHelpOption();
    const QCommandLineOption outOption(
        QStringLiteral("out"), QStringLiteral("Archivo a crear (se reemplaza)."), QStringLiteral("ARCHIVO"));
    const QCommandLineOption membersOption(QStringLiteral("members"),
                                           QStringLiteral("Cantidad de socios (por omisión 300)."),
                                           QStringLiteral("N"), QStringLiteral("300"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Semilla (por omisión 1)."),
                                        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption todayOption(
        QStringLiteral("today"),
        QStringLiteral("Fecha de hoy para el club, AAAA-MM-DD (por omisión, la de hoy)."),
        QStringLiteral("FECHA"));
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Club para mostrar: al terminar indica los usuarios de la demostración."));
    parser.addOptions({outOption, membersOption, seedOption, todayOption, demoOption});
    parser.process(app);

    auto usage = [&](const QString &why) {
        print(stderr, QStringLiteral("mirabel-sample: %1 (ver --help)\n").arg(why));
        return 2;
    };
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("argumento de más: %1").arg(parser.positionalArguments().first()));
    if (!parser.isSet(outOption) || parser.value(outOption).isEmpty())
        return usage(QStringLiteral("falta --out ARCHIVO"));

    SampleClub::Options o;
    o.out = QDir::current().absoluteFilePath(parser.value(outOption));
    bool ok = false;
    o.members = parser.value(membersOption).toInt(&ok);
    if (!ok || o.members < 0 || o.members > 10000000)
        return usage(QStringLiteral("--members debe ser un número de 0 a 10000000"));
    o.seed = parser.value(seedOption).toULongLong(&ok);
    if (!ok)
        return usage(QStringLiteral("--seed debe ser un número entero no negativo"));
    if (parser.isSet(todayOption)) {
        o.today = QDate::fromString(parser.value(todayOption), Qt::ISODate);
        if (!o.today.isValid())
            return usage(QStringLiteral("--today debe ser una fecha AAAA-MM-DD"));
    }
    o.demo = parser.isSet(demoOption);

    SampleClub::Counts c;
    QString error;
    if (!SampleClub::generate(o, &c, &error)) {
        print(stderr, QStringLiteral("mirabel-sample: no se pudo generar %1: %2\n").arg(o.out, error));
        return 1;
    }
    const QLocale es(QLocale::Spanish, QLocale::Argentina);
    print(stdout, QStringLiteral("%1: %2 socios, %3 cuotas (%4 cobradas, %5 vencidas impagas al %6), "
                                 "%7 movimientos de caja, en %8 s.\n")
                      .arg(o.out, es.toString(c.members), es.toString(c.dues), es.toString(c.paidDues),
                           es.toString(c.overdueDues), o.today.toString(QStringLiteral("dd/MM/yyyy")),
                           es.toString(c.movements), es.toString(c.milliseconds / 1000.0, 'f', 2)));
    if (o.demo) {
        QString users;
        for (const SampleClub::User &u : SampleClub::kUsers)
            users += QStringLiteral("  %1 / %2   nivel %3\n")
                         .arg(QString::fromUtf8(u.name), QString::fromUtf8(u.password))
                         .arg(u.level);
        print(stdout, QStringLiteral("Club de demostración. Usuarios (solo para la demo):\n") + users);
    }
    return 0;
}
