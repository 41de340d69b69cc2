#include "sheet_model.h"

#include "wide_text.h"

#include <algorithm>
#include <cctype>

const Cell* WorksheetModel::find(int row, int column) const {
    const auto it = cells_.find({row, column});
    return it == cells_.end() ? nullptr : &it->second;
}

void WorksheetModel::set_value(int row, int column, CellValue value) {
    if (value.kind == CellValue::Kind::Empty) {
        const auto it = cells_.find({row, column});
        if (it == cells_.end()) return;
        it->second.value = CellValue{};
        if (it->second.style.is_default()) cells_.erase(it);
        return;
    }
    cells_[{row, column}].value = std::move(value);
}

void WorksheetModel::merge(CellRect rect) {
    // Grow the area over every merged area it touches, until none is cut.
    bool grown = true;
    while (grown) {
        grown = false;
        for (const CellRect& m : merges_) {
            if (!m.intersects(rect)) continue;
            const CellRect joined{std::min(rect.top, m.top), std::min(rect.left, m.left),
                                  std::max(rect.bottom, m.bottom), std::max(rect.right, m.right)};
            if (!(joined == rect)) {
                rect = joined;
                grown = true;
            }
        }
    }
    std::erase_if(merges_, [&](const CellRect& m) { return m.intersects(rect); });
    if (rect.rows() == 1 && rect.columns() == 1) return;
    for (int r = rect.top; r <= rect.bottom; ++r) {
        for (int c = rect.left; c <= rect.right; ++c) {
            if (r != rect.top || c != rect.left) set_value(r, c, CellValue{});
        }
    }
    merges_.push_back(rect);
}

WorkbookModel::WorkbookModel() { insert_sheet(0); }

int WorkbookModel::index_of(const WorksheetModel& sheet) const {
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        if (sheets_[i].get() == &sheet) return static_cast<int>(i);
    }
    return -1;
}

namespace {

// Sheet names compare without regard to case, as the tab bar does.
std::string folded(const std::string& name) {
    std::string out = name;
    for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

}  // namespace

WorksheetModel* WorkbookModel::find_sheet(const std::string& name) {
    for (auto& s : sheets_) {
        if (folded(s->name()) == folded(name)) return s.get();
    }
    return nullptr;
}

WorksheetModel& WorkbookModel::insert_sheet(int position) {
    std::string name;
    do {
        name = "Sheet" + std::to_string(nextSheetNumber_++);
    } while (find_sheet(name) != nullptr);
    position = std::clamp(position, 0, sheet_count());
    auto it = sheets_.insert(sheets_.begin() + position, std::make_unique<WorksheetModel>(name));
    return **it;
}

std::string WorkbookModel::check_sheet_name(const WorksheetModel& sheet,
                                            const std::string& name) const {
    const std::size_t length = utf8_to_utf16(name).size();
    if (length == 0 || length > 31) {
        return "A sheet name must have 1 to 31 characters.";
    }
    if (name.find_first_of(":\\/?*[]") != std::string::npos) {
        return "A sheet name cannot contain any of the characters : \\ / ? * [ ].";
    }
    if (name.front() == '\'' || name.back() == '\'') {
        return "A sheet name cannot begin or end with an apostrophe.";
    }
    for (const auto& s : sheets_) {
        if (s.get() != &sheet && folded(s->name()) == folded(name)) {
            return "That sheet name is already taken. Try a different one.";
        }
    }
    return {};
}
