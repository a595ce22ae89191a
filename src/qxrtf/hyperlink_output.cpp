// Hyperlinks in the output: "target|shown text" becomes an RTF HYPERLINK
// field whose result is the shown text (the target when none is given).
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

// The target as it may stand between the field's quotes: a quote would end
// it and a backslash may start a switch or escape the closing quote, so both
// are percent-encoded, as are control characters, which have no place in a
// link and would become paragraph marks in the field's instruction.
std::string QuotableTarget(const std::string& target) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(target.size());
    for (const char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\' || byte < 0x20 || byte == 0x7F) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

void TQxRTF::WriteHyperlink(const std::string& value, const std::string& markup) {
    const auto bar = value.find('|');
    std::string target = value, shown;
    if (bar == 0) {
        // A value that begins with the bar has no target, and shows nothing.
        target.clear();
    } else if (bar != std::string::npos) {
        target = value.substr(0, bar);
        shown = value.substr(bar + 1);
    }
    if (shown.empty()) shown = target;
    // The language, when the application sets one, stays inside the
    // field's groups.
    const std::string lang = FLang != 0 ? "\\lang" + FLangText + " " : std::string();
    wr("{\\field{\\*\\fldinst {" + lang + "HYPERLINK \"");
    wr(txt2rtf(QuotableTarget(target)));
    wr("\" }}{\\fldrslt " + lang);
    wr(txt2rtf(shown));
    wr("}}");
    wr(markup);
}

}  // namespace qx
