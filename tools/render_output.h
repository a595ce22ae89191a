// Where `qxrtf render` puts what it makes: the report under OUT only once
// it is complete, then the PDF copy and the desktop's viewer if asked for.
#pragma once

#include <string>

#include "qxrtf/qxrtf.h"

namespace tool {

struct RenderTargets {
    std::string templateFile;
    std::string report;  // -o OUT
    std::string pdf;     // --pdf FILE, or empty
    bool open = false;   // --open
};

// Raises UsageError when an output would overwrite the template or the
// PDF the report (the same file, through links and hard links too).
void CheckTargetsDiffer(const RenderTargets& targets);

// Runs `report` into a temporary file beside the report's name and renames
// it into place once the run has succeeded. Whatever ends the run early
// leaves neither: the report of an earlier run is removed before this one
// starts, as the engine does for a report it writes itself.
void RenderToTargets(qx::TQxRTF& report, const qx::arrdataset& datasets,
                     const RenderTargets& targets);

}  // namespace tool
