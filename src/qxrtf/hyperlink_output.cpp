// Hyperlinks in the output: "target|shown text" becomes an RTF HYPERLINK
// field whose result is the shown text (the target when none is given).
#include "qxrtf/qxrtf.h"

namespace qx {

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
    wr("{\\field{\\*\\fldinst {\\lang");
    wr(FLangText);
    wr(" HYPERLINK \"");
    wr(txt2rtf(target));
    wr("\" }}{\\fldrslt \\lang");
    wr(FLangText);
    wr(" ");
    wr(txt2rtf(shown));
    wr("}}");
    wr(markup);
}

}  // namespace qx
