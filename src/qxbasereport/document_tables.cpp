// The document tables: kept on the report during a run and written into the
// output last, each where the template had it, so that fonts and colours
// added while writing pictures and fragments are included.
#include "platform/internal/codepage.h"
#include "qxbasereport/base_rtf_report.h"
#include "qxbasereport/internal/codes.h"
#include "qxbasereport/internal/font_tracker.h"

namespace qx {

void TQxBaseRTFReport::CmSaveFontTable() {
    CmSaveEmptyItem(CmKind::FontTable);
}
void TQxBaseRTFReport::CmSaveColorTable() {
    CmSaveEmptyItem(CmKind::ColorTable);
}
void TQxBaseRTFReport::CmSaveStyleSheet() {
    CmSaveEmptyItem(CmKind::StyleSheet);
}
void TQxBaseRTFReport::CmSaveDocInfo() {
    CmSaveEmptyItem(CmKind::DocInfo);
}

namespace {
// The fixed 16-colour palette that picture borders refer to.
constexpr std::uint8_t kPalette[16][3] = {
    {0, 0, 0},     {0, 0, 255},     {0, 255, 255},   {0, 255, 0},     {255, 0, 255}, {255, 0, 0},
    {255, 255, 0}, {255, 255, 255}, {0, 0, 128},     {0, 128, 128},   {0, 128, 0},   {128, 0, 128},
    {128, 0, 0},   {128, 128, 0},   {128, 128, 128}, {192, 192, 192},
};
}  // namespace

int TQxColorStringList::UseColor(const std::string& s) {
    const int index = IndexOf(s);
    if (index >= 0) return index;
    if (Count() == 0) Add(";");
    return Add(s);
}

TQxBaseRTFReport::TQxBaseRTFReport(TComponent* owner)
    : TQxBaseReport(owner), FFontTracker(std::make_unique<rtf::TFontTracker>()) {
    SetOutFile("outfile.doc");
    FColorCount = 16;
    FColorTable.reserve(16);
    for (const auto& rgb : kPalette) FColorTable.push_back(TQxColor{rgb[0], rgb[1], rgb[2]});
}

TQxBaseRTFReport::~TQxBaseRTFReport() {
    FreeDocumentLists();
}

void TQxBaseRTFReport::CreateDocumentLists() {
    FRTFFont = std::make_unique<TQxFontStringList>();
    FRTFColor = std::make_unique<TQxColorStringList>();
    FRTFStyle = std::make_unique<TStringList>();
    FRTFDocInfo = std::make_unique<TStringList>();
}

void TQxBaseRTFReport::FreeDocumentLists() {
    FRTFFont.reset();
    FRTFColor.reset();
    FRTFStyle.reset();
    FRTFDocInfo.reset();
    FIsFontTable = FIsColorTable = FIsStyle = FIsDocInfo = false;
}

void TQxBaseRTFReport::SaveToOutTable(std::int32_t id) {
    TQxOutTabRec rec;
    rec.id = id;
    if (!FDirectOutput) {
        rec.n1 = FOutTab.empty() ? 0 : FOutTab.back().n2;
        rec.n2 = FTmpStream->Position();
        FOutTab.push_back(std::move(rec));
        return;
    }
    rec.n1 = FOutTab.empty() ? 0 : FOutTab.back().n2 + std::ssize(FOutTab.back().written);
    rec.n2 = FOutf->Position();
    rec.written = DocumentTableText(id);
    if (!rec.written.empty()) {
        CountOutput(std::ssize(rec.written));
        FOutf->WriteBuffer(rec.written.data(), std::ssize(rec.written));
    }
    FOutTab.push_back(std::move(rec));
}

namespace {
void WriteGroup(const char* opening, const TStringList* entries, std::string& out) {
    out += opening;
    if (entries != nullptr)
        for (int i = 0; i < entries->Count(); ++i) out += entries->Strings(i);
    out += '}';
}
}  // namespace

void TQxBaseRTFReport::OutFontTable() {
    std::string out;
    WriteGroup("{\\fonttbl", FRTFFont.get(), out);
    // RTF expects the colour table right after the fonts; a template without
    // one gets it here as soon as something needs a colour.
    if (!FIsColorTable && FRTFColor && FRTFColor->Count() > 0)
        WriteGroup("{\\colortbl", FRTFColor.get(), out);
    wr(out);
}

void TQxBaseRTFReport::OutColorTable() {
    std::string out;
    WriteGroup("{\\colortbl", FRTFColor.get(), out);
    wr(out);
}

void TQxBaseRTFReport::OutStyle() {
    std::string out;
    WriteGroup("{\\stylesheet", FRTFStyle.get(), out);
    wr(out);
}

void TQxBaseRTFReport::OutDocInfo() {
    // The template's own metadata (title, author, dates) is kept.
    std::string out;
    WriteGroup("{\\info", FRTFDocInfo.get(), out);
    wr(out);
}

void TQxBaseRTFReport::OutRaw() {
    std::string s;
    CmReadRawItem(s);
    wr(s);
}

void TQxBaseRTFReport::WriteDocumentTable(std::int32_t id) {
    switch (id) {
        case CmKind::FontTable:
            OutFontTable();
            break;
        case CmKind::ColorTable:
            OutColorTable();
            break;
        case CmKind::StyleSheet:
            OutStyle();
            break;
        case CmKind::DocInfo:
            OutDocInfo();
            break;
        default:
            break;
    }
}

std::string TQxBaseRTFReport::DocumentTableText(std::int32_t id) {
    TStream* const output = FOutf;
    struct RestoreOutput {
        TStream*& outf;
        TStream* output;
        ~RestoreOutput() { outf = output; }
    } restore{FOutf, output};
    TStringStream table;
    FOutf = &table;
    // Counted where the text is written, not here.
    const std::int64_t counted = FBytesWritten;
    const std::int64_t limit = FMaxOutputSize;
    FMaxOutputSize = 0;
    struct RestoreCount {
        std::int64_t& written;
        std::int64_t& max;
        std::int64_t counted, limit;
        ~RestoreCount() {
            written = counted;
            max = limit;
        }
    } restoreCount{FBytesWritten, FMaxOutputSize, counted, limit};
    WriteDocumentTable(id);
    return table.DataString();
}

void TQxBaseRTFReport::AssembleOutput() {
    // The tables are written aside first: whatever may fail in them (the
    // output limit) fails before the first byte reaches the output, so a
    // caller's stream is left as it was.
    std::vector<std::string> tables;
    tables.reserve(FOutTab.size());
    for (const TQxOutTabRec& rec : FOutTab) {
        tables.push_back(DocumentTableText(rec.id));
        CountOutput(std::ssize(tables.back()));
    }
    FTmpStream->SetPosition(0);
    if (FOutTab.empty()) {
        FOutf->CopyFrom(*FTmpStream, FTmpStream->Size());
        return;
    }
    for (std::size_t i = 0; i < FOutTab.size(); ++i) {
        const TQxOutTabRec& rec = FOutTab[i];
        if (rec.n2 > rec.n1) FOutf->CopyFrom(*FTmpStream, rec.n2 - rec.n1);
        FOutf->WriteBuffer(tables[i].data(), static_cast<std::int64_t>(tables[i].size()));
    }
}

void TQxBaseRTFReport::FinishDirectOutput() {
    bool unchanged = true;
    for (const TQxOutTabRec& rec : FOutTab)
        unchanged = unchanged && DocumentTableText(rec.id) == rec.written;
    if (unchanged) return;
    // Rare: a table grew after it was written. The body between the tables
    // goes to the temporary stream, and the output is written again from it
    // with the tables as they are now.
    const std::int64_t counted = FBytesWritten;
    CreateTmpStream();
    FBytesWritten = counted;
    std::int64_t tmpEnd = 0;
    for (TQxOutTabRec& rec : FOutTab) {
        FOutf->SetPosition(rec.n1);
        if (rec.n2 > rec.n1) FTmpStream->CopyFrom(*FOutf, rec.n2 - rec.n1);
        FBytesWritten -= std::ssize(rec.written);
        rec.written.clear();
        rec.n1 = tmpEnd;
        rec.n2 = FTmpStream->Position();
        tmpEnd = rec.n2;
    }
    FOutf->SetSize(0);
    FOutf->SetPosition(0);
    AssembleOutput();
}

}  // namespace qx
