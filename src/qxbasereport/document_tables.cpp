// The document tables: kept on the report during a run and written into the
// output last, each where the template had it, so that fonts and colours
// added while writing pictures and fragments are included.
#include "qxbasereport/base_rtf_report.h"
#include "qxbasereport/internal/codes.h"

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

TQxBaseRTFReport::TQxBaseRTFReport(TComponent* owner) : TQxBaseReport(owner) {
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
    rec.n1 = FOutTab.empty() ? 0 : FOutTab.back().n2;
    rec.n2 = static_cast<std::int32_t>(FTmpStream->Position());
    rec.id = id;
    FOutTab.push_back(rec);
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

void TQxBaseRTFReport::AssembleOutput() {
    FTmpStream->SetPosition(0);
    if (FOutTab.empty()) {
        FOutf->CopyFrom(*FTmpStream, FTmpStream->Size());
        return;
    }
    for (const TQxOutTabRec& rec : FOutTab) {
        if (rec.n2 > rec.n1) FOutf->CopyFrom(*FTmpStream, rec.n2 - rec.n1);
        switch (rec.id) {
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
}

}  // namespace qx
