#include "tool_errors.h"

namespace tool {

std::string EscapeControls(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto escaped = [](unsigned char c) {
        return std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c1) {
            out += escaped(static_cast<unsigned char>(text[++i]));
        } else if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
            out += escaped(c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string PositionPrefix(const std::string& templateFile, const qx::TQxErrorPos& pos) {
    return templateFile + ":" + std::to_string(pos.line) + ":" + std::to_string(pos.column) + ": ";
}

void PrintError(std::ostream& os, const std::string& message,
                const std::optional<qx::TQxErrorPos>& pos, const std::string& templateFile) {
    if (!pos) {
        os << "qxrtf: " << EscapeControls(message) << '\n';
        return;
    }
    os << EscapeControls(PositionPrefix(templateFile, *pos) + message);
    if (!pos->records.empty())
        os << " (" << EscapeControls(qx::RecordPlacesText(pos->records)) << ')';
    os << '\n';
    os << "    \\" << EscapeControls(pos->fieldText) << "\\\n";
}

void PrintWarning(std::ostream& os, const qx::TQxWarning& warning,
                  const std::string& templateFile) {
    if (warning.pos) {
        PrintError(os, "warning: " + warning.message, warning.pos, templateFile);
        return;
    }
    os << EscapeControls(warning.source.empty() ? std::string("qxrtf") : warning.source)
       << ": warning: " << EscapeControls(warning.message) << '\n';
}

}  // namespace tool
