// The spreadsheet engine at the Invoke boundary: what it accepts, what it
// refuses and how, and what it does to the workbook.
#include "cell_reference.h"
#include "excel_object_model.h"
#include "sheet_engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using automation::DispParams;
using automation::InvokeKind;
using automation::Status;
using automation::Variant;
namespace dispid = excel::dispid;

namespace {

// Owns one reference to an engine object and calls it raw.
class Obj {
public:
    explicit Obj(automation::Dispatch* d = nullptr) : d_(d) {}
    Obj(const Obj&) = delete;
    Obj& operator=(const Obj&) = delete;
    Obj(Obj&& o) noexcept : d_(o.d_) { o.d_ = nullptr; }
    ~Obj() {
        if (d_ != nullptr) d_->Release();
    }
    automation::Dispatch* get() const { return d_; }

    Status call(automation::DispId member, InvokeKind kind, std::vector<Variant> args,
                Variant* result = nullptr, automation::ExcepInfo* info = nullptr) const {
        DispParams p;
        p.args = std::move(args);
        return d_->Invoke(member, kind, p, result, info);
    }
    Status put(automation::DispId member, std::vector<Variant> args, Variant value,
               automation::ExcepInfo* info = nullptr) const {
        DispParams p;
        p.args = std::move(args);
        p.named.emplace_back(automation::kDispIdPropertyPut, std::move(value));
        return d_->Invoke(member, InvokeKind::PropertyPut, p, nullptr, info);
    }
    Obj child(automation::DispId member, InvokeKind kind, std::vector<Variant> args = {}) const {
        Variant r;
        const Status s = call(member, kind, std::move(args), &r);
        EXPECT_EQ(s, automation::kOk) << std::hex << member;
        return Obj(r.detach_dispatch());
    }

private:
    automation::Dispatch* d_;
};

Variant text(const char* t) { return Variant::Text(t); }
const Variant& omitted() { return automation::g_optionalArgument; }

class Engine : public ::testing::Test {
protected:
    Engine()
        : app(create_sheet_engine()),
          books(app.child(dispid::kWorkbooks, InvokeKind::PropertyGet)),
          book(books.child(dispid::kAdd, InvokeKind::Method, {omitted()})),
          sheets(book.child(dispid::kWorksheets, InvokeKind::PropertyGet)),
          sheet(sheets.child(dispid::kItem, InvokeKind::PropertyGet, {Variant::I2(1)})) {}

    Obj range(const char* a, std::optional<const char*> b = std::nullopt) const {
        return sheet.child(dispid::kRange, InvokeKind::PropertyGet,
                           {text(a), b ? text(*b) : Variant(omitted())});
    }
    const WorkbookModel& model() const { return *sheet_engine_workbook(book.get()); }
    const WorksheetModel& first() const { return model().sheet(0); }
    const Cell* at(int row, int column) const { return first().find(row, column); }

    Obj app, books, book, sheets, sheet;
};

TEST(CellReference, ParsesWhatRangeAccepts) {
    struct Case {
        const char* text;
        std::optional<CellRect> rect;
    };
    const Case cases[] = {
        {"B2", CellRect{2, 2, 2, 2}},
        {"B2 ", CellRect{2, 2, 2, 2}},  // the trailing blank of FormatCellName
        {" a1 ", CellRect{1, 1, 1, 1}},
        {"$C$3", CellRect{3, 3, 3, 3}},
        {"A1:C3", CellRect{1, 1, 3, 3}},
        {"C3:A1", CellRect{1, 1, 3, 3}},
        {"XFD1048576", CellRect{1048576, 16384, 1048576, 16384}},
        {"B:D", CellRect{1, 2, kMaxRows, 4}},
        {"2:3", CellRect{2, 1, 3, kMaxColumns}},
        {"", std::nullopt},
        {"B0", std::nullopt},
        {"[5 ", std::nullopt},  // FormatCellName past column Z
        {"XFE1", std::nullopt},
        {"A1048577", std::nullopt},
        {"B", std::nullopt},
        {"A1:", std::nullopt},
        {"A 1", std::nullopt},
        {"B2:C", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_reference(c.text), c.rect) << '"' << c.text << '"';
    EXPECT_EQ(format_reference(CellRect{3, 1, 131, 8}), "A3:H131");
    EXPECT_EQ(column_letters(16384), "XFD");
}

TEST_F(Engine, NewWorkbookHasOneSheetNamedSheet1) {
    Variant count;
    ASSERT_EQ(sheets.call(dispid::kCount, InvokeKind::PropertyGet, {}, &count), automation::kOk);
    EXPECT_EQ(count.vt(), automation::VT_I4);
    EXPECT_EQ(count.i4(), 1);
    EXPECT_EQ(first().name(), "Sheet1");
}

TEST_F(Engine, RefusesUnknownMembersWrongKindsAndBadArguments) {
    struct Case {
        const char* what;
        Status expected;
        std::function<Status()> call;
    };
    Obj b2 = range("B2 ");
    const Case cases[] = {
        {"unknown member", automation::kDispMemberNotFound,
         [&] { return b2.call(0x7777, InvokeKind::Method, {}); }},
        {"get of a put-only member", automation::kDispMemberNotFound,
         [&] { return b2.call(dispid::kRowHeight, InvokeKind::PropertyGet, {}); }},
        {"put without its value", automation::kDispParamNotOptional,
         [&] { return b2.call(dispid::kRowHeight, InvokeKind::PropertyPut, {Variant::I4(20)}); }},
        {"too many arguments", automation::kDispBadParamCount,
         [&] { return b2.call(dispid::kMerge, InvokeKind::Method, {Variant::I4(0), Variant::I4(0)}); }},
        {"text for a width", automation::kDispTypeMismatch,
         [&] { return b2.put(dispid::kColumnWidth, {}, text("wide")); }},
        {"VT_EMPTY for an optional column index", automation::kDispTypeMismatch,
         [&] { return b2.call(dispid::kItem, InvokeKind::PropertyGet, {Variant::I4(2), Variant()}); }},
        {"VT_EMPTY as the second corner", automation::kDispTypeMismatch,
         [&] { return sheet.call(dispid::kRange, InvokeKind::PropertyGet, {text("A3 "), Variant()}); }},
        {"bad reference", automation::kDispException,
         [&] { return sheet.call(dispid::kRange, InvokeKind::PropertyGet, {text("A0"), omitted()}); }},
        {"unknown alignment", automation::kDispException,
         [&] { return b2.put(dispid::kHorizontalAlignment, {}, Variant::I4(42)); }},
        {"unknown border weight", automation::kDispException,
         [&] {
             return b2.call(dispid::kBorderAround, InvokeKind::Method,
                            {Variant::I2(1), Variant::I4(3), Variant::I4(1), omitted()});
         }},
        {"sheet index past the end", automation::kDispBadIndex,
         [&] { return sheets.call(dispid::kItem, InvokeKind::PropertyGet, {Variant::I4(2)}); }},
        {"a template for a new workbook", automation::kDispException,
         [&] { return books.call(dispid::kAdd, InvokeKind::Method, {text("book.xltx")}); }},
        {"a sheet name with a slash", automation::kDispException,
         [&] { return sheet.put(dispid::kName, {}, text("a/b")); }},
        {"a sheet name of 32 characters", automation::kDispException,
         [&] { return sheet.put(dispid::kName, {}, text("abcdefghijklmnopqrstuvwxyz012345")); }},
    };
    for (const Case& c : cases) EXPECT_EQ(c.call(), c.expected) << c.what;

    automation::ExcepInfo info;
    EXPECT_EQ(sheet.call(dispid::kRange, InvokeKind::PropertyGet, {text("A0"), omitted()}, nullptr, &info),
              automation::kDispException);
    EXPECT_EQ(info.description, "\"A0\" is not a valid cell reference.");
}

TEST_F(Engine, PlainIntegersBecomeNumbersAndEverythingElseStaysText) {
    struct Case {
        const char* sent;
        CellValue::Kind kind;
        double number;
    };
    const Case cases[] = {
        {"0", CellValue::Kind::Number, 0},       {"124", CellValue::Kind::Number, 124},
        {"-7", CellValue::Kind::Number, -7},     {"007", CellValue::Kind::Text, 0},
        {"-0", CellValue::Kind::Text, 0},        {"254 ", CellValue::Kind::Text, 0},
        {" 5", CellValue::Kind::Text, 0},        {"80 %", CellValue::Kind::Text, 0},
        {"1.5", CellValue::Kind::Text, 0},       {"2015/07/08 14:03:09", CellValue::Kind::Text, 0},
        {"B5", CellValue::Kind::Text, 0},        {"1e3", CellValue::Kind::Text, 0},
        {"1234567890123456", CellValue::Kind::Text, 0},  // past 15 digits a number would round
        {"", CellValue::Kind::Empty, 0},
    };
    for (const Case& c : cases) {
        Obj cell = range("C4");
        ASSERT_EQ(cell.put(dispid::kValue2, {}, text(c.sent)), automation::kOk);
        const Cell* stored = at(4, 3);
        const CellValue::Kind kind = stored ? stored->value.kind : CellValue::Kind::Empty;
        EXPECT_EQ(kind, c.kind) << '"' << c.sent << '"';
        if (kind == CellValue::Kind::Number) {
            EXPECT_EQ(stored->value.number, c.number);
        }
        if (kind == CellValue::Kind::Text) {
            EXPECT_EQ(stored->value.text, c.sent);
        }
    }
}

TEST_F(Engine, ItemCountsFromTheUpperLeftCellAndRunsDownAColumn) {
    // One column wide: item n is n - 1 rows further down the same column.
    Obj e2 = range("E2 ");
    Variant cell;
    ASSERT_EQ(e2.call(dispid::kItem, InvokeKind::PropertyGet, {Variant::I4(5), omitted()}, &cell),
              automation::kOk);
    Obj e6(cell.detach_dispatch());
    ASSERT_EQ(e6.put(dispid::kValue2, {}, text("here")), automation::kOk);
    ASSERT_NE(at(6, 5), nullptr);
    EXPECT_EQ(at(6, 5)->value.text, "here");

    // Row and column from A1:C1, and through Cells.
    Obj a1c1 = range("A1", "C1");
    ASSERT_EQ(a1c1.put(dispid::kItem, {Variant::I4(2), Variant::I4(3)}, text("C2")), automation::kOk);
    Obj cells = sheet.child(dispid::kCells, InvokeKind::PropertyGet);
    ASSERT_EQ(cells.put(dispid::kItem, {Variant::I4(40), Variant::I4(2)}, text("B40")), automation::kOk);
    EXPECT_EQ(at(2, 3)->value.text, "C2");
    EXPECT_EQ(at(40, 2)->value.text, "B40");
}

TEST_F(Engine, ResizeAndAnArrayFillTheBlockFromItsCorner) {
    Obj a3 = range("A3 ");
    Obj block = a3.child(dispid::kResize, InvokeKind::PropertyGet, {Variant::I2(2), Variant::I2(3)});
    automation::SafeArray values(2, 3);
    values.put_element(0, 1, u"x");
    values.put_element(1, 2, u"12");
    ASSERT_EQ(block.put(dispid::kValue2, {}, Variant::Array(values)), automation::kOk);
    EXPECT_EQ(at(3, 1), nullptr);  // never set: empty
    EXPECT_EQ(at(3, 2)->value.text, "x");
    EXPECT_EQ(at(4, 3)->value.kind, CellValue::Kind::Number);
    EXPECT_EQ(at(5, 1), nullptr);
    EXPECT_EQ(a3.call(dispid::kResize, InvokeKind::PropertyGet, {Variant::I2(0), Variant::I2(3)}),
              automation::kDispException);
}

TEST_F(Engine, BorderAroundDrawsOnlyTheOutline) {
    Obj box = range("B3", "C5");
    ASSERT_EQ(box.call(dispid::kBorderAround, InvokeKind::Method,
                       {Variant::I2(1), Variant::I4(4), Variant::I4(1), omitted()}),
              automation::kOk);
    const BorderSide thick{excel::kLineContinuous, excel::kWeightThick, 1};
    EXPECT_EQ(at(3, 2)->style.borders[kEdgeTop], thick);
    EXPECT_EQ(at(3, 2)->style.borders[kEdgeLeft], thick);
    EXPECT_EQ(at(3, 2)->style.borders[kEdgeRight], BorderSide{});
    EXPECT_EQ(at(4, 3)->style.borders[kEdgeRight], thick);
    EXPECT_EQ(at(4, 3)->style.borders[kEdgeTop], BorderSide{});
    EXPECT_EQ(at(5, 3)->style.borders[kEdgeBottom], thick);
    EXPECT_EQ(at(4, 4), nullptr);  // nothing outside
}

TEST_F(Engine, MergeKeepsTheUpperLeftValueAndAbsorbsOverlaps) {
    Obj a1 = range("A1");
    Obj b2 = range("B2");
    a1.put(dispid::kValue2, {}, text("kept"));
    b2.put(dispid::kValue2, {}, text("lost"));
    ASSERT_EQ(range("A1", "B2").call(dispid::kMerge, InvokeKind::Method, {Variant::I4(0)}), automation::kOk);
    EXPECT_EQ(at(1, 1)->value.text, "kept");
    EXPECT_EQ(at(2, 2), nullptr);
    ASSERT_EQ(range("B2", "C3").call(dispid::kMerge, InvokeKind::Method, {Variant::I4(0)}), automation::kOk);
    ASSERT_EQ(first().merges().size(), 1u);
    EXPECT_EQ(first().merges()[0], (CellRect{1, 1, 3, 3}));
    ASSERT_EQ(range("E1", "F2").call(dispid::kMerge, InvokeKind::Method, {Variant::Bool(true)}),
              automation::kOk);
    EXPECT_EQ(first().merges().size(), 3u);  // across: one per row
}

TEST_F(Engine, WorksheetsAddAfterASheetAndNamesStayUnique) {
    Variant after = Variant::DispatchRef(sheet.get());
    Obj added = sheets.child(dispid::kAdd, InvokeKind::Method, {omitted(), after, Variant::I4(1), omitted()});
    ASSERT_EQ(model().sheet_count(), 2);
    EXPECT_EQ(model().sheet(1).name(), "Sheet2");
    EXPECT_EQ(added.put(dispid::kName, {}, text("Log Explanations")), automation::kOk);
    EXPECT_EQ(sheet.put(dispid::kName, {}, text("log explanations")), automation::kDispException);
    EXPECT_EQ(sheet.put(dispid::kName, {}, text("LOG")), automation::kOk);
    EXPECT_EQ(model().sheet(0).name(), "LOG");
    Obj byName = sheets.child(dispid::kItem, InvokeKind::PropertyGet, {text("Log Explanations")});
    EXPECT_NE(byName.get(), nullptr);
}

TEST_F(Engine, FormatsReachEveryCellOfTheRange) {
    Obj r = range("A2 ", "H2 ");
    Obj font = r.child(dispid::kFont, InvokeKind::PropertyGet);
    ASSERT_EQ(font.put(dispid::kBold, {}, Variant::I4(1)), automation::kOk);
    ASSERT_EQ(font.put(dispid::kSize, {}, Variant::I4(11)), automation::kOk);
    ASSERT_EQ(r.put(dispid::kHorizontalAlignment, {}, Variant::I4(excel::kAlignCenter)), automation::kOk);
    ASSERT_EQ(r.put(dispid::kVerticalAlignment, {}, Variant::I2(excel::kAlignCenter)), automation::kOk);
    ASSERT_EQ(r.put(dispid::kRowHeight, {}, Variant::I4(20)), automation::kOk);
    ASSERT_EQ(r.put(dispid::kColumnWidth, {}, Variant::I4(23)), automation::kOk);
    for (int c = 1; c <= 8; ++c) {
        ASSERT_NE(at(2, c), nullptr);
        EXPECT_TRUE(at(2, c)->style.bold);
        EXPECT_EQ(at(2, c)->style.horizontal, excel::kAlignCenter);
        EXPECT_EQ(at(2, c)->style.vertical, excel::kAlignCenter);
        EXPECT_EQ(first().column_widths().at(c), 23);
    }
    EXPECT_EQ(first().row_heights().at(2), 20);
    EXPECT_EQ(at(2, 9), nullptr);
    // Whole-sheet formatting is refused rather than filling memory.
    Obj cells = sheet.child(dispid::kCells, InvokeKind::PropertyGet);
    EXPECT_EQ(cells.put(dispid::kHorizontalAlignment, {}, Variant::I4(excel::kAlignCenter)),
              automation::kDispException);
}

TEST_F(Engine, PageSetupKeepsWhatItIsGivenAndRefusesWhatCannotPrint) {
    Obj page = sheet.child(dispid::kPageSetup, InvokeKind::PropertyGet);
    const PageLayout& layout = first().page_layout();
    EXPECT_FALSE(layout.fits_to_pages());
    EXPECT_EQ(page.put(dispid::kOrientation, {}, Variant::I4(excel::kLandscape)), automation::kOk);
    EXPECT_EQ(page.put(dispid::kPaperSize, {}, Variant::I4(excel::kPaperA4)), automation::kOk);
    EXPECT_EQ(page.put(dispid::kZoom, {}, Variant::Bool(false)), automation::kOk);
    EXPECT_EQ(page.put(dispid::kFitToPagesWide, {}, Variant::I4(1)), automation::kOk);
    EXPECT_EQ(page.put(dispid::kFitToPagesTall, {}, Variant::Bool(false)), automation::kOk);
    EXPECT_EQ(page.put(dispid::kPrintTitleRows, {}, text("$2:$3")), automation::kOk);
    EXPECT_EQ(page.put(dispid::kCenterFooter, {}, text("Page &P of &N")), automation::kOk);
    EXPECT_EQ(layout.orientation, excel::kLandscape);
    EXPECT_EQ(layout.paperSize, excel::kPaperA4);
    EXPECT_TRUE(layout.fits_to_pages());
    EXPECT_EQ(std::pair(layout.fitWide, layout.fitTall), std::pair(1, 0));
    EXPECT_EQ(std::pair(layout.titleFirstRow, layout.titleLastRow), std::pair(2, 3));
    EXPECT_EQ(layout.centerFooter, "Page &P of &N");

    struct Case {
        const char* what;
        automation::DispId member;
        Variant value;
    };
    const Case refused[] = {
        {"orientation 3", dispid::kOrientation, Variant::I4(3)},
        {"zoom TRUE", dispid::kZoom, Variant::Bool(true)},
        {"zoom 5 %", dispid::kZoom, Variant::I4(5)},
        {"zero pages wide", dispid::kFitToPagesWide, Variant::I4(0)},
        {"pages tall TRUE", dispid::kFitToPagesTall, Variant::Bool(true)},
        {"title rows that are cells", dispid::kPrintTitleRows, text("A1:C2")},
        {"title rows that are no reference", dispid::kPrintTitleRows, text("top")},
        {"a footer past 253 characters", dispid::kCenterFooter, Variant::Text(std::string(254, 'x'))},
        {"paper size 0", dispid::kPaperSize, Variant::I4(0)},
    };
    for (const Case& c : refused) {
        EXPECT_EQ(page.put(c.member, {}, c.value), automation::kDispException) << c.what;
    }
    EXPECT_EQ(page.call(dispid::kOrientation, InvokeKind::PropertyGet, {}), automation::kDispMemberNotFound);
    // A refused value changes nothing.
    EXPECT_EQ(layout.orientation, excel::kLandscape);
    EXPECT_EQ(layout.titleFirstRow, 2);
    EXPECT_EQ(page.put(dispid::kPrintTitleRows, {}, text("")), automation::kOk);
    EXPECT_EQ(layout.titleFirstRow, 0);
}

}  // namespace
