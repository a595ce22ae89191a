// Setting a report up from text, as the command-line tool and test cases
// describe it: typed variables and RTF options by name.
#pragma once

#include <optional>
#include <string>

#include "qxrtf/qxrtf.h"

namespace qx {

// Defines variable `name` from `value` read as `type`: "string" (the
// default when empty), "number" ("." decimal point), "boolean"
// (true/false, yes/no, 1/0) or "date" (yyyy-mm-dd, optionally with
// hh:nn[:ss]). Raises EConvertError for a value that does not fit, and
// qx::Exception for an unknown type.
void DefineTypedVariable(TQxBaseReport& report, const std::string& name, const std::string& value,
                         const std::string& type);
// "NAME=VALUE" or "NAME=VALUE:TYPE" with TYPE one of the names above.
void DefineVariableFromText(TQxBaseReport& report, const std::string& assignment);
// The option by its enumerator name ("eoClearMissedFields"); false if none.
bool RTFOptionFromName(const std::string& name, TQxRTFOption& option);
// The picture form by its name, "native" or "metafile"; none for others.
std::optional<TQxPictureForm> PictureFormNamed(const std::string& name);
// A picture format index given as text ("1"); raises Exception for one that
// is not a whole number of 0 or more.
int PictureFormatIndex(const std::string& text);

}  // namespace qx
