// Writers and readers of the command stream records; the format is
// documented once, in internal/command_stream.h.
#include "qxbasereport/internal/command_stream.h"

#include <algorithm>
#include <cstring>

#include "platform/exceptions.h"
#include "qxbasereport/base_report.h"

namespace qx {

bool IsFieldKind(std::int32_t kind) {
    switch (kind) {
        case CmKind::Variable:
        case CmKind::Number:
        case CmKind::String:
        case CmKind::Boolean:
        case CmKind::Date:
        case CmKind::DotField:
        case CmKind::ColonField:
            return true;
        default:
            return false;
    }
}

bool IsBlockItemKind(std::int32_t kind) {
    switch (kind) {
        case CmKind::If:
        case CmKind::EndIf:
        case CmKind::Scan:
        case CmKind::ScanWhile:
        case CmKind::ScanEntry:
        case CmKind::ScanFooter:
        case CmKind::EndScan:
            return true;
        default:
            return false;
    }
}

const char* CmKindName(std::int32_t kind) {
    struct Entry {
        std::int32_t kind;
        const char* name;
    };
    static constexpr Entry kNames[] = {
        {CmKind::Begin, "Begin"},
        {CmKind::End, "End"},
        {CmKind::Bloc, "Bloc"},
        {CmKind::BalancedBloc, "BalancedBloc"},
        {CmKind::TableBegin, "TableBegin"},
        {CmKind::TableEnd, "TableEnd"},
        {CmKind::Raw, "Raw"},
        {CmKind::FontTable, "FontTable"},
        {CmKind::ColorTable, "ColorTable"},
        {CmKind::StyleSheet, "StyleSheet"},
        {CmKind::DocInfo, "DocInfo"},
        {CmKind::Scan, "Scan"},
        {CmKind::ScanWhile, "ScanWhile"},
        {CmKind::ScanEntry, "ScanEntry"},
        {CmKind::ScanFooter, "ScanFooter"},
        {CmKind::EndScan, "EndScan"},
        {CmKind::EndIf, "EndIf"},
        {CmKind::If, "If"},
        {CmKind::ScanSkip, "ScanSkip"},
        {CmKind::ScanFirst, "ScanFirst"},
        {CmKind::ExprBegin, "ExprBegin"},
        {CmKind::ExprEnd, "ExprEnd"},
        {CmKind::ExecuteUDF, "ExecuteUDF"},
    };
    if (IsFieldKind(kind)) return "Field";
    for (const Entry& e : kNames)
        if (e.kind == kind) return e.name;
    return "?";
}

const TQxFieldSpan* FindFieldSpan(const std::vector<TQxFieldSpan>& spans, std::int64_t offset) {
    // The first span that ends after `offset`; it holds it unless it starts later.
    const auto it = std::upper_bound(
        spans.begin(), spans.end(), offset,
        [](std::int64_t off, const TQxFieldSpan& span) { return off < span.cmEnd; });
    if (it == spans.end() || offset < it->cmBegin) return nullptr;
    return &*it;
}

// ---- stream lifetime and record frame ---------------------------------------

void TQxBaseReport::CreateCmStream() {
    FCmStream = std::make_unique<TMemoryStream>();
    // A reservation only: records are written from offset 0.
    FCmStream->SetSize(1000);
    FCmStream->SetSize(0);
    FCmStrings.clear();
    FCmFieldSpans.clear();
    FLineStarts.clear();
    FCmPos = 0;
    FCmLastId = CmKind::Begin;
}

void TQxBaseReport::FreeCmStream() {
    FCmStream.reset();
    FCmStrings.clear();
    FCmFieldSpans.clear();
    FLineStarts.clear();
    FCmPos = 0;
    FCmLastId = CmKind::Begin;
}

void TQxBaseReport::SeekToBeginCmStream() {
    FCmStream->SetPosition(0);
    FCmLastId = CmKind::Begin;
    FCmLastFpnt = 0;
    FCmPos = 0;
}

void TQxBaseReport::CmWriteInt(std::int32_t v) {
    std::uint8_t b[4];
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(u >> (8 * i));
    FCmStream->WriteBuffer(b, 4);
}

void TQxBaseReport::CmWriteWord(std::uint16_t v) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    FCmStream->WriteBuffer(b, 2);
}

void TQxBaseReport::CmWriteByte(std::uint8_t v) {
    FCmStream->WriteBuffer(&v, 1);
}

// Readers take the bytes straight from the stream's memory: replaying a
// scanned block reads millions of small fields.
void TQxBaseReport::CmReadPastEnd() {
    throw EReadError("Stream read error");
}

void TQxBaseReport::CmSaveItemInfo(std::int32_t kind, std::int32_t payloadLength,
                                   std::int32_t templatePos) {
    CmWriteInt(kind);
    CmWriteInt(templatePos);
    CmWriteInt(payloadLength + FSzi);
    FCmLastId = kind;
}

void TQxBaseReport::CmSaveItemPos() {
    CmWriteInt(FCmPos);
    FCmPos = static_cast<std::int32_t>(FCmStream->Position());
}

void TQxBaseReport::CmReadItemPos() {
    FCmPos = CmReadInt();
}

void TQxBaseReport::CmSkipItem() {
    FCmStream->Seek(FCmSkip, TSeekOrigin::soCurrent);
}

void TQxBaseReport::CmSaveEmptyItem(std::int32_t kind) {
    CmSaveItemInfo(kind, 0, Fpnt);
    CmSaveItemPos();
}

void TQxBaseReport::CmSaveBegin() {
    CmSaveEmptyItem(CmKind::Begin);
}
void TQxBaseReport::CmSaveEnd() {
    CmSaveEmptyItem(CmKind::End);
}

std::int32_t TQxBaseReport::CmStoreString(const std::string& s) {
    FCmStrings.push_back(s);
    return static_cast<std::int32_t>(FCmStrings.size() - 1);
}

std::string TQxBaseReport::CmGetString(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= FCmStrings.size()) return {};
    return FCmStrings[static_cast<std::size_t>(index)];
}

void TQxBaseReport::CmNoteFieldSpan(std::int32_t cmBegin, std::int32_t kwdPnt, std::int32_t endPnt,
                                    const std::string& text) {
    // A field that wrote no record of its own (left as typed, its text
    // merged into the plain text before it) gets an empty span: it still
    // counts as a field of the template, and no record maps back to it.
    const auto cmEnd = static_cast<std::int32_t>(FCmStream->Size());
    FCmFieldSpans.push_back({cmBegin, cmEnd, kwdPnt, endPnt, text});
}

TQxErrorPos TQxBaseReport::FieldErrorPos(std::int32_t kwdPnt, const std::string& text) const {
    // The line starts are collected once per run: a template lint asks for
    // the position of every field.
    if (FLineStarts.empty()) {
        FLineStarts.push_back(0);
        for (std::int32_t i = 0; i < Flent; ++i)
            if (FPFile[i] == '\n') FLineStarts.push_back(i + 1);
    }
    TQxErrorPos pos;
    pos.offset = kwdPnt - 1;
    pos.fieldText = text;
    const auto after = std::upper_bound(FLineStarts.begin(), FLineStarts.end(), pos.offset);
    pos.line = static_cast<int>(after - FLineStarts.begin());
    pos.column = static_cast<int>(pos.offset - *(after - 1)) + 1;
    return pos;
}

std::optional<TQxErrorPos> TQxBaseReport::ErrorPosAtCm(std::int64_t offset) const {
    const TQxFieldSpan* span = FindFieldSpan(FCmFieldSpans, offset);
    if (span == nullptr) return std::nullopt;
    return FieldErrorPos(span->kwdPnt, span->text);
}

// ---- record kinds -------------------------------------------------------------

void TQxBaseReport::CmSaveBlocItem() {
    if (FCmLastId == CmKind::Bloc) {
        // Merge: the previous Bloc simply takes the later template position.
        FCmStream->Seek(-12, TSeekOrigin::soEnd);
        CmWriteInt(Fpnt);
        FCmStream->Seek(8, TSeekOrigin::soCurrent);
        return;
    }
    CmSaveEmptyItem(CmKind::Bloc);
}

void TQxBaseReport::CmReadBlocItem() {
    CmReadItemPos();
}
void TQxBaseReport::CmSaveBalancedBlocItem() {
    CmSaveEmptyItem(CmKind::BalancedBloc);
}
void TQxBaseReport::CmReadBalancedBlocItem() {
    CmReadItemPos();
}
void TQxBaseReport::CmSaveTableBegin() {
    CmSaveEmptyItem(CmKind::TableBegin);
}
void TQxBaseReport::CmReadTableBegin() {
    CmReadItemPos();
}
void TQxBaseReport::CmSaveTableEnd() {
    CmSaveEmptyItem(CmKind::TableEnd);
}
void TQxBaseReport::CmReadTableEnd() {
    CmReadItemPos();
}
void TQxBaseReport::CmSaveExprEndItem() {
    CmSaveEmptyItem(CmKind::ExprEnd);
}
void TQxBaseReport::CmReadExprEndItem() {
    CmReadItemPos();
}

void TQxBaseReport::CmSaveRawItem(const std::string& s) {
    CmSaveItemInfo(CmKind::Raw, 4, Fpnt);
    CmWriteString(s);
    CmSaveItemPos();
}

void TQxBaseReport::CmReadRawItem(std::string& s) {
    CmReadString(s);
    CmReadItemPos();
}

void TQxBaseReport::CmSaveBlockItem(std::int32_t kind, const std::string& markup,
                                    const std::string& remainder, std::uint16_t block) {
    CmSaveItemInfo(kind, kCmBlockItemSize, Fpnt);
    CmWriteString(markup);
    CmWriteString(remainder);
    CmWriteWord(block);
    CmSaveItemPos();
}

void TQxBaseReport::CmReadBlockItem(std::string& markup, std::string& remainder,
                                    std::uint16_t& block) {
    CmReadString(markup);
    CmReadString(remainder);
    block = CmReadWord();
    CmReadItemPos();
}

void TQxBaseReport::CmSaveScanItem(const std::string& m, const std::string& r, std::uint16_t b) {
    CmSaveBlockItem(CmKind::Scan, m, r, b);
}
void TQxBaseReport::CmReadScanItem(std::string& m, std::string& r, std::uint16_t& b) {
    CmReadBlockItem(m, r, b);
}
void TQxBaseReport::CmSaveScanWhileItem(const std::string& m, const std::string& r,
                                        std::uint16_t b) {
    CmSaveBlockItem(CmKind::ScanWhile, m, r, b);
}
void TQxBaseReport::CmReadScanWhileItem(std::string& m, std::string& r, std::uint16_t& b) {
    CmReadBlockItem(m, r, b);
}
void TQxBaseReport::CmSaveScanEntryItem(const std::string& m, const std::string& r,
                                        std::uint16_t b) {
    CmSaveBlockItem(CmKind::ScanEntry, m, r, b);
}
void TQxBaseReport::CmReadScanEntryItem(std::string& m, std::string& r, std::uint16_t& b) {
    CmReadBlockItem(m, r, b);
}
void TQxBaseReport::CmSaveScanFooterItem(const std::string& m, const std::string& r,
                                         std::uint16_t b) {
    CmSaveBlockItem(CmKind::ScanFooter, m, r, b);
}
void TQxBaseReport::CmReadScanFooterItem(std::string& m, std::string& r, std::uint16_t& b) {
    CmReadBlockItem(m, r, b);
}
void TQxBaseReport::CmSaveEndScanItem(const std::string& m, const std::string& r, std::uint16_t b) {
    CmSaveBlockItem(CmKind::EndScan, m, r, b);
}
void TQxBaseReport::CmReadEndScanItem(std::string& m, std::string& r, std::uint16_t& b) {
    CmReadBlockItem(m, r, b);
}
void TQxBaseReport::CmSaveEndIfItem(const std::string& m, const std::string& r, std::uint16_t b) {
    CmSaveBlockItem(CmKind::EndIf, m, r, b);
}
void TQxBaseReport::CmReadEndIfItem(std::string& m, std::string& r, std::uint16_t& b) {
    CmReadBlockItem(m, r, b);
}

void TQxBaseReport::CmSaveIfItem(const std::string& markup, const std::string& remainder,
                                 std::uint16_t block, bool elseFlag) {
    CmSaveItemInfo(CmKind::If, kCmIfItemSize, Fpnt);
    CmWriteString(markup);
    CmWriteString(remainder);
    CmWriteWord(block);
    CmWriteBool(elseFlag);
    CmSaveItemPos();
}

void TQxBaseReport::CmReadIfItem(std::string& markup, std::string& remainder, std::uint16_t& block,
                                 bool& elseFlag) {
    CmReadString(markup);
    CmReadString(remainder);
    block = CmReadWord();
    elseFlag = CmReadBool();
    CmReadItemPos();
}

void TQxBaseReport::CmSaveWordItem(std::int32_t kind, std::uint16_t block) {
    CmSaveItemInfo(kind, 2, Fpnt);
    CmWriteWord(block);
    CmSaveItemPos();
}

void TQxBaseReport::CmReadWordItem(std::uint16_t& block) {
    block = CmReadWord();
    CmReadItemPos();
}

void TQxBaseReport::CmSaveScanSkipItem(std::uint16_t b) {
    CmSaveWordItem(CmKind::ScanSkip, b);
}
void TQxBaseReport::CmReadScanSkipItem(std::uint16_t& b) {
    CmReadWordItem(b);
}
void TQxBaseReport::CmSaveScanFirstItem(std::uint16_t b) {
    CmSaveWordItem(CmKind::ScanFirst, b);
}
void TQxBaseReport::CmReadScanFirstItem(std::uint16_t& b) {
    CmReadWordItem(b);
}

void TQxBaseReport::CmWriteRowContent(const TQxRowContent& rc) {
    CmWriteString(rc.stestf);
    CmWriteString(rc.Dalias);
    CmWriteString(rc.Field);
    CmWriteString(rc.sout);
    CmWriteInt(rc.fmt.fmtnumber);
    CmWriteInt(rc.fmt.precision);
    CmWriteInt(rc.fmt.decimals);
    CmWriteByte(rc.ftype);
    CmWriteInt(rc.NField);
    CmWriteByte(rc.DefinedType);
    CmWriteBool(rc.Defined);
}

void TQxBaseReport::CmReadRowContent(TQxRowContent& rc) {
    CmReadString(rc.stestf);
    CmReadString(rc.Dalias);
    CmReadString(rc.Field);
    CmReadString(rc.sout);
    rc.fmt.fmtnumber = CmReadInt();
    rc.fmt.precision = CmReadInt();
    rc.fmt.decimals = CmReadInt();
    rc.ftype = static_cast<TQxRcTypes>(CmReadByte());
    rc.NField = CmReadInt();
    rc.DefinedType = static_cast<TQxRcTypes>(CmReadByte());
    rc.Defined = CmReadBool();
}

void TQxBaseReport::CmSaveField(std::int32_t kind, const TQxRowContent& rc) {
    CmSaveItemInfo(kind, kCmRowContentSize, Fpnt);
    CmWriteRowContent(rc);
    CmSaveItemPos();
}

void TQxBaseReport::CmReadField(TQxRowContent& rc) {
    CmReadRowContent(rc);
    CmReadItemPos();
}

void TQxBaseReport::CmUpdateField(std::int32_t nField, TQxRcTypes definedType, bool defined) {
    // The caller stands on the start of the Field record it has just read.
    const std::int32_t savedLastFpnt = FCmLastFpnt;
    const std::int32_t savedFpnt = Fpnt;
    CmReadItemInfo();
    FCmLastFpnt = savedLastFpnt;
    Fpnt = savedFpnt;
    FCmStream->Seek(4 * 4 + 3 * 4 + 1, TSeekOrigin::soCurrent);
    CmWriteInt(nField);
    CmWriteByte(definedType);
    CmWriteBool(defined);
    const std::int32_t savedPos = FCmPos;
    CmReadItemPos();
    FCmPos = savedPos;
}

void TQxBaseReport::CmSaveExprBeginItem(const TQxRowContent& rc, bool output, bool manage,
                                        std::uint16_t block) {
    CmSaveItemInfo(CmKind::ExprBegin, kCmExprBeginSize, Fpnt);
    CmWriteRowContent(rc);
    CmWriteBool(output);
    CmWriteBool(manage);
    CmWriteWord(block);
    CmSaveItemPos();
}

void TQxBaseReport::CmReadExprBeginItem(TQxRowContent& rc, bool& output, bool& manage,
                                        std::uint16_t& block) {
    CmReadRowContent(rc);
    output = CmReadBool();
    manage = CmReadBool();
    block = CmReadWord();
    CmReadItemPos();
}

void TQxBaseReport::CmSaveExecuteUDFItem(std::int32_t funcId, std::int32_t argCount,
                                         std::int32_t iifNumber, std::int32_t argPos,
                                         std::int32_t parentId) {
    CmSaveItemInfo(CmKind::ExecuteUDF, kCmExecuteUDFSize, Fpnt);
    for (std::int32_t v : {funcId, argCount, iifNumber, argPos, parentId}) CmWriteInt(v);
    CmSaveItemPos();
}

void TQxBaseReport::CmReadExecuteUDFItem(std::int32_t& funcId, std::int32_t& argCount,
                                         std::int32_t& iifNumber, std::int32_t& argPos,
                                         std::int32_t& parentId) {
    funcId = CmReadInt();
    argCount = CmReadInt();
    iifNumber = CmReadInt();
    argPos = CmReadInt();
    parentId = CmReadInt();
    CmReadItemPos();
}

}  // namespace qx
