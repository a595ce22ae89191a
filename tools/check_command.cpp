#include "check_command.h"

#include "tool_errors.h"

namespace tool {

namespace {

std::string Where(const std::string& templateFile, const qx::TQxErrorPos& pos) {
    return templateFile + ":" + std::to_string(pos.line) + ":" + std::to_string(pos.column);
}

std::string Counted(std::size_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

}  // namespace

void PrintCheck(const qx::TQxTemplateCheck& check, const std::string& templateFile,
                std::ostream& out, std::ostream& err) {
    out << "Fields:\n";
    for (const qx::TQxCheckField& f : check.fields)
        out << "  " << Where(templateFile, f.pos) << ": " << f.kind << " \\" << f.pos.fieldText
            << "\\\n";
    out << "Blocks:\n";
    for (const qx::TQxCheckBlock& b : check.blocks) {
        out << "  " << b.number << ' ' << b.kind;
        if (!b.detail.empty()) out << ' ' << b.detail;
        out << ": " << Where(templateFile, b.open) << " to " << Where(templateFile, b.close)
            << '\n';
    }
    out << "Functions:\n";
    for (const qx::TQxCheckFunction& f : check.functions)
        out << "  " << Where(templateFile, f.pos) << ": " << f.name << '\n';
    out << Counted(check.fields.size(), "field") << ", " << Counted(check.blocks.size(), "block")
        << ", " << Counted(check.functions.size(), "function call") << ", "
        << Counted(check.warnings.size(), "warning") << std::endl;
    for (const qx::TQxCheckWarning& w : check.warnings)
        PrintWarning(err, {std::string(), w.pos, w.message}, templateFile);
}

}  // namespace tool
