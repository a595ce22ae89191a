// Following the font of the text through a template, forward only, so that
// asking for the font at every field costs one walk over the template.
#include "qxbasereport/internal/font_tracker.h"

#include <string_view>

#include "qxbasereport/internal/rtf_syntax.h"

namespace qx::rtf {

void TFontTracker::Reset() {
    FPos = 0;
    FFont = -1;
    FDefault = -1;
    FStack.clear();
}

int TFontTracker::FontAt(const std::uint8_t* data, std::int32_t length, std::int32_t pnt) {
    const std::int32_t to = pnt - 1 < length ? pnt - 1 : length;
    while (FPos < to) {
        const std::uint8_t b = data[FPos];
        if (b == '{') {
            FStack.push_back(FFont);
            ++FPos;
        } else if (b == '}') {
            if (!FStack.empty()) {
                FFont = FStack.back();
                FStack.pop_back();
            }
            ++FPos;
        } else if (b == '\\') {
            ControlWord(data, length);
        } else {
            ++FPos;
        }
    }
    return FFont >= 0 ? FFont : FDefault;
}

void TFontTracker::ControlWord(const std::uint8_t* data, std::int32_t length) {
    std::int32_t pos = FPos + 1;
    if (pos >= length || !IsAsciiLetter(data[pos])) {
        // A control symbol: \'hh, an escaped brace or backslash, \~ ...
        FPos = pos < length && data[pos] == '\'' ? pos + 3 : pos + 1;
        return;
    }
    const std::int32_t wordStart = pos;
    while (pos < length && IsAsciiLetter(data[pos])) ++pos;
    const std::string_view word(reinterpret_cast<const char*>(data) + wordStart,
                                static_cast<std::size_t>(pos - wordStart));
    if (pos < length && data[pos] == '-') ++pos;
    std::size_t at = static_cast<std::size_t>(pos);
    const std::int64_t number = ReadNumber(data, at, static_cast<std::size_t>(length));
    const bool hasNumber = at > static_cast<std::size_t>(pos);
    pos = static_cast<std::int32_t>(at);
    if (pos < length && data[pos] == ' ') ++pos;
    if (word == "f" && hasNumber) {
        FFont = static_cast<int>(number);
    } else if (word == "plain") {
        FFont = -1;
    } else if (word == "deff" && hasNumber) {
        FDefault = static_cast<int>(number);
    } else if (word == "bin" && hasNumber) {
        // Binary data holds any byte, braces and backslashes included.
        pos += static_cast<std::int32_t>(number < length - pos ? number : length - pos);
    }
    FPos = pos;
}

}  // namespace qx::rtf
