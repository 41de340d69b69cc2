#include "cell_reference.h"

#include <cctype>

namespace {

// One side of a reference: a cell, a column only or a row only.
struct Part {
    int column = 0;  // 0: none given
    int row = 0;     // 0: none given
};

std::optional<Part> parse_part(std::string_view text) {
    Part part;
    std::size_t i = 0;
    if (i < text.size() && text[i] == '$') ++i;
    const std::size_t lettersStart = i;
    long column = 0;
    while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) {
        column = column * 26 + (std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 1);
        if (i - lettersStart >= 3 || column > kMaxColumns) return std::nullopt;
        ++i;
    }
    const bool hasColumn = i > lettersStart;
    if (hasColumn && i < text.size() && text[i] == '$') ++i;
    const std::size_t digitsStart = i;
    long row = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        row = row * 10 + (text[i] - '0');
        if (row > kMaxRows) return std::nullopt;
        ++i;
    }
    const bool hasRow = i > digitsStart;
    if (i != text.size() || (!hasColumn && !hasRow)) return std::nullopt;
    if (hasRow && row < 1) return std::nullopt;
    part.column = hasColumn ? static_cast<int>(column) : 0;
    part.row = hasRow ? static_cast<int>(row) : 0;
    return part;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<CellRect> parse_reference(std::string_view text) {
    text = trimmed(text);
    const std::size_t colon = text.find(':');
    const auto first = parse_part(colon == std::string_view::npos ? text : text.substr(0, colon));
    if (!first) return std::nullopt;
    if (colon == std::string_view::npos) {
        if (first->row == 0 || first->column == 0) return std::nullopt;  // "A" or "3" alone
        return CellRect{first->row, first->column, first->row, first->column};
    }
    const auto second = parse_part(text.substr(colon + 1));
    if (!second) return std::nullopt;
    const bool firstCell = first->row != 0 && first->column != 0;
    const bool secondCell = second->row != 0 && second->column != 0;
    CellRect rect;
    if (firstCell && secondCell) {
        rect = {first->row, first->column, second->row, second->column};
    } else if (first->row == 0 && second->row == 0) {  // columns "A:C"
        rect = {1, first->column, kMaxRows, second->column};
    } else if (first->column == 0 && second->column == 0) {  // rows "1:3"
        rect = {first->row, 1, second->row, kMaxColumns};
    } else {
        return std::nullopt;
    }
    if (rect.top > rect.bottom) std::swap(rect.top, rect.bottom);
    if (rect.left > rect.right) std::swap(rect.left, rect.right);
    return rect;
}

std::string column_letters(int column) {
    std::string letters;
    while (column > 0) {
        const int digit = (column - 1) % 26;
        letters.insert(letters.begin(), static_cast<char>('A' + digit));
        column = (column - 1) / 26;
    }
    return letters;
}

std::string format_reference(const CellRect& rect) {
    std::string text = column_letters(rect.left) + std::to_string(rect.top);
    if (rect.rows() > 1 || rect.columns() > 1) {
        text += ":" + column_letters(rect.right) + std::to_string(rect.bottom);
    }
    return text;
}
