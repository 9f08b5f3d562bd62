#include "reports/PdfReport.h"

#include <QDateTime>
#include <QFile>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

// ---- numbers and bytes --------------------------------------------------------------------------

// A number with at most `decimals` decimals, without trailing zeros: what PDF readers take, and quick.
void num(std::string &o, double v, int decimals = 2) {
    static constexpr qint64 kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    const qint64 scale = kScale[decimals];
    qint64 n = qint64(v * double(scale) + (v < 0 ? -0.5 : 0.5));
    if (n < 0) {
        o += '-';
        n = -n;
    }
    char buf[32];
    int len = 0;
    qint64 ip = n / scale, fp = n % scale;
    do {
        buf[len++] = char('0' + ip % 10);
        ip /= 10;
    } while (ip);
    std::reverse(buf, buf + len);
    if (fp) {
        buf[len++] = '.';
        for (qint64 div = scale / 10; div > 0 && fp; div /= 10) {
            buf[len++] = char('0' + fp / div);
            fp %= div;
        }
    }
    o.append(buf, size_t(len));
}

void hex4(std::string &o, unsigned v) {
    static const char kHex[] = "0123456789ABCDEF";
    o += kHex[(v >> 12) & 15];
    o += kHex[(v >> 8) & 15];
    o += kHex[(v >> 4) & 15];
    o += kHex[v & 15];
}

void colour(std::string &o, QRgb c, const char *op) {
    num(o, qRed(c) / 255.0, 3);
    o += ' ';
    num(o, qGreen(c) / 255.0, 3);
    o += ' ';
    num(o, qBlue(c) / 255.0, 3);
    o += ' ';
    o += op;
    o += '\n';
}

// A text string for the Info dictionary: UTF-16BE with its byte order mark, in hexadecimal.
std::string pdfTextString(const QString &s) {
    std::string o = "<FEFF";
    for (const QChar c : s)
        hex4(o, c.unicode());
    o += '>';
    return o;
}

quint16 be16(const QByteArray &b, int at) {
    return quint16((quint8(b[at]) << 8) | quint8(b[at + 1]));
}
quint32 be32(const QByteArray &b, int at) {
    return (quint32(be16(b, at)) << 16) | be16(b, at + 2);
}
void put16(QByteArray &b, int at, quint16 v) {
    b[at] = char(v >> 8);
    b[at + 1] = char(v);
}
void put32(QByteArray &b, int at, quint32 v) {
    put16(b, at, quint16(v >> 16));
    put16(b, at + 2, quint16(v));
}
void append16(QByteArray &b, quint16 v) {
    b.append(char(v >> 8));
    b.append(char(v));
}
void append32(QByteArray &b, quint32 v) {
    append16(b, quint16(v >> 16));
    append16(b, quint16(v));
}

// ---- the embedded font --------------------------------------------------------------------------

// What a face brings to the file: its glyph ids by character, the glyphs the document used (and the
// character each one stands for, for copying and searching), and the TrueType tables to subset.
struct FontFace {
    QRawFont raw;
    std::vector<quint16> glyphOf;    // by BMP character; 0xffff: not looked up yet
    std::vector<char16_t> unicodeOf; // by glyph id: 0 unused
    std::vector<double> width;       // by glyph id, in thousandths of the em (the PDF's /W)
    int used = 0;

    void load() {
        if (!glyphOf.empty())
            return;
        glyphOf.assign(0x10000, 0xffff);
        const QByteArray maxp = raw.fontTable("maxp");
        const int glyphs = maxp.size() >= 6 ? be16(maxp, 4) : 0;
        unicodeOf.assign(size_t(glyphs), 0);
        width.assign(size_t(glyphs), -1);
    }

    quint16 glyph(char16_t c) {
        quint16 &g = glyphOf[c];
        if (g == 0xffff) {
            const QChar ch(c);
            quint32 index = 0;
            int n = 1;
            raw.glyphIndexesForChars(&ch, 1, &index, &n);
            g = index < unicodeOf.size() ? quint16(index) : 0;
        }
        if (unicodeOf[g] == 0) {
            unicodeOf[g] = c ? c : 0xfffd;
            ++used;
        }
        return g;
    }

    double widthOf(quint16 g) {
        double &w = width[g];
        if (w < 0) {
            const quint32 gi = g;
            QPointF a;
            raw.advancesForGlyphIndexes(&gi, &a, 1, QRawFont::SeparateAdvances);
            w = std::round(a.x() * 1000.0 / raw.pixelSize() * 1000) / 1000; // pixel size set to 1000
        }
        return w;
    }
};

// The face's TrueType file with only the glyphs used (and the parts of composite ones); other glyphs are
// left empty so ids stay as they are. Tables that a PDF reader does not use for a CID font are left out.
QByteArray subsetFont(const FontFace &f) {
    const QRawFont &raw = f.raw;
    QByteArray head = raw.fontTable("head"), maxp = raw.fontTable("maxp"), hhea = raw.fontTable("hhea");
    const QByteArray hmtx = raw.fontTable("hmtx"), loca = raw.fontTable("loca"), glyf = raw.fontTable("glyf");
    if (head.size() < 54 || maxp.size() < 6 || hhea.size() < 36 || glyf.isEmpty())
        return {};
    const int glyphs = be16(maxp, 4);
    const bool longLoca = be16(head, 50) == 1;
    if (loca.size() < (glyphs + 1) * (longLoca ? 4 : 2))
        return {};
    const auto offset = [&](int g) { return longLoca ? be32(loca, g * 4) : quint32(be16(loca, g * 2)) * 2; };

    std::vector<bool> keep(size_t(glyphs), false);
    std::vector<int> todo;
    const auto want = [&](int g) {
        if (g >= 0 && g < glyphs && !keep[size_t(g)]) {
            keep[size_t(g)] = true;
            todo.push_back(g);
        }
    };
    want(0);
    for (int g = 0; g < int(f.unicodeOf.size()); ++g)
        if (f.unicodeOf[size_t(g)])
            want(g);
    while (!todo.empty()) {
        const int g = todo.back();
        todo.pop_back();
        const quint32 from = offset(g), to = offset(g + 1);
        if (to <= from || to > quint32(glyf.size()) || to - from < 10 || qint16(be16(glyf, int(from))) >= 0)
            continue;
        // A composite glyph: its components travel with it.
        quint32 at = from + 10;
        for (;;) {
            if (at + 4 > to)
                break;
            const quint16 flags = be16(glyf, int(at));
            want(be16(glyf, int(at + 2)));
            at += 4 + ((flags & 0x1) ? 4 : 2);
            at += (flags & 0x8) ? 2 : (flags & 0x40) ? 4 : (flags & 0x80) ? 8 : 0;
            if (!(flags & 0x20))
                break;
        }
    }
    int kept = glyphs;
    while (kept > 1 && !keep[size_t(kept - 1)])
        --kept;

    QByteArray newGlyf, newLoca;
    for (int g = 0; g < kept; ++g) {
        append32(newLoca, quint32(newGlyf.size()));
        if (!keep[size_t(g)])
            continue;
        const quint32 from = offset(g), to = offset(g + 1);
        if (to > from && to <= quint32(glyf.size()))
            newGlyf.append(glyf.constData() + from, int(to - from));
        while (newGlyf.size() % 4)
            newGlyf.append('\0');
    }
    append32(newLoca, quint32(newGlyf.size()));

    // Metrics of the kept glyphs only (the PDF's /W gives the advances; the rest compress to nothing).
    const int metrics = std::min<int>(be16(hhea, 34), kept);
    QByteArray newHmtx(metrics * 4 + (kept - metrics) * 2, '\0');
    for (int g = 0; g < kept; ++g) {
        if (!keep[size_t(g)])
            continue;
        const int src = g < be16(hhea, 34) ? g * 4 : be16(hhea, 34) * 4 + (g - be16(hhea, 34)) * 2;
        const int dst = g < metrics ? g * 4 : metrics * 4 + (g - metrics) * 2;
        const int len = g < metrics ? 4 : 2;
        if (src + len <= hmtx.size())
            std::memcpy(newHmtx.data() + dst, hmtx.constData() + src, size_t(len));
    }
    put16(hhea, 34, quint16(metrics));
    put16(maxp, 4, quint16(kept));
    put32(head, 8, 0);  // checkSumAdjustment: not checked by readers
    put16(head, 50, 1); // long loca offsets

    std::map<QByteArray, QByteArray> tables = {{"head", head},    {"hhea", hhea},    {"maxp", maxp},
                                               {"hmtx", newHmtx}, {"loca", newLoca}, {"glyf", newGlyf}};
    // The hinting programs, which glyph instructions may call.
    for (const char *tag : {"cvt ", "fpgm", "prep"}) {
        const QByteArray t = raw.fontTable(tag);
        if (!t.isEmpty())
            tables[QByteArray(tag)] = t;
    }
    const int n = int(tables.size());
    int entrySelector = 0;
    while ((2 << entrySelector) <= n)
        ++entrySelector;
    const int searchRange = 16 << entrySelector;
    QByteArray out;
    append32(out, 0x00010000);
    append16(out, quint16(n));
    append16(out, quint16(searchRange));
    append16(out, quint16(entrySelector));
    append16(out, quint16(n * 16 - searchRange));
    quint32 at = quint32(12 + n * 16);
    QByteArray body;
    for (auto &[tag, data] : tables) {
        QByteArray padded = data;
        while (padded.size() % 4)
            padded.append('\0');
        quint32 sum = 0;
        for (int i = 0; i < padded.size(); i += 4)
            sum += be32(padded, i);
        out.append(tag);
        append32(out, sum);
        append32(out, at + quint32(body.size()));
        append32(out, quint32(data.size()));
        body.append(padded);
    }
    out.append(body);
    return out;
}

} // namespace

// ---- the writer ---------------------------------------------------------------------------------

struct PdfReport::Private {
    QSizeF page, sheet;
    FontFace faces[FaceCount];
    QFile file;
    qint64 written = 0;
    bool failed = false;
    std::vector<qint64> objectAt{0}; // by object number; object 0 is the free list's head
    std::vector<int> pageObjects;

    std::string content;
    std::vector<unsigned char> packed;
    z_stream zs{};
    bool zsReady = false;

    // Page state, so that unchanged settings are not written again.
    QRgb fillNow = 0, strokeNow = 0;
    double widthNow = -1, spacingNow = 0;
    int dashNow = -1, fontNow = -1;
    double sizeNow = 0;

    ~Private() {
        if (zsReady)
            deflateEnd(&zs);
    }

    void write(const char *data, qint64 len) {
        if (failed)
            return;
        if (file.write(data, len) != len)
            failed = true;
        written += len;
    }
    void write(const std::string &s) { write(s.data(), qint64(s.size())); }

    int newObject() {
        objectAt.push_back(-1);
        return int(objectAt.size()) - 1;
    }
    void beginObject(int id) {
        objectAt[size_t(id)] = written;
        write(std::to_string(id) + " 0 obj\n");
    }
    void object(int id, const std::string &body) {
        beginObject(id);
        write(body);
        write("\nendobj\n", 8);
    }

    // A deflated stream object; extra: more entries for its dictionary.
    void stream(int id, const char *data, size_t len, const std::string &extra = {}) {
        if (!zsReady) {
            zsReady = deflateInit(&zs, 3) == Z_OK; // nearly the size of 6, twice as fast
            if (!zsReady) {
                failed = true;
                return;
            }
        } else {
            deflateReset(&zs);
        }
        if (const size_t bound = deflateBound(&zs, uLong(len)); packed.size() < bound)
            packed.resize(bound);
        zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        zs.avail_in = uInt(len);
        zs.next_out = packed.data();
        zs.avail_out = uInt(packed.size());
        if (deflate(&zs, Z_FINISH) != Z_STREAM_END) {
            failed = true;
            return;
        }
        const size_t out = packed.size() - zs.avail_out;
        beginObject(id);
        write("<< /Length " + std::to_string(out) + " /Filter /FlateDecode" + extra + " >>\nstream\n");
        write(reinterpret_cast<const char *>(packed.data()), qint64(out));
        write("\nendstream\nendobj\n", 18);
    }

    // The page's points to the sheet's, y downwards from the top: as Qt's writer at 600 dpi has always put
    // them (the sheet's width in whole dots), so that every line falls on the same pixels as before.
    double scale() const { return std::round(sheet.width() * 600 / 72) * 72 / 600 / page.width(); }

    void fill(QRgb c) {
        if (c != fillNow) {
            colour(content, c, "rg");
            fillNow = c;
        }
    }
    void stroke(QRgb c, double width, bool dashed) {
        if (c != strokeNow) {
            colour(content, c, "RG");
            strokeNow = c;
        }
        if (width != widthNow) {
            num(content, width, 3);
            content += " w\n";
            widthNow = width;
        }
        if (int(dashed) != dashNow) {
            // Qt's dashes: four widths drawn, two left out.
            if (dashed) {
                content += '[';
                num(content, 4 * width, 3);
                content += ' ';
                num(content, 2 * width, 3);
                content += "] 0 d\n";
            } else {
                content += "[] 0 d\n";
            }
            dashNow = int(dashed);
        }
    }

    void fontFile(int faceIndex, int fontId);
};

PdfReport::PdfReport(QSizeF page, QSizeF sheet, const std::array<QRawFont, FaceCount> &faces)
    : d(std::make_unique<Private>()) {
    d->page = page;
    d->sheet = sheet;
    for (int f = 0; f < FaceCount; ++f) {
        d->faces[f].raw = faces[size_t(f)];
        d->faces[f].raw.setPixelSize(1000);
    }
    d->content.reserve(1 << 16);
}

PdfReport::~PdfReport() = default;

Result PdfReport::open(const QString &path, const QString &title) {
    d->file.setFileName(path);
    if (!d->file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Result::failure(
            QStringLiteral("No se puede crear el archivo %1: %2").arg(path, d->file.errorString()));
    d->write("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    // 1: catalogue, 2: page tree, 3: information, 4: the resources every page shares.
    for (int i = 0; i < 4; ++i)
        d->newObject();
    d->object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    const QString now = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss"));
    d->object(3, "<< /Title " + pdfTextString(title) + " /Creator " +
                     pdfTextString(QStringLiteral("Mirabel!")) + " /Producer " +
                     pdfTextString(QStringLiteral("Mirabel!")) + " /CreationDate (D:" + now.toStdString() +
                     "Z) >>");
    return d->failed ? Result::failure(QStringLiteral("No se puede escribir el archivo %1.").arg(path))
                     : Result::done();
}

void PdfReport::beginPage() {
    d->content.clear();
    d->fillNow = d->strokeNow = 0xff000000; // PDF's initial black
    d->widthNow = 1;
    d->dashNow = 0;
    d->fontNow = -1;
    d->spacingNow = 0;
    const double s = d->scale();
    num(d->content, s, 6);
    d->content += " 0 0 ";
    num(d->content, -s, 6);
    d->content += " 0 ";
    num(d->content, d->sheet.height(), 3);
    d->content += " cm 0 J 2 j\n";
}

void PdfReport::text(Face face, double size, double scale, double x, double baseline, QRgb color,
                     QStringView s, const double *advances, double spacing) {
    if (s.isEmpty())
        return;
    FontFace &f = d->faces[face];
    f.load();
    std::string &o = d->content;
    d->fill(color);
    o += "BT\n";
    const int fontKey = face * 10000 + int(std::lround(size * 100));
    if (fontKey != d->fontNow) {
        o += "/F";
        o += char('0' + face);
        o += ' ';
        num(o, size, 3);
        o += " Tf\n";
        d->fontNow = fontKey;
        d->sizeNow = size;
    }
    num(o, scale, 4);
    o += " 0 0 ";
    num(o, -scale, 4);
    o += ' ';
    num(o, x, 3);
    o += ' ';
    num(o, baseline, 3);
    o += " Tm\n";

    // Letter spacing as the characters' common extra (Tc); what is left, kerning mostly, as TJ adjustments
    // wherever the glyphs would otherwise drift from where they belong by more than a hair.
    spacing = std::round(spacing * 1e4) / 1e4;
    if (std::abs(spacing - d->spacingNow) > 1e-6) {
        num(o, spacing, 4);
        o += " Tc\n";
        d->spacingNow = spacing;
    }
    // Glyph ids as two bytes each in a literal string: half the size of hexadecimal, so half the work for
    // the compressor.
    const auto glyphBytes = [&o](quint16 g) {
        for (const char b : {char(g >> 8), char(g & 0xff)}) {
            if (b == '(' || b == ')' || b == '\\')
                o += '\\';
            if (b == '\r')
                o += "\\r";
            else
                o += b;
        }
    };
    o += "[(";
    double target = 0, drawn = 0; // where the next glyph goes, and where the reader will put it
    for (qsizetype i = 0; i < s.size(); ++i) {
        const quint16 g = f.glyph(s[i].unicode());
        const double gap = drawn - target;
        if (i > 0 && std::abs(gap) > 0.01) {
            // In thousandths of the font size, against the writing direction.
            const double adjust = std::round(gap * 1000 / size * 10) / 10;
            o += ')';
            num(o, adjust, 1);
            o += '(';
            drawn -= adjust * size / 1000;
        }
        glyphBytes(g);
        drawn += f.widthOf(g) * size / 1000 + spacing;
        target += advances[i];
    }
    o += ")]TJ\nET\n";
}

void PdfReport::line(double x1, double y1, double x2, double y2, QRgb color, double width, bool dashed) {
    d->stroke(color, width, dashed);
    std::string &o = d->content;
    num(o, x1);
    o += ' ';
    num(o, y1);
    o += " m ";
    num(o, x2);
    o += ' ';
    num(o, y2);
    o += " l S\n";
}

void PdfReport::box(double x, double y, double w, double h, QRgb fill, QRgb border, double width,
                    double radius) {
    if (!fill && width <= 0)
        return;
    if (fill)
        d->fill(fill);
    if (width > 0)
        d->stroke(border, width, false);
    std::string &o = d->content;
    const auto pt = [&](double px, double py) {
        num(o, px);
        o += ' ';
        num(o, py);
        o += ' ';
    };
    if (radius <= 0) {
        pt(x, y);
        num(o, w);
        o += ' ';
        num(o, h);
        o += " re ";
    } else {
        // Quarter circles as Bézier curves.
        const double r = std::min({radius, w / 2, h / 2}), k = r * (1 - 0.5522847498);
        pt(x + r, y);
        o += "m ";
        pt(x + w - r, y);
        o += "l ";
        pt(x + w - k, y);
        pt(x + w, y + k);
        pt(x + w, y + r);
        o += "c ";
        pt(x + w, y + h - r);
        o += "l ";
        pt(x + w, y + h - k);
        pt(x + w - k, y + h);
        pt(x + w - r, y + h);
        o += "c ";
        pt(x + r, y + h);
        o += "l ";
        pt(x + k, y + h);
        pt(x, y + h - k);
        pt(x, y + h - r);
        o += "c ";
        pt(x, y + r);
        o += "l ";
        pt(x, y + k);
        pt(x + k, y);
        pt(x + r, y);
        o += "c h ";
    }
    o += fill && width > 0 ? "B\n" : fill ? "f\n" : "S\n";
}

Result PdfReport::endPage() {
    const int pageId = d->newObject(), contentId = d->newObject();
    d->pageObjects.push_back(pageId);
    std::string dict = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ";
    num(dict, d->sheet.width());
    dict += ' ';
    num(dict, d->sheet.height());
    dict += "] /Resources 4 0 R /Contents " + std::to_string(contentId) + " 0 R >>";
    d->object(pageId, dict);
    d->stream(contentId, d->content.data(), d->content.size());
    return d->failed ? Result::failure(QStringLiteral("No se puede escribir el archivo %1: %2")
                                           .arg(d->file.fileName(), d->file.errorString()))
                     : Result::done();
}

void PdfReport::Private::fontFile(int faceIndex, int fontId) {
    FontFace &f = faces[faceIndex];
    const int cidId = newObject(), descriptorId = newObject(), fileId = newObject(), unicodeId = newObject();
    // A subset's name: six capitals of its own, then the font's.
    QString ps = f.raw.familyName().remove(QLatin1Char(' '));
    const QString style = f.raw.styleName();
    if (!style.isEmpty() && style != QLatin1String("Book") && style != QLatin1String("Regular"))
        ps += QLatin1Char('-') + QString(style).remove(QLatin1Char(' '));
    std::string name = "MIRAB";
    name += char('A' + faceIndex);
    name += '+' + ps.toStdString();

    object(fontId, "<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
                       " /Encoding /Identity-H /DescendantFonts [" + std::to_string(cidId) +
                       " 0 R] /ToUnicode " + std::to_string(unicodeId) + " 0 R >>");

    std::string w = "[";
    int run = -2;
    for (int g = 0; g < int(f.unicodeOf.size()); ++g) {
        if (!f.unicodeOf[size_t(g)])
            continue;
        if (g != run + 1) {
            if (run >= 0)
                w += "]\n";
            w += std::to_string(g) + " [";
        } else {
            w += ' ';
        }
        num(w, f.widthOf(quint16(g)), 3);
        run = g;
    }
    if (run >= 0)
        w += ']';
    w += ']';
    object(cidId,
           "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
               " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor " +
               std::to_string(descriptorId) + " 0 R /CIDToGIDMap /Identity /DW 1000 /W " + w + " >>");

    const QByteArray head = f.raw.fontTable("head"), post = f.raw.fontTable("post");
    const double em = head.size() >= 54 ? be16(head, 18) : 2048;
    const auto unit = [&](int at) {
        return std::to_string(int(std::lround(qint16(be16(head, at)) * 1000 / em)));
    };
    const double italic = post.size() >= 8 ? qint32(be32(post, 4)) / 65536.0 : 0;
    std::string descriptor = "<< /Type /FontDescriptor /FontName /" + name + " /Flags " +
                             std::to_string(4 | (italic != 0 ? 64 : 0)) + " /FontBBox [";
    if (head.size() >= 54)
        descriptor += unit(36) + ' ' + unit(38) + ' ' + unit(40) + ' ' + unit(42);
    descriptor += "] /ItalicAngle ";
    num(descriptor, italic, 2);
    descriptor += " /Ascent ";
    num(descriptor, f.raw.ascent(), 0);
    descriptor += " /Descent ";
    num(descriptor, -f.raw.descent(), 0);
    descriptor += " /CapHeight ";
    num(descriptor, f.raw.capHeight(), 0);
    descriptor += " /StemV 80 /FontFile2 " + std::to_string(fileId) + " 0 R >>";
    object(descriptorId, descriptor);

    const QByteArray font = subsetFont(f);
    stream(fileId, font.constData(), size_t(font.size()), " /Length1 " + std::to_string(font.size()));

    std::string cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                       "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                       "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                       "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<int> glyphs;
    for (int g = 0; g < int(f.unicodeOf.size()); ++g)
        if (f.unicodeOf[size_t(g)])
            glyphs.push_back(g);
    for (size_t i = 0; i < glyphs.size(); i += 100) {
        const size_t n = std::min<size_t>(100, glyphs.size() - i);
        cmap += std::to_string(n) + " beginbfchar\n";
        for (size_t k = i; k < i + n; ++k) {
            cmap += '<';
            hex4(cmap, unsigned(glyphs[k]));
            cmap += "> <";
            hex4(cmap, f.unicodeOf[size_t(glyphs[k])]);
            cmap += ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    stream(unicodeId, cmap.data(), cmap.size());
}

Result PdfReport::finish() {
    std::string fonts;
    for (int f = 0; f < FaceCount; ++f) {
        if (d->faces[f].used == 0)
            continue;
        const int id = d->newObject();
        d->fontFile(f, id);
        fonts += " /F" + std::to_string(f) + ' ' + std::to_string(id) + " 0 R";
    }
    d->object(4, "<< /Font <<" + fonts + " >> >>");
    std::string kids = "<< /Type /Pages /Kids [";
    for (const int id : d->pageObjects)
        kids += std::to_string(id) + " 0 R ";
    kids += "] /Count " + std::to_string(d->pageObjects.size()) + " >>";
    d->object(2, kids);

    const qint64 xref = d->written;
    std::string x = "xref\n0 " + std::to_string(d->objectAt.size()) + "\n0000000000 65535 f \n";
    for (size_t i = 1; i < d->objectAt.size(); ++i) {
        char entry[24];
        std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", static_cast<long long>(d->objectAt[i]));
        x += entry;
    }
    x += "trailer\n<< /Size " + std::to_string(d->objectAt.size()) +
         " /Root 1 0 R /Info 3 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    d->write(x);
    const bool flushed = d->file.flush();
    d->file.close();
    if (d->failed || !flushed || d->file.error() != QFileDevice::NoError)
        return Result::failure(QStringLiteral("No se puede escribir el archivo %1: %2")
                                   .arg(d->file.fileName(), d->file.errorString()));
    return Result::done();
}
