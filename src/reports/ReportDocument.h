#pragma once

#include "core/Result.h"

#include <QImage>
#include <QSizeF>
#include <QString>
#include <functional>
#include <memory>

class QPainter;
class QPagedPaintDevice;
class ReportData;
struct ReportError;

// A report laid out into pages. Pages are kept as small lists of drawing commands in a temporary file,
// so a report of thousands of pages holds one page in memory at a time; any page can be drawn again at
// any size, which the preview, the printer and the PDF writer all do with the same code.
class ReportDocument {
public:
    ReportDocument();
    ~ReportDocument();
    ReportDocument(const ReportDocument &) = delete;
    ReportDocument &operator=(const ReportDocument &) = delete;

    // Progress: called every few hundred records (or pages) with the count so far; returning false cancels.
    using Progress = std::function<bool(int done)>;

    // Lays out every band of data. A Spanish reason when reading fails or when cancelled.
    Result build(ReportData &data, const Progress &progress = {});
    // Prepares a report on the program's connection and lays it out, without any window: for the preview,
    // the command line and the benchmarks. On failure *error says why (Cancelled when progress said stop).
    [[nodiscard]] bool build(const QString &reportFile, const QString &formula, ReportError *error,
                             const Progress &progress = {});

    int pageCount() const;
    QSizeF pageSize() const; // in points (1/72 inch): A4 portrait or landscape
    bool landscape() const;
    QString title() const;
    QString reportFile() const;

    // Draws page index (0-based) on a painter whose coordinates are points of the page.
    void paintPage(QPainter *painter, int index) const;
    // The page as an image, pixelsPerPoint pixels for each point (1.0 is 72 dpi), on white.
    QImage pageImage(int index, double pixelsPerPoint) const;

    Result writePdf(const QString &path, const Progress &progress = {}) const;
    // Paints pages from..to (0-based, inclusive) on a device already set to this document's page size;
    // Cancelled when progress said stop.
    Result paintPages(QPagedPaintDevice *device, int from, int to, const Progress &progress = {}) const;

    // Every text of a page, in drawing order (the page number as printed): for tests and searching.
    QStringList pageTexts(int index) const;

    struct Private; // the page file; public only so that the layout code in the .cpp can fill it

private:
    std::unique_ptr<Private> d;
};
