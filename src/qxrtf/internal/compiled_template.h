// TQxCompiledTemplate: a template compiled once and run any number of times,
// by any number of reports, also by several threads at once. Nothing in it
// changes after compiling: each run takes its own copy of what a run writes
// to (the command stream and its strings, the document tables, the block
// registry) and reads the template bytes in place.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qxbasereport/base_rtf_report.h"
#include "qxrtf/scans.h"

namespace qx {

class TQxUDFList;

class TQxCompiledTemplate {
  public:
    TQxCompiledTemplate(const TQxCompiledTemplate&) = delete;
    TQxCompiledTemplate& operator=(const TQxCompiledTemplate&) = delete;

    // The names of the datasets it was compiled for, in their order: a run
    // gives datasets of the same names in the same order.
    const std::vector<std::string>& DataSetNames() const { return FDataSetNames; }
    // The template it was compiled from.
    const TQxTemplateBuffer& TemplateBuffer() const { return FTemplate; }
    std::int32_t TemplateLength() const { return FLength; }

  private:
    friend class TQxRTF;
    TQxCompiledTemplate() = default;

    TQxTemplateBuffer FTemplate;
    std::int32_t FLength = 0;

    // The compiled commands.
    std::vector<std::uint8_t> FCommands;
    std::vector<std::string> FStrings;
    std::vector<TQxFieldSpan> FFieldSpans;
    std::unique_ptr<TQxScans> FScans;  // datasets not set: see FScanDataSets
    // For each block by number - 1, the position of its dataset among the
    // run's datasets, -1 for none.
    std::vector<int> FScanDataSets;

    // The document tables read from the template.
    TQxFontStringList FFonts;
    TQxColorStringList FColors;
    TStringList FStyles;
    TStringList FDocInfo;
    bool FIsFontTable = false, FIsColorTable = false, FIsStyle = false, FIsDocInfo = false;
    TQxColorArray FDocColorTable;
    std::uint16_t FDocColorCount = 0;

    // What the compile read from the report besides the template; a run
    // must have the same.
    std::vector<std::string> FDataSetNames;
    TQxRTFOptions FOptions;
    int FCodePage = 0;     // as the report set it, 0 when it follows the template
    int FDocCodePage = 0;  // the code page the template declares
    std::uint8_t FCharset = 0;
    TFormatSettings FFmtSett;
    // Each user function's name and argument counts, which decide what
    // the compile made of a call; the handlers may differ from run to run.
    std::vector<std::string> FUDFSignature;
};

}  // namespace qx
