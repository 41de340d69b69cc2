// The automation layer's own rules: value ownership, the wrappers'
// reference rules, cell names, creation by prog ID and the exceptions.
#include "automation_driver.h"
#include "class_registry.h"
#include "counting_object.h"
#include "excel_wrappers.h"
#include "wide_text.h"

#include <gtest/gtest.h>

using automation::Variant;

namespace {

TEST(FormatCellName, MakesTheLetterTheRowAndOneTrailingBlank) {
    struct Case {
        int row, column;
        const char* expected;
    };
    const Case cases[] = {
        {2, 2, "B2 "}, {1, 1, "A1 "}, {3, 8, "H3 "}, {128, 26, "Z128 "},
        // Past column 26 the character runs beyond Z: no valid reference.
        {5, 27, "[5 "},
    };
    for (const Case& c : cases) {
        std::string text = "left over";
        FormatCellName(c.row, c.column, text);
        EXPECT_EQ(text, c.expected) << c.row << "," << c.column;
    }
}

TEST(Variant, CopyAddsAReferenceAndClearReleasesIt) {
    CountingObject object;
    {
        Variant held = Variant::DispatchRef(&object);
        EXPECT_EQ(object.references, 2);
        Variant copy = held;
        EXPECT_EQ(object.references, 3);
        copy.clear();
        EXPECT_EQ(object.references, 2);
        EXPECT_EQ(copy.vt(), automation::VT_EMPTY);
    }
    EXPECT_EQ(object.references, 1);
}

TEST(Variant, DetachMovesTheReferenceWithoutReleasingIt) {
    CountingObject object;
    Variant held = Variant::DispatchRef(&object);
    automation::Dispatch* out = held.detach_dispatch();
    EXPECT_EQ(out, &object);
    EXPECT_EQ(held.vt(), automation::VT_EMPTY);
    held.clear();
    EXPECT_EQ(object.references, 2);  // still the detached one's
    out->Release();
}

TEST(Variant, TrueIsMinusOneAndTheOptionalArgumentIsParamNotFound) {
    EXPECT_EQ(Variant::Bool(true).i2(), -1);
    EXPECT_EQ(Variant::Bool(false).i2(), 0);
    const automation::OptionalArgument local;
    for (const Variant* v : {static_cast<const Variant*>(&local),
                             static_cast<const Variant*>(&automation::g_optionalArgument)}) {
        EXPECT_EQ(v->vt(), automation::VT_ERROR);
        EXPECT_EQ(static_cast<std::uint32_t>(v->scode()), 0x80020004u);
        EXPECT_TRUE(automation::is_omitted(*v));
    }
    EXPECT_FALSE(automation::is_omitted(Variant()));
}

TEST(SafeArray, UnsetElementsReadEmptyAndOutOfBoundsIsRefused) {
    automation::SafeArray a(2, 3);
    EXPECT_EQ(a.put_element(1, 2, u"x"), automation::kOk);
    EXPECT_EQ(a.put_element(2, 0, u"y"), automation::kDispBadIndex);
    EXPECT_EQ(a.put_element(0, 3, u"y"), automation::kDispBadIndex);
    EXPECT_EQ(a.element(1, 2), u"x");
    EXPECT_EQ(a.element(0, 0), u"");
}

TEST(AutomationDriver, AttachReleasesTheOldObjectExactlyOnce) {
    CountingObject first;
    CountingObject second;
    {
        CExcelRange range(&first);  // takes over the creator's reference
        EXPECT_EQ(first.addRefs, 0);
        range.AttachDispatch(&second);
        EXPECT_EQ(first.releases, 1);
        EXPECT_EQ(first.references, 0);
        EXPECT_EQ(second.addRefs, 0);
    }
    EXPECT_EQ(first.releases, 1);
    EXPECT_EQ(second.releases, 1);
    EXPECT_EQ(second.references, 0);
}

TEST(AutomationDriver, CopyAssignmentLeavesEachWrapperOneReference) {
    CountingObject a;
    CountingObject b;
    {
        CExcelWorksheet left(&a);
        CExcelWorksheet right(&b);
        left = right;
        EXPECT_EQ(a.references, 0);  // left let go of its own
        EXPECT_EQ(b.references, 2);  // one each
        left = left;                 // self-assignment keeps the one reference
        EXPECT_EQ(b.references, 2);
        right.ReleaseDispatch();
        EXPECT_EQ(b.references, 1);
        EXPECT_EQ(right.dispatch(), nullptr);
    }
    EXPECT_EQ(b.references, 0);
}

TEST(AutomationDriver, ReleaseWithoutAutoReleaseOnlyForgets) {
    CountingObject object;
    {
        CExcelFont font;
        font.AttachDispatch(&object, false);
        font.ReleaseDispatch();
        EXPECT_EQ(font.dispatch(), nullptr);
    }
    EXPECT_EQ(object.releases, 0);
}

TEST(AutomationDriver, CreateFailsForAnUnknownProgIdAndStaysEmpty) {
    CExcelApplication app;
    EXPECT_FALSE(app.CreateDispatch("No.Such.Application"));
    EXPECT_EQ(app.dispatch(), nullptr);
    automation::register_class("Null.Factory", [] { return static_cast<automation::Dispatch*>(nullptr); });
    EXPECT_FALSE(app.CreateDispatch("Null.Factory"));
    automation::unregister_class("Null.Factory");
    EXPECT_TRUE(app.CreateDispatch("Excel.Application"));
    EXPECT_NE(app.dispatch(), nullptr);
}

TEST(AutomationDriver, FailuresRaiseTheRightException) {
    CExcelApplication app;
    ASSERT_TRUE(app.CreateDispatch("Excel.Application"));
    CExcelWorkbooks books(app.get_Workbooks());
    CExcelWorkbook book(books.Add(automation::g_optionalArgument));
    CExcelWorksheets sheets(book.get_Worksheets());
    CExcelWorksheet sheet(sheets.get_Item(Variant::I2(1)));

    // A bad reference: the server describes it, the user sees that text.
    try {
        sheet.get_Range(Variant::Text("B0 "), automation::g_optionalArgument);
        FAIL() << "no exception";
    } catch (const DispatchException& e) {
        EXPECT_NE(std::string(e.what()).find("B0 "), std::string::npos) << e.what();
        EXPECT_EQ(e.description(), e.what());
    }
    // A member the object does not have: only a status.
    CExcelRange notARange(sheets.get_Item(Variant::I2(1)));
    try {
        notARange.put_RowHeight(Variant::I4(20));
        FAIL() << "no exception";
    } catch (const AutomationException& e) {
        EXPECT_EQ(e.status(), automation::kDispMemberNotFound);
        EXPECT_STREQ(e.what(), "Member not found. (0x80020003)");
    }
    // A missing sheet.
    EXPECT_THROW(sheets.get_Item(Variant::I2(2)), AutomationException);
}

TEST(WideText, RoundTripsAndRepairsMalformedInput) {
    const std::string mixed = "B5 \xE5\xBA\x94\xE6\x80\xA5\xE7\x81\xAF \xF0\x9F\x92\xA1 100 %";
    EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(mixed)), mixed);
    EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x92\xA1").size(), 2u);  // a surrogate pair
    struct Case {
        std::string in;
        std::u16string out;
    };
    const Case bad[] = {
        {"a\xFF" "b", u"a\uFFFDb"},          // not a lead byte
        {"\xC3", u"\uFFFD"},                 // cut short
        {"\xC0\xAF", u"\uFFFD"},             // overlong
        {"\xED\xA0\x80", u"\uFFFD"},         // a surrogate written in UTF-8
    };
    for (const Case& c : bad) EXPECT_EQ(utf8_to_utf16(c.in), c.out);
    EXPECT_EQ(utf16_to_utf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
