#include "reports/ReportDocument.h"

#include "core/Log.h"
#include "db/ArchivoNuevo.h"
#include "reports/PdfReport.h"
#include "reports/ReportData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QRawFont>
#include <QTemporaryFile>
#include <QVarLengthArray>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace {

// ---- fonts and measuring -------------------------------------------------------------------------

enum FontId : quint8 {
    Body,
    BodyBold,
    Small,
    SmallBold,
    Title,
    Company,
    Subtitle,
    ColumnHead,
    Big,
    Medium,
    MediumBold,
    Italic,
    Stamp,
    FontCount
};

struct FontSpec {
    double pt;
    bool bold;
    bool italic;
};
constexpr FontSpec kFonts[FontCount] = {
    {8.0, false, false}, {8.0, true, false}, {7, false, false},  {7, true, false},  {16, true, false},
    {12.5, true, false}, {8, false, true},   {7.8, true, false}, {15, true, false}, {9.5, false, false},
    {9.5, true, false},  {9.5, false, true}, {20, true, false},
};

// Where the system has no DejaVu Sans (Windows), the program brings its faces in fonts/ beside itself, so a
// report is laid out the same everywhere.
void cargarFuentesPropias() {
    static const bool cargadas = [] {
        const QDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
        for (const QString &f : dir.entryList({QStringLiteral("*.ttf")}, QDir::Files))
            QFontDatabase::addApplicationFont(dir.filePath(f));
        return true;
    }();
    Q_UNUSED(cargadas);
}

QFont fontFor(int id, double pointSize) {
    cargarFuentesPropias();
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(pointSize);
    f.setBold(kFonts[id].bold);
    f.setItalic(kFonts[id].italic);
    // Unhinted metrics are the same on screen, paper and PDF, so what is measured here is what prints.
    f.setHintingPreference(QFont::PreferNoHinting);
    // A hint of letter spacing turns ligatures off, so "fi" stays two letters when the PDF is searched or
    // copied from.
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.02);
    return f;
}

// Text measured in points on a reference device of 720 dpi (ten device pixels per point, so rounding
// inside the font engine does not show).
class Measure {
public:
    static Measure &get() {
        static Measure m;
        return m;
    }
    qreal ascent(int f) const { return m_ascent[f]; }
    qreal lineHeight(int f) const { return m_height[f]; }
    // Width exactly as Qt measures it (shaped, kerned, letter-spaced): from cached advances and kerning
    // pairs when the text is plain, by Qt otherwise.
    qreal width(int f, QStringView s) {
        qreal px = 0;
        for (qsizetype i = 0; i < s.size(); ++i) {
            if (!plain(f, s[i]))
                return m_metrics[f]->horizontalAdvance(s.toString()) / 10;
            px += step(f, s, i);
        }
        return px / 10;
    }

    // Quick upper estimate from cached advances (kerning only narrows DejaVu text); most cells fit, and
    // those are never shaped here.
    qreal estimate(int f, const QString &s) {
        qreal px = 0;
        for (const QChar c : s)
            px += advance(f, c);
        return px / 10;
    }

    // Each character's advance with the kerning to the next one, in points, as Qt lays the text out. Only
    // for plain text (see plain()).
    void advances(int f, QStringView s, QVarLengthArray<double, 256> *out) {
        out->resize(s.size());
        for (qsizetype i = 0; i < s.size(); ++i)
            (*out)[i] = step(f, s, i) / 10;
    }

    // The letter spacing Qt adds to every character of a string (a single QChar is measured without it),
    // in points, as Qt rounds it for this font.
    qreal spacing(int f) { return spacingPx(f) / 10; }

    // Whether Qt draws the character with the report's own face, one glyph for one character, unshaped:
    // then the program's own PDF writer can place it; anything else (a character the face lacks, marks,
    // scripts that need shaping) leaves the document to Qt.
    bool plain(int f, QChar c) {
        const int face = faceOf(f);
        const quint8 known = m_plain[face][c.unicode()];
        return known == 1 || (known == 0 && learnPlain(face, c));
    }

    static PdfReport::Face faceOf(int f) {
        return kFonts[f].italic ? PdfReport::Oblique : kFonts[f].bold ? PdfReport::Bold : PdfReport::Regular;
    }
    QRawFont rawFace(int face) {
        if (!m_raw[face].isValid())
            m_raw[face] = QRawFont::fromFont(fontFor(face == PdfReport::Oblique ? Italic
                                                     : face == PdfReport::Bold  ? BodyBold
                                                                                : Body,
                                                     10));
        return m_raw[face];
    }

    QString elide(int f, const QString &s, qreal w) {
        if (s.isEmpty() || estimate(f, s) <= w)
            return s;
        for (const QChar c : s)
            if (!plain(f, c))
                return m_metrics[f]->elidedText(s, Qt::ElideRight, w * 10);
        // QFontMetricsF::elidedText's own rule, from the cached advances: whole if it fits (or is a single
        // character), else the characters before the one that reaches the room left beside "…".
        const QChar ellipsis(0x2026);
        const qreal limit = std::round(w * 10 * 64) / 64; // Qt's fixed point
        qreal total = 0;
        for (qsizetype i = 0; i < s.size(); ++i)
            total += step(f, s, i);
        QString out;
        if (total <= limit || s.size() <= 1) {
            out = s;
        } else if (const qreal room = limit - advance(f, ellipsis); room >= 0) {
            qreal reached = 0;
            qsizetype at = 0, next = 0;
            do {
                at = next++;
                reached += step(f, s, at);
            } while (next < s.size() && reached < room);
            out = s.left(at) + ellipsis;
        }
        return out;
    }

    // Lines of a cell: explicit line breaks first, then greedy word wrap, at most maxLines lines in all;
    // a line that still does not fit is shortened with "…".
    QStringList wrap(int f, const QString &s, qreal w, int maxLines) {
        if (!s.contains(QLatin1Char('\n')) && (maxLines <= 1 || estimate(f, s) <= w))
            return {elide(f, s, w)};
        QStringList lines;
        const QStringList paragraphs = s.split(QLatin1Char('\n'));
        for (int p = 0; p < paragraphs.size() && lines.size() < maxLines; ++p) {
            const QString &para = paragraphs.at(p);
            if (estimate(f, para) <= w) {
                lines << para;
                continue;
            }
            const QStringList words = para.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QString line;
            for (int i = 0; i < words.size(); ++i) {
                const QString candidate =
                    line.isEmpty() ? words.at(i) : line + QLatin1Char(' ') + words.at(i);
                if (line.isEmpty() || width(f, candidate) <= w) {
                    line = candidate;
                    continue;
                }
                if (lines.size() == maxLines - 1) {
                    // Last line allowed: the rest goes on it, shortened.
                    line = candidate;
                    continue;
                }
                lines << line;
                line = words.at(i);
            }
            if (!line.isEmpty())
                lines << line;
        }
        while (lines.size() > maxLines)
            lines.removeLast();
        for (QString &l : lines)
            l = elide(f, l, w);
        return lines;
    }

private:
    // All in device pixels (tenths of a point), where Qt's own sums are exact.
    qreal advance(int f, QChar c) {
        const ushort u = c.unicode();
        if (u < 256 && m_latin[f][u] >= 0)
            return m_latin[f][u];
        return learnAdvance(f, c);
    }
    Q_NEVER_INLINE qreal learnAdvance(int f, QChar c) {
        const ushort u = c.unicode();
        if (u < 256)
            return m_latin[f][u] = m_metrics[f]->horizontalAdvance(c);
        auto it = m_other[f].find(u);
        if (it == m_other[f].end())
            it = m_other[f].insert(u, m_metrics[f]->horizontalAdvance(c));
        return it.value();
    }
    qreal spacingPx(int f) {
        if (std::isnan(m_spacing[f]))
            m_spacing[f] =
                m_metrics[f]->horizontalAdvance(QStringLiteral("0")) - advance(f, QLatin1Char('0'));
        return m_spacing[f];
    }
    // Where Qt puts the next character after s[i]: its advance, the letter spacing, the kerning pair.
    qreal step(int f, QStringView s, qsizetype i) {
        qreal px = advance(f, s[i]) + spacingPx(f);
        if (i + 1 < s.size())
            px += kerning(f, s[i], s[i + 1]);
        return px;
    }
    qreal kerning(int f, QChar a, QChar b) {
        if (a.unicode() < 256 && b.unicode() < 256 && !m_kernLatin[f].empty()) {
            const qint16 k = m_kernLatin[f][(a.unicode() << 8) | b.unicode()];
            if (k != kUnknown)
                return k / 64.0;
        }
        return learnKerning(f, a, b);
    }
    Q_NEVER_INLINE qreal learnKerning(int f, QChar a, QChar b) {
        const quint32 key = (quint32(a.unicode()) << 16) | b.unicode();
        if (a.unicode() < 256 && b.unicode() < 256) {
            std::vector<qint16> &table = m_kernLatin[f];
            if (table.empty())
                table.assign(256 * 256, kUnknown);
            const qreal k = measureKerning(f, a, b);
            table[(a.unicode() << 8) | b.unicode()] = qint16(std::lround(k * 64));
            return k;
        }
        auto it = m_kern[f].find(key);
        if (it == m_kern[f].end())
            it = m_kern[f].insert(key, measureKerning(f, a, b));
        return it.value();
    }
    qreal measureKerning(int f, QChar a, QChar b) {
        const QChar pair[2] = {a, b};
        return m_metrics[f]->horizontalAdvance(QString(pair, 2)) - advance(f, a) - advance(f, b) -
               2 * spacingPx(f);
    }
    Q_NEVER_INLINE bool learnPlain(int face, QChar c) {
        const bool yes = plainChar(face, c);
        m_plain[face][c.unicode()] = yes ? 1 : 2;
        return yes;
    }
    bool plainChar(int face, QChar c) {
        if (c.isSurrogate() || c.isNonCharacter())
            return false;
        switch (c.category()) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return false;
        default:
            break;
        }
        switch (c.script()) {
        case QChar::Script_Common:
        case QChar::Script_Latin:
        case QChar::Script_Greek:
        case QChar::Script_Cyrillic:
            break;
        default:
            return false;
        }
        return rawFace(face).supportsCharacter(c);
    }

    Measure() : m_device(1, 1, QImage::Format_RGB32) {
        m_device.setDotsPerMeterX(28346); // 720 dpi
        m_device.setDotsPerMeterY(28346);
        for (int f = 0; f < FontCount; ++f) {
            m_metrics[f].emplace(fontFor(f, kFonts[f].pt), &m_device);
            m_latin[f].fill(-1);
            m_spacing[f] = NAN;
            m_ascent[f] = m_metrics[f]->ascent() / 10;
            if (f < PdfReport::FaceCount)
                m_plain[f].assign(0x10000, 0);
            m_height[f] = m_metrics[f]->height() / 10;
        }
    }
    QImage m_device;
    std::optional<QFontMetricsF> m_metrics[FontCount];
    std::array<qreal, 256> m_latin[FontCount];
    QHash<ushort, qreal> m_other[FontCount];
    // Kerning of Latin-1 pairs in Qt's fixed point (1/64 of a device pixel), so exact in 16 bits.
    static constexpr qint16 kUnknown = std::numeric_limits<qint16>::min();
    std::vector<qint16> m_kernLatin[FontCount];
    QHash<quint32, qreal> m_kern[FontCount];
    qreal m_spacing[FontCount];
    qreal m_ascent[FontCount], m_height[FontCount];
    std::vector<quint8> m_plain[PdfReport::FaceCount]; // by character: 0 not known, 1 plain, 2 not
    QRawFont m_raw[PdfReport::FaceCount];
};

// ---- drawing commands ----------------------------------------------------------------------------

struct Item {
    enum Kind : quint8 { Text, PageNumber, Line, Box, RoundBox, DashLine };
    quint8 kind = Text;
    quint8 font = Body;
    quint32 color = 0;
    quint32 fill = 0; // 0: no fill (colours are stored opaque)
    float x = 0, y = 0, w = 0,
          h = 0; // a text's h: the size it is drawn at, as a share of its font's (0: whole)
    float pen = 0;
    QString text;
};

constexpr QRgb kInk = 0xff1b1f27;
constexpr QRgb kGrey = 0xff5f6b7a;
constexpr QRgb kPrimary = 0xff0d47a1;
constexpr QRgb kHeadFill = 0xffdfe7f3;
constexpr QRgb kZebra = 0xfff3f6fa;
constexpr QRgb kRule = 0xffb3c0d3;
constexpr QRgb kGroupFill = 0xffeaf0f8;
constexpr QRgb kIncome = 0xff2e7d32;
constexpr QRgb kExpense = 0xffc62828;
constexpr QRgb kSoftGrid = 0xffe1e6ee;

QString pageNumberText(int page, int pages) {
    return QStringLiteral("Página %1 de %2").arg(page).arg(pages);
}

// A page's commands in the temporary file, as plain bytes of this machine (the file lives as long as the
// document): quicker to read back than a QDataStream, which matters when every page is read once more
// for the PDF.
template <typename T> void put(std::string &out, T v) {
    out.append(reinterpret_cast<const char *>(&v), sizeof v);
}
template <typename T> bool take(const char *&at, const char *end, T *v) {
    if (end - at < qsizetype(sizeof(T)))
        return false;
    std::memcpy(v, at, sizeof(T));
    at += sizeof(T);
    return true;
}

void writeItems(std::string &out, const QVector<Item> &items) {
    put(out, quint32(items.size()));
    for (const Item &i : items) {
        for (const quint8 b : {i.kind, i.font})
            put(out, b);
        for (const quint32 c : {i.color, i.fill})
            put(out, c);
        for (const float v : {i.x, i.y, i.w, i.h, i.pen})
            put(out, v);
        if (i.kind == Item::Text || i.kind == Item::PageNumber) {
            const QByteArray utf8 = i.text.toUtf8();
            put(out, quint32(utf8.size()));
            out.append(utf8.constData(), size_t(utf8.size()));
        }
    }
}

QVector<Item> readItems(const QByteArray &bytes) {
    const char *at = bytes.constData(), *end = at + bytes.size();
    quint32 n = 0;
    QVector<Item> items;
    if (!take(at, end, &n))
        return items;
    items.reserve(int(std::min<quint32>(n, quint32(bytes.size() / 30))));
    for (quint32 k = 0; k < n; ++k) {
        Item i;
        quint32 len = 0;
        if (!take(at, end, &i.kind) || !take(at, end, &i.font) || !take(at, end, &i.color) ||
            !take(at, end, &i.fill) || !take(at, end, &i.x) || !take(at, end, &i.y) || !take(at, end, &i.w) ||
            !take(at, end, &i.h) || !take(at, end, &i.pen))
            break;
        if (i.kind == Item::Text || i.kind == Item::PageNumber) {
            if (!take(at, end, &len) || end - at < qint64(len))
                break;
            i.text = QString::fromUtf8(at, qsizetype(len));
            at += len;
        }
        if (i.font >= FontCount)
            i.font = Body;
        items.append(std::move(i));
    }
    return items;
}

// Pages are drawn in tenths of a point: a font then has ten logical pixels per point on every device,
// exactly as on the measuring device, so glyph advances (and what fits in a column) are the same on
// screen, paper and PDF. Qt sizes a font from the device's resolution, hence the division.
constexpr qreal kUnit = 10;

struct DeviceFonts {
    QFont fonts[FontCount];
    explicit DeviceFonts(QPaintDevice *device) {
        const double dpi = device ? device->logicalDpiY() : 72.0;
        for (int f = 0; f < FontCount; ++f)
            fonts[f] = fontFor(f, kFonts[f].pt * kUnit * 72.0 / dpi);
    }
};

// Draws a page on a painter whose coordinates are points.
void play(QPainter *p, const QVector<Item> &items, int pageNo, int pages, const DeviceFonts &fonts) {
    p->scale(1 / kUnit, 1 / kUnit);
    const auto pt = [](float x, float y) { return QPointF(x * kUnit, y * kUnit); };
    int currentFont = -1;
    QRgb currentColor = 0;
    p->setPen(QColor::fromRgba(kInk));
    currentColor = kInk;
    for (const Item &i : items) {
        switch (i.kind) {
        case Item::Text:
        case Item::PageNumber: {
            if (i.font != currentFont) {
                p->setFont(fonts.fonts[i.font]);
                currentFont = i.font;
            }
            if (i.color != currentColor) {
                p->setPen(QColor::fromRgba(i.color));
                currentColor = i.color;
            }
            if (i.kind == Item::Text && i.h > 0 && i.h < 1) {
                // A figure stepped down to fit its column: the same font drawn smaller, so it measures
                // exactly the share it was laid out at.
                p->save();
                p->translate(pt(i.x, i.y));
                p->scale(i.h, i.h);
                p->drawText(QPointF(0, 0), i.text);
                p->restore();
            } else if (i.kind == Item::Text) {
                p->drawText(pt(i.x, i.y), i.text);
            } else {
                // Aligned at draw time: the total is only known once every page is laid out.
                const QString t = pageNumberText(pageNo, pages);
                const qreal w = Measure::get().width(i.font, t);
                const qreal x = i.text == QLatin1String("C") ? i.x + (i.w - w) / 2 : i.x + i.w - w;
                p->drawText(QPointF(x * kUnit, i.y * kUnit), t);
            }
            break;
        }
        case Item::Line:
        case Item::DashLine: {
            QPen pen(QColor::fromRgba(i.color), i.pen * kUnit);
            if (i.kind == Item::DashLine)
                pen.setStyle(Qt::DashLine);
            pen.setCapStyle(Qt::FlatCap);
            p->setPen(pen);
            p->drawLine(pt(i.x, i.y), pt(i.x + i.w, i.y + i.h));
            currentColor = 0;
            break;
        }
        case Item::Box:
        case Item::RoundBox: {
            const QRectF r(i.x * kUnit, i.y * kUnit, i.w * kUnit, i.h * kUnit);
            if (i.kind == Item::Box && i.pen <= 0) {
                p->fillRect(r, QColor::fromRgba(i.fill));
                break;
            }
            p->setPen(i.pen > 0 ? QPen(QColor::fromRgba(i.color), i.pen * kUnit) : QPen(Qt::NoPen));
            p->setBrush(i.fill ? QBrush(QColor::fromRgba(i.fill)) : QBrush(Qt::NoBrush));
            if (i.kind == Item::RoundBox)
                p->drawRoundedRect(r, 5 * kUnit, 5 * kUnit);
            else
                p->drawRect(r);
            p->setBrush(Qt::NoBrush);
            currentColor = 0;
            break;
        }
        default:
            break;
        }
    }
}

} // namespace

// ---- the document -------------------------------------------------------------------------------

struct ReportDocument::Private {
    mutable QTemporaryFile file{QDir::tempPath() + QStringLiteral("/mirabel-informe-XXXXXX.pag")};
    QVector<qint64> offsets;
    QSizeF page{595.28, 841.89};
    bool landscape = false;
    QString title, reportFile;
    QString error;
    // Every text is plain (see Measure::plain), so the program's own PDF writer can draw the document.
    bool plain = true;

    std::string bytes; // the page being written, kept to reuse its room

    bool append(const QVector<Item> &items) {
        bytes.clear();
        put(bytes, quint32(0)); // the length, once known
        writeItems(bytes, items);
        const quint32 len = quint32(bytes.size()) - sizeof(quint32);
        std::memcpy(bytes.data(), &len, sizeof len);
        if (!file.isOpen() && !file.open()) {
            error = QStringLiteral("No se puede crear el archivo temporal del informe: %1")
                        .arg(file.errorString());
            return false;
        }
        const qint64 at = file.size();
        if (!file.seek(at) || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
            error = QStringLiteral("No se puede escribir el archivo temporal del informe: %1")
                        .arg(file.errorString());
            return false;
        }
        offsets.append(at);
        return true;
    }

    QVector<Item> read(int index) const {
        quint32 len = 0;
        if (index < 0 || index >= offsets.size() || !file.seek(offsets.at(index)) ||
            file.read(reinterpret_cast<char *>(&len), sizeof len) != sizeof len)
            return {};
        return readItems(file.read(len));
    }
};

namespace {

// Turns the bands of a report into pages: page header and footer, the table's column headings (again on
// every page), zebra rows, group headings (repeated with "(continuación)" on a new page), totals, blocks,
// the chart and the receipt. Heights are fixed per kind of band, so a band is never split across pages.
class Layout {
public:
    Layout(ReportDocument::Private &doc, ReportData &data)
        : m_doc(doc), m_data(data), m_def(data.definition()), m_m(Measure::get()) {
        m_page = data.definition().landscape ? QSizeF(841.89, 595.28) : QSizeF(595.28, 841.89);
        m_left = 36;
        m_right = m_page.width() - 36;
        m_width = m_right - m_left;
        m_bottom = m_page.height() - 40;
        double total = 0;
        for (const ReportColumn &c : m_def.columns)
            total += c.width;
        double x = m_left;
        for (const ReportColumn &c : m_def.columns) {
            const double w = total > 0 ? c.width / total * m_width : 0;
            m_colX << x;
            m_colW << w;
            x += w;
        }
        m_rowText = m_m.lineHeight(Body);
    }

    bool run(QString *error, const ReportDocument::Progress &progress) {
        m_doc.page = m_page;
        m_doc.landscape = m_def.landscape;
        m_doc.title = m_def.title;
        m_doc.reportFile = m_def.fileName;
        startPage();
        // One band of look-ahead: the last line of a table stays on the page of its totals.
        ReportBand band, next;
        bool have = m_data.next(&band);
        int n = 0;
        while (have) {
            const bool more = m_data.next(&next);
            m_next = more ? &next : nullptr;
            place(band);
            have = more;
            if (more)
                std::swap(band, next);
            if (!m_doc.error.isEmpty())
                break;
            if (progress && (++n % 256) == 0 && !progress(m_data.recordsRead())) {
                *error = QStringLiteral("Se canceló la preparación del informe.");
                return false;
            }
        }
        if (m_doc.error.isEmpty() && !m_data.error().isEmpty())
            m_doc.error = m_data.error();
        if (!m_doc.error.isEmpty()) {
            *error = m_doc.error;
            return false;
        }
        return flush();
    }

private:
    // ---- primitives
    void text(qreal x, qreal baseline, const QString &s, int font, QRgb color = kInk, qreal scale = 1) {
        if (s.isEmpty())
            return;
        if (m_doc.plain) {
            for (const QChar c : s)
                if (!m_m.plain(font, c)) {
                    m_doc.plain = false;
                    break;
                }
        }
        Item i;
        i.kind = Item::Text;
        i.font = quint8(font);
        i.color = color;
        i.x = float(x);
        i.y = float(baseline);
        i.h = scale < 1 ? float(scale) : 0;
        i.text = s;
        m_items.append(std::move(i));
    }
    // A figure (an amount, a count) is never shortened: when it is wider than its box, its font steps down
    // until it fits whole.
    void figure(qreal x, qreal top, qreal w, qreal h, const QString &s, int font, Qt::Alignment align,
                QRgb color = kInk, qreal pad = 3) {
        if (s.isEmpty())
            return;
        const qreal avail = std::max<qreal>(w - 2 * pad, 1);
        const qreal full = m_m.width(font, s);
        const qreal scale = full > avail ? avail / full : 1;
        const qreal tw = full * scale;
        qreal tx = x + pad;
        if (align & Qt::AlignRight)
            tx = x + w - pad - tw;
        else if (align & Qt::AlignHCenter)
            tx = x + (w - tw) / 2;
        const qreal baseline = top + (h - m_m.lineHeight(font) * scale) / 2 + m_m.ascent(font) * scale;
        text(tx, baseline, s, font, color, scale);
    }
    static bool isFigure(const ReportColumn &c) { return (c.align & Qt::AlignRight) && c.lines <= 1; }
    // Text placed in a box of the given width and height, vertically centred, shortened to fit.
    void cell(qreal x, qreal top, qreal w, qreal h, const QString &s, int font, Qt::Alignment align,
              QRgb color = kInk, qreal pad = 3) {
        if (s.isEmpty())
            return;
        QString one = s;
        // Stored text may carry line breaks or tabs (imports); on a single line they read as blanks.
        if (one.contains(QLatin1Char('\n')) || one.contains(QLatin1Char('\r')) ||
            one.contains(QLatin1Char('\t'))) {
            for (QChar &c : one)
                if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
                    c = QLatin1Char(' ');
        }
        const QString shown = m_m.elide(font, one, w - 2 * pad);
        qreal tx = x + pad;
        if (align & (Qt::AlignRight | Qt::AlignHCenter)) {
            const qreal tw = m_m.width(font, shown);
            tx = (align & Qt::AlignRight) ? x + w - pad - tw : x + (w - tw) / 2;
        }
        const qreal baseline = top + (h - m_m.lineHeight(font)) / 2 + m_m.ascent(font);
        text(tx, baseline, shown, font, color);
    }
    void line(qreal x1, qreal y1, qreal x2, qreal y2, QRgb color, qreal pen, bool dashed = false) {
        Item i;
        i.kind = dashed ? Item::DashLine : Item::Line;
        i.color = color;
        i.x = float(x1);
        i.y = float(y1);
        i.w = float(x2 - x1);
        i.h = float(y2 - y1);
        i.pen = float(pen);
        m_items.append(std::move(i));
    }
    void box(const QRectF &r, QRgb fill, QRgb border = 0, qreal pen = 0, bool round = false) {
        Item i;
        i.kind = round ? Item::RoundBox : Item::Box;
        i.fill = fill;
        i.color = border;
        i.pen = float(pen);
        i.x = float(r.x());
        i.y = float(r.y());
        i.w = float(r.width());
        i.h = float(r.height());
        m_items.append(std::move(i));
    }
    void pageNumber(qreal x, qreal baseline, qreal w, int font, QRgb color, bool centred = false) {
        Item i;
        i.kind = Item::PageNumber;
        i.font = quint8(font);
        i.color = color;
        i.x = float(x);
        i.y = float(baseline);
        i.w = float(w);
        i.text = centred ? QStringLiteral("C") : QStringLiteral("R");
        m_items.append(std::move(i));
    }

    // ---- pages
    void startPage() {
        m_items.clear();
        m_tableHeaderShown = false;
        m_groupShown = false;
        m_zebra = 0;
        const qreal top = 28;
        // Company block on the left, print date and page on the right.
        qreal y = top;
        if (!m_data.company().isEmpty())
            text(m_left, y + m_m.ascent(Company), m_m.elide(Company, m_data.company(), m_width * 0.62),
                 Company, kPrimary);
        if (!m_data.taxId().isEmpty())
            text(m_left, y + 18 + m_m.ascent(Small),
                 m_m.elide(Small, QStringLiteral("CUIT %1").arg(m_data.taxId()), m_width * 0.62), Small,
                 kGrey);
        const QString printed =
            QStringLiteral("Impreso el %1").arg(m_data.printDate().toString(QStringLiteral("dd/MM/yyyy")));
        text(m_right - m_m.width(Small, printed), y + m_m.ascent(Small), printed, Small, kGrey);
        pageNumber(m_left, y + 12 + m_m.ascent(SmallBold), m_width, SmallBold, kInk);
        y = top + 32;
        text(m_left, y + m_m.ascent(Title), m_m.elide(Title, m_def.title, m_width), Title, kInk);
        y += 22;
        for (const QString &s : {m_data.selection(), m_data.note()}) {
            if (s.isEmpty())
                continue;
            text(m_left, y + m_m.ascent(Subtitle), m_m.elide(Subtitle, s, m_width), Subtitle, kGrey);
            y += 12;
        }
        y += 3;
        line(m_left, y, m_right, y, kPrimary, 1.2);
        m_contentTop = y + 8;
        m_y = m_contentTop;
        // Footer.
        const qreal fy = m_page.height() - 30;
        line(m_left, fy, m_right, fy, kRule, 0.5);
        const QString foot =
            m_data.company().isEmpty() ? m_def.title : m_data.company() + QStringLiteral(" · ") + m_def.title;
        text(m_left, fy + 4 + m_m.ascent(Small), m_m.elide(Small, foot, m_width * 0.7), Small, kGrey);
        pageNumber(m_left, fy + 4 + m_m.ascent(Small), m_width, Small, kGrey);
    }

    bool flush() {
        if (!m_doc.append(m_items))
            return false;
        m_items.clear();
        return true;
    }

    void newPage() {
        if (flush())
            startPage();
    }

    bool pageEmpty() const { return m_y <= m_contentTop + 0.5; }
    bool fits(qreal h) const { return m_y + h <= m_bottom || pageEmpty(); }

    // ---- table pieces
    static constexpr qreal kHeadH = 17;
    static constexpr qreal kGroupH = 21;
    static constexpr qreal kFootH = 17;
    static constexpr qreal kTotalsH = 19;

    qreal rowHeight(const ReportBand &b, QVector<QStringList> *wrapped) {
        int lines = 1;
        if (wrapped)
            wrapped->clear();
        for (int c = 0; c < m_def.columns.size(); ++c) {
            if (m_def.columns.at(c).lines <= 1 || c >= b.cells.size()) {
                if (wrapped)
                    wrapped->append(QStringList());
                continue;
            }
            const QStringList l = m_m.wrap(Body, b.cells.at(c), m_colW.at(c) - 6, m_def.columns.at(c).lines);
            lines = std::max(lines, int(l.size()));
            if (wrapped)
                wrapped->append(l);
        }
        return lines * m_rowText + 5;
    }

    void tableHeader() {
        box(QRectF(m_left, m_y, m_width, kHeadH), kHeadFill);
        for (int c = 0; c < m_def.columns.size(); ++c) {
            const ReportColumn &col = m_def.columns.at(c);
            cell(m_colX.at(c), m_y, m_colW.at(c), kHeadH, col.caption, ColumnHead, col.align, kPrimary);
        }
        line(m_left, m_y + kHeadH, m_right, m_y + kHeadH, kPrimary, 0.8);
        m_y += kHeadH + 1;
        m_tableHeaderShown = true;
        m_zebra = 0;
    }

    void groupHeader(bool continued) {
        if (!m_group)
            return;
        box(QRectF(m_left, m_y + 2, m_width, kGroupH - 4), kGroupFill);
        const QString title = continued ? m_group->text + QStringLiteral(" (continuación)") : m_group->text;
        const qreal detailW = m_m.width(Small, m_group->detail);
        cell(m_left, m_y + 2, m_width - detailW - 10, kGroupH - 4, title, MediumBold, Qt::AlignLeft, kPrimary,
             5);
        cell(m_right - detailW - 10, m_y + 2, detailW + 10, kGroupH - 4, m_group->detail, Small,
             Qt::AlignRight, kGrey, 5);
        m_y += kGroupH;
        m_groupShown = true;
        m_zebra = 0;
    }

    // Cells of a totals line: a text followed by empty cells spreads over them (and then reads from the
    // left).
    void spreadCells(const QStringList &cells, qreal h, int font) {
        const int n = int(std::min(cells.size(), m_def.columns.size()));
        for (int c = 0; c < n; ++c) {
            if (cells.at(c).isEmpty())
                continue;
            int last = c;
            while (last + 1 < n && cells.at(last + 1).isEmpty() &&
                   !(m_def.columns.at(last + 1).align & Qt::AlignRight))
                ++last;
            const qreal w = m_colX.at(last) + m_colW.at(last) - m_colX.at(c);
            if (last == c && isFigure(m_def.columns.at(c)))
                figure(m_colX.at(c), m_y, w, h, cells.at(c), font, m_def.columns.at(c).align);
            else
                cell(m_colX.at(c), m_y, w, h, cells.at(c), font,
                     last > c ? Qt::AlignLeft : m_def.columns.at(c).align);
        }
    }

    // Makes room for a table band of height h: a new page when it does not fit, then the column headings
    // and the open group's heading if this page does not show them yet.
    void tableRoom(qreal h, bool withGroup) {
        qreal need = h;
        if (!m_tableHeaderShown)
            need += kHeadH + 1;
        if (withGroup && m_group && !m_groupShown)
            need += kGroupH;
        if (!fits(need)) {
            newPage();
        }
        if (!m_tableHeaderShown)
            tableHeader();
        if (withGroup && m_group && !m_groupShown)
            groupHeader(true);
    }

    // Room that the band after this one needs on the same page.
    qreal keepWithNext(const ReportBand *next) const {
        if (!next)
            return 0;
        if (next->type == ReportBand::Type::Totals)
            return kTotalsH + 4;
        if (next->type == ReportBand::Type::GroupFooter)
            return kFootH;
        return 0;
    }

    qreal summaryHeight(const ReportBand &b) const { return b.pairs.size() * 15 + 14 + 10; }

    void row(const ReportBand &b) {
        QVector<QStringList> wrapped;
        const qreal h = rowHeight(b, &wrapped);
        tableRoom(h + keepWithNext(m_next), true);
        if (m_zebra++ % 2 == 1)
            box(QRectF(m_left, m_y, m_width, h), kZebra);
        for (int c = 0; c < b.cells.size() && c < m_def.columns.size(); ++c) {
            const ReportColumn &col = m_def.columns.at(c);
            if (col.lines > 1 && wrapped.at(c).size() > 1) {
                qreal top = m_y + 2.5;
                for (const QString &l : wrapped.at(c)) {
                    cell(m_colX.at(c), top, m_colW.at(c), m_rowText, l, Body, col.align);
                    top += m_rowText;
                }
            } else if (isFigure(col)) {
                figure(m_colX.at(c), m_y, m_colW.at(c), h, b.cells.at(c), Body, col.align);
            } else {
                cell(m_colX.at(c), m_y, m_colW.at(c), h, b.cells.at(c), Body, col.align);
            }
        }
        m_y += h;
    }

    void place(const ReportBand &b) {
        switch (b.type) {
        case ReportBand::Type::Row:
            row(b);
            break;
        case ReportBand::Type::GroupHeader: {
            m_group = b;
            m_groupShown = false;
            const qreal gap = (m_tableHeaderShown && !pageEmpty()) ? 5 : 0;
            // Keep the heading with its first line.
            if (!fits(gap + kGroupH + m_rowText + 5 + (m_tableHeaderShown ? 0 : kHeadH + 1)))
                newPage();
            if (!m_tableHeaderShown)
                tableHeader();
            else
                m_y += gap;
            groupHeader(false);
            break;
        }
        case ReportBand::Type::GroupFooter:
            tableRoom(kFootH + keepWithNext(m_next), true);
            line(m_left, m_y, m_right, m_y, kRule, 0.6);
            spreadCells(b.cells, kFootH, BodyBold);
            m_y += kFootH + 2;
            m_group.reset();
            m_groupShown = false;
            break;
        case ReportBand::Type::Totals:
            m_group.reset();
            tableRoom(kTotalsH + 4 +
                          (m_next && m_next->type == ReportBand::Type::Summary ? summaryHeight(*m_next) : 0),
                      false);
            m_y += 4;
            box(QRectF(m_left, m_y, m_width, kTotalsH), kHeadFill);
            line(m_left, m_y, m_right, m_y, kPrimary, 1);
            spreadCells(b.cells, kTotalsH, BodyBold);
            m_y += kTotalsH;
            break;
        case ReportBand::Type::Fields:
            fields(b);
            break;
        case ReportBand::Type::Summary:
            summary(b);
            break;
        case ReportBand::Type::Message: {
            const qreal h = 34;
            if (!fits(h + 6))
                newPage();
            m_y += 6;
            box(QRectF(m_left, m_y, m_width, h), 0, kRule, 0.6, true);
            cell(m_left, m_y, m_width, h, b.text, Italic, Qt::AlignHCenter, kGrey);
            m_y += h + 4;
            m_tableHeaderShown = false;
            break;
        }
        case ReportBand::Type::PageBreak:
            if (!pageEmpty())
                newPage();
            m_group.reset();
            break;
        case ReportBand::Type::Receipt:
            if (!pageEmpty())
                newPage();
            receipt(b);
            break;
        case ReportBand::Type::ChartStart:
            chartStart(b);
            break;
        case ReportBand::Type::ChartBar:
            chartBar(b);
            break;
        }
    }

    // ---- blocks
    void fields(const ReportBand &b) {
        const int rows = int((b.pairs.size() + 1) / 2);
        const qreal rowH = 15;
        const qreal h = 24 + rows * rowH + 6;
        if (!fits(h + 8))
            newPage();
        if (!pageEmpty())
            m_y += 8;
        box(QRectF(m_left, m_y, m_width, h), kGroupFill, kRule, 0.6, true);
        cell(m_left + 4, m_y + 4, m_width - 8, 18, b.text, MediumBold, Qt::AlignLeft, kPrimary);
        const qreal half = m_width / 2;
        const qreal labelW = 62;
        for (int i = 0; i < b.pairs.size(); ++i) {
            const qreal x = m_left + 6 + (i % 2) * half;
            const qreal y = m_y + 24 + (i / 2) * rowH;
            cell(x, y, labelW, rowH, b.pairs.at(i).first + QLatin1Char(':'), Small, Qt::AlignLeft, kGrey);
            cell(x + labelW, y, half - labelW - 12, rowH, b.pairs.at(i).second, Body, Qt::AlignLeft);
        }
        m_y += h + 6;
        m_tableHeaderShown = false;
        // The block names whose table follows: a page that continues the table says so under its headings.
        ReportBand context(ReportBand::Type::GroupHeader);
        context.text = b.text;
        m_group = context;
        m_groupShown = true;
    }

    void summary(const ReportBand &b) {
        m_group.reset();
        const qreal rowH = 15;
        const qreal h = summaryHeight(b) - 10;
        if (!fits(h + 10))
            newPage();
        m_y += 10;
        const qreal w = std::min<qreal>(300, m_width);
        const qreal x = m_right - w;
        box(QRectF(x, m_y, w, h), kGroupFill, kRule, 0.6, true);
        qreal y = m_y + 5;
        for (int i = 0; i < b.pairs.size(); ++i) {
            const bool last = i == b.pairs.size() - 1 && b.pairs.size() > 1;
            if (last) {
                y += 4;
                line(x + 6, y - 1, m_right - 6, y - 1, kPrimary, 0.8);
            }
            const int font = last ? MediumBold : Body;
            cell(x + 4, y, w * 0.6, rowH, b.pairs.at(i).first, font, Qt::AlignLeft, last ? kPrimary : kInk);
            figure(x + w * 0.5, y, w * 0.5 - 4, rowH, b.pairs.at(i).second, last ? MediumBold : BodyBold,
                   Qt::AlignRight, last ? kPrimary : kInk);
            y += rowH;
        }
        m_y += h + 4;
        m_tableHeaderShown = false;
    }

    // ---- chart
    qreal chartX0() const { return m_left + 150; }
    qreal chartX1() const { return m_right - 88; }

    // A round figure at or above the largest amount (1, 1.2, 1.5, 2, 2.5, 3, 4, 5, 6 or 8 times a power of
    // ten), so the four marks of the scale read as plain amounts and the longest bar fills most of the width.
    // Worked in 128 bits: near the largest storable amount the next round figure is beyond 64 bits, and
    // then the largest amount itself is the scale.
    static Money niceCeiling(const Money &m) {
        const __int128 units = std::max<qint64>(m.units(), Money::Scale);
        __int128 power = Money::Scale; // steps of at least one whole unit
        while (power * 10 <= units)
            power *= 10;
        for (const int tenths : {10, 12, 15, 20, 25, 30, 40, 50, 60, 80, 100})
            if (power / 10 * tenths >= units)
                return Money::fromUnits(qint64(std::min<__int128>(power / 10 * tenths, Money::Max)));
        return Money::fromUnits(Money::Max);
    }

    static QString axisLabel(const Money &m) {
        QString s = ReportData::money(m);
        const QString zeros = QLocale().decimalPoint() + QStringLiteral("00");
        if (s.endsWith(zeros))
            s.chop(zeros.size());
        return s;
    }

    void chartStart(const ReportBand &b) {
        m_chartScale = niceCeiling(b.scale);
        const qreal h = 52;
        if (!fits(h + 30 + 14))
            newPage();
        m_y += 14;
        cell(m_left, m_y, m_width, 18, b.text, MediumBold, Qt::AlignLeft, kPrimary, 0);
        // Legend.
        qreal lx = m_right;
        for (int i = int(b.pairs.size()) - 1; i >= 0; --i) {
            const QString label = b.pairs.at(i).first;
            const qreal tw = m_m.width(Small, label);
            lx -= tw;
            text(lx, m_y + 5 + m_m.ascent(Small), label, Small, kInk);
            lx -= 13;
            box(QRectF(lx, m_y + 5, 9, 9), i == 0 ? kIncome : kExpense);
            lx -= 14;
        }
        m_y += 24;
        // Scale along the top.
        const qreal x0 = chartX0(), x1 = chartX1();
        const qreal step = (x1 - x0) / 4;
        for (int k = 0; k <= 4; ++k) {
            const qreal x = x0 + step * k;
            const QString v =
                axisLabel(Money::fromUnits(qint64(__int128(m_chartScale.units()) * k / 4))); // no overflow
            const qreal w = std::min(step - 2, m_m.width(Small, v) + 2);
            figure(std::min(x - w / 2, m_right - w), m_y, w, m_m.lineHeight(Small), v, Small,
                   Qt::AlignHCenter, kGrey, 1);
        }
        m_y += 14;
        line(x0, m_y, x1, m_y, kRule, 0.6);
        m_tableHeaderShown = false;
    }

    void chartBar(const ReportBand &b) {
        const qreal h = 30;
        if (!fits(h)) {
            newPage();
            line(chartX0(), m_y, chartX1(), m_y, kRule, 0.6);
        }
        const qreal x0 = chartX0(), x1 = chartX1();
        for (int k = 0; k <= 4; ++k) {
            const qreal x = x0 + (x1 - x0) * k / 4;
            line(x, m_y, x, m_y + h, k == 0 ? kGrey : kSoftGrid, k == 0 ? 0.8 : 0.5);
        }
        cell(m_left, m_y, x0 - m_left - 4, h, b.text, Body, Qt::AlignLeft, kInk, 0);
        const qreal scale = double(m_chartScale.units());
        const Money values[2] = {b.a, b.b};
        const QRgb colours[2] = {kIncome, kExpense};
        for (int k = 0; k < 2; ++k) {
            const qreal frac = scale > 0 ? std::clamp(double(values[k].units()) / scale, 0.0, 1.0) : 0.0;
            const qreal top = m_y + 5 + k * 10.5;
            const qreal len = (x1 - x0) * frac;
            if (len > 0.2)
                box(QRectF(x0, top, len, 9), colours[k]);
            figure(x0 + len + 1, top - 1, m_right - (x0 + len + 1), 11,
                   k < b.cells.size() ? b.cells.at(k) : QString(), Small, Qt::AlignLeft, kInk);
        }
        m_y += h;
    }

    // ---- receipt: original and duplicate on one sheet, with a line to cut along
    void receipt(const ReportBand &b) {
        const qreal gap = 22;
        const qreal h = std::min<qreal>(300, (m_bottom - m_y - gap) / 2);
        receiptCopy(b, m_y, h, QStringLiteral("ORIGINAL"));
        const qreal cut = m_y + h + gap / 2;
        line(m_left, cut, m_right, cut, kGrey, 0.6, true);
        const QString scissors = QStringLiteral("✂ cortar aquí");
        text(m_left + 8, cut - 3, scissors, Small, kGrey);
        receiptCopy(b, m_y + h + gap, h, QStringLiteral("DUPLICADO"));
        m_y += 2 * h + gap;
        m_tableHeaderShown = false;
    }

    void receiptCopy(const ReportBand &b, qreal top, qreal h, const QString &copy) {
        const auto v = [&](const char *k) { return b.values.value(QString::fromLatin1(k)); };
        const bool paid = v("pagada") == QLatin1String("1");
        const qreal x = m_left, w = m_width;
        box(QRectF(x, top, w, h), 0, kPrimary, 1.1, true);
        qreal y = top + 10;
        // Company at the left, receipt number at the right: each copy stands on its own once cut.
        if (!m_data.company().isEmpty())
            cell(x + 8, y, w * 0.6, 18, m_data.company(), Company, Qt::AlignLeft, kPrimary, 4);
        if (!m_data.taxId().isEmpty())
            cell(x + 8, y + 18, w * 0.6, 12, QStringLiteral("CUIT %1").arg(m_data.taxId()), Small,
                 Qt::AlignLeft, kGrey, 4);
        cell(x + w * 0.55, y - 2, w * 0.45 - 10, 20, QStringLiteral("RECIBO Nº %1").arg(v("numero")), Big,
             Qt::AlignRight, kPrimary, 4);
        cell(x + w * 0.55, y + 18, w * 0.45 - 10, 12, copy, SmallBold, Qt::AlignRight, kGrey, 4);
        y += 36;
        line(x + 10, y, x + w - 10, y, kRule, 0.6);
        y += 8;

        const qreal labelW = 108;
        const qreal valueX = x + 12 + labelW;
        const qreal valueW = w - labelW - 24 - 150; // leave room for the amount box
        const auto field = [&](const QString &label, const QString &value, int font = Medium) {
            cell(x + 12, y, labelW, 17, label, Small, Qt::AlignLeft, kGrey, 0);
            cell(valueX, y, valueW, 17, value, font, Qt::AlignLeft, kInk, 0);
            y += 17;
        };
        QString member = v("socio");
        if (!v("nroSocio").isEmpty())
            member += QStringLiteral("  (Socio Nº %1)").arg(v("nroSocio"));
        field(QStringLiteral("Recibimos de:"), member, MediumBold);
        field(QStringLiteral("Documento:"), v("documento"));
        field(QStringLiteral("Domicilio:"), v("domicilio"));
        // The amount in words states the figure: always whole, on up to three lines, smaller if need be.
        cell(x + 12, y, labelW, 17, QStringLiteral("La suma de pesos:"), Small, Qt::AlignLeft, kGrey, 0);
        const QString letras = v("letras");
        qreal scale = 1;
        QStringList words = m_m.wrap(Italic, letras, valueW, 3);
        while (words.join(QLatin1Char(' ')).simplified() != letras.simplified() && scale > 0.3) {
            scale -= 0.1;
            words = m_m.wrap(Italic, letras, valueW / scale, 3);
        }
        for (const QString &l : words) {
            text(valueX, y + (17 - m_m.lineHeight(Italic) * scale) / 2 + m_m.ascent(Italic) * scale, l,
                 Italic, kInk, scale);
            y += 15;
        }
        y += 2;
        field(QStringLiteral("En concepto de:"), v("concepto"));
        field(QStringLiteral("Período:"), v("periodo"));
        field(QStringLiteral("Plan:"), v("plan"));
        field(QStringLiteral("Vencimiento:"), v("vencimiento"));
        field(QStringLiteral("Fecha de pago:"), paid ? v("fechaPago") : QStringLiteral("—"),
              paid ? MediumBold : Medium);

        // Amount box at the right.
        const QRectF amountBox(x + w - 160, top + 56, 148, 46);
        box(amountBox, kGroupFill, kPrimary, 0.8, true);
        cell(amountBox.x(), amountBox.y() + 3, amountBox.width(), 12, QStringLiteral("IMPORTE"), SmallBold,
             Qt::AlignHCenter, kGrey, 0);
        figure(amountBox.x(), amountBox.y() + 16, amountBox.width(), 26, v("importe"), Big, Qt::AlignHCenter,
               kInk, 4);

        // Whether it is paid, beyond doubt.
        const QRectF stamp(x + w - 160, top + 114, 148, 40);
        const QRgb colour = paid ? kIncome : kExpense;
        box(stamp, 0, colour, 2, true);
        cell(stamp.x(), stamp.y() + 2, stamp.width(), 26,
             paid ? QStringLiteral("PAGADA") : QStringLiteral("IMPAGA"), Stamp, Qt::AlignHCenter, colour, 2);
        cell(stamp.x(), stamp.y() + 26, stamp.width(), 12,
             paid ? QStringLiteral("el %1").arg(v("fechaPago")) : QStringLiteral("sin pago registrado"),
             Small, Qt::AlignHCenter, colour, 2);

        const qreal bottom = top + h;
        if (!paid) {
            cell(x + 12, bottom - 44, w - 24, 14,
                 QStringLiteral(
                     "Esta cuota no registra pago: este comprobante no es válido como recibo de pago."),
                 SmallBold, Qt::AlignLeft, kExpense, 0);
        }
        // Signature line.
        line(x + w - 200, bottom - 26, x + w - 20, bottom - 26, kGrey, 0.6);
        cell(x + w - 200, bottom - 24, 180, 12, QStringLiteral("Firma y aclaración"), Small, Qt::AlignHCenter,
             kGrey, 0);
    }

    ReportDocument::Private &m_doc;
    ReportData &m_data;
    const ReportDefinition &m_def;
    Measure &m_m;
    QSizeF m_page;
    qreal m_left = 0, m_right = 0, m_width = 0, m_bottom = 0, m_contentTop = 0, m_y = 0, m_rowText = 0;
    QVector<qreal> m_colX, m_colW;
    QVector<Item> m_items;
    bool m_tableHeaderShown = false;
    bool m_groupShown = false;
    int m_zebra = 0;
    std::optional<ReportBand> m_group;
    const ReportBand *m_next = nullptr;
    Money m_chartScale;
};

} // namespace

ReportDocument::ReportDocument() : d(std::make_unique<Private>()) {}
ReportDocument::~ReportDocument() = default;

Result ReportDocument::build(ReportData &data, const Progress &progress) {
    d = std::make_unique<Private>();
    QString why;
    Layout layout(*d, data);
    if (!layout.run(&why, progress)) {
        Log::error(QStringLiteral("Informes"), why);
        d->offsets.clear();
        return Result::failure(why);
    }
    return Result::done();
}

int ReportDocument::pageCount() const {
    return int(d->offsets.size());
}
QSizeF ReportDocument::pageSize() const {
    return d->page;
}
bool ReportDocument::landscape() const {
    return d->landscape;
}
QString ReportDocument::title() const {
    return d->title;
}
QString ReportDocument::reportFile() const {
    return d->reportFile;
}

void ReportDocument::paintPage(QPainter *painter, int index) const {
    const DeviceFonts fonts(painter->device());
    painter->save();
    play(painter, d->read(index), index + 1, pageCount(), fonts);
    painter->restore();
}

QImage ReportDocument::pageImage(int index, double pixelsPerPoint) const {
    const QSize size(qMax(1, qRound(d->page.width() * pixelsPerPoint)),
                     qMax(1, qRound(d->page.height() * pixelsPerPoint)));
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(pixelsPerPoint, pixelsPerPoint);
    paintPage(&p, index);
    return img;
}

QStringList ReportDocument::pageTexts(int index) const {
    QStringList out;
    for (const Item &i : d->read(index)) {
        if (i.kind == Item::Text)
            out << i.text;
        else if (i.kind == Item::PageNumber)
            out << pageNumberText(index + 1, pageCount());
    }
    return out;
}

namespace {
// notEnded: the message when the device cannot finish the document.
Result paintRange(const ReportDocument &doc, QPagedPaintDevice *device, int from, int to,
                  const ReportDocument::Progress &progress, const QString &notEnded) {
    QPainter p;
    if (!p.begin(device))
        return Result::failure(QStringLiteral("No se puede escribir el documento."));
    p.setRenderHint(QPainter::Antialiasing);
    // The page's points onto the whole sheet, whatever the device's resolution.
    const qreal scale = qreal(device->width()) / doc.pageSize().width();
    for (int i = from; i <= to; ++i) {
        if (i > from && !device->newPage())
            return Result::failure(
                QStringLiteral("No se puede agregar la página %1 al documento.").arg(i + 1));
        p.resetTransform();
        p.scale(scale, scale);
        doc.paintPage(&p, i);
        if (progress && !progress(i - from + 1)) {
            p.end();
            return Result::failure(QStringLiteral("Se canceló la impresión del informe."),
                                   Result::Code::Cancelled);
        }
    }
    return p.end() ? Result::done() : Result::failure(notEnded);
}
} // namespace

namespace {
// The document through the program's own PDF writer, page by page straight to the file, with the same
// placement as play() gives Qt.
Result writePlainPdf(const ReportDocument::Private &d, int pages, const QString &partial,
                     const ReportDocument::Progress &progress) {
    Measure &m = Measure::get();
    std::array<QRawFont, PdfReport::FaceCount> faces;
    for (int f = 0; f < PdfReport::FaceCount; ++f)
        faces[size_t(f)] = m.rawFace(f);
    QSizeF sheet = QPageSize(QPageSize::A4).size(QPageSize::Point);
    if (d.landscape)
        sheet.transpose();
    PdfReport pdf(d.page, sheet, faces);
    if (Result r = pdf.open(partial, d.title); !r)
        return r;
    QVarLengthArray<double, 256> advances;
    for (int p = 0; p < pages; ++p) {
        pdf.beginPage();
        for (const Item &i : d.read(p)) {
            switch (i.kind) {
            case Item::Text:
            case Item::PageNumber: {
                QString t = i.text;
                double x = i.x, scale = 1;
                if (i.kind == Item::PageNumber) {
                    t = pageNumberText(p + 1, pages);
                    const qreal w = m.width(i.font, t);
                    x = i.text == QLatin1String("C") ? i.x + (i.w - w) / 2 : i.x + i.w - w;
                } else if (i.h > 0 && i.h < 1) {
                    scale = i.h;
                }
                m.advances(i.font, t, &advances);
                pdf.text(Measure::faceOf(i.font), kFonts[i.font].pt, scale, x, i.y, i.color, t,
                         advances.constData(), m.spacing(i.font));
                break;
            }
            case Item::Line:
            case Item::DashLine:
                pdf.line(i.x, i.y, i.x + i.w, i.y + i.h, i.color, i.pen, i.kind == Item::DashLine);
                break;
            case Item::Box:
            case Item::RoundBox:
                pdf.box(i.x, i.y, i.w, i.h, i.fill, i.color, std::max(0.0f, i.pen),
                        i.kind == Item::RoundBox ? 5 : 0);
                break;
            default:
                break;
            }
        }
        if (Result r = pdf.endPage(); !r)
            return r;
        if (progress && !progress(p + 1))
            return Result::failure(QStringLiteral("Se canceló la impresión del informe."),
                                   Result::Code::Cancelled);
    }
    return pdf.finish();
}
} // namespace

Result ReportDocument::writePdf(const QString &path, const Progress &progress) const {
    if (pageCount() == 0)
        return Result::failure(QStringLiteral("El informe no tiene páginas."));
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return Result::failure(QStringLiteral("No existe la carpeta %1.").arg(info.absolutePath()));
    // Written beside the target and renamed at the end, so a failure never leaves half a PDF behind.
    const QString partial = path + QStringLiteral(".parcial");
    Result r;
    if (d->plain) {
        r = writePlainPdf(*d, pageCount(), partial, progress);
    } else {
        // Text that needs Qt's shaping or another font: Qt's own PDF engine, which has both.
        QPdfWriter writer(partial);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(d->landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(600);
        writer.setTitle(d->title);
        writer.setCreator(QStringLiteral("Mirabel!"));
        r = paintRange(*this, &writer, 0, pageCount() - 1, progress,
                       QStringLiteral("No se puede escribir el archivo %1.").arg(path));
    }
    if (r) {
        if (!ArchivoNuevo::reemplazar(partial, path))
            r = Result::failure(QStringLiteral("No se puede guardar el archivo %1.").arg(path));
    }
    if (!r) {
        QFile::remove(partial);
        Log::error(QStringLiteral("Informes"), r.message());
    }
    return r;
}

Result ReportDocument::paintPages(QPagedPaintDevice *device, int from, int to,
                                  const Progress &progress) const {
    if (pageCount() == 0)
        return Result::failure(QStringLiteral("El informe no tiene páginas."));
    from = std::clamp(from, 0, pageCount() - 1);
    to = std::clamp(to, from, pageCount() - 1);
    const Result r = paintRange(*this, device, from, to, progress, QString());
    if (!r)
        Log::error(QStringLiteral("Informes"),
                   r.message().isEmpty() ? QStringLiteral("impresión") : r.message());
    return r;
}

bool ReportDocument::build(const QString &reportFile, const QString &formula, ReportError *error,
                           const Progress &progress) {
    ReportError local;
    ReportError *err = error ? error : &local;
    // The connection text of the original engine carried the database password; SQLite files have none,
    // so the report reads the program's own connection.
    std::unique_ptr<ReportData> data = ReportData::open(reportFile, formula, err);
    if (!data)
        return false;
    bool cancelled = false;
    const Result r = build(*data, progress ? Progress([&](int records) {
        cancelled = !progress(records);
        return !cancelled;
    })
                                           : Progress());
    if (!r)
        *err = {cancelled ? ReportError::Kind::Cancelled : ReportError::Kind::Database, r.message()};
    return r.ok();
}
