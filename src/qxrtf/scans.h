// The block registry: every scan and if block of the template, numbered in
// order of opening by the compile pass and made current by number in the
// run pass. TQxScanInfo is also what the scan events receive.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dataset.h"

namespace qx {

class TQxRTF;
// The kind of a block's command (lcScan, lcIf, lcElse, lcElsIf, ...).
enum TQxLangCommand : int;

// How a block opens, as its command says: its kind, the condition (a scan's
// WHILE(...), an IF or ELSIF test; none for ELSE), the scanned dataset and
// the scan's options.
struct TQxBlockOpening {
    TQxLangCommand command;
    std::string condition;
    TDataSet* dataSet = nullptr;
    bool newPage = false;
    bool noEof = false;
};

class TQxScanInfo : public TObject {
  public:
    TQxScanInfo(TQxRTF* ownerReport, const TQxBlockOpening& opening, int level, int number,
                std::int32_t cmPosition, std::int32_t scanPnt);

    std::int32_t CmPosition() const { return FCmPosition; }
    std::int32_t EntryCmPosition() const { return FEntryCmPosition; }
    std::int32_t FooterCmPosition() const { return FFooterCmPosition; }
    std::int32_t ScanPnt() const { return FScanPnt; }
    std::int32_t ScanEntryPnt() const { return FScanEntryPnt; }
    std::int32_t ScanFooterPnt() const { return FScanFooterPnt; }
    // The expression blocks of the scan command's extra calls (SUM, VAR...),
    // which follow the Scan item.
    std::int32_t CallsCmPosition() const { return FCallsCmPosition; }
    int CallsCount() const { return FCallsCount; }
    bool NewPage() const { return FNewPage; }
    bool NoEof() const { return FNoEof; }
    bool IsEntry() const { return FIsEntry; }
    bool IsFooter() const { return FIsFooter; }
    bool IsWhile() const { return FIsWhile; }
    const std::string& WhileString() const { return FWhileString; }
    int QxLngId() const { return FqxlngId; }
    // A scan (as opposed to an IF, ELSE or ELSIF part).
    bool IsScan() const;
    TQxRTF* OwnerReport() const { return FOwnerReport; }
    int Number() const { return FNumber; }
    int ScanLevel() const { return FLevel; }
    // The block this one stands in (0 when none).
    int Parent() const { return FParent; }
    TDataSet* DataSet() const { return FDataSet; }

    bool IsCompleted() const { return FIsCompleted; }
    void SetIsCompleted(bool v) { FIsCompleted = v; }
    bool ScanManageResult() const { return FScanManageResult; }
    void SetScanManageResult(bool v) { FScanManageResult = v; }
    bool FirstPass() const { return FFirstPass; }
    void SetFirstPass(bool v) { FFirstPass = v; }
    bool Balance() const { return FBalance; }
    void SetBalance(bool v) { FBalance = v; }
    int FullBalance() const { return FFullBalance; }
    void SetFullBalance(int v) { FFullBalance = v; }
    const std::string& EmptyBalance() const { return FEmptyBalanceS; }
    void SetEmptyBalance(const std::string& v) { FEmptyBalanceS = v; }
    // Visit only the selected rows (typically set from OnScanBefore).
    bool UseSelectedRows() const { return FUseBookMarkList; }
    void SetUseSelectedRows(bool v) { FUseBookMarkList = v; }
    TBookmarkList* SelectedRows() const { return FBookMarkList; }
    void SetSelectedRows(TBookmarkList* list);
    int BookMarkPos() const { return FBookMarkPos; }
    // The scan command as the template wrote it (SCAN(A),WHILE(...)), for
    // messages about the scan.
    const std::string& CommandText() const { return FCommandText; }
    void SetCommandText(const std::string& v) { FCommandText = v; }
    // Passes through the scan's body: since the scan was last entered (the
    // first one included), which numbers the record in messages, and in
    // the whole run, which the repetition limit bounds so that an outer
    // loop cannot restart a runaway inner one. Counted by the run pass.
    std::int64_t Repetitions() const { return FRepetitions; }
    std::int64_t RunRepetitions() const { return FRunRepetitions; }
    std::int64_t AddRepetition() {
        ++FRepetitions;
        return ++FRunRepetitions;
    }
    void StartRepetitions() { FRepetitions = 0; }
    // The accumulators of the totals (SUM, CTN, CTS without NORESET) that
    // stand in this scan, however deep in IF, ELSIF and ELSE parts: they
    // start again from 0 each time the scan is entered. Noted by the
    // compile pass, each name once.
    const std::vector<std::string>& Totals() const { return FTotals; }
    void AddTotal(const std::string& accumulator);

  private:
    friend class TQxScans;
    TQxRTF* FOwnerReport;
    std::int32_t FScanPnt;
    std::int32_t FCmPosition;
    int FNumber;
    int FLevel;
    int FParent = 0;
    std::int32_t FEntryCmPosition;
    std::int32_t FScanEntryPnt;
    bool FIsEntry = false;
    std::int32_t FFooterCmPosition = 0;
    std::int32_t FScanFooterPnt = 0;
    bool FIsFooter = false;
    std::int32_t FCallsCmPosition = 0;
    int FCallsCount = 0;
    TDataSet* FDataSet;
    bool FUseBookMarkList = false;
    TBookmarkList* FBookMarkList = nullptr;  // not owned
    int FBookMarkPos = 0;
    bool FNewPage;
    bool FNoEof;
    bool FIsCompleted = false;
    bool FFirstPass = true;
    bool FIsWhile;
    std::string FWhileString;
    bool FScanManageResult = false;
    bool FBalance = false;
    int FFullBalance = 0;
    std::string FEmptyBalanceS;
    int FqxlngId;
    std::string FCommandText;
    std::int64_t FRepetitions = 0;
    std::int64_t FRunRepetitions = 0;
    std::vector<std::string> FTotals;
};

class TQxScans : public TObject {
  public:
    explicit TQxScans(TQxRTF* ownerReport) : FOwnerReport(ownerReport) {}

    // The blocks as compiled, for a run of `ownerReport`: each block's
    // dataset is `datasetOf(block number)`. The copy shares nothing with
    // this registry, so one compiled registry serves any number of runs.
    std::unique_ptr<TQxScans> CopyFor(TQxRTF* ownerReport,
                                      const std::function<TDataSet*(int)>& datasetOf) const;

    TQxRTF* OwnerReport() const { return FOwnerReport; }
    std::uint16_t ScLevel() const { return FScLevel; }
    std::uint16_t ScCount() const { return FScCount; }
    std::uint16_t ScLevelMax() const { return FScLevelMax; }

    // Compile pass: open, annotate and close blocks.
    void EnterScan(std::int32_t cmPos, std::int32_t pnt, const TQxBlockOpening& opening);
    void ExitScan();
    void SetScanEntry(std::int32_t cmPos, std::int32_t pnt);
    void SetScanFooter(std::int32_t cmPos, std::int32_t pnt);
    // Where the extra calls of the scan command start, and how many there are.
    void SetScanCalls(std::int32_t cmPos, int count);
    int CurrentScanNum() const;
    // Command records [from, from + length) now begin at offset `map(from)`
    // with template position `pnt`, and every other record at `map` of its
    // old offset: the blocks follow them.
    template <class Map>
    void RecordsMoved(std::int32_t from, std::int32_t length, std::int32_t pnt, Map map) {
        for (auto& info : FArrScanInfo) {
            const auto follow = [&](std::int32_t& cm, std::int32_t& blockPnt) {
                if (cm >= from && cm < from + length) blockPnt = pnt;
                cm = map(cm);
            };
            follow(info->FCmPosition, info->FScanPnt);
            follow(info->FEntryCmPosition, info->FScanEntryPnt);
            follow(info->FFooterCmPosition, info->FScanFooterPnt);
            info->FCallsCmPosition = map(info->FCallsCmPosition);
        }
    }
    // The innermost open block (compile pass); nullptr when none is open.
    TQxScanInfo* CurrentTopScanInfo() const;
    // The open block `depth` levels out from the innermost (0: the
    // innermost); nullptr when fewer blocks are open.
    TQxScanInfo* OpenBlock(int depth) const;

    // Run pass: make a block current by number and move its dataset.
    void SetCurrentScan(int n);
    TQxScanInfo* CurrentScanInfo() const;
    TQxScanInfo* ScanInfo(int number) const;
    std::int32_t ScanPnt() const { return CurrentScanInfo()->FScanPnt; }
    std::int32_t ScanEntryPnt() const { return CurrentScanInfo()->FScanEntryPnt; }
    void GoFirst();
    void GoNext();
    bool NotDataSetEof() const;
    bool LastManageResult() const;
    bool NotEof() const;
    // The innermost scan (not an if block) that is running, or nullptr.
    const TQxScanInfo* RunningScan() const;
    // Every scan that is running, outermost first.
    std::vector<const TQxScanInfo*> RunningScans() const;
    // The scan that block `number` is or stands in, however deep in IF,
    // ELSIF and ELSE parts; nullptr outside every scan.
    TQxScanInfo* ScanAround(int number) const;

  private:
    TQxRTF* FOwnerReport;
    std::uint16_t FScCount = 0;
    std::uint16_t FScLevel = 0;
    std::uint16_t FNum = 0;
    std::uint16_t FScLevelMax = 0;
    std::vector<int> FScanNum;
    std::vector<std::unique_ptr<TQxScanInfo>> FArrScanInfo;
};

}  // namespace qx
