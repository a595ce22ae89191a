// The entry points of the fragment merger: the report's tables go into the
// merge tables, the fragment is merged, and the merged tables become the
// report's tables.
#include <algorithm>

#include "platform/internal/codepage.h"
#include "qxbasereport/base_rtf_report.h"
#include "qxrtfstream/internal/qxrtfstream.h"

namespace qx {

namespace {

// A report entry that the merge tables cannot read is kept as it was: it is
// still the report's font or style, and text may refer to it.
struct TKeptEntries {
    std::vector<std::string> fonts;
    std::vector<std::string> styles;
};

TKeptEntries LoadReportTables(TQxBaseRTFReport& report, TQxStream& merger) {
    TKeptEntries kept;
    if (report.RTFFont() != nullptr) kept.fonts = merger.FontTable().AddFromList(*report.RTFFont());
    if (report.RTFColor() != nullptr)
        for (int i = 0; i < report.RTFColor()->Count(); ++i)
            merger.ColorTable().Add(report.RTFColor()->Strings(i));
    if (report.RTFStyle() != nullptr)
        for (int i = 0; i < report.RTFStyle()->Count(); ++i)
            if (!merger.StyleTable().Add(report.RTFStyle()->Strings(i)))
                kept.styles.push_back(report.RTFStyle()->Strings(i));
    return kept;
}

template <class Table>
void Refill(TStringList* list, const std::vector<std::string>& kept, const Table& table) {
    if (list == nullptr) return;
    list->Clear();
    for (const std::string& s : kept) list->Add(s);
    for (int i = 0; i < table.Count(); ++i) list->Add(table.GetString(i));
}

// The fragment's last "\par" becomes carriage returns, one per byte, so that
// the output keeps its length and the text after the field its paragraph.
void BlankFinalPar(TStream& dest, const TQxStream& merger) {
    if (merger.LastParPosition() < 0) return;
    const std::int64_t end = dest.Position();
    const std::string blanks(4 + merger.LastParDelimeter().size(), '\r');
    dest.SetPosition(merger.LastParPosition());
    dest.WriteBuffer(blanks.data(), static_cast<std::int64_t>(blanks.size()));
    dest.SetPosition(end);
}

void Insert(TQxBaseRTFReport& report, TStream& dest, TStream& source, bool dropFinalPar) {
    source.SetPosition(0);
    TQxStream merger(report, source);
    merger.SetOutStream(&dest);
    const TKeptEntries kept = LoadReportTables(report, merger);
    merger.Process();
    Refill(report.RTFFont(), kept.fonts, merger.FontTable());
    Refill(report.RTFColor(), {}, merger.ColorTable());
    Refill(report.RTFStyle(), kept.styles, merger.StyleTable());
    if (dropFinalPar) BlankFinalPar(dest, merger);
}

std::string EncodedText(const TQxBaseRTFReport& report, const std::string& source) {
    // RTF is nearly always 7-bit, which every code page writes as it is.
    if (std::all_of(source.begin(), source.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return source;
    return TCodePageCodec::Shared(report.OutputCodePage())->EncodeRtf(source);
}

}  // namespace

void InsertRtfMemo(TQxBaseRTFReport& report, TStream& dest, const std::string& source) {
    TStringStream bytes(EncodedText(report, source));
    Insert(report, dest, bytes, false);
}

void InsertRtfMemoPar(TQxBaseRTFReport& report, TStream& dest, const std::string& source) {
    TStringStream bytes(EncodedText(report, source));
    Insert(report, dest, bytes, true);
}

void InsertRtfMemoStream(TQxBaseRTFReport& report, TStream& dest, TStream& source) {
    Insert(report, dest, source, false);
}

void InsertRtfMemoStreamPar(TQxBaseRTFReport& report, TStream& dest, TStream& source) {
    Insert(report, dest, source, true);
}

}  // namespace qx
