// One run of the report: the entry points, the dataset controls, and the
// order of everything between the call and the last byte of output.
#include "conscom/exceptions.h"
#include "conscom/internal/shell_messages.h"
#include "platform/internal/registry.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/internal/code_pages.h"
#include "qxbasereport/internal/command_stream.h"
#include "qxrtf/internal/compiled_template.h"
#include "qxrtf/internal/expr_state.h"
#include "qxrtf/qxrtf.h"

namespace qx {

TQxRTF::TQxRTF(TComponent* owner) : TQxBaseRTFReport(owner) {}

TQxRTF::~TQxRTF() = default;

void TQxRTF::Execute(const arrdataset& ds) {
    RunEntry(RunKind::File, ds, 0, nullptr);
}

void TQxRTF::ExecuteOpen(const arrdataset& ds, std::int32_t showCmd) {
    RunEntry(RunKind::Open, ds, showCmd, nullptr);
}

void TQxRTF::ExecuteStream(const arrdataset& ds, TStream* outStream) {
    RunEntry(RunKind::Stream, ds, 0, outStream);
}

void TQxRTF::RunEntry(RunKind kind, const arrdataset& ds, std::int32_t showCmd,
                      TStream* outStream) {
    if (kind == RunKind::Stream) {
        FOutStream = outStream;
        FUseStream = true;
    } else {
        FUseStream = false;
    }
    FExecuteSuccessful = true;
    FLastErrMsg = "No errors.";
    FLastErrPos.reset();
    if (FWarningSink == nullptr) FOwnWarnings.Clear();
    try {
        if (kind == RunKind::Stream && outStream == nullptr)
            throw EIOError("Output stream is not assigned");
        if (FDisableControls) DisControls(ds);
        ExecReport(ds);
        if (kind == RunKind::Stream) FUseStream = false;
        if (kind == RunKind::Open) {
            const std::uintptr_t result = ShellOpenFile(FOutFile, showCmd);
            if (result <= 32) {
                RestoreControls(ds);
                throw EIOError(std::string("Failed to open report results. Error message: ") +
                               ShellOpenErrorText(result));
            }
        }
        if (FOnFinished) FOnFinished(this);
        RestoreControls(ds);
    } catch (const Exception& e) {
        EndFailedRun(kind, ds, e.what(), e.Pos());
        throw;
    } catch (const std::exception& e) {
        // A handler or a user function may throw anything: the run ends the
        // same way as for the engine's own errors, and the caller gets the
        // original exception.
        EndFailedRun(kind, ds, e.what(), std::nullopt);
        throw;
    } catch (...) {
        EndFailedRun(kind, ds, "Unknown exception raised during the report run.", std::nullopt);
        throw;
    }
}

void TQxRTF::EndFailedRun(RunKind kind, const arrdataset& ds, const std::string& message,
                          const std::optional<TQxErrorPos>& pos) {
    FExecuteSuccessful = false;
    FLastErrMsg = message;
    FLastErrPos = pos;
    if (kind == RunKind::Stream) FUseStream = false;
    RestoreControls(ds);
}

void TQxRTF::DisControls(const arrdataset& ds) {
    for (std::size_t i = 0; i < ds.size(); ++i) {
        if (ds[i] == nullptr) continue;
        ds[i]->DisableControls();
    }
    FControlsDisabledByRun = true;
}

void TQxRTF::EnaControls(const arrdataset& ds) {
    // Disabling is counted, so one EnableControls undoes exactly the
    // DisableControls of this run: a dataset that was already disabled
    // stays disabled, one that was enabled is enabled again.
    for (TDataSet* d : ds)
        if (d != nullptr) d->EnableControls();
}

void TQxRTF::RestoreControls(const arrdataset& ds) {
    // Once per run, whichever of the success and failure paths gets here first.
    if (!FControlsDisabledByRun) return;
    FControlsDisabledByRun = false;
    EnaControls(ds);
}

void TQxRTF::ExecReport(const arrdataset& ds) {
    BuildAliasList(ds);
    PutField();  // releases everything above on success and on failure
}

void TQxRTF::BuildAliasList(const arrdataset& ds) {
    FExecute = true;
    FScs = std::make_unique<TQxScans>(this);
    ResetIifNumber();
    FInDList = std::make_unique<TStringList>();
    FInDListOneCharExists = false;
    FDFiles.assign(ds.begin(), ds.end());
    for (std::size_t i = 0; i < ds.size(); ++i) {
        const std::string name = ds[i] != nullptr ? ds[i]->Name() : std::string();
        FInDList->Add(UpperCase(name) + "=" + std::to_string(i));
        if (Utf8Length(name) == 1) FInDListOneCharExists = true;
    }
}

void TQxRTF::PrepareRun() {
    FDocColorTable.clear();
    FDocColorCount = 0;
    FLangText = std::to_string(FLang);
    SetOutfToNil();
    FreeDocumentLists();
    FLastBoundaryPnt = -1;
    FKwdPnt = -1;
    FOutTab.clear();
    FTextWidths.clear();
}

namespace {

// What a template that is not RTF is, when it is a document a word
// processor writes by default: the author saved it in the wrong format.
const char* DocumentKind(std::string_view bytes) {
    if (bytes.rfind("PK\x03\x04", 0) == 0) {
        if (bytes.find("word/") != std::string_view::npos) return "a Word document (DOCX)";
        if (bytes.find("application/vnd.oasis.opendocument") != std::string_view::npos)
            return "an OpenDocument text (ODT)";
        return nullptr;
    }
    if (bytes.rfind("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 0) == 0)
        return "a Word 97-2003 document (DOC)";
    return nullptr;
}

}  // namespace

void TQxRTF::LoadTemplate() {
    CreateDocumentLists();
    ReadFileBody();
    static constexpr std::string_view kRtfHeader = "{\\rtf";
    const std::string_view bytes(reinterpret_cast<const char*>(FPFile),
                                 static_cast<std::size_t>(Flent));
    if (bytes.rfind(kRtfHeader, 0) == 0) {
        FDocCodePage = rtf::DeclaredCodePage(FPFile, static_cast<std::size_t>(Flent));
        return;
    }
    // A template read from a file is named, so that a run over many
    // templates says which one is wrong.
    std::string message = "Template is not RTF file.";
    if (!FTmLoaded && !FInFile.empty()) message = "Template is not RTF file: " + FInFile + ".";
    if (const char* kind = DocumentKind(bytes))
        message += std::string(" It is ") + kind +
                   ": open it in the word processor and save it as Rich Text Format (.rtf).";
    throw EBadRtfFormat(message);
}

void TQxRTF::CompileTemplate() {
    CreateCmStream();
    CmSaveBegin();
    CompilePass();
    CmSaveEnd();
}

void TQxRTF::PutField() {
    PrepareRun();
    const std::shared_ptr<const TQxCompiledTemplate> compiled = CompiledTemplate();
    try {
        if (compiled)
            CheckCompiledFits(*compiled);
        else
            LoadTemplate();
        // Before compiling: whatever fails from here on, no report of an
        // earlier run is left behind under the output name.
        if (IsRegularFile(FOutFile)) DeleteFile(FOutFile);
        if (compiled) {
            StartFromCompiled(*compiled);
        } else {
            CompileTemplate();
            CheckBlocksClosed();
            // Before the output is opened: a strict run that has warnings
            // writes nothing.
            WarnOfCompiledFields();
        }
        FInTable = false;
        FFieldCodePages = std::any_of(FCmFieldSpans.begin(), FCmFieldSpans.end(),
                                      [](const TQxFieldSpan& s) { return s.valueCodePage != 0; });
        // A file run writes its output directly. A caller's stream is only
        // written once the run has succeeded, so it goes through a
        // temporary stream.
        FDirectOutput = !FUseStream;
        if (FDirectOutput) {
            FBytesWritten = 0;
            SetOutf();
        } else {
            CreateTmpStream();
            SetOutfToTmp();
        }
        Fpnt = 0;
        ForgetDecodedRows();
        SeekToBeginCmStream();
        FEvaluationSteps = 0;
        StartCountingVariables();
        // Variables the application sets after the run are its own business.
        struct StopCounting {
            TQxRTF& report;
            ~StopCounting() { report.StopCountingVariables(); }
        } stopCounting{*this};
        try {
            RunPass();
        } catch (Exception& e) {
            // The record being executed is the one just read: the stream
            // stands inside it or at its end.
            if (const auto pos = ErrorPosAtCm(FCmStream->Position() - 1)) e.SetPosIfNone(*pos);
            e.SetRecordsIfNone(RunningRecords());
            throw;
        }
        SaveToOutTable(0);
        if (FDirectOutput) {
            FinishDirectOutput();
        } else {
            SetOutf();
            AssembleOutput();
        }
        CloseOutf();
    } catch (...) {
        // A file run that failed after opening its output leaves no
        // half-written report behind.
        const bool removeOutput = !FUseStream && FOutfCreated;
        RestoreCallerStream();
        ReleaseRun();
        if (removeOutput && IsRegularFile(FOutFile)) DeleteFile(FOutFile);
        throw;
    }
    ReleaseRun();
}

std::vector<TQxRecordPlace> TQxRTF::RunningRecords() const {
    std::vector<TQxRecordPlace> records;
    for (const TQxScanInfo* scan : FScs->RunningScans())
        if (scan->DataSet() != nullptr)
            records.push_back({scan->DataSet()->Name(), scan->Repetitions()});
    return records;
}

void TQxRTF::CheckBlocksClosed() const {
    if (FScs->ScLevel() == 0) return;
    const TQxScanInfo* top = FScs->CurrentTopScanInfo();
    // The error points at the command that opened the block left open.
    const auto attach = [&](auto e) {
        if (top != nullptr)
            if (const auto pos = ErrorPosAtCm(top->CmPosition())) e.SetPosIfNone(*pos);
        return e;
    };
    if (top == nullptr) return;
    if (top->IsScan())
        throw attach(
            EIllegalScanUse("Nesting error - endscan expected, but end of document found"));
    throw attach(EIllegalIFUse("Endif expected, but end of document found"));
}

void TQxRTF::ReleaseRun() {
    FResolvedFields.clear();
    FTextWidths.clear();
    ForgetDecodedRows();
    FDocColorTable.clear();
    FDocColorCount = 0;
    FScs.reset();
    FreeTmpStream();
    FreeOutf();
    FreeCmStream();
    if (!FTmLoaded) FreePFile();
    FreeDocumentLists();
    FOutTab.clear();
    FDirectOutput = false;
    FInTable = false;
    FExecute = false;
    FInDList.reset();
    FInDListOneCharExists = false;
    FDFiles.clear();
}

void TQxRTF::CompileOnly(const arrdataset& ds, const std::function<void()>& inspect) {
    if (FExecute) throw EIOError("Can't set template while executing report");
    BuildAliasList(ds);
    PrepareRun();
    try {
        LoadTemplate();
        CompileTemplate();
        inspect();
    } catch (...) {
        ReleaseRun();
        throw;
    }
    ReleaseRun();
}

std::string TQxRTF::DumpCompiled(const arrdataset& ds) {
    std::string listing;
    CompileOnly(ds, [&] {
        listing = DumpCommandStream(FCmStream->Memory(),
                                    static_cast<std::size_t>(FCmStream->Size()), FCmStrings);
    });
    return listing;
}

void Register() {
    RegisterComponents(
        "Data Access",
        {{"TQxRTF", [](TComponent* owner) { return std::make_unique<TQxRTF>(owner); }},
         {"TQxUDFList", [](TComponent* owner) { return std::make_unique<TQxUDFList>(owner); }}});
}

}  // namespace qx
