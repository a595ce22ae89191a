// How the qxrtf tool ends: its exit codes and the way it reports an error.
#pragma once

#include <exception>
#include <iostream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/exceptions.h"
#include "platform/warnings.h"

namespace tool {

// 0 success, 1 the report (template, data, output) failed, 2 the command
// line is wrong.
inline constexpr int kExitOk = 0;
inline constexpr int kExitReportError = 1;
inline constexpr int kExitUsageError = 2;

// A mistake in the command line itself (an option value that cannot be
// read), as opposed to a failure of the report it asks for.
class UsageError : public qx::Exception {
  public:
    using qx::Exception::Exception;
};

// `text` with its control characters written as \xHH (C0 but tab and
// line feed, DEL, and the C1 range U+0080..U+009F), so that a value quoted
// in a message (a CSV cell, a file name) cannot steer the terminal.
std::string EscapeControls(std::string_view text);

// "TEMPLATE:LINE:COL: " for a position in `templateFile`.
std::string PositionPrefix(const std::string& templateFile, const qx::TQxErrorPos& pos);

// Says that `templateFile` was converted to `rtfFile`, which the library
// read: a place in it is then printed with the text of its paragraph as
// well, since lines and columns of the converted file mean nothing to the
// template's author. Call it before any thread prints.
void NoteConvertedTemplate(const std::string& templateFile, const std::string& rtfFile);

// For a converted template, "in the paragraph "TEXT" (LINE:COL of RTF)"
// for the paragraph around `pos`; "" for any other template.
std::string ParagraphNote(const std::string& templateFile, const qx::TQxErrorPos& pos);

// Writes `message` as the tool reports it: "TEMPLATE:LINE:COL: message"
// and the field as typed on the next line when the position is known,
// "qxrtf: message" otherwise.
void PrintError(std::ostream& os, const std::string& message,
                const std::optional<qx::TQxErrorPos>& pos, const std::string& templateFile);

// Writes a warning as PrintError writes an error, with "warning: " before
// its text: "TEMPLATE:LINE:COL: warning: ..." for a template field,
// "SOURCE: warning: ..." for a data file.
void PrintWarning(std::ostream& os, const qx::TQxWarning& warning, const std::string& templateFile);

// Runs `body` and turns what it raises into the tool's report and exit code.
template <class Body>
int RunReporting(const std::string& templateFile, Body&& body) {
    try {
        return body();
    } catch (const UsageError& e) {
        PrintError(std::cerr, e.what(), std::nullopt, templateFile);
        return kExitUsageError;
    } catch (const qx::EStrictWarnings& e) {
        PrintError(std::cerr, std::string(e.what()) + " (--strict); no report was written",
                   std::nullopt, templateFile);
        return kExitReportError;
    } catch (const qx::Exception& e) {
        PrintError(std::cerr, e.what(), e.Pos(), templateFile);
        return kExitReportError;
    } catch (const std::exception& e) {
        PrintError(std::cerr, e.what(), std::nullopt, templateFile);
        return kExitReportError;
    }
}

}  // namespace tool
