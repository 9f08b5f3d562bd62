#pragma once

#include "core/Result.h"

#include <QRawFont>
#include <QRgb>
#include <QSizeF>
#include <QString>
#include <QStringView>
#include <array>
#include <memory>

// A PDF of a report written directly from its drawing commands, one page at a time straight to the file:
// compact text runs (one TJ per text, with its kerning), the report's fonts embedded once as subsets.
// Coordinates are points of the page, y downwards, as the layout uses them.
class PdfReport {
public:
    enum Face { Regular, Bold, Oblique, FaceCount };

    // page: the layout's page in points; sheet: the paper it is put on (whole points, as printers have it).
    PdfReport(QSizeF page, QSizeF sheet, const std::array<QRawFont, FaceCount> &faces);
    ~PdfReport();
    PdfReport(const PdfReport &) = delete;
    PdfReport &operator=(const PdfReport &) = delete;

    Result open(const QString &path, const QString &title);

    void beginPage();
    // Text at (x, baseline): size in points, drawn at scale (1 whole); advances holds each character's
    // advance in points at the whole size, kerning with the next one included; spacing: the letter spacing
    // that every advance carries, in points.
    void text(Face face, double size, double scale, double x, double baseline, QRgb color, QStringView s,
              const double *advances, double spacing);
    void line(double x1, double y1, double x2, double y2, QRgb color, double width, bool dashed);
    // fill 0: none; width 0: no border.
    void box(double x, double y, double w, double h, QRgb fill, QRgb border, double width, double radius);
    Result endPage();

    // Fonts, page tree, information and cross-reference; the file is then complete and closed.
    Result finish();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
