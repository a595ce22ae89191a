// Quote marks of field text: straight quotes close themselves, the
// typographic pairs close with their closing form.
#include "platform/internal/unicode.h"
#include "qxbasereport/base_rtf_report.h"

namespace qx {

bool TQxBaseRTFReport::LeftQuote(char32_t c) const {
    switch (c) {
        case U'"':
        case U'\'':
        case U'`':
        case U'~':
        case 0x00AB:
        case 0x00BB:
        case 0x201C:
        case 0x201D:
            return true;
        default:
            return false;
    }
}

bool TQxBaseRTFReport::RightQuote(char32_t open, char32_t c) const {
    switch (open) {
        case U'"':
        case U'\'':
        case U'`':
        case U'~':
            return c == open;
        case 0x00AB:
        case 0x00BB:
            return c == 0x00BB;
        case 0x201C:
        case 0x201D:
            return c == 0x201D;
        default:
            return false;
    }
}

// A pair of quotes with nothing between them is the empty string.
bool TQxBaseRTFReport::IsQuoted(const std::string& s) const {
    const std::u32string chars = Utf8ToUtf32(s);
    if (chars.size() < 2) return false;
    const char32_t first = chars.front();
    const char32_t last = chars.back();
    if (!LeftQuote(first) || !RightQuote(first, last)) return false;
    return chars.find(last, 1) == chars.size() - 1;
}

}  // namespace qx
