// Draws the program's artwork: the page backgrounds and the face-and-mask
// bitmaps of the skinned buttons, at the sizes the windows expect.
//
//   make_artwork <resources directory>
//
// writes bitmaps/<id>.png and icons/orvypc.png (with orvypc-48.png and
// orvypc-256.png for the desktop's menus) there. The generated images
// are kept in the repository, so building the program never runs this.
//
// Every face-and-mask bitmap is pure white outside the button's shape and
// very light grey inside; the skinned button combines it with what lies
// beneath, so the visible artwork is the background's and the bitmap only
// gives the shape. The backgrounds therefore draw each button exactly where
// the window puts its skinned button.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

namespace {

// Windows are 901 x 600; their background bitmaps are one pixel larger and
// stretched over the window, so they are drawn in window coordinates scaled
// by 902/901 and 601/600 to land on the window's pixels.
constexpr int kWindowW = 901, kWindowH = 600;
constexpr int kBackgroundW = 902, kBackgroundH = 601;

// Inside of a face-and-mask bitmap: very light grey. The skinned button
// leaves background AND this colour, which keeps all but the two lowest bits.
const QColor kFaceGrey(252, 252, 252);

const QColor kInk(0x1B, 0x28, 0x38);        // header band, dark text
const QColor kInkLight(0x2A, 0x3F, 0x57);
const QColor kMuted(0x8A, 0x9B, 0xAE);
const QColor kPageTop(0xF4, 0xF7, 0xFB);
const QColor kPageBottom(0xE2, 0xE8, 0xF0);
const QColor kCard(0xFF, 0xFF, 0xFF);
const QColor kCardBorder(0xD3, 0xDB, 0xE5);
const QColor kBlue(0x2F, 0x80, 0xED), kBlueDark(0x1B, 0x5E, 0xC0);
const QColor kGreen(0x24, 0xA8, 0x68), kGreenDark(0x17, 0x7F, 0x4E);
const QColor kSlate(0x5B, 0x6B, 0x7F), kSlateDark(0x3F, 0x4D, 0x5E);
const QColor kRed(0xE0, 0x4F, 0x3E), kRedDark(0xB8, 0x39, 0x2B);
const QColor kAmber(0xF2, 0x99, 0x1E), kAmberDark(0xC2, 0x6E, 0x0C);

constexpr int kHeaderH = 40;
const QRect kCloseMain(829, 3, 72, 30);  // main window and list pages' close
const QRect kCloseStatus(828, 3, 72, 30);

// The round control of the home page: one ring around the hub, cut into
// quarters; Status is the top-left quarter, Test Results the bottom-right.
const QPointF kRingCentre(450, 335);
constexpr double kRingOuter = 200, kRingInner = 96, kRingGap = 7;
const QRect kStatusButton(247, 132, 196, 196);
const QRect kResultsButton(457, 342, 196, 195);
// Site survey: the top-right quarter.
const QRect kSurveyButton(457, 132, 196, 196);

QFont font(int pixelSize, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// One quarter of the ring, in window coordinates. dx, dy = -1 or +1 name
// the quarter (left/right, top/bottom).
QPainterPath ring_quarter(int dx, int dy)
{
    QPainterPath ring;
    ring.addEllipse(kRingCentre, kRingOuter, kRingOuter);
    QPainterPath hole;
    hole.addEllipse(kRingCentre, kRingInner, kRingInner);
    ring = ring.subtracted(hole);
    const double x0 = dx < 0 ? kRingCentre.x() - kRingOuter - 1 : kRingCentre.x() + kRingGap;
    const double y0 = dy < 0 ? kRingCentre.y() - kRingOuter - 1 : kRingCentre.y() + kRingGap;
    QPainterPath quarter;
    quarter.addRect(QRectF(x0, y0, kRingOuter + 1 - kRingGap, kRingOuter + 1 - kRingGap));
    return ring.intersected(quarter);
}

QPainterPath disc(const QRect& box)
{
    QPainterPath path;
    path.addEllipse(QRectF(box).adjusted(1, 1, -1, -1));
    return path;
}

QPainterPath pill(const QRect& box, double radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    return path;
}

QImage new_background()
{
    QImage image(kBackgroundW, kBackgroundH, QImage::Format_RGB32);
    image.fill(kPageTop);
    return image;
}

void begin_window_painting(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(double(kBackgroundW) / kWindowW, double(kBackgroundH) / kWindowH);
}

void soft_shadow(QPainter& p, const QPainterPath& shape, int depth = 6)
{
    for (int i = depth; i > 0; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 35, 55, 7));
        p.drawPath(shape.translated(0, i * 0.7));
    }
}

void page_base(QPainter& p, const QString& pageTitle)
{
    QLinearGradient sky(0, kHeaderH, 0, kWindowH);
    sky.setColorAt(0, kPageTop);
    sky.setColorAt(1, kPageBottom);
    p.fillRect(QRect(0, 0, kWindowW, kWindowH), sky);

    // A faint dot grid, the texture of an instrument panel.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1B, 0x28, 0x38, 14));
    for (int y = kHeaderH + 16; y < kWindowH; y += 24)
        for (int x = 12; x < kWindowW; x += 24) p.drawEllipse(QPointF(x, y), 1.0, 1.0);

    QLinearGradient band(0, 0, 0, kHeaderH);
    band.setColorAt(0, kInkLight);
    band.setColorAt(1, kInk);
    p.fillRect(QRect(0, 0, kWindowW, kHeaderH), band);
    p.fillRect(QRect(0, kHeaderH, kWindowW, 3), QColor(0x2F, 0x80, 0xED));

    // The mark: the home page's ring, small.
    p.save();
    p.translate(26, kHeaderH / 2.0);
    p.scale(0.085, 0.085);
    p.translate(-kRingCentre);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawPath(ring_quarter(-1, -1));
    p.setBrush(kGreen);
    p.drawPath(ring_quarter(1, 1));
    p.setBrush(QColor(0x9F, 0xB3, 0xC8));
    p.drawPath(ring_quarter(1, -1));
    p.drawPath(ring_quarter(-1, 1));
    p.restore();

    p.setPen(Qt::white);
    p.setFont(font(21, true));
    p.drawText(QRect(50, 0, 200, kHeaderH), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("OrvyPc"));
    p.setPen(QColor(0x9F, 0xB3, 0xC8));
    p.setFont(font(13));
    p.drawText(QRect(150, 0, 520, kHeaderH), Qt::AlignVCenter | Qt::AlignLeft, pageTitle);
}

void close_mark(QPainter& p, const QRect& box)
{
    const QPainterPath shape = pill(box.adjusted(2, 2, -2, -2), 7);
    QLinearGradient fill(0, box.top(), 0, box.bottom());
    fill.setColorAt(0, kRed);
    fill.setColorAt(1, kRedDark);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(shape);
    QPen cross(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap);
    p.setPen(cross);
    const QPointF c(box.left() + 17, box.center().y() + 0.5);
    p.drawLine(c + QPointF(-4.5, -4.5), c + QPointF(4.5, 4.5));
    p.drawLine(c + QPointF(-4.5, 4.5), c + QPointF(4.5, -4.5));
    p.setFont(font(12, true));
    p.drawText(QRect(box.left() + 26, box.top(), box.width() - 30, box.height()),
               Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Close"));
}

void card(QPainter& p, const QRect& box)
{
    const QPainterPath shape = pill(box, 10);
    soft_shadow(p, shape);
    p.setPen(QPen(kCardBorder, 1));
    p.setBrush(kCard);
    p.drawPath(shape);
}

// Icons, drawn in a 40 x 40 box centred on c, in white.
enum class Icon { Pulse, Checklist, Home, Printer, Magnifier, Back, Survey, Cross, Document };

void icon(QPainter& p, Icon kind, QPointF c, double size = 40)
{
    p.save();
    p.translate(c);
    p.scale(size / 40.0, size / 40.0);
    QPen pen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (kind) {
    case Icon::Pulse: {
        p.drawRoundedRect(QRectF(-18, -15, 36, 30), 5, 5);
        QPolygonF wave{{-14, 2}, {-6, 2}, {-2, -8}, {3, 9}, {7, 2}, {14, 2}};
        p.drawPolyline(wave);
        break;
    }
    case Icon::Checklist:
        p.drawRoundedRect(QRectF(-14, -17, 28, 34), 4, 4);
        p.drawPolyline(QPolygonF{{-8, -7}, {-5, -4}, {0, -10}});
        p.drawLine(QPointF(3, -7), QPointF(8, -7));
        p.drawPolyline(QPolygonF{{-8, 5}, {-5, 8}, {0, 2}});
        p.drawLine(QPointF(3, 5), QPointF(8, 5));
        break;
    case Icon::Home:
        p.drawPolyline(QPolygonF{{-16, -1}, {0, -15}, {16, -1}});
        p.drawPolyline(QPolygonF{{-11, -5}, {-11, 14}, {11, 14}, {11, -5}});
        p.drawRect(QRectF(-3.5, 4, 7, 10));
        break;
    case Icon::Printer:
        p.drawRect(QRectF(-9, -16, 18, 9));
        p.drawRoundedRect(QRectF(-16, -7, 32, 15), 3, 3);
        p.setBrush(QColor(255, 255, 255, 60));
        p.drawRect(QRectF(-9, 3, 18, 13));
        p.drawLine(QPointF(-5, 8), QPointF(5, 8));
        p.drawLine(QPointF(-5, 12), QPointF(3, 12));
        break;
    case Icon::Magnifier:
        p.drawEllipse(QPointF(-3, -3), 10, 10);
        pen.setWidthF(4);
        p.setPen(pen);
        p.drawLine(QPointF(4.5, 4.5), QPointF(13, 13));
        break;
    case Icon::Survey:
        // A floor plan with three luminaires, one ticked.
        p.drawRoundedRect(QRectF(-17, -15, 34, 30), 4, 4);
        p.drawLine(QPointF(-2, -15), QPointF(-2, 2));
        p.drawLine(QPointF(-17, 2), QPointF(6, 2));
        p.drawEllipse(QPointF(-10, -7), 2.5, 2.5);
        p.drawEllipse(QPointF(7, -7), 2.5, 2.5);
        p.drawPolyline(QPolygonF{{-12, 8}, {-9, 11}, {-4, 5}});
        break;
    case Icon::Document:
        // A page with a folded corner and a signature line.
        p.drawPolygon(QPolygonF{{-12, -17}, {5, -17}, {12, -10}, {12, 17}, {-12, 17}});
        p.drawPolyline(QPolygonF{{5, -17}, {5, -10}, {12, -10}});
        p.drawLine(QPointF(-6, -5), QPointF(6, -5));
        p.drawLine(QPointF(-6, 1), QPointF(6, 1));
        p.drawPolyline(QPolygonF{{-6, 10}, {-3, 7}, {0, 11}, {3, 8}, {6, 10}});
        break;
    case Icon::Cross:
        p.drawLine(QPointF(-11, -11), QPointF(11, 11));
        p.drawLine(QPointF(-11, 11), QPointF(11, -11));
        break;
    case Icon::Back:
        p.drawPolyline(QPolygonF{{-4, -11}, {-15, 0}, {-4, 11}});
        p.drawLine(QPointF(-15, 0), QPointF(6, 0));
        p.drawArc(QRectF(-4, 0, 20, 20).translated(0, -10), 90 * 16, -180 * 16);
        break;
    }
    p.restore();
}

// A round button drawn on a page background: disc, shade ring, icon, caption.
void round_button(QPainter& p, const QRect& box, const QColor& top, const QColor& bottom,
                  Icon kind, const QString& caption)
{
    const QPainterPath shape = disc(box);
    soft_shadow(p, shape, 7);
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setPen(QPen(bottom.darker(115), 1));
    p.setBrush(fill);
    p.drawPath(shape);
    p.setPen(QPen(QColor(255, 255, 255, 70), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(box).adjusted(6, 6, -6, -6));
    const double scale = box.width() / 100.0;
    icon(p, kind, QPointF(box.center().x() + 0.5, box.top() + box.height() * 0.40), 34 * scale);
    p.setPen(Qt::white);
    p.setFont(font(int(std::lround(13 * scale)), true));
    p.drawText(QRect(box.left(), box.top() + int(box.height() * 0.60), box.width(), int(16 * scale)),
               Qt::AlignCenter, caption);
}

// --- the face-and-mask bitmaps -------------------------------------------

// Pure white, with the shape in very light grey; no antialiasing, so every
// pixel is either outside (white) or inside (grey).
QImage face(QSize size, const QPainterPath& shape)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(kFaceGrey);
    p.drawPath(shape);
    return image;
}

// --- the pages -----------------------------------------------------------

void ring_segment(QPainter& p, const QPainterPath& shape, const QColor& light, const QColor& dark,
                  QPointF labelAt, Icon kind, const QString& caption)
{
    soft_shadow(p, shape, 8);
    QRadialGradient fill(kRingCentre, kRingOuter);
    fill.setColorAt(kRingInner / kRingOuter, light);
    fill.setColorAt(1, dark);
    p.setPen(QPen(dark.darker(112), 1));
    p.setBrush(fill);
    p.drawPath(shape);
    icon(p, kind, labelAt + QPointF(0, -16), 42);
    p.setPen(Qt::white);
    p.setFont(font(caption.size() > 8 ? 16 : 19, true));
    p.drawText(QRectF(labelAt.x() - 90, labelAt.y() + 12, 180, 26), Qt::AlignCenter, caption);
}

QImage main_background()
{
    QImage image = new_background();
    QPainter p(&image);
    begin_window_painting(p);
    page_base(p, QStringLiteral("Emergency lighting gateway"));

    // The quarter that is not a button: quiet, outlined, naming the
    // gateway's two DALI lines.
    const QPainterPath quiet = ring_quarter(-1, 1);
    p.setPen(QPen(kCardBorder, 1.2));
    p.setBrush(QColor(0xEC, 0xF0, 0xF5));
    p.drawPath(quiet);
    p.setPen(kMuted);
    p.setFont(font(14, true));
    const double mid = (kRingOuter + kRingInner) / 2 / std::sqrt(2.0);
    p.drawText(QRectF(kRingCentre.x() - mid - 70, kRingCentre.y() + mid - 12, 140, 24),
               Qt::AlignCenter, QStringLiteral("DALI lines A, B"));

    ring_segment(p, ring_quarter(1, -1), kAmber, kAmberDark,
                 kRingCentre + QPointF(mid + 14, -mid - 8), Icon::Survey, QStringLiteral("Site survey"));

    ring_segment(p, ring_quarter(-1, -1), kBlue, kBlueDark,
                 kRingCentre + QPointF(-mid, -mid), Icon::Pulse, QStringLiteral("Status"));
    ring_segment(p, ring_quarter(1, 1), kGreen, kGreenDark,
                 kRingCentre + QPointF(mid - 24, mid - 6), Icon::Checklist, QStringLiteral("Test Results"));

    // The hub.
    QPainterPath hub;
    hub.addEllipse(kRingCentre, kRingInner - 14, kRingInner - 14);
    soft_shadow(p, hub, 6);
    p.setPen(QPen(kCardBorder, 1));
    p.setBrush(Qt::white);
    p.drawPath(hub);
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    // An emergency luminaire: a lamp with its battery.
    const QPointF h = kRingCentre + QPointF(0, -22);
    p.drawRoundedRect(QRectF(h.x() - 24, h.y() - 9, 48, 18), 6, 6);
    p.setPen(QPen(kGreen, 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = -1; i <= 1; ++i)
        p.drawLine(h + QPointF(i * 14, 15), h + QPointF(i * 18, 25));
    p.setPen(kInk);
    p.setFont(font(15, true));
    p.drawText(QRectF(kRingCentre.x() - 70, kRingCentre.y() + 12, 140, 20), Qt::AlignCenter,
               QStringLiteral("OrvyPc"));
    p.setPen(kMuted);
    p.setFont(font(11));
    p.drawText(QRectF(kRingCentre.x() - 70, kRingCentre.y() + 32, 140, 16), Qt::AlignCenter,
               QStringLiteral("64 + 64 luminaires"));

    // The frame of the status line (the window's white text field sits in it).
    const QRect status(222, 551, 456, 32);
    card(p, status);
    p.setPen(kMuted);
    p.setFont(font(12, true));
    p.drawText(QRect(status.left() - 110, status.top(), 100, status.height()),
               Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Gateway"));

    close_mark(p, kCloseMain);
    return image;
}

QImage status_background()
{
    QImage image = new_background();
    QPainter p(&image);
    begin_window_painting(p);
    page_base(p, QStringLiteral("Luminaire status"));

    const QRect box(200, 104, 500, 346);
    card(p, box);
    p.setPen(kInk);
    p.setFont(font(18, true));
    p.drawText(QRect(box.left() + 24, box.top() + 14, 380, 28), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Luminaire status"));
    p.setPen(kMuted);
    p.setFont(font(12));
    p.drawText(QRect(box.left() + 24, box.top() + 42, 400, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Choose a luminaire, then PRINT its status to a workbook."));
    p.setPen(QPen(kCardBorder, 1));
    p.drawLine(box.left() + 20, box.top() + 72, box.right() - 20, box.top() + 72);

    // Labels of the line selector (at 397, 205) and the address field (397, 253).
    p.setPen(kInk);
    p.setFont(font(14, true));
    p.drawText(QRect(220, 203, 165, 24), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("DALI line"));
    p.drawText(QRect(220, 252, 165, 24), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Short address"));
    p.setPen(kMuted);
    p.setFont(font(12));
    p.drawText(QRect(498, 203, 180, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("A or B"));
    p.drawText(QRect(498, 252, 180, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("0 to 63"));

    round_button(p, QRect(322, 320, 105, 105), kSlate, kSlateDark, Icon::Home, QStringLiteral("HOME"));
    round_button(p, QRect(488, 320, 105, 105), kBlue, kBlueDark, Icon::Printer, QStringLiteral("PRINT"));
    close_mark(p, QRect(619, 114, 72, 30));
    close_mark(p, kCloseStatus);
    return image;
}

QImage list_background(const QString& title, const QRect& list, const QString& hint,
                       const std::vector<std::tuple<QRect, QColor, QColor, Icon, QString>>& buttons)
{
    QImage image = new_background();
    QPainter p(&image);
    begin_window_painting(p);
    page_base(p, title);
    card(p, list.adjusted(-4, -4, 4, 4));
    p.setPen(kMuted);
    p.setFont(font(12));
    p.drawText(QRect(0, list.bottom() + 8, kWindowW, 20), Qt::AlignCenter, hint);
    for (const auto& [box, top, bottom, kind, caption] : buttons)
        round_button(p, box, top, bottom, kind, caption);
    close_mark(p, kCloseMain);
    return image;
}

// Drawn on a 128-pixel grid, scaled to `size` (the menus' 48 and 256 too).
QImage app_icon(int size = 128)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);
    QPainterPath back;
    back.addRoundedRect(QRectF(4, 4, 120, 120), 26, 26);
    QLinearGradient g(0, 4, 0, 124);
    g.setColorAt(0, kInkLight);
    g.setColorAt(1, kInk);
    p.fillPath(back, g);
    // The home page's ring, small.
    p.scale(128.0 / 480, 128.0 / 480);
    p.translate(240 - kRingCentre.x(), 240 - kRingCentre.y());
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawPath(ring_quarter(-1, -1));
    p.setBrush(kGreen);
    p.drawPath(ring_quarter(1, 1));
    p.setBrush(QColor(0x5B, 0x6B, 0x7F));
    p.drawPath(ring_quarter(1, -1));
    p.drawPath(ring_quarter(-1, 1));
    p.setBrush(Qt::white);
    p.drawEllipse(kRingCentre, 52, 52);
    return image;
}

bool save(const QImage& image, const QString& path)
{
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "make_artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_artwork <resources directory>\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    if (!root.mkpath(QStringLiteral("bitmaps")) || !root.mkpath(QStringLiteral("icons"))) {
        std::fprintf(stderr, "make_artwork: cannot create folders under %s\n", argv[1]);
        return 1;
    }
    auto bitmap = [&](int id) { return root.filePath(QStringLiteral("bitmaps/%1.png").arg(id)); };

    const QPainterPath statusQuarter = ring_quarter(-1, -1).translated(-kStatusButton.topLeft());
    const QPainterPath resultsQuarter = ring_quarter(1, 1).translated(-kResultsButton.topLeft());
    const QPainterPath surveyQuarter = ring_quarter(1, -1).translated(-kSurveyButton.topLeft());
    const QRect closeBox(0, 0, 72, 30);

    const std::vector<std::tuple<QRect, QColor, QColor, Icon, QString>> resultsButtons{
        {QRect(364, 486, 88, 89), kBlue, kBlueDark, Icon::Magnifier, QStringLiteral("Detail")},
        {QRect(478, 486, 88, 89), kSlate, kSlateDark, Icon::Home, QStringLiteral("HOME")},
        {QRect(596, 486, 88, 89), kGreen, kGreenDark, Icon::Printer, QStringLiteral("Print")}};
    const std::vector<std::tuple<QRect, QColor, QColor, Icon, QString>> surveyButtons{
        {QRect(235, 486, 88, 89), kRed, kRedDark, Icon::Cross, QStringLiteral("Cancel")},
        {QRect(349, 486, 88, 89), kSlate, kSlateDark, Icon::Home, QStringLiteral("HOME")},
        {QRect(463, 486, 88, 89), kGreen, kGreenDark, Icon::Printer, QStringLiteral("SAVE")},
        {QRect(577, 486, 88, 89), kBlue, kBlueDark, Icon::Document, QStringLiteral("REPORT")}};
    const std::vector<std::tuple<QRect, QColor, QColor, Icon, QString>> detailsButtons{
        {QRect(364, 486, 88, 89), kGreen, kGreenDark, Icon::Printer, QStringLiteral("PRINT")},
        {QRect(596, 486, 88, 89), kSlate, kSlateDark, Icon::Back, QStringLiteral("Back")}};

    const bool ok =
        save(main_background(), bitmap(162)) &&
        save(face(kStatusButton.size(), statusQuarter), bitmap(150)) &&
        save(face(kResultsButton.size(), resultsQuarter), bitmap(151)) &&
        save(face(closeBox.size(), pill(closeBox.adjusted(2, 2, -2, -2), 7)), bitmap(165)) &&
        save(status_background(), bitmap(166)) &&
        save(face(QSize(105, 105), disc(QRect(0, 0, 105, 105))), bitmap(169)) &&
        save(face(QSize(105, 105), disc(QRect(0, 0, 105, 105))), bitmap(170)) &&
        save(list_background(QStringLiteral("Test results"), QRect(10, 55, 866, 377),
                             QStringLiteral("Click a luminaire's row, then Detail to list all its test entries."),
                             resultsButtons),
             bitmap(171)) &&
        save(face(QSize(88, 89), disc(QRect(0, 0, 88, 89))), bitmap(172)) &&
        save(list_background(QStringLiteral("Test entries of one luminaire"), QRect(10, 54, 873, 406),
                             QString(), detailsButtons),
             bitmap(173)) &&
        save(face(kSurveyButton.size(), surveyQuarter), bitmap(174)) &&
        save(list_background(QStringLiteral("Site survey"), QRect(10, 55, 866, 377), QString(), surveyButtons),
             bitmap(175)) &&
        save(app_icon(), root.filePath(QStringLiteral("icons/orvypc.png"))) &&
        save(app_icon(48), root.filePath(QStringLiteral("icons/orvypc-48.png"))) &&
        save(app_icon(256), root.filePath(QStringLiteral("icons/orvypc-256.png")));
    return ok ? 0 : 1;
}
