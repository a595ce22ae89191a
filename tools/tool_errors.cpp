#include "tool_errors.h"

namespace tool {

std::string PositionPrefix(const std::string& templateFile, const qx::TQxErrorPos& pos) {
    return templateFile + ":" + std::to_string(pos.line) + ":" + std::to_string(pos.column) + ": ";
}

void PrintError(std::ostream& os, const std::string& message,
                const std::optional<qx::TQxErrorPos>& pos, const std::string& templateFile) {
    if (!pos) {
        os << "qxrtf: " << message << '\n';
        return;
    }
    os << PositionPrefix(templateFile, *pos) << message;
    if (!pos->records.empty()) os << " (" << qx::RecordPlacesText(pos->records) << ')';
    os << '\n';
    os << "    \\" << pos->fieldText << "\\\n";
}

void PrintWarning(std::ostream& os, const qx::TQxWarning& warning,
                  const std::string& templateFile) {
    if (warning.pos) {
        PrintError(os, "warning: " + warning.message, warning.pos, templateFile);
        return;
    }
    os << (warning.source.empty() ? std::string("qxrtf") : warning.source)
       << ": warning: " << warning.message << '\n';
}

}  // namespace tool
