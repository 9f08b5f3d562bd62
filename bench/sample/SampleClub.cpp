#include "SampleClub.h"

#include "SampleNames.h"
#include "SampleRandom.h"

#include "admin/Usuarios.h"

#include "core/Money.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <unordered_set>
#include <vector>

const SampleClub::User SampleClub::kUsers[3] = {
    {"super", "super", "Supervisor de ejemplo", 1},
    {"admin", "admin", "Administrativo de ejemplo", 2},
    {"socio", "socio", "Socio de ejemplo (carga de datos)", 3},
};

namespace {

// Rows of "Cuentas" and "TipoDivisas": account 1 and the forms of payment come with every new file.
enum Account { kCaja = 1, kBanco = 2, kCajaChica = 3, kMercadoPago = 4 };
enum FormOfPayment { kEfectivo = 1, kCheque = 2, kTransferencia = 3, kDebito = 4, kCredito = 5 };
const char *const kExtraAccounts[] = {"Banco Nación", "Caja chica", "Mercado Pago"};

const char *const kCategories[] = {"Activo",    "Cadete",     "Menor",     "Grupo familiar", "Jubilado",
                                   "Adherente", "Temporario", "Vitalicio", "Honorario"};
enum Category {
    kActivo,
    kCadete,
    kMenor,
    kFamiliar,
    kJubilado,
    kAdherente,
    kTemporario,
    kVitalicio,
    kHonorario
};

// When a plan's dues year starts: most run from eleven months ago, so that nearly all of the year is due
// by today; the football school follows the school year, the pool the summer.
enum class Season { Year, Football, Pool };

struct PlanDef {
    const char *descripcion;
    const char *detalles;
    qint64 cuotaCentavos;
    int cantidad;
    qint64 inscripcionCentavos;
    int weight;
    int minAge;
    int maxAge;
    Category category;
    Season season;
};

const PlanDef kPlans[] = {
    {"Socio Activo", "Mayores de 18 años: todas las disciplinas y la pileta en temporada.", 1500000, 12,
     1000000, 37, 18, 69, kActivo, Season::Year},
    {"Socio Cadete", "De 6 a 17 años, con autorización de los padres.", 900000, 12, 500000, 14, 6, 17,
     kCadete, Season::Year},
    {"Grupo Familiar", "Titular, cónyuge e hijos menores de 18 años.", 3200000, 12, 1500000, 12, 28, 60,
     kFamiliar, Season::Year},
    {"Socio Jubilado", "Jubilados y pensionados con carnet; sin inscripción.", 750000, 12, 0, 11, 65, 92,
     kJubilado, Season::Year},
    {"Socio Adherente", "Sin acceso a deportes federados.", 625050, 12, 300000, 12, 18, 85, kAdherente,
     Season::Year},
    {"Escuela de Fútbol Infantil", "Temporada de marzo a diciembre.", 1250000, 10, 600000, 9, 5, 13, kMenor,
     Season::Football},
    {"Temporada de Pileta", "De diciembre a marzo, para quienes no son socios.", 2200000, 4, 800000, 5, 5, 75,
     kTemporario, Season::Pool},
};
constexpr int kPlanCount = int(std::size(kPlans));

const char *const kMonthNames[] = {"Enero", "Febrero", "Marzo",      "Abril",   "Mayo",      "Junio",
                                   "Julio", "Agosto",  "Septiembre", "Octubre", "Noviembre", "Diciembre"};

// How a member pays: on time, in bursts every few months, on time until they stop, or never.
enum class Payer : quint8 { OnTime, Late, StopsPaying, Never };

Money pesos(qint64 centavos) {
    return Money::fromUnits(centavos * (Money::Scale / 100));
}

QDate seasonStart(Season s, const QDate &today) {
    switch (s) {
    case Season::Football: {
        const QDate march(today.year(), 3, 10);
        return today >= march ? march : march.addYears(-1);
    }
    case Season::Pool: {
        const QDate december(today.year(), 12, 10);
        return today >= december ? december : december.addYears(-1);
    }
    case Season::Year:
        break;
    }
    return QDate(today.year(), today.month(), 10).addMonths(-11);
}

struct Member {
    int plan = 0;
    QDate birth;
    QDate joined;
    bool male = false;
    bool isNew = false;    // joined after the plan's dues year started: issued individually
    bool inactive = false; // kept on the list but left out of this year's plan-wide issue
    Payer payer = Payer::OnTime;
    quint8 account = kCaja;
    std::uint64_t detailSeed = 0;
    int order = 0;
    int id = 0;
    QString apellido;
    QString claveOrden; // stored again on each of the member's dues
};

struct Movement {
    qint64 day = 0; // Julian day
    quint32 tiebreak = 0;
    qint64 ingresos = 0;
    qint64 egresos = 0;
    int idCuota = 0; // 0: not a collection
    int member = -1;
    int text = 0; // the concept of the due, or the description of a plain movement
    quint8 account = kCaja;
    quint8 tipo = kEfectivo;
};

// Texts used many times (concepts of dues, descriptions of movements), each stored once.
class Texts {
public:
    int intern(const QString &text) {
        auto it = m_byText.constFind(text);
        if (it != m_byText.constEnd())
            return *it;
        m_texts.append(text);
        m_byText.insert(text, int(m_texts.size() - 1));
        return int(m_texts.size() - 1);
    }
    // The same, for a text known by a number, without building it again.
    int intern(qint64 key, const std::function<QString()> &make) {
        auto it = m_byKey.constFind(key);
        if (it != m_byKey.constEnd())
            return *it;
        const int id = intern(make());
        m_byKey.insert(key, id);
        return id;
    }
    const QString &at(int i) const { return m_texts.at(i); }

private:
    QHash<QString, int> m_byText;
    QHash<qint64, int> m_byKey;
    QStringList m_texts;
};

// ISO dates, built once per day.
class IsoDates {
public:
    const QString &at(const QDate &d) {
        const qint64 jd = d.toJulianDay();
        if (m_cache.empty()) {
            m_base = jd - 40000;
            m_cache.resize(45000);
        }
        const qint64 i = jd - m_base;
        if (i < 0 || i >= qint64(m_cache.size())) {
            m_spare = d.toString(Qt::ISODate);
            return m_spare;
        }
        QString &s = m_cache[std::size_t(i)];
        if (s.isEmpty())
            s = d.toString(Qt::ISODate);
        return s;
    }

private:
    qint64 m_base = 0;
    std::vector<QString> m_cache;
    QString m_spare;
};

// Folds a name into the letters an e-mail address can carry: "Núñez" -> "nunez", "D'Angelo" -> "dangelo".
QString mailPart(const QString &text) {
    QString out;
    for (const QChar ch : text.normalized(QString::NormalizationForm_D)) {
        const QChar c = ch.toLower();
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            out += c;
    }
    return out;
}

QString firstWord(const QString &s) {
    return s.section(QLatin1Char(' '), 0, 0);
}

// Argentine numbers: ten digits between area code and local number; mobiles dial 15 before the number.
QString phone(SampleRandom &r, const SampleNames::Town &town, bool mobile) {
    const QString area = QString::fromLatin1(town.areaCode);
    const int localDigits = 10 - int(area.size());
    QString local;
    local += QChar(u'0' + int(r.between(mobile ? 3 : 4, mobile ? 6 : 4)));
    for (int i = 1; i < localDigits; ++i)
        local += QChar(u'0' + int(r.between(0, 9)));
    // Written as people write them: "42-3456", "421-5678", "4567-8901"; mobiles keep short numbers whole.
    const int split = localDigits - 4;
    const QString shown =
        mobile && localDigits < 8 ? local : local.left(split) + QLatin1Char('-') + local.mid(split);
    return QStringLiteral("(0%1) %2%3").arg(area, mobile ? QStringLiteral("15-") : QString(), shown);
}

// The document number follows the year of birth, as Argentine numbers were handed out.
qint64 documentNumber(SampleRandom &r, int birthYear) {
    struct Point {
        int year;
        qint64 number;
    };
    static const Point kPoints[] = {{1930, 1500000},  {1950, 6000000},  {1965, 16000000}, {1980, 27500000},
                                    {1995, 39000000}, {2005, 46000000}, {2015, 54000000}, {2030, 62000000}};
    qint64 base = kPoints[0].number;
    for (std::size_t i = 1; i < std::size(kPoints); ++i) {
        if (birthYear <= kPoints[i].year) {
            const Point a = kPoints[i - 1], b = kPoints[i];
            const int y = qMax(birthYear, a.year);
            base = a.number + (b.number - a.number) * (y - a.year) / (b.year - a.year);
            break;
        }
        base = kPoints[i].number;
    }
    return qMax<qint64>(1000000, base + r.between(-900000, 900000));
}

class Writer {
public:
    explicit Writer(const SampleClub::Options &o) : m_o(o), m_rng(o.seed), m_today(o.today) {}

    bool run(SampleClub::Counts *counts, QString *error);

private:
    bool prepare(QSqlQuery &q, const char *sql);
    bool exec(QSqlQuery &q);
    bool fail(const QString &why);

    bool writeCatalogues();
    void planMembers();
    bool writeMembers();
    bool writeDues();
    bool issueSeries(Member &m, const QDate &first, int count, bool planWide, int yearOfIssue,
                     const std::vector<Money> &amounts);
    void collect(const Member &m, const std::vector<QDate> &due, std::size_t firstMonthly,
                 const QDate &issued, std::vector<QDate> &paid);
    void plainMovements();
    bool writeMovements();

    const SampleClub::Options &m_o;
    SampleRandom m_rng;
    QDate m_today;
    QString m_error;
    std::vector<Member> m_members;
    std::vector<Movement> m_movements;
    std::vector<int> m_planIds, m_categoryIds;
    Texts m_texts;
    IsoDates m_iso;
    QSqlQuery m_insCuota{Database::db()};
    SampleClub::Counts m_counts;
    // Dues of one member, kept between issuing and collecting.
    struct Due {
        QDate due;
        Money amount;
        int text;
        int id;
    };
    std::vector<Due> m_series;
};

bool Writer::fail(const QString &why) {
    if (m_error.isEmpty())
        m_error = why;
    return false;
}

bool Writer::prepare(QSqlQuery &q, const char *sql) {
    if (!q.prepare(QString::fromUtf8(sql)))
        return fail(q.lastError().text());
    return true;
}

bool Writer::exec(QSqlQuery &q) {
    if (!q.exec())
        return fail(q.lastError().text());
    return true;
}

bool Writer::writeCatalogues() {
    QSqlQuery q(Database::db());
    if (!prepare(q, R"(INSERT INTO "Cuentas" ("Descripcion") VALUES (?))"))
        return false;
    for (const char *name : kExtraAccounts) {
        q.bindValue(0, QString::fromUtf8(name));
        if (!exec(q))
            return false;
    }
    if (!prepare(q, R"(INSERT INTO "Categorias" ("Descripcion") VALUES (?))"))
        return false;
    for (const char *name : kCategories) {
        q.bindValue(0, QString::fromUtf8(name));
        if (!exec(q))
            return false;
        m_categoryIds.push_back(q.lastInsertId().toInt());
    }
    if (!prepare(q, R"(INSERT INTO "Planes" ("Descripcion", "Detalles", "CuotaMensual", "CantidadCuotas",
                       "Inscripcion", "MesComienzo", "MesFinal") VALUES (?, ?, ?, ?, ?, ?, ?))"))
        return false;
    for (const PlanDef &p : kPlans) {
        const QDate start = seasonStart(p.season, m_today);
        const QDate end = start.addMonths(p.cantidad - 1);
        q.bindValue(0, QString::fromUtf8(p.descripcion));
        q.bindValue(1, QString::fromUtf8(p.detalles));
        q.bindValue(2, pesos(p.cuotaCentavos).toVariant());
        q.bindValue(3, p.cantidad);
        q.bindValue(4, pesos(p.inscripcionCentavos).toVariant());
        q.bindValue(5, QString::fromUtf8(kMonthNames[start.month() - 1]));
        q.bindValue(6, QString::fromUtf8(kMonthNames[end.month() - 1]));
        if (!exec(q))
            return false;
        m_planIds.push_back(q.lastInsertId().toInt());
    }
    if (!prepare(q,
                 R"(INSERT INTO "Usuarios" ("NombreUsuario", "Contrasena", "NombreCompleto", "EsSupervisor",
                       "EsAdministrativo", "EsDataEntry") VALUES (?, ?, ?, ?, ?, ?))"))
        return false;
    for (const SampleClub::User &u : SampleClub::kUsers) {
        q.bindValue(0, QString::fromUtf8(u.name));
        // Demo users log in like real ones: only the hash is stored.
        q.bindValue(1, Usuarios::hash(QString::fromUtf8(u.password)));
        q.bindValue(2, QString::fromUtf8(u.fullName));
        q.bindValue(3, u.level == 1 ? 1 : 0);
        q.bindValue(4, u.level == 2 ? 1 : 0);
        q.bindValue(5, u.level == 3 ? 1 : 0);
        if (!exec(q))
            return false;
    }
    return true;
}

// Who the members are and when they joined; names and addresses come later, from each member's own seed,
// once the list is in joining order (members get their numbers in the order they joined).
void Writer::planMembers() {
    std::vector<int> weights;
    for (const PlanDef &p : kPlans)
        weights.push_back(p.weight);
    const QDate oldest = m_today.addYears(-40);
    m_members.resize(std::size_t(qMax(0, m_o.members)));
    for (std::size_t i = 0; i < m_members.size(); ++i) {
        Member &m = m_members[i];
        m.order = int(i);
        m.plan = int(m_rng.weighted(weights));
        const PlanDef &p = kPlans[m.plan];
        m.male = m_rng.chance(500);
        m.birth = m_today.addYears(-int(m_rng.between(p.minAge, p.maxAge))).addDays(-m_rng.between(0, 364));
        const QDate start = seasonStart(p.season, m_today);
        const QDate lo = qMax(oldest, m.birth.addYears(5));
        const QDate hi = start.addDays(-1);
        m.isNew = m_rng.chance(120) || lo > hi;
        if (m.isNew) {
            m.joined = m_rng.dateBetween(qMax(start, m.birth.addYears(4)), m_today);
        } else {
            // Most members joined in recent years; a few have been in for decades.
            const qint64 span = lo.daysTo(hi);
            const qint64 r = m_rng.between(0, span);
            m.joined = hi.addDays(-(span ? r * r / span : 0));
        }
        m.inactive = !m.isNew && m_rng.chance(20);
        m.payer = Payer(m_rng.weighted({55, 25, 12, 8}));
        m.account = quint8(std::array<int, 3>{kCaja, kBanco, kMercadoPago}[m_rng.weighted({65, 22, 13})]);
        m.detailSeed = std::uint64_t(m_rng.between(0, std::numeric_limits<std::int64_t>::max()));
    }
    std::stable_sort(m_members.begin(), m_members.end(),
                     [](const Member &a, const Member &b) { return a.joined < b.joined; });
}

bool Writer::writeMembers() {
    QSqlQuery q(Database::db());
    if (!prepare(q,
                 R"(INSERT INTO "Afiliados" ("Apellido", "Nombres", "TipoDocumento", "Documento", "Domicilio",
                       "Barrio", "Localidad", "Telefono", "Telefono Trabajo", "Fax", "e-mail", "Ocupacion",
                       "Fecha Nacimiento", "Fecha Afiliacion", "idPlan", "idCategoria", "Estado Civil", "Sexo",
                       "Afecciones", "Oficio de Riesgo", "ClaveOrden")
                       VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))"))
        return false;
    const auto surnames = SampleNames::surnames();
    const auto towns = SampleNames::towns();
    std::unordered_set<qint64> documents;
    const QString empty = QStringLiteral("");
    for (Member &m : m_members) {
        SampleRandom r(m.detailSeed);
        const PlanDef &p = kPlans[m.plan];
        const int age = m.birth.daysTo(m_today) / 365;
        const bool minor = age < 18;
        auto givenName = [&r](bool male) {
            return QString::fromUtf8(male ? r.pick(SampleNames::maleNames())
                                          : r.pick(SampleNames::femaleNames()));
        };

        const QString paterno = QString::fromUtf8(r.pick(surnames));
        QString apellido = paterno;
        if (r.chance(25)) // a double surname, as some people are registered
            apellido += QLatin1Char(' ') + QString::fromUtf8(r.pick(surnames));
        QString nombres = givenName(m.male);
        if (r.chance(400)) {
            const QString second = givenName(m.male);
            if (second != nombres)
                nombres += QLatin1Char(' ') + second;
        }

        QString tipoDoc = QStringLiteral("DNI");
        QString documento;
        if (r.chance(12)) {
            tipoDoc = QStringLiteral("PAS");
            documento = QStringLiteral("%1%2%3")
                            .arg(QChar(u'A' + int(r.between(0, 25))))
                            .arg(QChar(u'A' + int(r.between(0, 25))))
                            .arg(r.between(1000000, 9999999));
        } else {
            if (m.birth.year() < 1968 && r.chance(600))
                tipoDoc = m.male ? QStringLiteral("LE") : QStringLiteral("LC");
            qint64 n = documentNumber(r, m.birth.year());
            while (!documents.insert(n).second)
                ++n;
            documento = QString::number(n);
        }

        // Most members live in the club's town, some nearby, a few further away.
        const std::size_t townIndex =
            r.chance(720) ? 0 : (r.chance(700) ? 1 + r.index(5) : 6 + r.index(towns.size() - 6));
        const SampleNames::Town &town = towns[townIndex];
        QString street = QStringLiteral("%1 %2")
                             .arg(QString::fromUtf8(r.pick(SampleNames::streets())))
                             .arg(r.between(1, 3999));
        if (r.chance(120))
            street += QStringLiteral(" %1° %2").arg(r.between(1, 12)).arg(QChar(u'A' + int(r.between(0, 5))));
        QString domicilio = street + QStringLiteral(", ") + QString::fromUtf8(town.name);
        if (domicilio.size() > 50)
            domicilio = street;

        // The editor labels these two boxes as the father's and the mother's names: filled for minors.
        QString padre = empty, madre = empty, escuela = empty;
        QString mother;
        if (minor) {
            padre = givenName(true) + QLatin1Char(' ') + paterno;
            mother = givenName(false);
            madre = mother + QLatin1Char(' ') + QString::fromUtf8(r.pick(surnames));
            if (r.chance(850))
                escuela = QString::fromUtf8(r.pick(SampleNames::schools()));
        }
        const QString telefono = phone(r, town, r.chance(650));
        const QString telefono2 = r.chance(350) ? phone(r, town, true) : empty;
        const QString estudios =
            !minor && r.chance(200) ? QString::fromUtf8(r.pick(SampleNames::previousStudies())) : empty;

        QString email = empty;
        if (r.chance(minor ? 350 : 800)) {
            const QString who = mailPart(firstWord(minor ? mother : nombres));
            const QString sur = mailPart(apellido);
            QString user;
            switch (r.between(0, 3)) {
            case 0:
                user = who + QLatin1Char('.') + sur;
                break;
            case 1:
                user = who + sur + QString::number(m.birth.year() % 100);
                break;
            case 2:
                user = who.left(1) + sur;
                break;
            default:
                user = sur + QLatin1Char('.') + who + QString::number(r.between(1, 99));
                break;
            }
            email = user + QLatin1Char('@') + QString::fromUtf8(r.pick(SampleNames::mailProviders()));
            if (email.size() > 50)
                email = empty;
        }

        QVariant category = m_categoryIds[p.category];
        if (p.category == kActivo && m.joined.daysTo(m_today) > 25 * 365)
            category = m_categoryIds[kVitalicio];
        if (r.chance(4))
            category = m_categoryIds[kHonorario];
        if (r.chance(10)) // rows from before categories were kept
            category = QVariant();

        QString estadoCivil = empty;
        if (!minor) {
            const int s = int(r.weighted({40, 45, 10, age > 60 ? 15 : 2}));
            static const char *const kMale[] = {"Soltero", "Casado", "Divorciado", "Viudo"};
            static const char *const kFemale[] = {"Soltera", "Casada", "Divorciada", "Viuda"};
            estadoCivil = QString::fromUtf8(m.male ? kMale[s] : kFemale[s]);
        }
        const QString afecciones =
            r.chance(60) ? QString::fromUtf8(r.pick(SampleNames::conditions())) : empty;
        const QString oficio = !minor && r.chance(50) ? QStringLiteral("Sí") : QStringLiteral("No");

        m.claveOrden = SqlEngine::memberSortKey(apellido, nombres);
        const QVariant values[] = {apellido,
                                   nombres,
                                   tipoDoc,
                                   documento,
                                   domicilio,
                                   padre,
                                   madre,
                                   telefono,
                                   telefono2,
                                   estudios,
                                   email,
                                   escuela,
                                   m_iso.at(m.birth),
                                   m_iso.at(m.joined),
                                   m_planIds[m.plan],
                                   category,
                                   estadoCivil,
                                   m.male ? QStringLiteral("M") : QStringLiteral("F"),
                                   afecciones,
                                   oficio,
                                   m.claveOrden};
        for (int i = 0; i < int(std::size(values)); ++i)
            q.bindValue(i, values[i]);
        if (!exec(q))
            return false;
        m.id = q.lastInsertId().toInt();
        m.apellido = apellido;
        ++m_counts.members;
    }
    return true;
}

// One series of dues for a member, as the issuing windows write them, then who paid which and when.
bool Writer::issueSeries(Member &m, const QDate &first, int count, bool planWide, int yearOfIssue,
                         const std::vector<Money> &amounts) {
    const PlanDef &p = kPlans[m.plan];
    m_series.clear();
    QDate issued = planWide ? first.addDays(-7) : m.joined;
    if (!planWide && p.inscripcionCentavos > 0) {
        const int text = m_texts.intern(0, [] { return QStringLiteral("INSCRIPCION"); });
        m_series.push_back({m.joined, pesos(p.inscripcionCentavos), text, 0});
    }
    const std::size_t firstMonthly = m_series.size();
    // Each due date comes from the previous one, so a day cut short by a short month stays short.
    QDate d = first;
    for (int n = 1; n <= count; ++n) {
        int text;
        if (planWide) {
            const qint64 key = 100000 + d.year() * 100 + d.month();
            const int month = d.month(), year = d.year();
            text = m_texts.intern(key, [=] { return QStringLiteral("MES %1 AÑO %2").arg(month).arg(year); });
        } else {
            text = m_texts.intern(n, [n] { return QStringLiteral("CUOTA MES %1").arg(n); });
        }
        m_series.push_back({d, amounts[std::size_t(n - 1)], text, 0});
        d = d.addMonths(1);
    }

    std::vector<QDate> dueDates, paid;
    for (const Due &due : m_series)
        dueDates.push_back(due.due);
    collect(m, dueDates, firstMonthly, issued, paid);

    QSqlQuery &q = m_insCuota;
    for (std::size_t i = 0; i < m_series.size(); ++i) {
        Due &due = m_series[i];
        const bool inscription = i < firstMonthly;
        q.bindValue(0, m.id);
        q.bindValue(1, m_planIds[m.plan]);
        q.bindValue(2, inscription ? 0 : due.due.month());
        q.bindValue(3, inscription ? yearOfIssue : (planWide ? yearOfIssue : due.due.year()));
        q.bindValue(4, m_iso.at(due.due));
        q.bindValue(5, m_texts.at(due.text));
        q.bindValue(6, due.amount.toVariant());
        q.bindValue(7, paid[i].isValid() ? 1 : 0);
        q.bindValue(8, paid[i].isValid() ? QVariant(m_iso.at(paid[i])) : QVariant());
        q.bindValue(9, m.claveOrden);
        if (!exec(q))
            return false;
        due.id = q.lastInsertId().toInt();
        ++m_counts.dues;
        if (paid[i].isValid())
            ++m_counts.paidDues;
        else if (due.due <= m_today)
            ++m_counts.overdueDues;
    }
    // The cash movements of the payments, placed in the cash book later in date order. Dues paid on one
    // visit are booked one after the other, into the same account (now and then not the usual one).
    std::size_t visitStart = m_movements.size();
    for (std::size_t i = 0; i < m_series.size(); ++i) {
        if (!paid[i].isValid())
            continue;
        Movement mv;
        mv.day = paid[i].toJulianDay();
        const bool sameVisit = m_movements.size() > visitStart && m_movements.back().day == mv.day;
        if (sameVisit) {
            mv.tiebreak = m_movements.back().tiebreak;
            mv.account = m_movements.back().account;
        } else {
            visitStart = m_movements.size();
            mv.tiebreak = quint32(m_rng.between(0, 0xffffffff));
            mv.account = m_rng.chance(80)
                             ? quint8(std::array<int, 3>{kCaja, kBanco, kMercadoPago}[m_rng.index(3)])
                             : m.account;
        }
        mv.ingresos = m_series[i].amount.units();
        mv.idCuota = m_series[i].id;
        mv.member = int(&m - m_members.data());
        mv.text = m_series[i].text;
        mv.tipo = kEfectivo; // a collection always records form of payment 1
        m_movements.push_back(mv);
    }
    return true;
}

// Decides the payment date of each due (invalid: unpaid). A member comes to pay on "visits"; a visit pays
// every unpaid due that has fallen due by then (on-time payers also what falls due in the next days).
void Writer::collect(const Member &m, const std::vector<QDate> &due, std::size_t firstMonthly,
                     const QDate &issued, std::vector<QDate> &paid) {
    paid.assign(due.size(), QDate());
    auto visit = [&](const QDate &when, int lookAheadDays) {
        if (when > m_today)
            return;
        for (std::size_t i = firstMonthly; i < due.size(); ++i)
            if (!paid[i].isValid() && due[i] <= when.addDays(lookAheadDays))
                paid[i] = when;
    };
    // The inscription is usually paid on the day of joining, even by those who then never pay again.
    if (firstMonthly > 0 && m_rng.chance(m.payer == Payer::Never ? 400 : 900))
        paid[0] = m.joined;
    const std::size_t start = firstMonthly;
    if (start >= due.size())
        return;
    switch (m.payer) {
    case Payer::OnTime:
    case Payer::StopsPaying: {
        const std::size_t stop = m.payer == Payer::StopsPaying
                                     ? start + std::size_t(m_rng.between(0, qint64(due.size() - start)))
                                     : due.size();
        for (std::size_t i = start; i < stop; ++i) {
            if (m_rng.chance(30)) // forgot this month: paid with the next one
                continue;
            visit(qMax(issued, due[i].addDays(m_rng.between(-8, 6))), 10);
        }
        break;
    }
    case Payer::Late: {
        QDate when = due[start].addDays(m_rng.between(15, 60));
        while (when <= m_today) {
            visit(qMax(issued, when), 0);
            when = when.addDays(m_rng.between(50, 110));
        }
        break;
    }
    case Payer::Never:
        break;
    }
}

bool Writer::writeDues() {
    if (!prepare(m_insCuota,
                 R"(INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Mes", "Año", "Vencimiento", "Factura",
                                "Monto", "Pagada", "Fecha de Pago", "ClaveSocio")
                       VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?))"))
        return false;
    // First the plan-wide issue that opened each plan's dues year, for the members already in; the amounts
    // list was edited for the raises announced for the year (the plan now holds the last amount).
    for (int plan = 0; plan < kPlanCount; ++plan) {
        const PlanDef &p = kPlans[plan];
        const QDate start = seasonStart(p.season, m_today);
        std::vector<Money> amounts;
        for (int n = 1; n <= p.cantidad; ++n) {
            qint64 units = pesos(p.cuotaCentavos).units();
            if (p.season == Season::Year) {
                const int percent = n <= 4 ? 80 : (n <= 8 ? 90 : 100);
                const qint64 step = 50 * Money::Scale; // rounded to 50 pesos
                units = percent == 100 ? units : (units * percent / 100 + step / 2) / step * step;
            }
            amounts.push_back(Money::fromUnits(units));
        }
        for (Member &m : m_members) {
            if (m.plan != plan || m.isNew || m.inactive)
                continue;
            if (!issueSeries(m, start, p.cantidad, true, start.year(), amounts))
                return false;
        }
    }
    // Then each member who joined since, issued on the day of joining: inscription and the plan's dues.
    for (Member &m : m_members) {
        if (!m.isNew)
            continue;
        const PlanDef &p = kPlans[m.plan];
        const std::vector<Money> amounts(std::size_t(p.cantidad), pesos(p.cuotaCentavos));
        if (!issueSeries(m, m.joined, p.cantidad, false, m.joined.year(), amounts))
            return false;
    }
    return true;
}

// The club's other income and expenses: bills, wages, petty cash, hall and court rentals, the canteen.
void Writer::plainMovements() {
    const qint64 scale = qMax<qint64>(1, m_o.members / 300);
    const int courts = 1 + m_o.members / 5000;
    QDate from = seasonStart(Season::Year, m_today).addMonths(-1);
    auto add = [&](const QDate &d, const char *text, bool income, int account, int tipo, qint64 minPesos,
                   qint64 maxPesos, bool scaled, bool cents) {
        Movement mv;
        mv.day = d.toJulianDay();
        mv.tiebreak = quint32(m_rng.between(0, 0xffffffff));
        qint64 centavos = m_rng.between(minPesos, maxPesos) * 100;
        if (cents)
            centavos += m_rng.between(0, 99);
        if (scaled)
            centavos *= scale;
        const qint64 units = pesos(centavos).units();
        (income ? mv.ingresos : mv.egresos) = units;
        mv.text = m_texts.intern(QString::fromUtf8(text));
        mv.account = quint8(account);
        mv.tipo = quint8(tipo);
        m_movements.push_back(mv);
    };
    for (QDate d = from; d <= m_today; d = d.addDays(1)) {
        const int dom = d.day(), dow = d.dayOfWeek(), month = d.month();
        const bool summer = month == 12 || month <= 3;
        const bool winter = month >= 6 && month <= 8;
        switch (dom) {
        case 5:
            add(d, "Sueldos del personal", false, kBanco, kTransferencia, 2300000, 2500000, true, false);
            break;
        case 10:
            add(d, "Cargas sociales (F. 931)", false, kBanco, kTransferencia, 800000, 900000, true, true);
            break;
        case 12:
            add(d, "Pago de luz", false, kBanco, kTransferencia, summer ? 380000 : 250000,
                summer ? 460000 : 320000, true, true);
            break;
        case 14:
            add(d, "Pago de gas", false, kBanco, kTransferencia, winter ? 240000 : 60000,
                winter ? 320000 : 95000, true, true);
            break;
        case 16:
            add(d, "Pago de agua", false, kBanco, kTransferencia, 38000, 52000, true, true);
            break;
        case 18:
            add(d, "Abono de internet y teléfono", false, kBanco, kCredito, 36000, 41000, false, true);
            break;
        case 20:
            add(d, "Honorarios del contador", false, kBanco, kCheque, 180000, 180000, false, false);
            break;
        case 22:
            add(d, "Seguro integral del edificio", false, kBanco, kTransferencia, 110000, 125000, true, true);
            break;
        case 25:
            if (month % 2 == 0)
                add(d, "Tasa municipal de servicios", false, kBanco, kTransferencia, 60000, 75000, true,
                    true);
            break;
        case 28:
            add(d, "Comisiones bancarias", false, kBanco, kTransferencia, 8000, 15000, false, true);
            if (month % 3 == 0)
                add(d, "Subsidio municipal al deporte", true, kBanco, kTransferencia, 400000, 600000, false,
                    false);
            break;
        default:
            break;
        }
        if (dow == 1)
            add(d, "Compra de artículos de limpieza", false, kCajaChica, kEfectivo, 25000, 60000, false,
                false);
        if (dow == 4)
            add(d, "Librería y fotocopias", false, kCajaChica, kEfectivo, 3000, 15000, false, false);
        if (dow == 5 && d.weekNumber() % 2 == 0) {
            // Petty cash is topped up from the main cash box: out of one, into the other.
            add(d, "Reposición de caja chica", false, kCaja, kEfectivo, 100000, 100000, false, false);
            add(d, "Reposición de caja chica", true, kCajaChica, kEfectivo, 100000, 100000, false, false);
            m_movements.back().tiebreak = m_movements[m_movements.size() - 2].tiebreak;
        }
        if (summer && dow == 3)
            add(d, "Mantenimiento de la pileta", false, kCajaChica, kEfectivo, 60000, 110000, false, false);
        if (dow == 6 && m_rng.chance(700))
            add(d, "Alquiler del salón", true, kCaja, kEfectivo, 250000, 400000, false, false);
        if (dow == 7)
            add(d, "Recaudación de la cantina", true, kCaja, kEfectivo, 150000, 450000, false, false);
        for (int c = 0; c < courts; ++c)
            if (m_rng.chance(600))
                add(d, "Alquiler de cancha de paddle", true, kCaja, m_rng.chance(300) ? kDebito : kEfectivo,
                    12000, 24000, false, false);
        if (m_rng.chance(10))
            add(d, "Donación", true, kBanco, kTransferencia, 50000, 300000, false, false);
        if (m_rng.chance(8))
            add(d, "Venta de rifas", true, kCaja, kEfectivo, 80000, 250000, false, false);
        if (m_rng.chance(15))
            add(d, "Reparación de vestuarios", false, kBanco, kCheque, 300000, 900000, false, false);
    }
}

bool Writer::writeMovements() {
    // The cash book is written as it happens: day by day, and in each day the desk's order.
    std::stable_sort(m_movements.begin(), m_movements.end(), [](const Movement &a, const Movement &b) {
        return a.day != b.day ? a.day < b.day : a.tiebreak < b.tiebreak;
    });
    QSqlQuery q(Database::db());
    if (!prepare(
            q, R"(INSERT INTO "Caja" ("Fecha", "idCuenta", "Detalles", "Ingresos", "Egresos", "idTipoDivisa",
                       "idCuota") VALUES (?, ?, ?, ?, ?, ?, ?))"))
        return false;
    const QString cobro = QStringLiteral("Cobro de ");
    const QString a = QStringLiteral(" a ");
    for (const Movement &mv : m_movements) {
        const QDate day = QDate::fromJulianDay(mv.day);
        q.bindValue(0, m_iso.at(day));
        q.bindValue(1, int(mv.account));
        if (mv.idCuota)
            q.bindValue(2,
                        QString(cobro + m_texts.at(mv.text) + a + m_members[std::size_t(mv.member)].apellido)
                            .left(100));
        else
            q.bindValue(2, m_texts.at(mv.text));
        q.bindValue(3, qlonglong(mv.ingresos));
        q.bindValue(4, qlonglong(mv.egresos));
        q.bindValue(5, int(mv.tipo));
        q.bindValue(6, mv.idCuota ? QVariant(mv.idCuota) : QVariant());
        if (!exec(q))
            return false;
        ++m_counts.movements;
    }
    return true;
}

bool Writer::run(SampleClub::Counts *counts, QString *error) {
    QSqlDatabase db = Database::db();
    QSqlQuery pragma(db);
    // A new file written in one go: no need for the crash safety the program keeps while in use.
    for (const char *p :
         {"PRAGMA journal_mode=MEMORY", "PRAGMA synchronous=OFF", "PRAGMA cache_size=-262144"})
        pragma.exec(QString::fromLatin1(p));
    bool ok;
    {
        Transaction t(db);
        ok = t.isActive() || fail(t.lastError());
        ok = ok && writeCatalogues();
        if (ok)
            planMembers();
        ok = ok && writeMembers() && writeDues();
        if (ok)
            plainMovements();
        ok = ok && writeMovements();
        ok = ok && (t.commit() || fail(t.lastError()));
    }
    m_insCuota.finish();
    m_insCuota = QSqlQuery();
    // Back to the way the program keeps its files.
    for (const char *p : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL"})
        pragma.exec(QString::fromLatin1(p));
    if (!ok && error)
        *error = m_error;
    if (counts)
        *counts = m_counts;
    return ok;
}

void removeFile(const QString &path) {
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QString::fromLatin1(suffix));
}

} // namespace

bool SampleClub::generate(const Options &options, Counts *counts, QString *error) {
    QElapsedTimer timer;
    timer.start();
    // Written under another name and renamed when complete: an interrupted run never leaves a file that
    // looks like a finished club (make bench keeps the large one once it exists).
    const QString partial = options.out + QStringLiteral(".parcial");
    removeFile(partial);
    QString why;
    if (const Result opened = Database::open(partial, Database::Mode::CreateIfMissing); !opened) {
        if (error)
            *error = opened.message();
        return false;
    }
    bool ok;
    {
        Writer w(options);
        ok = w.run(counts, &why);
    }
    Database::close();
    if (ok) {
        removeFile(options.out);
        ok = QFile::rename(partial, options.out);
        if (!ok)
            why = QStringLiteral("no se puede renombrar %1 como %2").arg(partial, options.out);
    }
    if (!ok) {
        removeFile(partial);
        if (error)
            *error = why;
        return false;
    }
    if (counts)
        counts->milliseconds = timer.elapsed();
    return true;
}
