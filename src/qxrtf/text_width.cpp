// Reads the page, section and table-row words of a template up to a place,
// to tell the width the text has there.
#include "qxrtf/internal/text_width.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

namespace qx {

namespace {

// A control word and its numeric parameter.
struct Word {
    std::string_view name;
    long long value = 0;
    bool hasValue = false;
};

// Control words one at a time; other text, symbols and \binN data are
// stepped over.
class WordReader {
  public:
    WordReader(std::string_view rtf, std::size_t from) : FRtf(rtf), FAt(from) {}
    std::size_t At() const { return FAt; }
    // The next word starting before `end`, or none.
    std::optional<Word> Next(std::size_t end) {
        end = std::min(end, FRtf.size());
        while (FAt < end) {
            const std::size_t slash = FRtf.find('\\', FAt);
            if (slash == std::string_view::npos || slash >= end) break;
            FAt = slash + 1;
            if (FAt >= FRtf.size() || !std::isalpha(static_cast<unsigned char>(FRtf[FAt]))) {
                ++FAt;  // a symbol such as \\ or \{
                continue;
            }
            return ReadWord();
        }
        FAt = end;
        return std::nullopt;
    }

  private:
    Word ReadWord() {
        Word w;
        const std::size_t start = FAt;
        while (FAt < FRtf.size() && std::isalpha(static_cast<unsigned char>(FRtf[FAt]))) ++FAt;
        w.name = FRtf.substr(start, FAt - start);
        const bool negative = FAt < FRtf.size() && FRtf[FAt] == '-';
        std::size_t digits = FAt + (negative ? 1 : 0);
        while (digits < FRtf.size() && std::isdigit(static_cast<unsigned char>(FRtf[digits])) &&
               w.value < 1'000'000'000) {
            w.value = w.value * 10 + (FRtf[digits] - '0');
            w.hasValue = true;
            ++digits;
        }
        if (w.hasValue) FAt = digits;
        if (negative) w.value = -w.value;
        if (FAt < FRtf.size() && FRtf[FAt] == ' ') ++FAt;
        // The data of \binN is bytes, not words.
        if (w.name == "bin" && w.value > 0)
            FAt = std::min(FRtf.size(), FAt + static_cast<std::size_t>(w.value));
        return w;
    }

    std::string_view FRtf;
    std::size_t FAt;
};

// A row's cell boundaries and the space kept inside each cell.
struct RowLayout {
    std::vector<long long> cellRights;
    long long left = 0, gap = 0, padLeft = -1, padRight = -1;

    void Clear() { *this = RowLayout{}; }
    // Takes a row-definition word; false when it is none.
    bool Take(const Word& w) {
        if (w.name == "trowd")
            Clear();
        else if (w.name == "cellx")
            cellRights.push_back(w.value);
        else if (w.name == "trleft")
            left = w.value;
        else if (w.name == "trgaph")
            gap = w.value;
        else if (w.name == "trpaddl")
            padLeft = w.value;
        else if (w.name == "trpaddr")
            padRight = w.value;
        else
            return false;
        return true;
    }
    long long CellWidth(std::size_t cell) const {
        const long long from = cell == 0 ? left : cellRights[cell - 1];
        // Newer writers give the padding; older ones a half gap each side.
        const long long padding = padLeft >= 0 || padRight >= 0
                                      ? std::max(padLeft, 0LL) + std::max(padRight, 0LL)
                                      : 2 * gap;
        return cellRights[cell] - from - padding;
    }
};

// The page of the document and of the current section.
struct PageLayout {
    // The reader's defaults where the document gives none: Letter with
    // 1.25-inch side margins.
    long long paperWidth = 12240, marginLeft = 1800, marginRight = 1800;
    std::optional<long long> sectionWidth, sectionLeft, sectionRight;

    bool Take(const Word& w) {
        if (w.name == "paperw")
            paperWidth = w.value;
        else if (w.name == "margl")
            marginLeft = w.value;
        else if (w.name == "margr")
            marginRight = w.value;
        else if (w.name == "sectd")
            sectionWidth = sectionLeft = sectionRight = std::nullopt;
        else if (w.name == "pgwsxn")
            sectionWidth = w.value;
        else if (w.name == "marglsxn")
            sectionLeft = w.value;
        else if (w.name == "margrsxn")
            sectionRight = w.value;
        else
            return false;
        return true;
    }
    long long TextWidth() const {
        return sectionWidth.value_or(paperWidth) - sectionLeft.value_or(marginLeft) -
               sectionRight.value_or(marginRight);
    }
};

int AsWidth(long long twips) {
    return static_cast<int>(std::clamp<long long>(twips, 0, 1'000'000));
}

}  // namespace

int TextWidthAt(std::string_view rtf, std::size_t offset) {
    PageLayout page;
    RowLayout row;
    bool inTable = false;
    std::size_t cell = 0;
    WordReader reader(rtf, 0);
    while (const std::optional<Word> w = reader.Next(offset)) {
        if (page.Take(*w) || row.Take(*w)) continue;
        if (w->name == "pard")
            inTable = false;
        else if (w->name == "intbl")
            inTable = true;
        else if (w->name == "cell")
            ++cell;
        else if (w->name == "row") {
            cell = 0;
            row.Clear();
        }
    }
    if (!inTable) return AsWidth(page.TextWidth());
    // Some writers define a row after its cells, just before \row.
    if (row.cellRights.empty()) {
        WordReader ahead(rtf, offset);
        while (const std::optional<Word> w = ahead.Next(rtf.size())) {
            if (w->name == "row") break;
            row.Take(*w);
        }
    }
    if (cell >= row.cellRights.size()) return AsWidth(page.TextWidth());
    return AsWidth(row.CellWidth(cell));
}

}  // namespace qx
