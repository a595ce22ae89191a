// A dataset field's value as text in the report's format settings. A
// field's own AsString writes dates and floating values with the
// process-wide settings, which a report never reads: two reports in one
// process may have two locales.
#pragma once

#include <string>

#include "platform/dataset.h"
#include "platform/sysutils.h"

namespace qx {

std::string FieldTextIn(const TField& field, const TFormatSettings& fs);

}  // namespace qx
