// The encoding as the locale's name gives it (LC_ALL, LC_CTYPE, LANG, as
// setlocale() would look, without setting the program's own locale), the
// conversion by iconv.
#include "locale_text.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

std::string locale_encoding() {
    std::string name;
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            name = value;
            break;
        }
    }
    // language_TERRITORY.ENCODING@modifier
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos) return {};
    return name.substr(dot + 1, name.find('@', dot) - dot - 1);
}

std::optional<std::string> locale_text_as_utf8(const std::string& bytes) {
    std::string codeset = locale_encoding();
    std::string upper = codeset;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (codeset.empty() || upper == "UTF-8" || upper == "UTF8") return std::nullopt;
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
