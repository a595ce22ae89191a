// TQxRTF: the report component. An application sets InFile (or a template
// buffer) and OutFile, and calls Execute, ExecuteOpen or ExecuteStream with
// its datasets; the run compiles the template into the command stream,
// replays it into a temporary stream and assembles the final document.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dataset.h"
#include "qxbasereport/base_rtf_report.h"
#include "qxrtf/scans.h"

namespace qx {

struct TQxImageFormat;

using TQxOnScanBefore = std::function<void(TQxScanInfo& scanInfo)>;
using TQxOnScanRecord = std::function<void(TQxScanInfo& scanInfo)>;
using TQxOnScanEof = std::function<void(TQxScanInfo& scanInfo)>;
using TQxOnImageFormat = std::function<void(int formatIndex, TQxImageFormat& imageFormat)>;

using TQxControlStatus = std::vector<bool>;
using arrdataset = std::vector<TDataSet*>;

// Kept for applications that build their dataset list through it; it
// stores nothing and the run never reads it.
class TQxReportDataCollection {
public:
    int Add(TDataSet* /*source*/, const std::string& /*alias*/) { return 0; }
};

class TQxRTF : public TQxBaseRTFReport {
public:
    explicit TQxRTF(TComponent* owner = nullptr);
    ~TQxRTF() override;

    // Runs the report into the file named by OutFile.
    virtual void Execute(const arrdataset& ds);
    // As Execute, then opens the file with the desktop's default application.
    virtual void ExecuteOpen(const arrdataset& ds, std::int32_t showCmd);
    // Runs the report into `outStream` (not owned); the stream is left
    // positioned at its beginning.
    virtual void ExecuteStream(const arrdataset& ds, TStream* outStream);

    bool ExecuteSuccessful() const { return FExecuteSuccessful; }
    const std::string& LastErrMsg() const { return FLastErrMsg; }

    bool DisableControls() const { return FDisableControls; }
    void SetDisableControls(bool value) {
        if (value != FDisableControls) FDisableControls = value;
    }
    const TQxOnScanBefore& OnScanBefore() const { return FOnScanBefore; }
    void SetOnScanBefore(TQxOnScanBefore h) { FOnScanBefore = std::move(h); }
    const TQxOnScanRecord& OnScanRecord() const { return FOnScanRecord; }
    void SetOnScanRecord(TQxOnScanRecord h) { FOnScanRecord = std::move(h); }
    const TQxOnScanEof& OnScanEof() const { return FOnScanEof; }
    void SetOnScanEof(TQxOnScanEof h) { FOnScanEof = std::move(h); }
    const TQxOnImageFormat& OnImageFormat() const { return FOnImageFormat; }
    void SetOnImageFormat(TQxOnImageFormat h) { FOnImageFormat = std::move(h); }

    // Compiles the template (InFile or buffer) without running it and
    // answers the command stream listing; used by `qxrtf dump`.
    std::string DumpCompiled();

protected:
    void ExecReport(const arrdataset& ds);
    virtual void PutField();
    void DisControls(const arrdataset& ds);
    void EnaControls(const arrdataset& ds);

    // The two passes.
    virtual void CompilePass();
    virtual void RunPass();

    TQxOnScanBefore FOnScanBefore;
    TQxOnScanRecord FOnScanRecord;
    TQxOnScanEof FOnScanEof;
    TQxOnImageFormat FOnImageFormat;
    std::unique_ptr<TQxScans> FScs;
    bool FManageResult = false;
    bool FDisableControls = true;
    TQxControlStatus FControlStatus;
    bool FExecuteSuccessful = false;
    std::string FLastErrMsg = "No errors.";
    std::unique_ptr<TQxReportDataCollection> FReportData;
    arrdataset FDFiles;
    std::string FLangText;  // Lang in decimal, written before every value

private:
    friend class TQxScans;
    enum class RunKind { File, Open, Stream };
    void RunEntry(RunKind kind, const arrdataset& ds, std::int32_t showCmd, TStream* outStream);
    void RestoreControls(const arrdataset& ds);
    void PrepareRun();
    void CompileTemplate();
    void ReleaseRun();
    // The datasets whose controls this run disabled (restored exactly once).
    bool FControlsDisabledByRun = false;
};

}  // namespace qx
