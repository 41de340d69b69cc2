// The report's layout: what goes where on the pages, in millimetres, over
// the PDF canvas. The document is laid out twice: once to count the pages
// and find where each section begins, then drawn with "page x of y" and the
// contents filled in.
#include "report_pdf.h"

#include "pdf_canvas.h"

#include <QColor>
#include <QFont>

#include <map>

#ifndef ORVYPC_VERSION
#define ORVYPC_VERSION "unknown"
#endif

namespace {

// The page, in millimetres.
constexpr double kPageWidth = 297, kPageHeight = 210;
constexpr double kLeft = 14, kRight = kPageWidth - 14;
constexpr double kTextWidth = kRight - kLeft;
constexpr double kHeaderTop = 10, kHeaderRule = 16.5;
constexpr double kBodyTop = 21, kBodyBottom = 192;
constexpr double kFooterRule = 195, kFooterTop = 196.5;
constexpr double kCellPadding = 1.2;
constexpr double kHeadingPadding = 0.4;
constexpr int kMonthsPerTable = 12;
constexpr double kNoLigatures = 1.0 / 32;   // device units (600 an inch): nothing to see

// Fonts that have the check marks, and one for the Chinese (and other
// CJK) names, which the first lacks.
const char* const kFamily = "DejaVu Sans";
const char* const kCjkFamily = "WenQuanYi Micro Hei";

const QColor kInk(0x1F, 0x29, 0x37), kMuted(0x5B, 0x64, 0x70), kRule(0xC8, 0xCE, 0xD6), kShade(0xF2, 0xF4, 0xF7),
    kAccent(0x1E, 0x3A, 0x5F), kGreen(0x16, 0x65, 0x34), kGreenFill(0xDC, 0xFC, 0xE7), kRed(0xB9, 0x1C, 0x1C),
    kRedFill(0xFE, 0xE2, 0xE2), kAmber(0x92, 0x40, 0x0E), kAmberFill(0xFE, 0xF3, 0xC7), kPaleRed(0xFF, 0xF1, 0xF2);

enum class Type { Title, Heading, Body, BodyBold, Small, Cell, CellBold, CellSmall, Head, HeadSmall, Mark, Big };

QFont font_of(Type type) {
    struct Face {
        double points;
        bool bold;
    };
    static const std::map<Type, Face> faces = {
        {Type::Title, {20, true}},  {Type::Heading, {12.5, true}}, {Type::Body, {9.5, false}},
        {Type::BodyBold, {9.5, true}}, {Type::Small, {7.5, false}}, {Type::Cell, {8, false}},
        {Type::CellBold, {8, true}}, {Type::CellSmall, {6.8, false}}, {Type::Head, {7.2, true}},
        {Type::HeadSmall, {6.2, false}}, {Type::Mark, {8.5, true}},
        {Type::Big, {22, true}},
    };
    const Face face = faces.at(type);
    QFont f(QString::fromLatin1(kFamily));
    f.setPointSizeF(face.points);
    f.setBold(face.bold);
    f.setHintingPreference(QFont::PreferNoHinting);   // the same widths measured and drawn
    // Any letter spacing turns the ligatures off, so "ffi" and "fl" stay
    // letters that a reader of the text can search for.
    f.setLetterSpacing(QFont::AbsoluteSpacing, kNoLigatures);
    return f;
}

QString q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// One run of text in a cell: its font and colour; cells stack their pieces.
struct Piece {
    QString text;
    Type type = Type::Cell;
    QColor color = kInk;
};

struct Column {
    double width;
    QString heading;
    Qt::Alignment align = Qt::AlignLeft;
    QString subheading = {};   // a second line of the heading, smaller
};

// A table cell: text pieces one below the other, or a month mark.
struct Cell {
    std::vector<Piece> pieces;
    std::optional<MonthMark> mark;
};
using Row = std::vector<Cell>;

Cell cell(const QString& text, Type type = Type::Cell, QColor color = kInk) {
    Cell c;
    c.pieces.push_back(Piece{text, type, color});
    return c;
}
// The cell with one more piece below.
Cell below(Cell c, const QString& text, Type type, QColor color = kInk) {
    c.pieces.push_back(Piece{text, type, color});
    return c;
}
Cell mark_cell(MonthMark mark) {
    Cell c;
    c.mark = mark;
    return c;
}

struct MarkStyle {
    const char* glyph;
    QColor ink, fill;
    const char* meaning;
};

MarkStyle mark_style(MonthMark mark) {
    switch (mark) {
    case MonthMark::Passed: return {"\u2713", kGreen, kGreenFill, "passed"};
    case MonthMark::Failed: return {"\u2717", kRed, kRedFill, "failed"};
    case MonthMark::Repaired: return {"R", kAmber, kAmberFill, "failed, repair recorded"};
    case MonthMark::NotTested: return {"\u2013", kRed, kPaleRed, "not tested"};
    case MonthMark::NoResult: return {"?", kAmber, kAmberFill, "tested, no result"};
    case MonthMark::Partial: return {"\u00b7", kMuted, Qt::white, "month only partly in the period"};
    case MonthMark::NoRecord: break;
    }
    return {"", kMuted, kShade, "before the logbook's record of it"};
}

const char* standing_words(Standing s) {
    switch (s) {
    case Standing::Ok: return "ok";
    case Standing::Fault: return "fault";
    case Standing::Overdue: return "overdue";
    case Standing::NeverTested: return "never tested";
    }
    return "";
}

QColor standing_color(Standing s) {
    switch (s) {
    case Standing::Ok: return kGreen;
    case Standing::Fault: return kRed;
    case Standing::Overdue: return kAmber;
    case Standing::NeverTested: break;
    }
    return kMuted;
}

const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The document: the same steps for both passes.
class ReportLayout {
public:
    ReportLayout(const ReportContent& c, Canvas& canvas, int pages, std::map<QString, int> sectionPages)
        : c_(c), k_(canvas), pages_(pages), sectionPages_(std::move(sectionPages)) {
        for (const Type t : {Type::Title, Type::Heading, Type::Body, Type::BodyBold, Type::Small, Type::Cell,
                             Type::CellBold, Type::CellSmall, Type::Head, Type::HeadSmall, Type::Mark, Type::Big})
            fonts_.emplace(t, font_of(t));
    }

    void lay_out() {
        cover();
        for (std::size_t first = 0; first < c_.months.size(); first += kMonthsPerTable) luminaire_table(first);
        defects();
        deviations();
        remarks();
        signature();
        page_furniture();
    }
    int pages() const { return k_.page(); }
    const std::map<QString, int>& section_pages() const { return seen_; }

private:
    double text(const QString& t, Type type, double x, double top, double width, QColor color = kInk,
                Qt::Alignment align = Qt::AlignLeft) {
        return k_.text(t, fonts_.at(type), x, top, width, color, align);
    }
    double height(const QString& t, Type type, double width, Qt::Alignment align = Qt::AlignLeft) {
        return k_.height(t, fonts_.at(type), width, align);
    }
    void rule(double x1, double y1, double x2, double y2, QColor color = kRule, double lineWidth = 0.25) {
        k_.rule(x1, y1, x2, y2, color, lineWidth);
    }

    QString period_text() const { return q(c_.from) + QStringLiteral(" to ") + q(c_.to); }

    void page_furniture() {
        text(QStringLiteral("Emergency lighting test record"), Type::BodyBold, kLeft, kHeaderTop, 120, kAccent);
        text(q(c_.site) + QStringLiteral("   \u00b7   ") + period_text(), Type::Body, kLeft + 120, kHeaderTop,
                kTextWidth - 120, kMuted, Qt::AlignRight);
        rule(kLeft, kHeaderRule, kRight, kHeaderRule, kAccent, 0.4);
        rule(kLeft, kFooterRule, kRight, kFooterRule);
        text(QStringLiteral("Made from the logbook by %1 on %2, %3, with OrvyPc %4")
                    .arg(q(c_.madeBy), q(c_.machine), q(c_.madeAt), QStringLiteral(ORVYPC_VERSION)),
                Type::Small, kLeft, kFooterTop, 200, kMuted);
        text(QStringLiteral("Page %1 of %2").arg(k_.page()).arg(pages_), Type::Small, kRight - 50, kFooterTop, 50,
                kMuted, Qt::AlignRight);
    }

    void next_page() {
        page_furniture();
        k_.new_page();
    }

    void section_title(const QString& title, bool continued) {
        // The contents name a section once: the first of the luminaire tables.
        if (!continued) seen_.emplace(title.section(QLatin1Char(','), 0, 0), k_.page());
        const double h = text(title + (continued ? QStringLiteral(" (continued)") : QString()), Type::Heading,
                                 kLeft, k_.y, kTextWidth, kAccent);
        k_.y += h + 2.5;
    }

    // ---- the cover ----

    void cover() {
        k_.y = kBodyTop + 4;
        k_.y += text(QStringLiteral("Emergency lighting test record"), Type::Title, kLeft, k_.y, kTextWidth, kAccent);
        k_.y += 1.5;
        k_.y += text(QStringLiteral("Function and duration tests of the emergency luminaires, as the site's "
                                       "logbook records them"),
                        Type::Body, kLeft, k_.y, kTextWidth, kMuted);
        k_.y += 7;
        const double top = k_.y;
        facts_grid(top);
        count_tiles(top);
        k_.y = std::max(k_.y, top + 52) + 6;
        statement();
        legend();
        contents();
        next_page();
    }

    void facts_grid(double top) {
        QString gateways;
        for (const std::string& g : c_.gateways) gateways += (gateways.isEmpty() ? QString() : QStringLiteral(", ")) + q(g);
        const int count = static_cast<int>(c_.luminaires.size());
        std::vector<std::pair<QString, QString>> facts = {
            {QStringLiteral("Site"), q(c_.site)},
            {c_.gateways.size() == 1 ? QStringLiteral("Gateway address") : QStringLiteral("Gateway addresses"), gateways},
            {QStringLiteral("Period"),
             period_text() + QStringLiteral(" (%1 month%2)").arg(c_.months.size()).arg(QLatin1String(c_.months.size() == 1 ? "" : "s"))},
            {QStringLiteral("Luminaires"),
             QStringLiteral("%1: %2 on line A, %3 on line B").arg(count).arg(c_.lineA).arg(c_.lineB)},
            {QStringLiteral("Made by"), q(c_.madeBy) + QStringLiteral(" on ") + q(c_.machine) +
                                            QStringLiteral(", ") + q(c_.madeAt)},
        };
        if (c_.seal) facts.emplace_back(QStringLiteral("Seal of the last record"), q(*c_.seal));
        double y = top;
        for (const auto& [label, value] : facts) {
            text(label, Type::Body, kLeft, y, 42, kMuted);
            y += std::max(text(value, Type::BodyBold, kLeft + 44, y, 110), 4.0) + 2.2;
        }
        k_.y = y;
    }

    void count_tiles(double top) {
        const struct {
            int n;
            const char* label;
            QColor color;
        } tiles[] = {{c_.counts.ok, "ok", kGreen},
                     {c_.counts.fault, "fault", kRed},
                     {c_.counts.overdue, "overdue", kAmber},
                     {c_.counts.neverTested, "never tested", kMuted}};
        const double x0 = kLeft + 166, w = 50, h = 23, gap = 4;
        text(QStringLiteral("At the end of the period"), Type::Small, x0, top - 1, 2 * w + gap, kMuted);
        for (int i = 0; i < 4; ++i) {
            const double x = x0 + (i % 2) * (w + gap), y = top + 3.5 + (i / 2) * (h + gap);
            k_.fill(x, y, w, h, kShade, 1.5);
            k_.fill(x, y, 1.6, h, tiles[i].color);
            text(QString::number(tiles[i].n), Type::Big, x + 5, y + 2.5, w - 8, tiles[i].color);
            text(QString::fromLatin1(tiles[i].label), Type::Body, x + 5, y + 14.5, w - 8, kInk);
        }
    }

    void statement() {
        const QColor bar = c_.asRequired ? kGreen : kAmber;
        const double h = height(q(c_.summary), Type::BodyBold, kTextWidth - 10) + 6;
        k_.fill(kLeft, k_.y, kTextWidth, h, c_.asRequired ? kGreenFill : kAmberFill, 1.5);
        k_.fill(kLeft, k_.y, 1.8, h, bar);
        text(q(c_.summary), Type::BodyBold, kLeft + 6, k_.y + 3, kTextWidth - 10);
        k_.y += h + 4;
        if (c_.incomplete.empty()) return;
        const QString note = QStringLiteral("Incomplete: ") + q(c_.incomplete);
        const double n = height(note, Type::BodyBold, kTextWidth - 10) + 6;
        k_.fill(kLeft, k_.y, kTextWidth, n, kRedFill, 1.5);
        k_.fill(kLeft, k_.y, 1.8, n, kRed);
        text(note, Type::BodyBold, kLeft + 6, k_.y + 3, kTextWidth - 10, kRed);
        k_.y += n + 4;
    }

    void legend() {
        text(QStringLiteral("Month cells"), Type::BodyBold, kLeft, k_.y, 40);
        constexpr double kItem = 58;
        const MonthMark marks[] = {MonthMark::Passed, MonthMark::Failed, MonthMark::Repaired, MonthMark::NotTested,
                                   MonthMark::NoResult, MonthMark::Partial, MonthMark::NoRecord};
        for (std::size_t i = 0; i < std::size(marks); ++i) {
            const double x = kLeft + 30 + static_cast<double>(i % 4) * kItem, y = k_.y + static_cast<double>(i / 4) * 7;
            mark_box(marks[i], x, y - 0.6);
            text(QString::fromLatin1(mark_style(marks[i]).meaning), Type::Small, x + 8, y + 0.4, kItem - 10, kInk);
        }
        k_.y += 17;
    }

    void contents() {
        text(QStringLiteral("Contents"), Type::BodyBold, kLeft, k_.y, 40);
        double y = k_.y;
        for (const QString& title : section_order_) {
            const auto found = sectionPages_.find(title);
            const QString page = found == sectionPages_.end() ? QString() : QString::number(found->second);
            text(title, Type::Body, kLeft + 30, y, 120);
            text(QStringLiteral("page ") + page, Type::Body, kLeft + 150, y, 30, kMuted);
            y += 5;
        }
        k_.y = y;
    }

    // ---- tables ----

    void mark_box(MonthMark m, double x, double top) {
        const MarkStyle style = mark_style(m);
        constexpr double w = 6.2, h = 5;
        k_.fill(x, top, w, h, style.fill, 0.8);
        if (m == MonthMark::Partial || m == MonthMark::NotTested) k_.frame(x, top, w, h, kRule, 0.2);
        text(QString::fromUtf8(style.glyph), Type::Mark, x, top + 0.7, w, style.ink, Qt::AlignHCenter);
    }

    double cell_height(const Cell& cell, double width) {
        if (cell.mark) return 5;
        double h = 0;
        for (const Piece& p : cell.pieces) h += height(p.text, p.type, width);
        return h;
    }

    void draw_cell(const Cell& cell, double x, double top, const Column& col) {
        if (cell.mark) {
            mark_box(*cell.mark, x + (col.width - 6.2) / 2, top);
            return;
        }
        double y = top;
        for (const Piece& p : cell.pieces)
            y += text(p.text, p.type, x + kCellPadding, y, col.width - 2 * kCellPadding, p.color, col.align);
    }

    // A heading, and its smaller second line, in its column; the month
    // columns are narrow, so headings use all of a column's width.
    double heading(const Column& c, double x, double top, bool draw) {
        const double w = c.width - 2 * kHeadingPadding;
        double h = draw ? text(c.heading, Type::Head, x + kHeadingPadding, top, w, kInk, c.align)
                        : height(c.heading, Type::Head, w, c.align);
        if (c.subheading.isEmpty()) return h;
        return h + (draw ? text(c.subheading, Type::HeadSmall, x + kHeadingPadding, top + h, w, kMuted, c.align)
                         : height(c.subheading, Type::HeadSmall, w, c.align));
    }

    double header_height(const std::vector<Column>& cols) {
        double h = 0;
        for (const Column& c : cols) h = std::max(h, heading(c, 0, 0, false));
        return h + 2 * kCellPadding;
    }

    void draw_header(const std::vector<Column>& cols) {
        const double h = header_height(cols);
        k_.fill(kLeft, k_.y, kTextWidth, h, kShade);
        double x = kLeft;
        for (const Column& c : cols) {
            heading(c, x, k_.y + kCellPadding, true);
            x += c.width;
        }
        rule(kLeft, k_.y + h, kRight, k_.y + h, kMuted, 0.3);
        k_.y += h;
    }

    // A table that breaks between rows, with its heading row on every page.
    void table(const QString& title, const std::vector<Column>& cols, const std::vector<Row>& rows,
               const QString& empty) {
        const double titleRoom = 12;
        if (k_.room() < titleRoom + header_height(cols) + 10) next_page();
        section_title(title, false);
        if (rows.empty()) {
            k_.y += text(empty, Type::Body, kLeft, k_.y, kTextWidth, kMuted) + 8;
            return;
        }
        draw_header(cols);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            double h = 0;
            for (std::size_t c = 0; c < cols.size(); ++c)
                h = std::max(h, cell_height(rows[r][c], cols[c].width - 2 * kCellPadding));
            h += 2 * kCellPadding;
            if (k_.room() < h) {
                next_page();
                section_title(title, true);
                draw_header(cols);
            }
            if (r % 2 == 1) k_.fill(kLeft, k_.y, kTextWidth, h, QColor(0xFA, 0xFB, 0xFC));
            double x = kLeft;
            for (std::size_t c = 0; c < cols.size(); ++c) {
                draw_cell(rows[r][c], x, k_.y + kCellPadding, cols[c]);
                x += cols[c].width;
            }
            rule(kLeft, k_.y + h, kRight, k_.y + h);
            k_.y += h;
        }
        k_.y += 8;
    }

    // ---- the sections ----

    QString luminaire_title(std::size_t first) const {
        const QString base = QStringLiteral("Test record by luminaire");
        if (c_.months.size() <= static_cast<std::size_t>(kMonthsPerTable)) return base;
        const std::size_t last = std::min(c_.months.size(), first + kMonthsPerTable) - 1;
        auto ym = [](const YearMonth& m) { return QStringLiteral("%1-%2").arg(m.year).arg(m.month, 2, 10, QLatin1Char('0')); };
        return base + QStringLiteral(", ") + ym(c_.months[first]) + QStringLiteral(" to ") + ym(c_.months[last]);
    }

    void luminaire_table(std::size_t first) {
        std::vector<Column> cols = {{14, QStringLiteral("Address")},
                                    {49, QStringLiteral("Luminaire"), Qt::AlignLeft, QStringLiteral("location")}};
        for (int i = 0; i < kMonthsPerTable; ++i) {
            const std::size_t m = first + static_cast<std::size_t>(i);
            Column month{7.6, QString(), Qt::AlignHCenter};
            if (m < c_.months.size()) {
                month.heading = QString::fromLatin1(kMonthNames[c_.months[m].month - 1]);
                month.subheading = QString::number(c_.months[m].year);
            }
            cols.push_back(month);
        }
        cols.push_back({34, QStringLiteral("Last duration test"), Qt::AlignLeft, QStringLiteral("minutes of rated")});
        cols.push_back({33, QStringLiteral("Next tests due"), Qt::AlignLeft, QStringLiteral("FT function, DT duration")});
        cols.push_back({47.8, QStringLiteral("At the period's end")});
        std::vector<Row> rows;
        for (const ReportLuminaire& l : c_.luminaires) {
            Row row;
            row.push_back(cell(q(l.address), Type::CellBold));
            row.push_back(below(cell(q(l.name), Type::CellBold), q(l.location), Type::CellSmall, kMuted));
            for (int i = 0; i < kMonthsPerTable; ++i) {
                const std::size_t m = first + static_cast<std::size_t>(i);
                row.push_back(m < l.months.size() ? mark_cell(l.months[m]) : Cell{});
            }
            row.push_back(duration_cell(l));
            row.push_back(due_cell(l));
            Cell standing = cell(QString::fromLatin1(standing_words(l.standing)), Type::CellBold, standing_color(l.standing));
            if (!l.why.empty()) standing = below(standing, q(l.why), Type::CellSmall, kMuted);
            row.push_back(standing);
            rows.push_back(std::move(row));
        }
        table(luminaire_title(first), cols, rows, QStringLiteral("The logbook holds no luminaire of this site."));
    }

    static Cell duration_cell(const ReportLuminaire& l) {
        if (!l.lastDuration) return cell(QStringLiteral("none in the logbook"), Type::Cell, kMuted);
        const DurationTestValue& d = *l.lastDuration;
        QString minutes = d.minutes ? QString::number(*d.minutes) : QStringLiteral("no");
        minutes += l.ratedMinutes ? QStringLiteral(" of %1 min").arg(*l.ratedMinutes) : QStringLiteral(" min, rated unknown");
        QString result = d.result == 1 ? QStringLiteral("passed") : d.result == 0xFF ? QStringLiteral("FAILED")
                                                                                       : QStringLiteral("no result");
        const QColor color = d.result == 1 ? kInk : d.result == 0xFF ? kRed : kAmber;
        return below(cell(q(d.date)), minutes + QStringLiteral(", ") + result, Type::CellSmall, color);
    }

    static Cell due_cell(const ReportLuminaire& l) {
        Cell out;
        auto line = [&](const char* what, const std::string& due, bool overdue) {
            if (due.empty()) {
                out = below(out, QString::fromLatin1(what) + QStringLiteral(" \u2014"), Type::Cell, kMuted);
                return;
            }
            out = below(out, QString::fromLatin1(what) + QLatin1Char(' ') + q(due) +
                                 (overdue ? QStringLiteral(" overdue") : QString()),
                        overdue ? Type::CellBold : Type::Cell, overdue ? kRed : kInk);
        };
        line("FT", l.nextFunctionDue, l.functionOverdue);
        line("DT", l.nextDurationDue, l.durationOverdue);
        return out;
    }

    void defects() {
        const std::vector<Column> cols = {{36, QStringLiteral("Failed test")}, {52, QStringLiteral("Luminaire")},
                                          {40, QStringLiteral("Test")}, {91, QStringLiteral("Repair recorded after it")},
                                          {50, QStringLiteral("Re-test")}};
        std::vector<Row> rows;
        for (const DefectValue& d : c_.defects) {
            Row row;
            row.push_back(cell(q(d.when)));
            row.push_back(cell(q(d.address) + QStringLiteral("  ") + q(d.name)));
            QString test = d.durationTest ? QStringLiteral("duration test") : QStringLiteral("function test");
            if (d.durationTest && d.minutes) test += QStringLiteral(", %1 min").arg(*d.minutes);
            row.push_back(cell(test));
            Cell repairs;
            for (const RepairValue& r : d.repairs) {
                QString text = q(r.when.substr(0, 10)) + QStringLiteral("  ");
                if (!r.part.empty()) text += q(r.part) + QStringLiteral(": ");
                text += q(r.text);
                if (!r.author.empty()) text += QStringLiteral(" (") + q(r.author) + QLatin1Char(')');
                repairs = below(repairs, text, Type::Cell);
            }
            if (repairs.pieces.empty()) repairs = cell(QStringLiteral("none recorded"), Type::Cell, kMuted);
            row.push_back(repairs);
            if (!d.retestWhen)
                row.push_back(cell(c_.endsToday ? QStringLiteral("not re-tested yet")
                                                : QStringLiteral("not re-tested by ") + q(c_.to),
                                   Type::CellBold, kRed));
            else if (d.retestPassed)
                row.push_back(cell(QStringLiteral("re-tested OK ") + q(d.retestWhen->substr(0, 10)), Type::Cell, kGreen));
            else
                row.push_back(cell(QStringLiteral("re-test FAILED ") + q(d.retestWhen->substr(0, 10)), Type::CellBold, kRed));
            rows.push_back(std::move(row));
        }
        table(section_order_[1], cols, rows, QStringLiteral("No test failed in the period."));
    }

    void deviations() {
        const std::vector<Column> cols = {{70, QStringLiteral("Luminaire")}, {199, QStringLiteral("Deviation")}};
        std::vector<Row> rows;
        for (const DeviationValue& d : c_.deviations) {
            rows.push_back({cell(q(d.address) + QStringLiteral("  ") + q(d.name)), cell(q(d.text))});
        }
        table(section_order_[2], cols, rows,
              QStringLiteral("None: every luminaire had a test in every month and a duration test within twelve months."));
    }

    void remarks() {
        const std::vector<Column> cols = {{34, QStringLiteral("Written")}, {20, QStringLiteral("Luminaire")},
                                          {35, QStringLiteral("By")}, {180, QStringLiteral("Remark")}};
        std::vector<Row> rows;
        for (const RemarkValue& r : c_.remarks) {
            rows.push_back({cell(q(r.when)), cell(q(r.address)), cell(q(r.author)), cell(q(r.text))});
        }
        table(section_order_[3], cols, rows, QStringLiteral("No remark was written in the period."));
    }

    void signature() {
        constexpr double kBlock = 58;
        if (k_.room() < kBlock) next_page();
        section_title(section_order_[4], false);
        k_.y += text(QStringLiteral("The tests above are those the site's logbook holds for the period. Checked by "
                                       "the person responsible for the emergency lighting:"),
                        Type::Body, kLeft, k_.y, kTextWidth) + 4;
        const char* const labels[] = {"Tested by (name)", "Date", "Signature", "Next inspection due"};
        const double w = (kTextWidth - 3 * 5) / 4, h = 24;
        for (int i = 0; i < 4; ++i) {
            const double x = kLeft + i * (w + 5);
            k_.frame(x, k_.y, w, h, kRule, 0.3);
            text(QString::fromLatin1(labels[i]), Type::Small, x + 2, k_.y + 1.5, w - 4, kMuted);
            rule(x + 3, k_.y + h - 5, x + w - 3, k_.y + h - 5, kMuted, 0.2);
        }
        k_.y += h + 4;
        if (!c_.nextDue.empty())
            k_.y += text(QStringLiteral("The next test falling due on the site: ") + q(c_.nextDue) +
                                QStringLiteral(" (") + q(c_.nextDueWhat) + QLatin1Char(')'),
                            Type::Body, kLeft, k_.y, kTextWidth, kInk);
    }

    const ReportContent& c_;
    Canvas& k_;
    int pages_;
    std::map<QString, int> sectionPages_;   // from the first pass
    std::map<QString, int> seen_;
    std::map<Type, QFont> fonts_;
    const std::vector<QString> section_order_ = {QStringLiteral("Test record by luminaire"),
                                                  QStringLiteral("Defects and repairs"), QStringLiteral("Deviations"),
                                                  QStringLiteral("Remarks of the period"), QStringLiteral("Signature")};
};

}  // namespace

bool report_pdf_available() { return true; }

std::string write_report_pdf(const ReportContent& content, const std::string& path) {
    PdfDocument document;
    document.title = QStringLiteral("Emergency lighting test record, ") + q(content.site) + QStringLiteral(", ") +
                     q(content.from) + QStringLiteral(" to ") + q(content.to);
    document.creator = QStringLiteral("OrvyPc ") + QStringLiteral(ORVYPC_VERSION);
    document.body = {kBodyTop, kBodyBottom};
    std::map<QString, int> sections;   // where each begins, from the first pass
    return write_pdf(path, document, [&](Canvas& canvas, int pages) {
        QFont::insertSubstitution(QString::fromLatin1(kFamily), QString::fromLatin1(kCjkFamily));
        ReportLayout layout(content, canvas, pages, sections);
        layout.lay_out();
        if (pages == 0) sections = layout.section_pages();
    });
}
