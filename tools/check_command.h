// `qxrtf check TEMPLATE [data options]`: a template author's lint.
#pragma once

#include <ostream>
#include <string>

#include "qxrtf/template_check.h"

namespace tool {

// Prints what the template holds on `out` (its fields, blocks and function
// calls, each with TEMPLATE:LINE:COL) and every warning on `err` in the
// form of an error, with "warning: " before the message.
void PrintCheck(const qx::TQxTemplateCheck& check, const std::string& templateFile,
                std::ostream& out, std::ostream& err);

}  // namespace tool
