#include "render_output.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <system_error>

#include "conscom/internal/shell_messages.h"
#include "pending_file.h"
#include "platform/exceptions.h"
#include "platform/internal/os.h"
#include "render_extras.h"
#include "tool_errors.h"

namespace tool {

namespace fs = std::filesystem;

namespace {

// Two names of one file: the same device and inode when both exist (so
// symbolic and hard links count), else the same path once links and dots
// are resolved.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    std::error_code ea, eb;
    const fs::path ca = fs::weakly_canonical(a, ea), cb = fs::weakly_canonical(b, eb);
    return !ea && !eb && ca == cb;
}

void OpenWithDesktop(const std::string& file) {
    const std::uintptr_t result = qx::ShellOpen(file, 1);
    if (result <= 32)
        throw qx::EIOError(std::string("Failed to open report results. Error message: ") +
                           qx::ShellOpenErrorText(result));
}

}  // namespace

void CheckTargetsDiffer(const RenderTargets& targets) {
    if (SameFile(targets.report, targets.templateFile))
        throw UsageError("-o " + targets.report + " would overwrite the template " +
                         targets.templateFile);
    if (targets.pdf.empty()) return;
    if (SameFile(targets.pdf, targets.templateFile))
        throw UsageError("--pdf " + targets.pdf + " would overwrite the template " +
                         targets.templateFile);
    if (SameFile(targets.pdf, targets.report))
        throw UsageError("--pdf " + targets.pdf + " would overwrite the report " + targets.report);
}

DocFormat OutputFormatOf(const std::string& report, const std::string& to) {
    if (!to.empty()) {
        const std::optional<DocFormat> named = OutputFormatNamed(to);
        if (!named) throw UsageError("--to " + to + ": not a report format (rtf, docx, odt, pdf)");
        return *named;
    }
    const std::string extension = fs::path(report).extension().string();
    return OutputFormatNamed(extension.empty() ? extension : extension.substr(1))
        .value_or(DocFormat::kRtf);
}

void RenderToTargets(qx::TQxRTF& report, const qx::arrdataset& datasets,
                     const RenderTargets& targets) {
    // Before the run: a report that cannot be converted is not worth running.
    const bool converted = targets.format != DocFormat::kRtf;
    const std::string office = converted ? RequireOffice("-o " + targets.report) : std::string();
    PendingFile pending(targets.report);
    pending.DiscardTarget();
    std::optional<PrivateDir> work;
    if (converted) work.emplace("the conversion of " + targets.report);
    const std::string rtfFile = converted ? (work->Path() / "report.rtf").string() : pending.Path();
    report.SetOutFile(rtfFile);
    {
        const ProgressLine progress(report);
        try {
            report.Execute(datasets);
        } catch (const qx::EStrictWarnings&) {
            throw;  // names no file; the tool says what --strict stopped
        } catch (const qx::Exception& e) {
            throw pending.Renamed(e);
        }
    }
    if (converted) ConvertFileTo(office, rtfFile, targets.format, pending.Path(), work->Path());
    pending.Commit();
    if (targets.open) OpenWithDesktop(targets.report);
    if (!targets.pdf.empty())
        ConvertReport(converted ? rtfFile : targets.report, targets.pdf, DocFormat::kPdf, "--pdf");
}

}  // namespace tool
