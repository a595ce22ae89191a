// Compiling a template once for many runs: what a compile leaves on the
// report is copied into a TQxCompiledTemplate, and a run that replays one
// copies it back instead of compiling.
#include "qxrtf/internal/compiled_template.h"

#include "conscom/exceptions.h"
#include "platform/internal/unicode.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

std::vector<std::string> DataSetNamesOf(const arrdataset& ds) {
    std::vector<std::string> names;
    names.reserve(ds.size());
    for (const TDataSet* d : ds) names.push_back(d != nullptr ? d->Name() : std::string());
    return names;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text.empty() ? "(none)" : text;
}

std::vector<std::string> UDFSignature(const TQxUDFList* list) {
    std::vector<std::string> signature;
    for (int i = 0; list != nullptr && i < list->Functions().Count(); ++i) {
        const TQxUDF& f = *list->Functions().Items(i);
        signature.push_back(UpperCase(f.Name()) + "/" + std::to_string(f.ArgMinCount()) + "/" +
                            std::to_string(f.ArgMaxCount()) + "/" +
                            std::to_string(static_cast<int>(f.ResultType())));
    }
    return signature;
}

}  // namespace

std::shared_ptr<const TQxCompiledTemplate> TQxRTF::Compile(const arrdataset& ds) {
    std::shared_ptr<TQxCompiledTemplate> compiled(new TQxCompiledTemplate);
    TQxCompiledTemplate& c = *compiled;
    if (FWarningSink == nullptr) FOwnWarnings.Clear();
    CompileOnly(ds, [&] {
        CheckBlocksClosed();
        // Once for every run of the compiled template.
        WarnOfCompiledFields();
        c.FTemplate = FPFileHolder;
        c.FLength = Flent;
        const std::uint8_t* commands = FCmStream->Memory();
        c.FCommands.assign(commands, commands + FCmStream->Size());
        c.FStrings = FCmStrings;
        c.FFieldSpans = FCmFieldSpans;
        // The blocks keep the position of their dataset, not the dataset:
        // each run has its own.
        c.FScans = FScs->CopyFor(nullptr, [](int) { return nullptr; });
        for (int n = 1; n <= FScs->ScCount(); ++n) {
            const TDataSet* d = FScs->ScanInfo(n)->DataSet();
            int index = -1;
            for (std::size_t i = 0; index < 0 && d != nullptr && i < FDFiles.size(); ++i)
                if (FDFiles[i] == d) index = static_cast<int>(i);
            c.FScanDataSets.push_back(index);
        }
        c.FFonts.Assign(*FRTFFont);
        c.FColors.Assign(*FRTFColor);
        c.FStyles.Assign(*FRTFStyle);
        c.FDocInfo.Assign(*FRTFDocInfo);
        c.FIsFontTable = FIsFontTable;
        c.FIsColorTable = FIsColorTable;
        c.FIsStyle = FIsStyle;
        c.FIsDocInfo = FIsDocInfo;
        c.FDocColorTable = FDocColorTable;
        c.FDocColorCount = FDocColorCount;
    });
    c.FDataSetNames = DataSetNamesOf(ds);
    c.FOptions = FOptions;
    c.FCodePage = FCodePageSet ? FCodePage : 0;
    c.FDocCodePage = FDocCodePage;
    c.FCharset = FCharset;
    c.FFmtSett = FmtSett;
    c.FUDFSignature = UDFSignature(FUDFList);
    return compiled;
}

void TQxRTF::SetCompiledTemplate(std::shared_ptr<const TQxCompiledTemplate> compiled) {
    if (FExecute) throw EIOError("Can't set template while executing report");
    if (compiled) SetTemplateBuffer(compiled->FTemplate, compiled->FLength);
    FCompiled = std::move(compiled);
}

std::shared_ptr<const TQxCompiledTemplate> TQxRTF::CompiledTemplate() const {
    // SetInFile and SetTemplateBuffer change the buffer: the compiled
    // template is then one of another template.
    const bool current = FCompiled && FTmLoaded && FPFileHolder == FCompiled->FTemplate &&
                         Flent == FCompiled->FLength;
    return current ? FCompiled : nullptr;
}

void TQxRTF::CheckCompiledFits(const TQxCompiledTemplate& compiled) const {
    const std::vector<std::string> names = DataSetNamesOf(FDFiles);
    bool sameNames = names.size() == compiled.FDataSetNames.size();
    for (std::size_t i = 0; sameNames && i < names.size(); ++i)
        sameNames = SameText(names[i], compiled.FDataSetNames[i]);
    if (!sameNames)
        throw EIOError("The compiled template was compiled for the datasets " +
                       JoinNames(compiled.FDataSetNames) + ", not " + JoinNames(names));
    struct Setting {
        bool same;
        const char* name;
    };
    const Setting settings[] = {
        {compiled.FOptions == FOptions, "options"},
        {compiled.FCodePage == (FCodePageSet ? FCodePage : 0), "code page"},
        {compiled.FCharset == FCharset, "charset"},
        {compiled.FFmtSett == FmtSett, "format settings"},
        {compiled.FUDFSignature == UDFSignature(FUDFList), "user function list"},
    };
    for (const Setting& s : settings)
        if (!s.same)
            throw EIOError(std::string("The compiled template was compiled with other ") + s.name +
                           " than this report's");
}

void TQxRTF::StartFromCompiled(const TQxCompiledTemplate& compiled) {
    CreateDocumentLists();
    FRTFFont->Assign(compiled.FFonts);
    FRTFColor->Assign(compiled.FColors);
    FRTFStyle->Assign(compiled.FStyles);
    FRTFDocInfo->Assign(compiled.FDocInfo);
    FIsFontTable = compiled.FIsFontTable;
    FIsColorTable = compiled.FIsColorTable;
    FIsStyle = compiled.FIsStyle;
    FIsDocInfo = compiled.FIsDocInfo;
    FDocColorTable = compiled.FDocColorTable;
    FDocColorCount = compiled.FDocColorCount;
    FDocCodePage = compiled.FDocCodePage;
    CreateCmStream();
    FCmStream->WriteBuffer(compiled.FCommands.data(),
                           static_cast<std::int64_t>(compiled.FCommands.size()));
    FCmStrings = compiled.FStrings;
    FCmFieldSpans = compiled.FFieldSpans;
    FScs = compiled.FScans->CopyFor(this, [&](int number) -> TDataSet* {
        const int index = compiled.FScanDataSets[static_cast<std::size_t>(number - 1)];
        return index < 0 ? nullptr : FDFiles[static_cast<std::size_t>(index)];
    });
}

}  // namespace qx
