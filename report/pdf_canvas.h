// Drawing a PDF in millimetres with Qt's PDF writer: A4 landscape pages,
// texts shaped once and wrapped, rectangles and rules; and the writing of a
// whole document in two passes, the first only measuring, so a layout knows
// its page count ("page x of y") and where its parts begin. What goes where
// is the layout's (report_pdf.cpp); this knows nothing of what it draws.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>

class QPaintDevice;
class QPainter;
class QPdfWriter;
class QTextLayout;

// Texts laid out once in a font and a width: a layout measures a cell, then
// draws it, both passes lay out the same texts, and the same words come
// again and again. Shaping text is the drawing's main cost.
class TextCache {
public:
    explicit TextCache(QPaintDevice& device) : device_(device) {}
    struct Laid {
        std::shared_ptr<QTextLayout> layout;
        double height = 0;   // device units
    };
    // Wrapped at word boundaries, or anywhere in a word too long for a line;
    // '\n' breaks a line.
    const Laid& laid_out(const QString& text, const QFont& font, double widthUnits, Qt::Alignment align);

private:
    using Key = std::tuple<QString, QString, long, int>;
    QPaintDevice& device_;
    std::map<Key, Laid> cache_;
};

// Pages, text and shapes in millimetres from the page's top left corner.
// Without a painter it only measures and counts pages; with one it draws.
class Canvas {
public:
    struct Body {
        double top, bottom;   // where a page's text runs
    };
    Canvas(QPdfWriter& writer, QPainter* painter, TextCache& texts, Body body)
        : writer_(writer), painter_(painter), texts_(texts), body_(body), y(body.top) {}

    int page() const { return page_; }
    void new_page();
    double room() const { return body_.bottom - y; }

    // Draws `text` at (x, top) in `width` (when drawing) and gives its height.
    double text(const QString& text, const QFont& font, double x, double top, double width, QColor color,
                Qt::Alignment align = Qt::AlignLeft);
    // The height `text` takes in `width`, drawing nothing.
    double height(const QString& text, const QFont& font, double width, Qt::Alignment align = Qt::AlignLeft);
    void fill(double x, double top, double w, double h, QColor color, double radius = 0);
    void frame(double x, double top, double w, double h, QColor color, double lineWidth);
    void rule(double x1, double y1, double x2, double y2, QColor color, double lineWidth);

private:
    QPdfWriter& writer_;
    QPainter* painter_;
    TextCache& texts_;
    Body body_;
    int page_ = 1;

public:
    double y;   // where the layout goes on
};

struct PdfDocument {
    QString title, creator;
    Canvas::Body body;
};

// Runs `layOut` on a canvas that only measures (`pages` 0), then on one that
// draws the same into the file at `path`, told how many pages the first
// made. The file is written whole or not at all: a file there before stays
// as it was until the new one is complete. Empty, or why it failed.
// Where the program has no Qt application (the command line), one runs
// meanwhile on the offscreen platform: no display is needed.
std::string write_pdf(const std::string& path, const PdfDocument& document,
                      const std::function<void(Canvas& canvas, int pages)>& layOut);
