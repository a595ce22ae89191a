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
        case 0x2018:
        case 0x2019:
        case 0x201A:
            return true;
        default:
            return false;
    }
}

// The single quotes close one another the way writers mix them: 'x',
// ‘x’, ’x’ (Swedish) and ‚x‘ (German), each also closed by a
// straight apostrophe, since Word's \lquote and \rquote read as one.
bool TQxBaseRTFReport::RightQuote(char32_t open, char32_t c) const {
    switch (open) {
        case U'"':
        case U'`':
        case U'~':
            return c == open;
        case U'\'':
        case 0x2018:
        case 0x2019:
            return c == U'\'' || c == 0x2019;
        case 0x201A:
            return c == U'\'' || c == 0x2018;
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
