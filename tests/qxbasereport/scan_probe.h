// A report that exposes its template scanner, field-text splitter and
// document tables to tests: load an RTF snippet, then call the scanner's
// operations one by one and look at the state and the command stream.
#pragma once

#include <string>
#include <vector>

#include "qxbasereport/internal/command_stream.h"
#include "qxrtf/qxrtf.h"

namespace qxtest {

class ScanProbe : public qx::TQxRTF {
  public:
    explicit ScanProbe(const std::string& rtf, qx::TQxRTFOptions options = {}) {
        if (options.Byte() != 0) SetOptions(options);
        Load(rtf);
    }

    void Load(const std::string& rtf) {
        SetTemplateBuffer(std::vector<std::uint8_t>(rtf.begin(), rtf.end()));
        ReadFileBody();
        CreateCmStream();
        CmSaveBegin();
        CreateDocumentLists();
        ResetScanner();
    }

    using qx::TQxBaseReport::FileEof;
    using qx::TQxBaseRTFReport::CutRtString;
    using qx::TQxBaseRTFReport::GetNextReportField;
    using qx::TQxBaseRTFReport::getns;
    using qx::TQxBaseRTFReport::KillPar;
    using qx::TQxBaseRTFReport::ReadBack;
    using qx::TQxBaseRTFReport::ReadFb;

    // Every field the scanner delivers from here to the end of the template.
    std::vector<std::string> AllFields() {
        std::vector<std::string> fields;
        std::string field;
        while (!FileEof())
            if (GetNextReportField(field)) fields.push_back(field);
        return fields;
    }

    // The command stream so far, closed with its End record.
    std::string Dump() {
        CmSaveEnd();
        return qx::DumpCommandStream(FCmStream->Memory(),
                                     static_cast<std::size_t>(FCmStream->Size()), FCmStrings);
    }

    std::int32_t Pnt() const { return Fpnt; }
    void SetPnt(std::int32_t p) { Fpnt = p; }
    std::int32_t KwdPnt() const { return FKwdPnt; }
    void SetKwdPnt(std::int32_t p) { FKwdPnt = p; }
    std::int32_t LastBoundaryPnt() const { return FLastBoundaryPnt; }
    void SetLastBoundaryPnt(std::int32_t p) { FLastBoundaryPnt = p; }
    std::int32_t SkipCount() const { return FUnicodeSkipCount; }
    void SetSkipCount(std::int32_t n) { FUnicodeSkipCount = n; }
    const std::vector<std::int32_t>& UcStack() const { return FUcStack; }
    bool TableRowOpen() const { return FTableRowOpen; }
    const qx::TQxColorArray& DocColors() const { return FDocColorTable; }
    std::uint16_t DocColorCount() const { return FDocColorCount; }
};

// 1-based template position of the first occurrence of `what` in `rtf`.
inline std::int32_t PosOf(const std::string& rtf, const std::string& what) {
    return static_cast<std::int32_t>(rtf.find(what)) + 1;
}

}  // namespace qxtest
