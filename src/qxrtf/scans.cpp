#include "qxrtf/scans.h"

#include <algorithm>

#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "qxbasereport/internal/lang_text.h"
#include "qxrtf/qxrtf.h"

namespace qx {

TQxScanInfo::TQxScanInfo(TQxRTF* ownerReport, const TQxBlockOpening& opening, int level, int number,
                         std::int32_t cmPosition, std::int32_t scanPnt)
    : FOwnerReport(ownerReport),
      FScanPnt(scanPnt),
      FCmPosition(cmPosition),
      FNumber(number),
      FLevel(level),
      FEntryCmPosition(cmPosition),
      FScanEntryPnt(scanPnt),
      FDataSet(opening.dataSet),
      FNewPage(opening.newPage),
      FNoEof(opening.noEof),
      // Every IF part is tested like a scan's WHILE condition.
      FIsWhile(opening.command != lcScan || !opening.condition.empty()),
      FWhileString(opening.condition),
      FqxlngId(opening.command) {}

bool TQxScanInfo::IsScan() const {
    return FqxlngId == lcScan || FqxlngId == lcScanEntry || FqxlngId == lcScanFooter;
}

void TQxScanInfo::AddTotal(const std::string& accumulator) {
    for (const std::string& name : FTotals)
        if (SameTextAscii(name, accumulator)) return;
    FTotals.push_back(accumulator);
}

void TQxScanInfo::SetSelectedRows(TBookmarkList* list) {
    FBookMarkList = list;
    if (list == nullptr) FUseBookMarkList = false;
}

std::unique_ptr<TQxScans> TQxScans::CopyFor(TQxRTF* ownerReport,
                                            const std::function<TDataSet*(int)>& datasetOf) const {
    auto copy = std::make_unique<TQxScans>(ownerReport);
    copy->FScCount = FScCount;
    copy->FScLevel = FScLevel;
    copy->FNum = FNum;
    copy->FScLevelMax = FScLevelMax;
    copy->FScanNum = FScanNum;
    for (const auto& info : FArrScanInfo) {
        auto block = std::make_unique<TQxScanInfo>(*info);
        block->FOwnerReport = ownerReport;
        block->FDataSet = datasetOf(info->FNumber);
        copy->FArrScanInfo.push_back(std::move(block));
    }
    return copy;
}

void TQxScans::EnterScan(std::int32_t cmPos, std::int32_t pnt, const TQxBlockOpening& opening) {
    // Block numbers and levels are 16-bit, and the run pass's work grows
    // with the nesting depth: a template past these limits is refused.
    static constexpr int kMaxLevel = 1000;
    static constexpr int kMaxCount = 65535;
    const bool isScan = opening.command == lcScan;
    if (FScLevel >= kMaxLevel) {
        const std::string text =
            "Blocks nested deeper than " + std::to_string(kMaxLevel) + " levels";
        if (isScan) throw EIllegalScanUse(text);
        throw EIllegalIFUse(text);
    }
    if (FScCount >= kMaxCount) {
        const std::string text = "More than " + std::to_string(kMaxCount) + " blocks in template";
        if (isScan) throw EIllegalScanUse(text);
        throw EIllegalIFUse(text);
    }
    const int parent = CurrentScanNum();
    ++FScLevel;
    if (FScLevel > FScLevelMax) FScLevelMax = FScLevel;
    ++FScCount;
    FArrScanInfo.push_back(
        std::make_unique<TQxScanInfo>(FOwnerReport, opening, FScLevel, FScCount, cmPos, pnt));
    FArrScanInfo.back()->FParent = parent;
    if (FScanNum.size() < FScLevel) FScanNum.resize(FScLevel);
    FScanNum[FScLevel - 1] = FScCount;
}

void TQxScans::ExitScan() {
    if (FScLevel == 0) return;
    --FScLevel;
    if (FScLevel == 0) {
        FScLevelMax = 0;
        FScanNum.clear();
    }
}

void TQxScans::SetScanEntry(std::int32_t cmPos, std::int32_t pnt) {
    TQxScanInfo* info = CurrentTopScanInfo();
    if (info == nullptr) return;
    info->FEntryCmPosition = cmPos;
    info->FScanEntryPnt = pnt;
    info->FIsEntry = true;
}

void TQxScans::SetScanFooter(std::int32_t cmPos, std::int32_t pnt) {
    TQxScanInfo* info = CurrentTopScanInfo();
    if (info == nullptr) return;
    info->FFooterCmPosition = cmPos;
    info->FScanFooterPnt = pnt;
    info->FIsFooter = true;
}

void TQxScans::SetScanCalls(std::int32_t cmPos, int count) {
    TQxScanInfo* info = CurrentTopScanInfo();
    if (info == nullptr) return;
    info->FCallsCmPosition = cmPos;
    info->FCallsCount = count;
}

int TQxScans::CurrentScanNum() const {
    return FScLevel == 0 ? 0 : FScanNum[FScLevel - 1];
}

TQxScanInfo* TQxScans::ScanInfo(int number) const {
    if (number < 1 || static_cast<std::size_t>(number) > FArrScanInfo.size()) return nullptr;
    return FArrScanInfo[static_cast<std::size_t>(number - 1)].get();
}

TQxScanInfo* TQxScans::CurrentTopScanInfo() const {
    return ScanInfo(CurrentScanNum());
}

TQxScanInfo* TQxScans::OpenBlock(int depth) const {
    if (depth < 0 || depth >= FScLevel) return nullptr;
    return ScanInfo(FScanNum[static_cast<std::size_t>(FScLevel - 1 - depth)]);
}

void TQxScans::SetCurrentScan(int n) {
    TQxScanInfo* info = ScanInfo(n);
    FNum = info != nullptr ? static_cast<std::uint16_t>(n) : 0;
    FScLevel = info != nullptr ? static_cast<std::uint16_t>(info->FLevel) : 0;
}

TQxScanInfo* TQxScans::CurrentScanInfo() const {
    return FNum == 0 ? nullptr : ScanInfo(FNum);
}

void TQxScans::GoFirst() {
    TQxScanInfo* info = CurrentScanInfo();
    if (info == nullptr || info->FIsWhile) return;
    if (info->FUseBookMarkList) {
        info->FBookMarkPos = 0;
        if (info->FBookMarkList != nullptr && info->FBookMarkList->Count() > 0)
            info->FDataSet->GotoBookmark(info->FBookMarkList->Items(0));
        return;
    }
    if (info->FDataSet != nullptr) info->FDataSet->First();
}

void TQxScans::GoNext() {
    TQxScanInfo* info = CurrentScanInfo();
    if (info == nullptr || (info->FIsWhile && info->FDataSet == nullptr)) return;
    if (info->FUseBookMarkList) {
        ++info->FBookMarkPos;
        if (info->FBookMarkList != nullptr && info->FBookMarkPos < info->FBookMarkList->Count())
            info->FDataSet->GotoBookmark(info->FBookMarkList->Items(info->FBookMarkPos));
        return;
    }
    if (info->FDataSet != nullptr) info->FDataSet->Next();
}

bool TQxScans::NotDataSetEof() const {
    const TQxScanInfo* info = CurrentScanInfo();
    if (info == nullptr) return false;
    if (info->FIsWhile && info->FDataSet == nullptr) return true;
    if (info->FUseBookMarkList)
        return info->FBookMarkList != nullptr && info->FBookMarkPos < info->FBookMarkList->Count();
    // A scan whose dataset could not be found has no records.
    return info->FDataSet != nullptr && !info->FDataSet->Eof();
}

bool TQxScans::LastManageResult() const {
    return FOwnerReport->FManageResult;
}

bool TQxScans::NotEof() const {
    const TQxScanInfo* info = CurrentScanInfo();
    if (info == nullptr) return false;
    return NotDataSetEof() && (!info->FIsWhile || LastManageResult());
}

const TQxScanInfo* TQxScans::RunningScan() const {
    const std::vector<const TQxScanInfo*> running = RunningScans();
    return running.empty() ? nullptr : running.back();
}

std::vector<const TQxScanInfo*> TQxScans::RunningScans() const {
    // A scan not reached yet is not completed either, but has made no pass.
    std::vector<const TQxScanInfo*> running;
    for (const auto& info : FArrScanInfo)
        if (info->IsScan() && !info->FIsCompleted && info->FRepetitions > 0)
            running.push_back(info.get());
    std::stable_sort(
        running.begin(), running.end(),
        [](const TQxScanInfo* a, const TQxScanInfo* b) { return a->FLevel < b->FLevel; });
    return running;
}

TQxScanInfo* TQxScans::ScanAround(int number) const {
    // A parent is opened before its blocks: the walk goes down in number
    // and ends.
    TQxScanInfo* block = ScanInfo(number);
    while (block != nullptr && !block->IsScan()) block = ScanInfo(block->FParent);
    return block;
}

}  // namespace qx
