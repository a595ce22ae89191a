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

// A dataset field's value as a number or a date and time. A number or date
// held in a text field (a column read as text) is read in the report's
// settings first, so "249,00" under a German locale is 249, then in the
// default settings ("12.50" is 12.5 under any locale); text that reads in
// neither is left to the field's own conversion and its error.
double FieldFloatIn(const TField& field, const TFormatSettings& fs);
TDateTime FieldDateTimeIn(const TField& field, const TFormatSettings& fs);

}  // namespace qx
