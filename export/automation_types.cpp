#include "automation_types.h"

#include "wide_text.h"

namespace automation {

SafeArray::SafeArray(std::size_t rows, std::size_t columns)
    : rows_(rows), columns_(columns), elements_(rows * columns) {}

Status SafeArray::put_element(std::size_t row, std::size_t column, std::u16string_view text) {
    if (row >= rows_ || column >= columns_) return kDispBadIndex;
    elements_[row * columns_ + column].assign(text);
    return kOk;
}

const std::u16string& SafeArray::element(std::size_t row, std::size_t column) const {
    return elements_.at(row * columns_ + column);
}

Variant::Variant(const Variant& other)
    : vt_(other.vt_),
      number_(other.number_),
      text_(other.text_),
      dispatch_(other.dispatch_),
      array_(other.array_) {
    if (dispatch_ != nullptr) dispatch_->AddRef();
}

Variant::Variant(Variant&& other) noexcept
    : vt_(other.vt_),
      number_(other.number_),
      text_(std::move(other.text_)),
      dispatch_(other.dispatch_),
      array_(std::move(other.array_)) {
    other.vt_ = VT_EMPTY;
    other.number_ = 0;
    other.dispatch_ = nullptr;
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        Variant copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        clear();
        vt_ = other.vt_;
        number_ = other.number_;
        text_ = std::move(other.text_);
        dispatch_ = other.dispatch_;
        array_ = std::move(other.array_);
        other.vt_ = VT_EMPTY;
        other.number_ = 0;
        other.dispatch_ = nullptr;
    }
    return *this;
}

Variant::~Variant() { clear(); }

Variant Variant::I2(std::int16_t value) {
    Variant v;
    v.vt_ = VT_I2;
    v.number_ = value;
    return v;
}

Variant Variant::I4(std::int32_t value) {
    Variant v;
    v.vt_ = VT_I4;
    v.number_ = value;
    return v;
}

Variant Variant::Bool(bool value) {
    Variant v;
    v.vt_ = VT_BOOL;
    v.number_ = value ? kVariantTrue : kVariantFalse;
    return v;
}

Variant Variant::Bstr(std::u16string text) {
    Variant v;
    v.vt_ = VT_BSTR;
    v.text_ = std::move(text);
    return v;
}

Variant Variant::Text(std::string_view utf8) { return Bstr(utf8_to_utf16(utf8)); }

Variant Variant::Error(Status code) {
    Variant v;
    v.vt_ = VT_ERROR;
    v.number_ = code;
    return v;
}

Variant Variant::DispatchRef(Dispatch* object) {
    Variant v;
    v.vt_ = VT_DISPATCH;
    v.dispatch_ = object;
    if (object != nullptr) object->AddRef();
    return v;
}

Variant Variant::Array(SafeArray array) {
    Variant v;
    v.vt_ = VT_ARRAY | VT_BSTR;
    v.array_ = std::make_shared<const SafeArray>(std::move(array));
    return v;
}

Dispatch* Variant::detach_dispatch() {
    if (vt_ != VT_DISPATCH) return nullptr;
    Dispatch* out = dispatch_;
    dispatch_ = nullptr;
    vt_ = VT_EMPTY;
    return out;
}

void Variant::clear() {
    if (dispatch_ != nullptr) {
        Dispatch* held = dispatch_;
        dispatch_ = nullptr;
        held->Release();
    }
    vt_ = VT_EMPTY;
    number_ = 0;
    text_.clear();
    array_.reset();
}

bool is_omitted(const Variant& value) {
    return value.vt() == VT_ERROR && value.scode() == kDispParamNotFound;
}

const OptionalArgument g_optionalArgument;

std::uint32_t RefCountedDispatch::AddRef() { return references_.fetch_add(1) + 1; }

std::uint32_t RefCountedDispatch::Release() {
    const std::uint32_t left = references_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
}

}  // namespace automation
