#include "template_source.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "batch_files.h"
#include "content_hash.h"
#include "office_convert.h"
#include "platform/exceptions.h"
#include "tool_errors.h"

namespace tool {

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Converts `bytes`, a template in `format`, to RTF. The template is copied
// under a plain name of the right extension first: LibreOffice picks its
// import filter by the name, and the user's file may be named anything.
std::string ConvertToRtf(const std::string& templateFile, const std::string& bytes,
                         DocFormat format) {
    const std::string office =
        RequireOffice(std::string("The ") + DisplayNameOf(format) + " template " + templateFile);
    const PrivateDir work("the conversion of " + templateFile);
    const fs::path input = work.Path() / (std::string("template.") + ExtensionOf(format));
    std::ofstream(input, std::ios::binary) << bytes;
    const OfficeConversion done =
        ConvertWithOffice(office, {input}, DocFormat::kRtf, work.Path() / "out", work.Path());
    const std::string rtf =
        done.produced.front().empty() ? std::string() : ReadAll(done.produced.front());
    if (rtf.rfind("{\\rtf", 0) != 0)
        throw qx::Exception("LibreOffice could not convert the " +
                            std::string(DisplayNameOf(format)) + " template " + templateFile +
                            " to RTF" + (done.detail.empty() ? std::string() : ": " + done.detail));
    return rtf;
}

}  // namespace

std::string TemplateCacheDir(const std::string& option) {
    if (!option.empty()) return option;
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg != nullptr && *xdg == '/') return (fs::path(xdg) / "qxrtf").string();
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return (fs::path(home) / ".cache" / "qxrtf").string();
    return (fs::temp_directory_path() / "qxrtf-cache").string();
}

std::string RtfTemplateOf(const std::string& templateFile, const std::string& cacheDir) {
    std::error_code ec;
    if (!fs::is_regular_file(templateFile, ec)) return templateFile;
    const std::string bytes = ReadAll(templateFile);
    const std::optional<DocFormat> format = WordProcessorFormatOf(bytes);
    if (!format) return templateFile;
    const std::string key = Sha256Hex(bytes);
    const fs::path cached = fs::path(cacheDir) / (key + ".rtf");
    // Beside the conversion: the LibreOffice build that made it. Another
    // build converts again (it may read the document differently); without
    // LibreOffice, any conversion kept is better than none.
    const fs::path madeBy = fs::path(cacheDir) / (key + ".made-by");
    const std::string office = FindOffice();
    const std::string build = office.empty() ? std::string() : OfficeBuildOf(office);
    const bool current =
        fs::is_regular_file(cached, ec) &&
        (office.empty() || (fs::is_regular_file(madeBy, ec) && ReadAll(madeBy) == build));
    if (!current) {
        const std::string rtf = ConvertToRtf(templateFile, bytes, *format);
        fs::create_directories(cacheDir, ec);
        if (ec)
            throw qx::Exception("Cannot create the cache folder " + cacheDir + ": " + ec.message());
        // Complete under a name of its own first: a run at the same time, or
        // one that is killed, never leaves a cut conversion under the name.
        batch::TempFile(cacheDir, ".qxrtf-cache", rtf).NameAs(cached, true);
        batch::TempFile(cacheDir, ".qxrtf-cache", build).NameAs(madeBy, true);
    }
    NoteConvertedTemplate(templateFile, cached.string());
    return cached.string();
}

}  // namespace tool
