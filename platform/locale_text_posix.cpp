// The user's locale read with newlocale() (the program's own stays "C"),
// the conversion by iconv.
#include "locale_text.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <vector>

std::string locale_encoding() {
    const locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) return "ANSI_X3.4-1968";   // a locale not installed: the C one
    const std::string codeset = nl_langinfo_l(CODESET, user);
    freelocale(user);
    return codeset;
}

std::optional<std::string> locale_text_as_utf8(const std::string& bytes) {
    const std::string codeset = locale_encoding();
    if (codeset == "UTF-8" || codeset == "ANSI_X3.4-1968" || codeset.empty()) return std::nullopt;
    const iconv_t cd = iconv_open("UTF-8", codeset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string in = bytes;
    std::vector<char> out(in.size() * 4 + 4);
    char* from = in.data();
    std::size_t fromLeft = in.size();
    char* to = out.data();
    std::size_t toLeft = out.size();
    const std::size_t converted = iconv(cd, &from, &fromLeft, &to, &toLeft);
    iconv_close(cd);
    if (converted == static_cast<std::size_t>(-1) || fromLeft != 0) return std::nullopt;
    return std::string(out.data(), out.size() - toLeft);
}
