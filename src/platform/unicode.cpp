#include "platform/internal/unicode.h"

#include <locale.h>
#include <cwctype>

namespace qx {

char32_t Utf8Next(std::string_view s, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char b0 = byte(pos);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
    } else {
        ++pos;
        return 0xFFFD;
    }
    for (int i = 1; i <= extra; ++i) {
        if (pos + i >= s.size() || (byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    // Overlong forms and surrogates are not characters.
    static constexpr char32_t kMinForLength[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinForLength[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return 0xFFFD;
    }
    pos += extra + 1;
    return cp;
}

void Utf8Append(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::u32string Utf8ToUtf32(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t pos = 0; pos < s.size();) out.push_back(Utf8Next(s, pos));
    return out;
}

std::string Utf32ToUtf8(std::u32string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char32_t cp : s) Utf8Append(out, cp);
    return out;
}

std::size_t Utf8Length(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < s.size(); ++n) Utf8Next(s, pos);
    return n;
}

namespace {

// glibc's C.UTF-8 carries the full Unicode simple case mappings; one locale
// object for the process keeps case conversion independent of the user's
// own locale settings.
locale_t CaseLocale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l;
    }();
    return loc;
}

}  // namespace

char32_t UnicodeUpper(char32_t cp) {
    if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
    locale_t loc = CaseLocale();
    return loc ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), loc)) : cp;
}

char32_t UnicodeLower(char32_t cp) {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    locale_t loc = CaseLocale();
    return loc ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), loc)) : cp;
}

namespace {
template <typename Map>
std::string MapCase(std::string_view s, Map map) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t pos = 0; pos < s.size();) Utf8Append(out, map(Utf8Next(s, pos)));
    return out;
}
}  // namespace

std::string UpperCase(std::string_view s) {
    return MapCase(s, UnicodeUpper);
}
std::string LowerCase(std::string_view s) {
    return MapCase(s, UnicodeLower);
}

int CompareText(std::string_view a, std::string_view b) {
    std::size_t pa = 0, pb = 0;
    while (pa < a.size() && pb < b.size()) {
        const char32_t ca = UnicodeUpper(Utf8Next(a, pa));
        const char32_t cb = UnicodeUpper(Utf8Next(b, pb));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (pa < a.size()) return 1;
    if (pb < b.size()) return -1;
    return 0;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() == b.size() && a == b) return true;
    return CompareText(a, b) == 0;
}

}  // namespace qx
