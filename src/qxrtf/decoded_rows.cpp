// Field, ExprBegin and block records decoded once per run. The run pass replays a
// scanned block's records once per data record; decoding their strings and
// numbers anew each time was a large part of a run.
#include "qxbasereport/internal/codes.h"
#include "qxbasereport/internal/command_stream.h"
#include "qxrtf/qxrtf.h"

namespace qx {

TQxRTF::TDecodedRow& TQxRTF::ReadDecodedRow() {
    const std::int64_t at = FCmStream->MemoryPosition();
    if (at >= std::ssize(FDecodedIndex))
        FDecodedIndex.resize(static_cast<std::size_t>(std::max(at + 1, FCmStream->Size())), -1);
    const std::int32_t index = FDecodedIndex[static_cast<std::size_t>(at)];
    if (index >= 0) {
        TDecodedRow& row = FDecodedRows[static_cast<std::size_t>(index)];
        FCmStream->SetMemoryPosition(row.end);
        FCmPos = row.itemPos;
        return row;
    }
    TDecodedRow row;
    if (FCmLastId == CmKind::ExprBegin)
        CmReadExprBeginItem(row.rc, row.output, row.manage, row.block);
    else if (IsBlockItemKind(FCmLastId))
        DecodeBlockItem(row.item);
    else
        CmReadField(row.rc);
    row.itemPos = FCmPos;
    row.end = FCmStream->MemoryPosition();
    FDecodedIndex[static_cast<std::size_t>(at)] = static_cast<std::int32_t>(FDecodedRows.size());
    FDecodedRows.push_back(std::move(row));
    return FDecodedRows.back();
}

void TQxRTF::DecodeBlockItem(TQxBlockItem& item) {
    switch (FCmLastId) {
        case CmKind::Scan:
            CmReadScanItem(item.markup, item.remainder, item.block);
            break;
        case CmKind::ScanWhile:
            CmReadScanWhileItem(item.markup, item.remainder, item.block);
            break;
        case CmKind::ScanEntry:
            CmReadScanEntryItem(item.markup, item.remainder, item.block);
            break;
        case CmKind::ScanFooter:
            CmReadScanFooterItem(item.markup, item.remainder, item.block);
            break;
        case CmKind::EndScan:
            CmReadEndScanItem(item.markup, item.remainder, item.block);
            break;
        case CmKind::EndIf:
            CmReadEndIfItem(item.markup, item.remainder, item.block);
            break;
        case CmKind::If:
            CmReadIfItem(item.markup, item.remainder, item.block, item.elseFlag);
            break;
        default:
            break;
    }
}

const TQxBlockItem& TQxRTF::ReadBlockItem() {
    if (!IsBlockItemKind(FCmLastId)) {
        CmSkipItem();
        static const TQxBlockItem kNone;
        return kNone;
    }
    return ReadDecodedRow().item;
}

TField* TQxRTF::ResolveDecodedField(TDecodedRow& row) {
    if (row.field == nullptr) row.field = ResolveDataSetField(row.rc);
    return row.field;
}

void TQxRTF::ForgetDecodedRows() {
    FDecodedRows.clear();
    FDecodedIndex.clear();
}

}  // namespace qx
