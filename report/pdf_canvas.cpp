#include "pdf_canvas.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextLayout>

#include <cmath>
#include <optional>

namespace {

constexpr int kResolution = 600;   // dots per inch of the drawing
constexpr double kMillimetresPerInch = 25.4;

double units(double mm) { return mm * kResolution / kMillimetresPerInch; }
double millimetres(double units) { return units * kMillimetresPerInch / kResolution; }

// A Qt GUI application for the fonts, where the program has none: on the
// offscreen platform, or on Windows its own (the installed program carries
// no other, and the system's fonts come with it); neither opens a window.
// Qt's own notes (a missing runtime folder, say) are
// nothing to tell the user of the command line: they are left out while it
// lives.
class GuiForFonts {
public:
    GuiForFonts() {
        if (QCoreApplication::instance() != nullptr) return;
        previous_ = qInstallMessageHandler(quiet);
        app_.emplace(argc_, argv_);
    }
    ~GuiForFonts() {
        if (!app_) return;
        app_.reset();
        qInstallMessageHandler(previous_);
    }
    GuiForFonts(const GuiForFonts&) = delete;
    GuiForFonts& operator=(const GuiForFonts&) = delete;

private:
    static void quiet(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) qt_message_output(type, context, text);
    }
    QtMessageHandler previous_ = nullptr;
    int argc_ = 3;
    char arg0_[7] = "orvypc";
    char arg1_[10] = "-platform";
#ifdef _WIN32
    char arg2_[10] = "windows";
#else
    char arg2_[10] = "offscreen";
#endif
    char* argv_[4] = {arg0_, arg1_, arg2_, nullptr};
    std::optional<QGuiApplication> app_;
};

void set_up(QPdfWriter& writer, const PdfDocument& document) {
    writer.setResolution(kResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
    writer.setTitle(document.title);
    writer.setCreator(document.creator);
}

std::string cannot_save(const std::string& path, const QString& why) {
    return "The report could not be saved as \"" + path + "\": " + why.toStdString() + ".";
}

}  // namespace

const TextCache::Laid& TextCache::laid_out(const QString& text, const QFont& font, double widthUnits,
                                           Qt::Alignment align) {
    const Key key{text, font.key(), std::lround(widthUnits), static_cast<int>(align)};
    if (const auto found = cache_.find(key); found != cache_.end()) return found->second;
    auto layout =
        std::make_shared<QTextLayout>(QString(text).replace(QLatin1Char('\n'), QChar::LineSeparator), font, &device_);
    QTextOption option(align);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    layout->beginLayout();
    double height = 0;
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLineWidth(widthUnits);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout->endLayout();
    return cache_.emplace(key, Laid{std::move(layout), height}).first->second;
}

void Canvas::new_page() {
    if (painter_) writer_.newPage();
    ++page_;
    y = body_.top;
}

double Canvas::text(const QString& text, const QFont& font, double x, double top, double width, QColor color,
                    Qt::Alignment align) {
    const TextCache::Laid& laid = texts_.laid_out(text, font, units(width), align);
    if (painter_ && !text.isEmpty()) {
        painter_->setPen(color);
        laid.layout->draw(painter_, QPointF(units(x), units(top)));
    }
    return millimetres(laid.height);
}

double Canvas::height(const QString& text, const QFont& font, double width, Qt::Alignment align) {
    return millimetres(texts_.laid_out(text, font, units(width), align).height);
}

void Canvas::fill(double x, double top, double w, double h, QColor color, double radius) {
    if (!painter_) return;
    painter_->setPen(Qt::NoPen);
    painter_->setBrush(color);
    const QRectF box(units(x), units(top), units(w), units(h));
    if (radius > 0) painter_->drawRoundedRect(box, units(radius), units(radius));
    else painter_->drawRect(box);
}

void Canvas::frame(double x, double top, double w, double h, QColor color, double lineWidth) {
    if (!painter_) return;
    painter_->setPen(QPen(color, units(lineWidth)));
    painter_->setBrush(Qt::NoBrush);
    painter_->drawRect(QRectF(units(x), units(top), units(w), units(h)));
}

void Canvas::rule(double x1, double y1, double x2, double y2, QColor color, double lineWidth) {
    if (!painter_) return;
    painter_->setPen(QPen(color, units(lineWidth)));
    painter_->drawLine(QPointF(units(x1), units(y1)), QPointF(units(x2), units(y2)));
}

std::string write_pdf(const std::string& path, const PdfDocument& document,
                      const std::function<void(Canvas& canvas, int pages)>& layOut) {
    const GuiForFonts gui;
    QByteArray scratch;
    QBuffer measureTo(&scratch);
    measureTo.open(QIODevice::WriteOnly);
    QPdfWriter measure(&measureTo);
    set_up(measure, document);
    TextCache texts(measure);
    Canvas counting(measure, nullptr, texts, document.body);
    layOut(counting, 0);

    QSaveFile file(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    if (!file.open(QIODevice::WriteOnly)) return cannot_save(path, file.errorString());
    {
        QPdfWriter writer(&file);
        set_up(writer, document);
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            return cannot_save(path, QStringLiteral("the PDF writer could not start"));
        }
        Canvas canvas(writer, &painter, texts, document.body);
        layOut(canvas, counting.page());
        painter.end();
    }
    if (!file.commit()) return cannot_save(path, file.errorString());
    return {};
}
