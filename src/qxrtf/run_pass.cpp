// The run pass: replays the command stream into the temporary stream,
// repeating scan blocks once per record and keeping or skipping if parts.
#include "qxbasereport/internal/codes.h"
#include "qxrtf/qxrtf.h"

namespace qx {

void TQxRTF::RunPass() {
    for (;;) {
        CmReadItemInfo();
        const std::int32_t kind = FCmLastId;
        switch (kind) {
            case CmKind::End:
                return;
            case CmKind::Variable:
                WriteVariableField(ReadDecodedRow().rc);
                break;
            case CmKind::Number:
            case CmKind::String:
            case CmKind::Boolean:
            case CmKind::Date:
                WriteConstantField(kind, ReadDecodedRow().rc);
                break;
            case CmKind::DotField:
            case CmKind::ColonField:
                RunDataSetField();
                break;
            case CmKind::Bloc:
            case CmKind::BalancedBloc:
                CmReadItemPos();
                wrBlock(FPFile, FCmLastFpnt - 1, Fpnt - FCmLastFpnt);
                break;
            case CmKind::TableBegin:
                CmReadTableBegin();
                FInTable = true;
                break;
            case CmKind::TableEnd:
                CmReadTableEnd();
                FInTable = false;
                break;
            case CmKind::ExprBegin:
                EvaluateExprBlock();
                break;
            case CmKind::Raw:
                OutRaw();
                break;
            case CmKind::FontTable:
            case CmKind::ColorTable:
            case CmKind::StyleSheet:
            case CmKind::DocInfo:
                CmReadItemPos();
                SaveToOutTable(kind);
                break;
            case CmKind::Scan:
            case CmKind::ScanWhile:
                RunScanStart();
                break;
            case CmKind::ScanEntry:
                RunScanEntry();
                break;
            case CmKind::ScanSkip:
                RunRecordAdvance();
                break;
            case CmKind::ScanFooter:
            case CmKind::EndScan:
                RunRecordEnd();
                break;
            case CmKind::If:
                RunIfTest();
                break;
            case CmKind::EndIf:
                RunEndIf();
                break;
            default:
                CmSkipItem();
                break;
        }
    }
}

void TQxRTF::RunDataSetField() {
    TDecodedRow& row = ReadDecodedRow();
    const TQxRowContent& rc = row.rc;
    TField* field = ResolveDecodedField(row);
    if (field == nullptr) {
        wr(FOptions.Contains(eoClearMissedFields) ? rc.sout : rc.stestf);
        return;
    }
    if (field->DataSet()->Eof()) {
        wr(" " + rc.sout);
        return;
    }
    WriteDataSetFieldValue(*field, rc);
}

void TQxRTF::RunScanStart() {
    const TQxBlockItem& item = ReadBlockItem();
    wr(item.markup);
    FScs->SetCurrentScan(item.block);
    TQxScanInfo& info = *FScs->CurrentScanInfo();
    info.SetFirstPass(true);
    info.StartRepetitions();
    StartScanTotals(info);
    if (!info.Balance()) {
        ComputeScanBalances(info, item.remainder);
        info.SetBalance(true);
    }
    if (FOnScanBefore) FOnScanBefore(info);
    // A while scan repeats as long as its condition holds: false at the
    // start means no repetition at all, as with noeof at the end of data.
    const bool skip = (info.NoEof() && !FScs->NotEof()) || (info.IsWhile() && !FManageResult);
    if (!skip) {
        wr(item.remainder);
        FScs->GoFirst();
        info.AddRepetition();
        info.SetIsCompleted(false);
        if (FOnScanRecord) FOnScanRecord(info);
    } else {
        SkipScan();
        if (FOnScanEof) FOnScanEof(info);
        info.SetIsCompleted(true);
    }
}

void TQxRTF::StartScanTotals(const TQxScanInfo& info) {
    for (const std::string& name : info.Totals()) {
        if (GetVarNumber(name) == 0) CreateVar(name, 0.0);
        VarByName(name).SetAsInteger(0);
    }
}

void TQxRTF::RunScanEntry() {
    const TQxBlockItem& item = ReadBlockItem();
    wr(item.markup);
    wr(item.remainder);
    FScs->SetCurrentScan(item.block);
}

void TQxRTF::RunRecordAdvance() {
    std::uint16_t block = 0;
    CmReadScanSkipItem(block);
    FScs->SetCurrentScan(block);
    if (FScs->NotDataSetEof()) FScs->GoNext();
    // The while condition that follows in the stream decides again.
    if (FScs->CurrentScanInfo()->IsWhile()) FManageResult = false;
}

void TQxRTF::RunRecordEnd() {
    const TQxBlockItem& item = ReadBlockItem();
    FScs->SetCurrentScan(item.block);
    TQxScanInfo& info = *FScs->CurrentScanInfo();
    info.SetFirstPass(false);
    wr(item.markup);
    const bool notEof = FScs->NotEof();
    if (notEof && !info.IsCompleted() && FOnScanRecord) FOnScanRecord(info);
    if (!notEof || info.IsCompleted()) {
        wr(item.remainder);
        info.SetFirstPass(true);
        if (!info.IsCompleted()) {
            if (FOnScanEof) FOnScanEof(info);
            info.SetIsCompleted(true);
        }
        return;
    }
    // Another record: rebalance the groups one repetition leaves open or
    // closed, and go back to where a repetition starts.
    if (info.AddRepetition() > FMaxScanRepetitions && FMaxScanRepetitions != 0)
        ScanRepetitionsExceeded(info);
    const int balance = info.FullBalance();
    if (balance < 0) wr(std::string(static_cast<std::size_t>(-balance), '{'));
    if (balance > 0) wr(std::string(static_cast<std::size_t>(balance), '}'));
    // A repetition resumes at the scanentry, after the scan command's own
    // calls: run them here, so that they count every record.
    if (info.IsEntry()) RunScanCalls(info);
    FCmStream->SetPosition(info.EntryCmPosition());
    CmReadItemInfo();
    const TQxBlockItem& entry = ReadBlockItem();
    Fpnt = info.ScanEntryPnt();
    wr(entry.remainder);
    if (info.NewPage()) wr("\\page ");
}

void TQxRTF::RunScanCalls(const TQxScanInfo& info) {
    FCmStream->SetPosition(info.CallsCmPosition());
    for (int i = 0; i < info.CallsCount(); ++i) {
        CmReadItemInfo();
        EvaluateExprBlock();
    }
    FScs->SetCurrentScan(info.Number());
}

void TQxRTF::RunIfTest() {
    const TQxBlockItem& item = ReadBlockItem();
    wr(item.markup);
    const TQxScanInfo* outer = FScs->CurrentScanInfo();
    const bool firstPass = outer == nullptr || outer->FirstPass();
    FScs->SetCurrentScan(item.block);
    TQxScanInfo& info = *FScs->CurrentScanInfo();
    info.SetFirstPass(firstPass);
    if (!info.Balance()) {
        ComputeIfBalance(info, item.remainder);
        info.SetFullBalance(0);
        info.SetBalance(true);
    }
    info.SetScanManageResult(FManageResult);
    if (FManageResult == item.elseFlag) {
        SkipIfPart();
        info.SetIsCompleted(true);
    } else {
        wr(item.remainder);
        info.SetIsCompleted(false);
    }
}

void TQxRTF::RunEndIf() {
    const TQxBlockItem& item = ReadBlockItem();
    FScs->SetCurrentScan(item.block);
    TQxScanInfo& info = *FScs->CurrentScanInfo();
    info.SetFirstPass(false);
    wr(item.markup);
    wr(item.remainder);
    info.SetIsCompleted(true);
    // An else part sees its own if's condition, whatever ran inside.
    FManageResult = info.ScanManageResult();
}

void TQxRTF::ScanRepetitionsExceeded(const TQxScanInfo& info) const {
    throw EIllegalScanUse("Scan " + info.CommandText() + " repeated more than " +
                          std::to_string(FMaxScanRepetitions) + " times");
}

void TQxRTF::OutputLimitExceeded() {
    const std::string limit = std::to_string(FMaxOutputSize);
    const TQxScanInfo* scan = FScs != nullptr ? FScs->RunningScan() : nullptr;
    if (scan == nullptr) TQxBaseRTFReport::OutputLimitExceeded();
    throw EIllegalScanUse("Scan " + scan->CommandText() + " wrote more than the " + limit +
                          " bytes a report may have");
}

}  // namespace qx
