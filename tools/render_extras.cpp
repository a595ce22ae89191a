#include "render_extras.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "pending_file.h"
#include "platform/exceptions.h"
#include "qxrtf/qxrtf.h"

extern char** environ;

namespace tool {

namespace fs = std::filesystem;

namespace {

// The first of the LibreOffice launchers found on PATH, or "".
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

// A directory of its own under the temporary directory, removed with
// everything in it when it goes.
class PrivateDir {
  public:
    PrivateDir() {
        std::string templ = (fs::temp_directory_path() / "qxrtf-pdf-XXXXXX").string();
        if (::mkdtemp(templ.data()) == nullptr)
            throw qx::Exception("Cannot create a temporary directory for the PDF conversion");
        FPath = templ;
    }
    ~PrivateDir() {
        std::error_code ec;
        fs::remove_all(FPath, ec);
    }
    PrivateDir(const PrivateDir&) = delete;
    PrivateDir& operator=(const PrivateDir&) = delete;
    const fs::path& Path() const { return FPath; }

  private:
    fs::path FPath;
};

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
    pid_t pid = 0;
    const int started = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string LastLine(const std::string& file) {
    std::ifstream in(file);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty()) last = line;
    return last;
}

}  // namespace

void RequireOffice() {
    if (FindOffice().empty())
        throw qx::Exception("--pdf needs LibreOffice (soffice), which is not installed");
}

void ConvertToPdf(const std::string& rtfFile, const std::string& pdfFile) {
    const std::string office = FindOffice();
    if (office.empty())
        throw qx::Exception(
            "--pdf needs LibreOffice (soffice), which is not installed; the "
            "report was written to " +
            rtfFile + " only");
    const PrivateDir work;
    const fs::path outDir = work.Path() / "out";
    const std::string log = (work.Path() / "soffice.log").string();
    const int status =
        RunLogged({office, "-env:UserInstallation=" + FileUrl(work.Path() / "profile"),
                   "--headless", "--norestore", "--convert-to", "pdf", "--outdir", outDir.string(),
                   fs::absolute(rtfFile).string()},
                  log);
    // LibreOffice may answer 0 without having written anything: the file is
    // what counts.
    const fs::path produced = outDir / fs::path(rtfFile).filename().replace_extension(".pdf");
    if (status != 0 || !fs::is_regular_file(produced)) {
        const std::string detail = LastLine(log);
        throw qx::Exception("LibreOffice could not convert " + rtfFile + " to PDF" +
                            (detail.empty() ? std::string() : ": " + detail));
    }
    // Copied whole beside its name first: an interrupted copy leaves no
    // half a PDF under it.
    PendingFile pending(pdfFile);
    std::error_code ec;
    fs::copy_file(produced, pending.Path(), fs::copy_options::overwrite_existing, ec);
    if (ec) throw qx::Exception("Cannot write " + pdfFile + ": " + ec.message());
    pending.Commit();
}

ProgressLine::ProgressLine(qx::TQxRTF& report) {
    if (::isatty(STDERR_FILENO) == 0) return;
    report.SetOnScanRecord([this](qx::TQxScanInfo& info) { OnRecord(info); });
}

ProgressLine::~ProgressLine() {
    if (FShown) std::fputs("\r\x1b[K", stderr);
}

void ProgressLine::OnRecord(const qx::TQxScanInfo& info) {
    // The outermost scan is the one at the lowest level; a later scan at
    // that level starts a new count.
    if (FLevel == 0 || info.ScanLevel() < FLevel ||
        (info.ScanLevel() == FLevel && info.Number() != FNumber)) {
        FLevel = info.ScanLevel();
        FNumber = info.Number();
        FCount = 0;
        FTotal = info.DataSet() != nullptr ? info.DataSet()->RecordCount() : -1;
    }
    if (info.Number() != FNumber) return;
    ++FCount;
    const Clock::time_point now = Clock::now();
    if (now - FStart < std::chrono::seconds(1) || now - FLastShown < std::chrono::milliseconds(200))
        return;
    FLastShown = now;
    Show();
}

void ProgressLine::Show() {
    if (FTotal >= 0)
        std::fprintf(stderr, "\rqxrtf: %lld of %lld records\x1b[K", static_cast<long long>(FCount),
                     static_cast<long long>(FTotal));
    else
        std::fprintf(stderr, "\rqxrtf: %lld records\x1b[K", static_cast<long long>(FCount));
    std::fflush(stderr);
    FShown = true;
}

}  // namespace tool
