#include "reports/ReportFormula.h"

#include "core/Money.h"
#include "db/SqlEngine.h"

#include <QLocale>
#include <QMap>
#include <QStringList>

namespace {

// The documented limits (ReportFormula.h). The SQL built from a formula must stay within what the
// engine's parser takes: it overflows a little beyond 30 nested groups, and a chain of 1000 conditions.
constexpr int kMaxDepth = ReportFormula::MaxNesting;
constexpr int kMaxConditions = ReportFormula::MaxConditions;
constexpr int kMaxLength = 20000;

// Only 0-9 are digits of a formula number: other scripts' digits would convert to nothing.
bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

struct Token {
    enum class Kind { End, Field, Word, Number, Text, Op, LParen, RParen, Comma, Minus };
    Kind kind = Kind::End;
    int position = 0;
    QString text; // Word, Number, Text, Op
    QString table, field;
};

QString at(int position) {
    return QStringLiteral(" (posición %1)").arg(position + 1);
}

class Lexer {
public:
    explicit Lexer(const QString &s) : m_s(s) {}

    bool run(QVector<Token> *out, QString *error) {
        int i = 0;
        const int n = int(m_s.size());
        while (true) {
            while (i < n && m_s.at(i).isSpace())
                ++i;
            Token t;
            t.position = i;
            if (i >= n) {
                t.kind = Token::Kind::End;
                out->append(t);
                return true;
            }
            const QChar c = m_s.at(i);
            if (c == QLatin1Char('{')) {
                const int close = int(m_s.indexOf(QLatin1Char('}'), i + 1));
                if (close < 0) {
                    *error =
                        QStringLiteral("falta la llave de cierre '}' de la referencia a un campo") + at(i);
                    return false;
                }
                const QString inner = m_s.mid(i + 1, close - i - 1).trimmed();
                if (inner.startsWith(QLatin1Char('@')) || inner.startsWith(QLatin1Char('?'))) {
                    *error =
                        QStringLiteral("la fórmula solo admite campos de la forma {Tabla.Campo}, no fórmulas "
                                       "ni parámetros") +
                        at(i);
                    return false;
                }
                const int dot = int(inner.indexOf(QLatin1Char('.')));
                const QString table = dot < 0 ? QString() : inner.left(dot).trimmed();
                const QString field = dot < 0 ? QString() : inner.mid(dot + 1).trimmed();
                if (table.isEmpty() || field.isEmpty()) {
                    *error =
                        QStringLiteral("la referencia a un campo se escribe {Tabla.Campo}: '{%1}' no lo es")
                            .arg(inner) +
                        at(i);
                    return false;
                }
                t.kind = Token::Kind::Field;
                t.table = table;
                t.field = field;
                i = close + 1;
            } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                // Crystal's rule: the quote that opened the text ends it, and written twice stands for
                // itself.
                QString value;
                int j = i + 1;
                bool closed = false;
                while (j < n) {
                    if (m_s.at(j) == c) {
                        if (j + 1 < n && m_s.at(j + 1) == c) {
                            value += c;
                            j += 2;
                            continue;
                        }
                        closed = true;
                        ++j;
                        break;
                    }
                    value += m_s.at(j);
                    ++j;
                }
                if (!closed) {
                    *error = QStringLiteral("falta la comilla de cierre del texto que empieza") + at(i);
                    return false;
                }
                t.kind = Token::Kind::Text;
                t.text = value;
                i = j;
            } else if (isAsciiDigit(c)) {
                int j = i;
                while (j < n && isAsciiDigit(m_s.at(j)))
                    ++j;
                if (j + 1 < n && m_s.at(j) == QLatin1Char('.') && isAsciiDigit(m_s.at(j + 1))) {
                    ++j;
                    while (j < n && isAsciiDigit(m_s.at(j)))
                        ++j;
                }
                if (j < n && (m_s.at(j).isLetterOrNumber() || m_s.at(j) == QLatin1Char('_'))) {
                    *error = QStringLiteral("número mal escrito: '%1'").arg(m_s.mid(i, j - i + 1)) + at(i);
                    return false;
                }
                t.kind = Token::Kind::Number;
                t.text = m_s.mid(i, j - i);
                i = j;
            } else if (c.isLetter() || c == QLatin1Char('_')) {
                int j = i;
                while (j < n &&
                       (m_s.at(j).isLetter() || isAsciiDigit(m_s.at(j)) || m_s.at(j) == QLatin1Char('_')))
                    ++j;
                t.kind = Token::Kind::Word;
                t.text = m_s.mid(i, j - i);
                i = j;
            } else if (c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('=')) {
                QString op(c);
                if (i + 1 < n) {
                    const QChar d = m_s.at(i + 1);
                    if ((c == QLatin1Char('<') && (d == QLatin1Char('>') || d == QLatin1Char('='))) ||
                        (c == QLatin1Char('>') && d == QLatin1Char('=')))
                        op += d;
                }
                t.kind = Token::Kind::Op;
                t.text = op;
                i += int(op.size());
            } else if (c == QLatin1Char('(')) {
                t.kind = Token::Kind::LParen;
                ++i;
            } else if (c == QLatin1Char(')')) {
                t.kind = Token::Kind::RParen;
                ++i;
            } else if (c == QLatin1Char(',')) {
                t.kind = Token::Kind::Comma;
                ++i;
            } else if (c == QLatin1Char('-')) {
                t.kind = Token::Kind::Minus;
                ++i;
            } else {
                *error = QStringLiteral("carácter inesperado '%1'").arg(c) + at(i);
                return false;
            }
            out->append(t);
        }
    }

private:
    const QString &m_s;
};

bool isWord(const Token &t, const char *word) {
    return t.kind == Token::Kind::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

QString describeToken(const Token &t) {
    switch (t.kind) {
    case Token::Kind::End:
        return QStringLiteral("el final de la fórmula");
    case Token::Kind::Field:
        return QStringLiteral("el campo {%1.%2}").arg(t.table, t.field);
    case Token::Kind::Word:
    case Token::Kind::Number:
    case Token::Kind::Op:
        return QStringLiteral("'%1'").arg(t.text);
    case Token::Kind::Text:
        return QStringLiteral("el texto '%1'").arg(t.text);
    case Token::Kind::LParen:
        return QStringLiteral("'('");
    case Token::Kind::RParen:
        return QStringLiteral("')'");
    case Token::Kind::Comma:
        return QStringLiteral("','");
    case Token::Kind::Minus:
        return QStringLiteral("'-'");
    }
    return {};
}

using NodePtr = std::unique_ptr<FormulaNode>;

class Parser {
public:
    explicit Parser(QVector<Token> tokens) : m_t(std::move(tokens)) {}

    NodePtr run(QString *error) {
        NodePtr n = orExpr();
        if (n && peek().kind != Token::Kind::End)
            fail(QStringLiteral("sobra %1").arg(describeToken(peek())) + at(peek().position) +
                 QStringLiteral("; las condiciones se unen con and / or"));
        if (!m_error.isEmpty()) {
            *error = m_error;
            return nullptr;
        }
        return n;
    }

private:
    const Token &peek() const { return m_t.at(m_i); }
    const Token &take() { return m_t.at(m_i < m_t.size() - 1 ? m_i++ : m_i); }
    NodePtr fail(const QString &why) {
        if (m_error.isEmpty())
            m_error = why;
        return nullptr;
    }
    NodePtr expected(const QString &what) {
        return fail(QStringLiteral("se esperaba %1 y se encontró %2").arg(what, describeToken(peek())) +
                    at(peek().position));
    }

    NodePtr binary(FormulaNode::Type type, int position, NodePtr l, NodePtr r) {
        auto n = std::make_unique<FormulaNode>();
        n->type = type;
        n->position = position;
        n->left = std::move(l);
        n->right = std::move(r);
        return n;
    }

    struct DepthGuard {
        int &d;
        explicit DepthGuard(int &depth) : d(depth) { ++d; }
        ~DepthGuard() { --d; }
    };

    NodePtr orExpr() {
        DepthGuard g(m_depth);
        if (m_depth > kMaxDepth + 1) // the formula itself is the first level
            return fail(QStringLiteral("la fórmula anida más de %1 niveles de paréntesis").arg(kMaxDepth) +
                        at(peek().position));
        NodePtr l = andExpr();
        while (l && isWord(peek(), "or")) {
            const int pos = take().position;
            NodePtr r = andExpr();
            if (!r)
                return nullptr;
            l = binary(FormulaNode::Type::Or, pos, std::move(l), std::move(r));
        }
        return l;
    }

    NodePtr andExpr() {
        NodePtr l = notExpr();
        while (l && isWord(peek(), "and")) {
            const int pos = take().position;
            NodePtr r = notExpr();
            if (!r)
                return nullptr;
            l = binary(FormulaNode::Type::And, pos, std::move(l), std::move(r));
        }
        return l;
    }

    NodePtr notExpr() {
        // A run of 'not' is read without recursion; the SQL keeps only its parity.
        QVector<int> nots;
        while (isWord(peek(), "not"))
            nots.append(take().position);
        NodePtr inner = comparison();
        while (inner && !nots.isEmpty())
            inner = binary(FormulaNode::Type::Not, nots.takeLast(), std::move(inner), nullptr);
        return inner;
    }

    NodePtr comparison() {
        if (peek().kind == Token::Kind::LParen) {
            take();
            NodePtr inner = orExpr();
            if (!inner)
                return nullptr;
            if (peek().kind != Token::Kind::RParen)
                return expected(QStringLiteral("')'"));
            take();
            return inner;
        }
        if (++m_conditions > kMaxConditions)
            return fail(QStringLiteral("la fórmula tiene más de %1 condiciones; divídala en informes más "
                                       "acotados")
                            .arg(kMaxConditions) +
                        at(peek().position));
        NodePtr l = operand();
        if (!l)
            return nullptr;
        if (peek().kind != Token::Kind::Op)
            return l; // a yes/no field or True/False standing alone; checked against the report later
        const Token op = take();
        NodePtr r = operand();
        if (!r)
            return nullptr;
        NodePtr n = binary(FormulaNode::Type::Compare, op.position, std::move(l), std::move(r));
        n->op = op.text;
        return n;
    }

    NodePtr leaf(FormulaNode::Type type, int position) {
        auto n = std::make_unique<FormulaNode>();
        n->type = type;
        n->position = position;
        return n;
    }

    bool wholeNumber(int *out, const QString &what) {
        bool negative = false;
        if (peek().kind == Token::Kind::Minus) {
            negative = true;
            take();
        }
        if (peek().kind != Token::Kind::Number || peek().text.contains(QLatin1Char('.'))) {
            expected(QStringLiteral("%1 (un número entero)").arg(what));
            return false;
        }
        bool ok = false;
        const int v = take().text.toInt(&ok);
        if (!ok) {
            fail(QStringLiteral("%1 fuera de rango").arg(what));
            return false;
        }
        *out = negative ? -v : v;
        return true;
    }

    NodePtr operand() {
        const Token &t = peek();
        switch (t.kind) {
        case Token::Kind::Field: {
            NodePtr n = leaf(FormulaNode::Type::Field, t.position);
            n->table = t.table;
            n->field = t.field;
            take();
            return n;
        }
        case Token::Kind::Text: {
            NodePtr n = leaf(FormulaNode::Type::Text, t.position);
            n->text = t.text;
            take();
            return n;
        }
        case Token::Kind::Minus:
        case Token::Kind::Number: {
            const int pos = t.position;
            QString sign;
            if (t.kind == Token::Kind::Minus) {
                take();
                sign = QStringLiteral("-");
                if (peek().kind != Token::Kind::Number)
                    return expected(QStringLiteral("un número después de '-'"));
            }
            NodePtr n = leaf(FormulaNode::Type::Number, pos);
            n->text = sign + take().text;
            return n;
        }
        case Token::Kind::Word: {
            if (isWord(t, "true") || isWord(t, "false")) {
                NodePtr n = leaf(FormulaNode::Type::Boolean, t.position);
                n->boolean = isWord(t, "true");
                take();
                return n;
            }
            if (isWord(t, "date")) {
                const int pos = take().position;
                if (peek().kind != Token::Kind::LParen)
                    return expected(QStringLiteral("'(' después de date"));
                take();
                int y = 0, m = 0, d = 0;
                if (!wholeNumber(&y, QStringLiteral("el año")))
                    return nullptr;
                if (peek().kind != Token::Kind::Comma)
                    return expected(QStringLiteral("',' después del año"));
                take();
                if (!wholeNumber(&m, QStringLiteral("el mes")))
                    return nullptr;
                if (peek().kind != Token::Kind::Comma)
                    return expected(QStringLiteral("',' después del mes"));
                take();
                if (!wholeNumber(&d, QStringLiteral("el día")))
                    return nullptr;
                if (peek().kind != Token::Kind::RParen)
                    return expected(QStringLiteral("')' al final de la fecha"));
                take();
                const QDate date(y, m, d);
                if (!date.isValid() || y < 1 || y > 9999)
                    return fail(QStringLiteral("la fecha date(%1, %2, %3) no existe").arg(y).arg(m).arg(d) +
                                at(pos));
                NodePtr n = leaf(FormulaNode::Type::Date, pos);
                n->date = date;
                return n;
            }
            if (isWord(t, "isnull")) {
                const int pos = take().position;
                if (peek().kind != Token::Kind::LParen)
                    return expected(QStringLiteral("'(' después de isnull"));
                take();
                if (peek().kind != Token::Kind::Field)
                    return expected(QStringLiteral("un campo {Tabla.Campo} en isnull"));
                NodePtr n = leaf(FormulaNode::Type::IsNull, pos);
                n->table = peek().table;
                n->field = peek().field;
                take();
                if (peek().kind != Token::Kind::RParen)
                    return expected(QStringLiteral("')' después del campo de isnull"));
                take();
                return n;
            }
            if (isWord(t, "and") || isWord(t, "or") || isWord(t, "not"))
                return expected(QStringLiteral("un campo o un valor"));
            return fail(QStringLiteral("palabra desconocida '%1': la fórmula admite campos {Tabla.Campo}, "
                                       "números, textos entre comillas, True, False, date(año, mes, día) e "
                                       "isnull({Tabla.Campo})")
                            .arg(t.text) +
                        at(t.position));
        }
        default:
            return expected(QStringLiteral("un campo o un valor"));
        }
    }

    QVector<Token> m_t;
    int m_i = 0;
    int m_depth = 0;
    int m_conditions = 0;
    QString m_error;
};

// ---- turning the tree into SQL -------------------------------------------------------------------

QString kindName(ReportFieldKind k) {
    switch (k) {
    case ReportFieldKind::Integer:
        return QStringLiteral("número");
    case ReportFieldKind::Money:
        return QStringLiteral("importe");
    case ReportFieldKind::Text:
        return QStringLiteral("texto");
    case ReportFieldKind::Date:
        return QStringLiteral("fecha");
    case ReportFieldKind::YesNo:
        return QStringLiteral("sí/no");
    }
    return {};
}

QString literalName(const FormulaNode &n) {
    switch (n.type) {
    case FormulaNode::Type::Number:
        return QStringLiteral("el número %1").arg(n.text);
    case FormulaNode::Type::Text:
        return QStringLiteral("el texto '%1'").arg(n.text);
    case FormulaNode::Type::Boolean:
        return n.boolean ? QStringLiteral("True") : QStringLiteral("False");
    case FormulaNode::Type::Date:
        return ReportFormula::dateTerm(n.date);
    default:
        return QStringLiteral("una condición");
    }
}

QString fieldName(const FormulaNode &n) {
    return QStringLiteral("{%1.%2}").arg(n.table, n.field);
}

QString mirrored(const QString &op) {
    if (op == QLatin1String("<"))
        return QStringLiteral(">");
    if (op == QLatin1String(">"))
        return QStringLiteral("<");
    if (op == QLatin1String("<="))
        return QStringLiteral(">=");
    if (op == QLatin1String(">="))
        return QStringLiteral("<=");
    return op;
}

// Exact decimal text to ten-thousandths; nothing when it has more than four decimals or is too large.
std::optional<qint64> moneyUnits(const QString &number) {
    QString s = number;
    const bool negative = s.startsWith(QLatin1Char('-'));
    if (negative)
        s = s.mid(1);
    const int dot = int(s.indexOf(QLatin1Char('.')));
    const QString whole = dot < 0 ? s : s.left(dot);
    QString frac = dot < 0 ? QString() : s.mid(dot + 1);
    if (frac.size() > 4 || whole.size() > 14)
        return std::nullopt;
    frac = frac.leftJustified(4, QLatin1Char('0'));
    bool okWhole = false, okFrac = false;
    const qint64 w = whole.isEmpty() ? 0 : whole.toLongLong(&okWhole);
    const qint64 f = frac.toLongLong(&okFrac);
    if ((!whole.isEmpty() && !okWhole) || !okFrac)
        return std::nullopt;
    const qint64 units = w * Money::Scale + f;
    return negative ? -units : units;
}

class SqlBuilder {
public:
    SqlBuilder(const QVector<ReportField> &fields, QVariantList *params)
        : m_fields(fields), m_params(params) {}
    QString error;

    QString build(const FormulaNode &n) {
        switch (n.type) {
        case FormulaNode::Type::And:
        case FormulaNode::Type::Or: {
            // A chain of the same operator is one flat list: "(a OR b OR c)", not one group per
            // condition, which the engine's parser cannot take beyond a few dozen.
            QVector<const FormulaNode *> terms;
            QVector<const FormulaNode *> pending{&n};
            while (!pending.isEmpty()) {
                const FormulaNode *t = pending.takeLast();
                if (t->type == n.type) {
                    pending.append(t->right.get());
                    pending.append(t->left.get());
                } else {
                    terms.append(t);
                }
            }
            QStringList parts;
            for (const FormulaNode *t : terms) {
                parts << build(*t);
                if (!error.isEmpty())
                    return {};
            }
            return QLatin1Char('(') +
                   parts.join(n.type == FormulaNode::Type::And ? QStringLiteral(" AND ")
                                                               : QStringLiteral(" OR ")) +
                   QLatin1Char(')');
        }
        case FormulaNode::Type::Not: {
            // not not x is x, also for Null; only an odd run keeps one NOT.
            const FormulaNode *inner = n.left.get();
            bool negate = true;
            while (inner->type == FormulaNode::Type::Not) {
                inner = inner->left.get();
                negate = !negate;
            }
            const QString sql = build(*inner);
            if (!error.isEmpty())
                return {};
            return negate ? QStringLiteral("(NOT %1)").arg(sql) : sql;
        }
        case FormulaNode::Type::Boolean:
            return n.boolean ? QStringLiteral("(1 = 1)") : QStringLiteral("(1 = 0)");
        case FormulaNode::Type::Field: {
            const ReportField *f = resolve(n);
            if (!f)
                return {};
            if (f->kind != ReportFieldKind::YesNo)
                return fail(QStringLiteral("el campo %1 (%2) necesita una comparación, por ejemplo %1 = …")
                                .arg(fieldName(n), kindName(f->kind)),
                            n);
            return QStringLiteral("(%1 <> 0)").arg(f->sql);
        }
        case FormulaNode::Type::IsNull: {
            const ReportField *f = resolve(n);
            return f ? QStringLiteral("(%1 IS NULL)").arg(f->sql) : QString();
        }
        case FormulaNode::Type::Compare:
            return compare(n);
        default:
            return fail(QStringLiteral("%1 no es una condición").arg(literalName(n)), n);
        }
    }

private:
    QString fail(const QString &why, const FormulaNode &n) {
        if (error.isEmpty())
            error = why + at(n.position);
        return {};
    }

    const ReportField *resolve(const FormulaNode &n) {
        if (const ReportField *f = ReportFormula::findField(m_fields, n.table, n.field))
            return f;
        QStringList tables;
        bool tableKnown = false;
        for (const ReportField &f : m_fields) {
            if (f.table.compare(n.table, Qt::CaseInsensitive) == 0)
                tableKnown = true;
            if (!tables.contains(f.table))
                tables << f.table;
        }
        if (tableKnown)
            fail(QStringLiteral("el informe no tiene el campo %1").arg(fieldName(n)), n);
        else
            fail(QStringLiteral("el informe no lee la tabla '%1' (lee %2)")
                     .arg(n.table, tables.join(QStringLiteral(", "))),
                 n);
        return nullptr;
    }

    QString bind(const QVariant &v) {
        m_params->append(v);
        return QStringLiteral("?");
    }

    bool isValue(const FormulaNode &n) {
        return n.type == FormulaNode::Type::Field || n.type == FormulaNode::Type::Number ||
               n.type == FormulaNode::Type::Text || n.type == FormulaNode::Type::Boolean ||
               n.type == FormulaNode::Type::Date;
    }

    QString compare(const FormulaNode &n) {
        const FormulaNode *l = n.left.get();
        const FormulaNode *r = n.right.get();
        if (!isValue(*l) || !isValue(*r))
            return fail(QStringLiteral("una comparación se escribe entre un campo y un valor"), n);
        QString op = n.op;
        if (l->type != FormulaNode::Type::Field && r->type == FormulaNode::Type::Field) {
            std::swap(l, r);
            op = mirrored(op);
        }
        if (l->type != FormulaNode::Type::Field)
            return fail(QStringLiteral("la comparación no nombra ningún campo {Tabla.Campo}"), n);
        const ReportField *f = resolve(*l);
        if (!f)
            return {};
        if (r->type == FormulaNode::Type::Field) {
            const ReportField *g = resolve(*r);
            if (!g)
                return {};
            if (f->kind != g->kind)
                return fail(QStringLiteral("no se puede comparar %1 (%2) con %3 (%4)")
                                .arg(fieldName(*l), kindName(f->kind), fieldName(*r), kindName(g->kind)),
                            n);
            if (f->kind == ReportFieldKind::Text)
                return QStringLiteral("(%1 COLLATE %2 %3 %4)")
                    .arg(f->sql, QLatin1String(SqlEngine::Collation), op, g->sql);
            if (f->kind == ReportFieldKind::YesNo)
                return yesNoOnly(op, n) ? QStringLiteral("((%1 <> 0) %2 (%3 <> 0))").arg(f->sql, op, g->sql)
                                        : QString();
            return QStringLiteral("(%1 %2 %3)").arg(f->sql, op, g->sql);
        }
        const auto mismatch = [&] {
            return fail(QStringLiteral("no se puede comparar %1 (%2) con %3")
                            .arg(fieldName(*l), kindName(f->kind), literalName(*r)),
                        n);
        };
        switch (f->kind) {
        case ReportFieldKind::Integer: {
            if (r->type != FormulaNode::Type::Number)
                return mismatch();
            bool ok = false;
            if (r->text.contains(QLatin1Char('.'))) {
                const double v = r->text.toDouble(&ok);
                if (!ok)
                    return fail(QStringLiteral("el número %1 no se puede leer").arg(r->text), *r);
                return QStringLiteral("(%1 %2 %3)").arg(f->sql, op, bind(v));
            }
            const qlonglong v = r->text.toLongLong(&ok);
            if (!ok)
                return fail(QStringLiteral("el número %1 es demasiado grande").arg(r->text), *r);
            return QStringLiteral("(%1 %2 %3)").arg(f->sql, op, bind(v));
        }
        case ReportFieldKind::Money: {
            if (r->type != FormulaNode::Type::Number)
                return mismatch();
            // A number next to an amount means currency units; amounts are stored in ten-thousandths.
            const auto units = moneyUnits(r->text);
            if (!units)
                return fail(QStringLiteral("el importe %1 no se puede leer (a lo sumo cuatro decimales)")
                                .arg(r->text),
                            *r);
            return QStringLiteral("(%1 %2 %3)").arg(f->sql, op, bind(qlonglong(*units)));
        }
        case ReportFieldKind::Text:
            if (r->type != FormulaNode::Type::Text)
                return mismatch();
            return QStringLiteral("(%1 COLLATE %2 %3 %4)")
                .arg(f->sql, QLatin1String(SqlEngine::Collation), op, bind(r->text));
        case ReportFieldKind::Date:
            if (r->type != FormulaNode::Type::Date)
                return fail(QStringLiteral("%1 es una fecha: se compara con date(año, mes, día), no con %2")
                                .arg(fieldName(*l), literalName(*r)),
                            n);
            return dateCompare(f->sql, op, r->date);
        case ReportFieldKind::YesNo: {
            bool truth = false;
            if (r->type == FormulaNode::Type::Boolean)
                truth = r->boolean;
            else if (r->type == FormulaNode::Type::Number) {
                bool ok = false;
                truth = r->text.toDouble(&ok) != 0; // Jet's True is -1; any non-zero is yes
                if (!ok)
                    return fail(QStringLiteral("el número %1 no se puede leer").arg(r->text), *r);
            } else
                return mismatch();
            if (!yesNoOnly(op, n))
                return {};
            const bool wantYes = (op == QLatin1String("=")) == truth;
            // Written against the stored column so that its index still serves.
            return wantYes ? QStringLiteral("(%1 <> 0)").arg(f->sql) : QStringLiteral("(%1 = 0)").arg(f->sql);
        }
        }
        return {};
    }

    // A day is the half-open range [day, next day) of the stored text, so a value written with a time of
    // day ("2009-04-05 10:30") still belongs to its day, and the comparison still runs on the column's index.
    QString dateCompare(const QString &sql, const QString &op, const QDate &day) {
        const QString from = day.toString(Qt::ISODate);
        const QString next = day.addDays(1).toString(Qt::ISODate);
        if (op == QLatin1String("=") || op == QLatin1String("<>")) {
            // Bound one after the other: the order of the placeholders is the order of the values.
            const QString a = bind(from);
            const QString b = bind(next);
            return op == QLatin1String("=") ? QStringLiteral("(%1 >= %2 AND %1 < %3)").arg(sql, a, b)
                                            : QStringLiteral("(%1 < %2 OR %1 >= %3)").arg(sql, a, b);
        }
        if (op == QLatin1String("<"))
            return QStringLiteral("(%1 < %2)").arg(sql, bind(from));
        if (op == QLatin1String(">="))
            return QStringLiteral("(%1 >= %2)").arg(sql, bind(from));
        if (op == QLatin1String("<="))
            return QStringLiteral("(%1 < %2)").arg(sql, bind(next));
        return QStringLiteral("(%1 >= %2)").arg(sql, bind(next)); // ">"
    }

    bool yesNoOnly(const QString &op, const FormulaNode &n) {
        if (op == QLatin1String("=") || op == QLatin1String("<>"))
            return true;
        fail(QStringLiteral("un campo sí/no solo se compara con = o <>"), n);
        return false;
    }

    const QVector<ReportField> &m_fields;
    QVariantList *m_params;
};

QString shown(const FormulaNode &v, ReportFieldKind kind) {
    switch (v.type) {
    case FormulaNode::Type::Date:
        return v.date.toString(QStringLiteral("dd/MM/yyyy"));
    case FormulaNode::Type::Boolean:
        return v.boolean ? QStringLiteral("Sí") : QStringLiteral("No");
    case FormulaNode::Type::Number:
        if (kind == ReportFieldKind::YesNo) {
            bool ok = false;
            const double d = v.text.toDouble(&ok);
            return ok ? (d != 0 ? QStringLiteral("Sí") : QStringLiteral("No")) : v.text;
        }
        if (kind == ReportFieldKind::Money)
            if (const auto u = moneyUnits(v.text))
                return Money::fromUnits(*u).toCurrencyString(QLocale());
        return v.text;
    default:
        return v.text;
    }
}

void collectAnd(const FormulaNode *n, QVector<const FormulaNode *> *out) {
    if (n->type == FormulaNode::Type::And) {
        collectAnd(n->left.get(), out);
        collectAnd(n->right.get(), out);
    } else {
        out->append(n);
    }
}

} // namespace

ReportFormula::ReportFormula() = default;
ReportFormula::~ReportFormula() = default;
ReportFormula::ReportFormula(ReportFormula &&) noexcept = default;
ReportFormula &ReportFormula::operator=(ReportFormula &&) noexcept = default;

ReportFormula ReportFormula::parse(const QString &text) {
    ReportFormula f;
    f.m_text = text;
    if (text.size() > kMaxLength) {
        f.m_error = QStringLiteral("la fórmula es demasiado larga");
        return f;
    }
    QVector<Token> tokens;
    QString error;
    if (!Lexer(text).run(&tokens, &error)) {
        f.m_error = error;
        return f;
    }
    if (tokens.size() == 1)
        return f; // blank: every record
    f.m_root = Parser(std::move(tokens)).run(&error);
    if (!f.m_root)
        f.m_error = error.isEmpty() ? QStringLiteral("la fórmula no se puede leer") : error;
    return f;
}

const ReportField *ReportFormula::findField(const QVector<ReportField> &fields, const QString &table,
                                            const QString &field) {
    for (const ReportField &f : fields)
        if (f.table.compare(table, Qt::CaseInsensitive) == 0 &&
            f.field.compare(field, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

Expected<ReportFormula::Sql> ReportFormula::toSql(const QVector<ReportField> &fields) const {
    Sql out;
    if (!isValid())
        return Result::failure(m_error, Result::Code::Invalid);
    if (!m_root) {
        out.where = QStringLiteral("1 = 1");
        return out;
    }
    SqlBuilder b(fields, &out.params);
    out.where = b.build(*m_root);
    if (!b.error.isEmpty())
        return Result::failure(b.error, Result::Code::Invalid);
    return out;
}

QString ReportFormula::describe(const QVector<ReportField> &fields) const {
    if (!m_root || !isValid())
        return {};
    QVector<const FormulaNode *> terms;
    collectAnd(m_root.get(), &terms);
    struct Parts {
        QString caption;
        ReportFieldKind kind;
        QString from, to, other;
    };
    QVector<Parts> parts;
    for (const FormulaNode *t : terms) {
        if (t->type != FormulaNode::Type::Compare)
            continue;
        const FormulaNode *l = t->left.get();
        const FormulaNode *r = t->right.get();
        QString op = t->op;
        if (l->type != FormulaNode::Type::Field) {
            std::swap(l, r);
            op = mirrored(op);
        }
        if (l->type != FormulaNode::Type::Field || r->type == FormulaNode::Type::Field || !r ||
            r->type == FormulaNode::Type::Compare)
            continue;
        const ReportField *f = findField(fields, l->table, l->field);
        if (!f || f->caption.isEmpty())
            continue;
        auto it =
            std::find_if(parts.begin(), parts.end(), [&](const Parts &p) { return p.caption == f->caption; });
        if (it == parts.end()) {
            parts.append(Parts{f->caption, f->kind, {}, {}, {}});
            it = parts.end() - 1;
        }
        const QString v = shown(*r, f->kind);
        const bool date = f->kind == ReportFieldKind::Date;
        if (op == QLatin1String(">=") && it->from.isEmpty())
            it->from = v;
        else if (op == QLatin1String("<=") && it->to.isEmpty())
            it->to = v;
        else {
            QString word;
            if (op == QLatin1String("="))
                word = v;
            else if (op == QLatin1String("<>"))
                word = QStringLiteral("distinto de %1").arg(v);
            else if (op == QLatin1String("<"))
                word = (date ? QStringLiteral("antes del %1") : QStringLiteral("menor que %1")).arg(v);
            else if (op == QLatin1String(">"))
                word = (date ? QStringLiteral("después del %1") : QStringLiteral("mayor que %1")).arg(v);
            else if (op == QLatin1String(">="))
                word = QStringLiteral("desde %1").arg(v);
            else
                word = QStringLiteral("hasta %1").arg(v);
            it->other = it->other.isEmpty() ? word : it->other + QStringLiteral(", ") + word;
        }
    }
    QStringList out;
    for (const Parts &p : parts) {
        QStringList words;
        const bool date = p.kind == ReportFieldKind::Date;
        if (!p.from.isEmpty() && !p.to.isEmpty())
            words << (date ? QStringLiteral("del %1 al %2") : QStringLiteral("de %1 a %2")).arg(p.from, p.to);
        else if (!p.from.isEmpty())
            words << (date ? QStringLiteral("desde el %1") : QStringLiteral("desde %1")).arg(p.from);
        else if (!p.to.isEmpty())
            words << (date ? QStringLiteral("hasta el %1") : QStringLiteral("hasta %1")).arg(p.to);
        if (!p.other.isEmpty())
            words << p.other;
        out << p.caption + QStringLiteral(": ") + words.join(QStringLiteral(", "));
    }
    return out.join(QStringLiteral(" · "));
}

QString ReportFormula::textLiteral(const QString &text) {
    QString s = text;
    s.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

QString ReportFormula::dateTerm(const QDate &date) {
    return QStringLiteral("date(%1, %2, %3)").arg(date.year()).arg(date.month()).arg(date.day());
}
