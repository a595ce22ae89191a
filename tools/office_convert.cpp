#include "office_convert.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "interrupt_cleanup.h"
#include "pending_file.h"
#include "platform/exceptions.h"

extern char** environ;

namespace tool {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kZip = "PK\x03\x04";
constexpr std::string_view kOle = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr std::string_view kOdtMime = "application/vnd.oasis.opendocument.text";

struct FormatInfo {
    DocFormat format;
    const char* extension;
    const char* display;
};
constexpr FormatInfo kFormats[] = {
    {DocFormat::kRtf, "rtf", "RTF"},        {DocFormat::kDocx, "docx", "DOCX"},
    {DocFormat::kOdt, "odt", "ODT"},        {DocFormat::kDoc, "doc", "DOC"},
    {DocFormat::kFodt, "fodt", "flat ODT"}, {DocFormat::kPdf, "pdf", "PDF"},
};

const FormatInfo& InfoOf(DocFormat format) {
    return *std::find_if(std::begin(kFormats), std::end(kFormats),
                         [format](const FormatInfo& f) { return f.format == format; });
}

// A flat ODT is XML whose root is office:document with the text mimetype;
// the root comes after the declaration and maybe comments, near the start.
bool IsFlatOdt(std::string_view bytes) {
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.remove_prefix(3);
    const std::size_t start = bytes.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || bytes.compare(start, 5, "<?xml") != 0) return false;
    const std::string_view head = bytes.substr(0, 64 * 1024);
    const std::size_t root = head.find("<office:document");
    if (root == std::string_view::npos) return false;
    const std::size_t rootEnd = head.find('>', root);
    return head.substr(root, rootEnd - root).find(kOdtMime) != std::string_view::npos;
}

// A file: URL of an absolute path, bytes outside the unreserved set escaped.
std::string FileUrl(const fs::path& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path.string()) {
        if (std::isalnum(c) != 0 || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

// Runs `argv` with its output going to `logFile`; answers its exit status,
// or -1 when it could not be started or did not exit normally.
int RunLogged(const std::vector<std::string>& argv, const std::string& logFile) {
    std::vector<char*> args;
    std::vector<std::string> copies = argv;
    for (std::string& a : copies) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // A process group of its own, which an interrupt of the tool ends as a
    // whole: the launcher starts LibreOffice's own processes under it.
    // The interrupts wait until the child is registered, so none finds it
    // started but not known; the child starts with none blocked.
    RemoveFilesOnInterrupt();
    sigset_t interrupts, before, none;
    sigemptyset(&interrupts);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interrupts, signal);
    sigemptyset(&none);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    pthread_sigmask(SIG_BLOCK, &interrupts, &before);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ);
    std::optional<InterruptChild> child;
    if (started == 0) child.emplace(pid);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The last line of a log that says something: LibreOffice's messages end
// with the reason, when it gives one; its start-up noise about Java does not.
std::string LastLine(const std::string& file) {
    std::ifstream in(file);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty() && line.find("javaldx") == std::string::npos) last = line;
    return last;
}

// The filter LibreOffice writes a text document with, for --convert-to.
std::string ConvertTarget(DocFormat format) {
    switch (format) {
        case DocFormat::kDocx:
            return "docx:MS Word 2007 XML";
        case DocFormat::kOdt:
            return "odt:writer8";
        case DocFormat::kPdf:
            return "pdf:writer_pdf_Export";
        default:
            return ExtensionOf(format);
    }
}

}  // namespace

std::optional<DocFormat> WordProcessorFormatOf(std::string_view bytes) {
    if (bytes.rfind(kZip, 0) == 0) {
        // The first entry of an OpenDocument package is its uncompressed
        // mimetype, followed by the next entry's header: a text or a text
        // template, not a web page or a master document. A DOCX names its
        // main part in the entry headers.
        const std::string mime = "mimetype" + std::string(kOdtMime);
        const std::size_t at = bytes.substr(0, 200).find(mime);
        if (at != std::string_view::npos) {
            const std::string_view rest = bytes.substr(at + mime.size());
            const bool text = rest.rfind("PK", 0) == 0 || rest.rfind("-templatePK", 0) == 0;
            return text ? std::optional(DocFormat::kOdt) : std::nullopt;
        }
        if (bytes.find("word/document.xml") != std::string_view::npos) return DocFormat::kDocx;
        return std::nullopt;
    }
    if (bytes.rfind(kOle, 0) == 0) return DocFormat::kDoc;
    if (IsFlatOdt(bytes)) return DocFormat::kFodt;
    return std::nullopt;
}

const char* ExtensionOf(DocFormat format) {
    return InfoOf(format).extension;
}

const char* DisplayNameOf(DocFormat format) {
    return InfoOf(format).display;
}

std::optional<DocFormat> OutputFormatNamed(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const DocFormat f : {DocFormat::kRtf, DocFormat::kDocx, DocFormat::kOdt, DocFormat::kPdf})
        if (lower == ExtensionOf(f)) return f;
    return std::nullopt;
}

std::string FindOffice() {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    for (const char* name : {"soffice", "libreoffice"}) {
        std::stringstream dirs(path);
        std::string dir;
        while (std::getline(dirs, dir, ':')) {
            if (dir.empty()) continue;
            const std::string candidate = dir + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
    }
    return {};
}

std::string RequireOffice(const std::string& what, const std::string& after) {
    std::string office = FindOffice();
    if (office.empty())
        throw qx::Exception(what +
                            " needs LibreOffice (soffice), which is not installed (install the "
                            "libreoffice-writer package)" +
                            after);
    return office;
}

std::string OfficeBuildOf(const std::string& office) {
    std::error_code ec;
    // The launcher on PATH is usually a link into the installation's
    // program folder, where versionrc names the build.
    const fs::path program = fs::canonical(office, ec).parent_path();
    std::string build = program.string();
    for (const fs::path& file : {program / "versionrc", program / "soffice.bin"}) {
        const auto modified = fs::last_write_time(file, ec);
        if (ec) continue;
        build += "\n" + file.filename().string() + " " +
                 std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                                    std::chrono::file_clock::to_sys(modified).time_since_epoch())
                                    .count());
        if (file.filename() == "versionrc") {
            std::ifstream in(file);
            for (std::string line; std::getline(in, line);)
                if (line.rfind("buildid=", 0) == 0) build += " " + line;
        }
    }
    return build;
}

PrivateDir::PrivateDir(const std::string& purpose) {
    std::string templ = (fs::temp_directory_path() / "qxrtf-office-XXXXXX").string();
    RemoveFilesOnInterrupt();
    if (::mkdtemp(templ.data()) == nullptr)
        throw qx::Exception("Cannot create a temporary directory for " + purpose);
    FPath = templ;
    FCleanup = std::make_unique<InterruptCleanup>(FPath.string(), InterruptCleanup::Kind::kTree);
}

PrivateDir::~PrivateDir() {
    std::error_code ec;
    fs::remove_all(FPath, ec);
}

OfficeConversion ConvertWithOffice(const std::string& office, const std::vector<fs::path>& inputs,
                                   DocFormat format, const fs::path& outDir, const fs::path& work) {
    const std::string log = (work / "soffice.log").string();
    std::vector<std::string> argv{
        office,         "-env:UserInstallation=" + FileUrl(work / "profile"),
        "--headless",   "--norestore",
        "--convert-to", ConvertTarget(format),
        "--outdir",     outDir.string()};
    for (const fs::path& in : inputs) argv.push_back(in.string());
    const int status = RunLogged(argv, log);
    // LibreOffice may answer 0 without having written a file, or fail after
    // writing most of them: each file is what counts.
    OfficeConversion result;
    for (const fs::path& in : inputs) {
        const fs::path produced = outDir / in.filename().replace_extension(ExtensionOf(format));
        result.produced.push_back(fs::is_regular_file(produced) ? produced : fs::path());
    }
    result.detail = LastLine(log);
    if (status != 0 && result.detail.empty())
        result.detail = "soffice ended with status " + std::to_string(status);
    return result;
}

void ConvertFileTo(const std::string& office, const std::string& input, DocFormat format,
                   const std::string& destination, const fs::path& work) {
    const OfficeConversion done =
        ConvertWithOffice(office, {fs::absolute(input)}, format, work / "out", work);
    if (done.produced.front().empty())
        throw qx::Exception("LibreOffice could not convert " + input + " to " +
                            DisplayNameOf(format) +
                            (done.detail.empty() ? std::string() : ": " + done.detail));
    // Copied as bytes, not as a file: the destination may be a device or a
    // pipe (-o /dev/stdout --to pdf).
    std::ifstream in(done.produced.front(), std::ios::binary);
    std::ofstream out(destination, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    out.flush();
    if (!in || !out) throw qx::Exception("Cannot write " + destination);
}

void ConvertReport(const std::string& rtfFile, const std::string& target, DocFormat format,
                   const std::string& what) {
    const std::string office =
        RequireOffice(what, "; the report was written to " + rtfFile + " only");
    const PrivateDir work("the " + std::string(DisplayNameOf(format)) + " conversion");
    // Copied whole beside its name first: an interrupted copy leaves no
    // half a file under it.
    PendingFile pending(target);
    ConvertFileTo(office, rtfFile, format, pending.Path(), work.Path());
    pending.Commit();
}

}  // namespace tool
