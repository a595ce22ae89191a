// The script of the text at a field: a reader decodes a font's \'hh bytes
// through the font's character set, so a value that stands in a font of
// another script than the run's code page is written for that font.
#include <string_view>

#include "platform/internal/codepage.h"
#include "qxbasereport/base_rtf_report.h"
#include "qxbasereport/internal/code_pages.h"
#include "qxbasereport/internal/font_tracker.h"
#include "qxbasereport/internal/rtf_syntax.h"

namespace qx {

namespace {

// The number after `word` in `entry` (searched from the start), or -1.
int NumberAfter(const std::string& entry, std::string_view word) {
    std::size_t pos = entry.find(word);
    if (pos == std::string::npos) return -1;
    pos += word.size();
    const std::size_t digits = pos;
    const std::int64_t value = rtf::ReadNumber(entry.data(), pos, entry.size());
    return pos > digits ? static_cast<int>(value) : -1;
}

}  // namespace

void TQxBaseRTFReport::NoteFontCharsets() {
    FFontCharsets.clear();
    for (int i = 0; i < FRTFFont->Count(); ++i) {
        const std::string& entry = FRTFFont->Strings(i);
        // The entry's own number: the \fN word that opens it.
        const int number = entry.rfind("{\\f", 0) == 0 ? NumberAfter(entry, "{\\f") : -1;
        if (number >= 0) FFontCharsets.emplace_back(number, NumberAfter(entry, "\\fcharset"));
    }
}

int TQxBaseRTFReport::FontCodePageAt(std::int32_t pnt) {
    const int font = FFontTracker->FontAt(FPFile, Flent, pnt);
    for (const auto& [number, charset] : FFontCharsets)
        if (number == font && charset >= 0 && charset != rtf::kDefaultCharset)
            return rtf::CodePageOfCharset(charset);
    // No set, the default one, or no font: readers take the code page the
    // document declares.
    return FDocCodePage;
}

int TQxBaseRTFReport::FieldCodePage(std::int32_t pnt) {
    const int codePage = FontCodePageAt(pnt);
    return codePage == OutputCodePage() ? 0 : codePage;
}

const TCodePageCodec& TQxBaseRTFReport::FontCodec(int codePage) {
    for (const auto& codec : FFontCodecs)
        if (codec->CodePage() == codePage) return *codec;
    FFontCodecs.push_back(TCodePageCodec::Shared(codePage));
    return *FFontCodecs.back();
}

}  // namespace qx
