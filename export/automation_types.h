// The automation types that every export speaks: a VARIANT-like value, a
// two-dimensional safe array of texts and an IDispatch-like interface with
// reference counting. They mirror OLE Automation closely enough that a
// Windows build can put the real COM server behind `Dispatch` by converting
// these values at the boundary; on Linux the in-process spreadsheet engine
// answers them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace automation {

// Status codes, with the values of their OLE Automation counterparts so
// that a status read in a trace means the same on every platform.
using Status = std::int32_t;
inline constexpr Status kOk = 0;
inline constexpr Status kNoInterface = static_cast<Status>(0x80004002u);
inline constexpr Status kFail = static_cast<Status>(0x80004005u);
inline constexpr Status kOutOfMemory = static_cast<Status>(0x8007000Eu);
inline constexpr Status kInvalidArg = static_cast<Status>(0x80070057u);
inline constexpr Status kClassNotRegistered = static_cast<Status>(0x80040154u);
inline constexpr Status kDispMemberNotFound = static_cast<Status>(0x80020003u);
inline constexpr Status kDispParamNotFound = static_cast<Status>(0x80020004u);
inline constexpr Status kDispTypeMismatch = static_cast<Status>(0x80020005u);
inline constexpr Status kDispNoNamedArgs = static_cast<Status>(0x80020007u);
inline constexpr Status kDispBadVarType = static_cast<Status>(0x80020008u);
inline constexpr Status kDispException = static_cast<Status>(0x80020009u);
inline constexpr Status kDispOverflow = static_cast<Status>(0x8002000Au);
inline constexpr Status kDispBadIndex = static_cast<Status>(0x8002000Bu);
inline constexpr Status kDispBadParamCount = static_cast<Status>(0x8002000Eu);
inline constexpr Status kDispParamNotOptional = static_cast<Status>(0x8002000Fu);

using DispId = std::int32_t;
// The name of the one named argument a property put carries: the new value.
inline constexpr DispId kDispIdPropertyPut = -3;

// Variant types (the subset the exports use), with their OLE numbers.
enum VarType : std::uint16_t {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_ARRAY = 0x2000,
};
inline constexpr std::int16_t kVariantTrue = -1;
inline constexpr std::int16_t kVariantFalse = 0;

enum class InvokeKind : std::uint16_t {
    Method = 1,        // DISPATCH_METHOD
    PropertyGet = 2,   // DISPATCH_PROPERTYGET
    PropertyPut = 4,   // DISPATCH_PROPERTYPUT
};

class Dispatch;

// A two-dimensional array of texts, both lower bounds 0, first index the
// row. An element never set is a null BSTR, which reads as an empty text.
class SafeArray {
public:
    SafeArray(std::size_t rows, std::size_t columns);
    std::size_t rows() const { return rows_; }
    std::size_t columns() const { return columns_; }
    // Stores its own copy of the text; kDispBadIndex outside the bounds.
    Status put_element(std::size_t row, std::size_t column, std::u16string_view text);
    const std::u16string& element(std::size_t row, std::size_t column) const;

private:
    std::size_t rows_;
    std::size_t columns_;
    std::vector<std::u16string> elements_;
};

// A VARIANT-like value. Copying a VT_DISPATCH value adds a reference,
// clearing or destroying it releases one (VariantCopy / VariantClear).
class Variant {
public:
    Variant() = default;  // VT_EMPTY
    Variant(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;
    ~Variant();

    static Variant I2(std::int16_t value);
    static Variant I4(std::int32_t value);
    static Variant Bool(bool value);                // VARIANT_TRUE is -1
    static Variant Bstr(std::u16string text);
    static Variant Text(std::string_view utf8);     // a BSTR from UTF-8 text
    static Variant Error(Status code);
    static Variant DispatchRef(Dispatch* object);   // adds a reference
    static Variant Array(SafeArray array);          // VT_ARRAY | VT_BSTR

    std::uint16_t vt() const { return vt_; }
    std::int16_t i2() const { return static_cast<std::int16_t>(number_); }
    std::int32_t i4() const { return number_; }
    bool boolean() const { return number_ != 0; }
    Status scode() const { return number_; }
    const std::u16string& bstr() const { return text_; }
    Dispatch* dispatch() const { return dispatch_; }
    const SafeArray* array() const { return array_.get(); }

    // Moves the VT_DISPATCH reference out to the caller; the value becomes
    // VT_EMPTY without a release. nullptr for any other type.
    Dispatch* detach_dispatch();
    void clear();

private:
    std::uint16_t vt_ = VT_EMPTY;
    std::int32_t number_ = 0;
    std::u16string text_;
    Dispatch* dispatch_ = nullptr;
    std::shared_ptr<const SafeArray> array_;  // immutable once in a value
};

// An omitted optional argument: VT_ERROR with DISP_E_PARAMNOTFOUND. A
// server reads this, and only this, as "argument not given".
class OptionalArgument : public Variant {
public:
    OptionalArgument() : Variant(Variant::Error(kDispParamNotFound)) {}
};
bool is_omitted(const Variant& value);

// The program-wide instance; each export also builds a local one.
extern const OptionalArgument g_optionalArgument;

// Arguments of one call, the member's first parameter first. A property
// put carries its value as the one named argument kDispIdPropertyPut.
struct DispParams {
    std::vector<Variant> args;
    std::vector<std::pair<DispId, Variant>> named;
};

// What a server tells about a failure it reports as kDispException.
struct ExcepInfo {
    Status scode = 0;
    std::string source;
    std::string description;
    std::string helpFile;
    std::uint32_t helpContext = 0;
};

// The IDispatch-like interface. Objects are born with one reference, which
// belongs to whoever created or received them; Release of the last one
// destroys the object.
class Dispatch {
public:
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;
    // `result` and `excepInfo` may be null when the caller does not want
    // them. Returns kOk, kDispException with `excepInfo` filled, or another
    // failure status.
    virtual Status Invoke(DispId member, InvokeKind kind, const DispParams& params, Variant* result,
                          ExcepInfo* excepInfo) = 0;

protected:
    virtual ~Dispatch() = default;
};

// Reference counting for the objects of in-process servers.
class RefCountedDispatch : public Dispatch {
public:
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

private:
    std::atomic<std::uint32_t> references_{1};
};

}  // namespace automation
