// Where `qxrtf render` puts what it makes: the report under OUT only once
// it is complete, then the PDF copy and the desktop's viewer if asked for.
#pragma once

#include <string>

#include "office_convert.h"
#include "qxrtf/qxrtf.h"

namespace tool {

struct RenderTargets {
    std::string templateFile;
    std::string report;                  // -o OUT
    DocFormat format = DocFormat::kRtf;  // --to, or OUT's extension
    std::string pdf;                     // --pdf FILE, or empty
    bool open = false;                   // --open
};

// Raises UsageError when an output would overwrite the template or the
// PDF the report (the same file, through links and hard links too).
void CheckTargetsDiffer(const RenderTargets& targets);

// The format of the report: `to` (--to) when given, else the one the
// extension of `report` names, else RTF. Raises UsageError for a --to
// that names none.
DocFormat OutputFormatOf(const std::string& report, const std::string& to);

// Runs `report` into a temporary file beside the report's name and renames
// it into place once the run has succeeded; a report in another format
// than RTF is converted from the RTF the run writes in a folder of its own
// first. Whatever ends the run early
// leaves neither: the report of an earlier run is removed before this one
// starts, as the engine does for a report it writes itself.
void RenderToTargets(qx::TQxRTF& report, const qx::arrdataset& datasets,
                     const RenderTargets& targets);

}  // namespace tool
