// The frame every export shares: start the spreadsheet, add a workbook,
// let the layout fill it, save a copy, quit. The objects are let go in the
// reverse of their declaration: the layout's own objects (declared in
// `Layout` in the order they are taken), then the worksheet collection,
// the workbook and the workbook collection; only then is the spreadsheet
// told to quit, and the application is let go last. A run that stops
// early (a cancelled dialog, a failed call unwinding) lets everything go
// in the same order without Quit.
#pragma once

#include "excel_wrappers.h"
#include "prompts.h"

#include <optional>
#include <string>

// "Excel.Application create fails！" (ending in a full-width mark).
inline constexpr const char* kCreateFailsMessage = "Excel.Application create fails\xEF\xBC\x81";

template <typename Layout>
class WorkbookRun {
public:
    // Creates the spreadsheet application; when there is none, shows the
    // message and returns false.
    bool start() {
        if (app_.CreateDispatch("Excel.Application")) return true;
        prompts().message_box(kCreateFailsMessage);
        return false;
    }
    CExcelApplication& app() { return app_; }

    // A new, empty workbook (Add with the omitted template) and its sheets.
    void add_workbook(const automation::OptionalArgument& optional) {
        parts_.emplace();
        parts_->books.AttachDispatch(app_.get_Workbooks());
        parts_->book.AttachDispatch(parts_->books.Add(optional));
        parts_->sheets.AttachDispatch(parts_->book.get_Worksheets());
    }
    CExcelWorksheets& sheets() { return parts_->sheets; }
    Layout& layout() { return parts_->layout; }

    // SaveCopyAs, Saved = TRUE, every object let go, then Quit and the
    // application let go.
    void save_and_quit(const std::string& path) {
        parts_->book.SaveCopyAs(automation::Variant::Text(path));
        parts_->book.put_Saved(true);
        parts_.reset();
        app_.Quit();
        app_.ReleaseDispatch();
    }

private:
    struct Parts {
        CExcelWorkbooks books;
        CExcelWorkbook book;
        CExcelWorksheets sheets;
        Layout layout;
    };
    CExcelApplication app_;       // declared first: let go last
    std::optional<Parts> parts_;  // let go before it, in reverse order
};
