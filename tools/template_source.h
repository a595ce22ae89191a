// The template a command is given, as the report library reads it: an RTF
// file as it is, a DOCX, ODT, DOC or flat ODT one converted to RTF with
// LibreOffice once and kept in a cache under the hash of its content.
#pragma once

#include <string>

namespace tool {

// Where converted templates are kept: `option` (--cache DIR) when given,
// else $XDG_CACHE_HOME/qxrtf, else ~/.cache/qxrtf.
std::string TemplateCacheDir(const std::string& option);

// The RTF file the library is to read for `templateFile`. A template in a
// word processor's format (by its content) is converted the first time
// its content is seen and found in `cacheDir` afterwards; its places in
// error messages then show the paragraph's text too (tool_errors.h). A
// file that cannot be read, or is neither, is answered as it is: the
// library says what is wrong with it. Raises qx::Exception when
// LibreOffice is missing or cannot convert it.
std::string RtfTemplateOf(const std::string& templateFile, const std::string& cacheDir);

}  // namespace tool
