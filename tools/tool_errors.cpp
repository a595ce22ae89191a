#include "tool_errors.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <map>

#include "batch_naming.h"

namespace tool {

namespace {

struct ConvertedTemplate {
    std::string rtfFile;
    std::string rtf;
};

std::map<std::string, ConvertedTemplate>& ConvertedTemplates() {
    static std::map<std::string, ConvertedTemplate> converted;
    return converted;
}

// The bounds of the paragraph around `offset`: from the control word that
// starts it (\pard, or the end of the one before: \par, \cell, \row,
// \sect) to the one that ends it.
std::pair<std::size_t, std::size_t> ParagraphBounds(std::string_view rtf, std::size_t offset) {
    std::size_t from = 0, to = rtf.size();
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] != '\\') continue;
        std::size_t end = i + 1;
        while (end < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[end])) != 0) ++end;
        const std::string_view word = rtf.substr(i + 1, end - i - 1);
        const bool ends = word == "par" || word == "cell" || word == "row" || word == "sect";
        if (i < offset && (ends || word == "pard")) from = end;
        if (i > offset && ends) {
            to = i;
            break;
        }
        i = word.empty() ? i + 1 : end - 1;  // a control symbol's character is not a word
    }
    return {from, to};
}

// `text` with its runs of blanks made one space, cut to a line's length.
std::string OneLine(const std::string& text) {
    constexpr std::size_t kMost = 200;
    std::string line;
    for (const char c : text) {
        const bool blank = std::isspace(static_cast<unsigned char>(c)) != 0;
        if (blank && (line.empty() || line.back() == ' ')) continue;
        line += blank ? ' ' : c;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (line.size() <= kMost) return line;
    std::size_t cut = kMost;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    return line.substr(0, cut) + "...";
}

}  // namespace

void NoteConvertedTemplate(const std::string& templateFile, const std::string& rtfFile) {
    std::ifstream in(rtfFile, std::ios::binary);
    ConvertedTemplates()[templateFile] = {
        rtfFile, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
}

std::string ParagraphNote(const std::string& templateFile, const qx::TQxErrorPos& pos) {
    const auto it = ConvertedTemplates().find(templateFile);
    if (it == ConvertedTemplates().end()) return {};
    const std::string& rtf = it->second.rtf;
    const auto [from, to] = ParagraphBounds(rtf, static_cast<std::size_t>(pos.offset));
    // LibreOffice writes what is not ASCII as \uN with a Windows-1252 fallback.
    const std::string text =
        OneLine(batch::PlainTextOfRtf(std::string_view(rtf).substr(from, to - from), 1252));
    return "in the paragraph \"" + text + "\" (" + std::to_string(pos.line) + ":" +
           std::to_string(pos.column) + " of " + it->second.rtfFile + ")";
}

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
    const std::string note = ParagraphNote(templateFile, *pos);
    if (!note.empty()) os << "    " << EscapeControls(note) << '\n';
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
