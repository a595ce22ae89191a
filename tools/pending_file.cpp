#include "pending_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/exceptions.h"

namespace tool {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void FailCreate(const std::string& target, int error) {
    throw qx::EFCreateError("Cannot create file \"" + target + "\". " + std::strerror(error));
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

PendingFile::PendingFile(std::string target) : FTarget(std::move(target)), FPath(FTarget) {
    struct stat st {};
    if (::stat(FTarget.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) FailCreate(FTarget, EISDIR);
        if (!S_ISREG(st.st_mode)) return;
    }
    const fs::path targetPath(FTarget);
    if (!targetPath.has_filename()) FailCreate(FTarget, EISDIR);
    const fs::path parent =
        targetPath.has_parent_path() ? targetPath.parent_path() : fs::path(".");
    std::string pattern = (parent / ".qxrtf-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    RemoveFilesOnInterrupt();
    if (::mkdtemp(name.data()) == nullptr) FailCreate(FTarget, errno);
    FFolder = name.data();
    FPath = (fs::path(FFolder) / targetPath.filename()).string();
    FFolderGuard = std::make_unique<InterruptCleanup>(FFolder, InterruptCleanup::Kind::kFolder);
    FFileGuard = std::make_unique<InterruptCleanup>(FPath, InterruptCleanup::Kind::kFile);
}

PendingFile::~PendingFile() {
    if (FFolder.empty()) return;
    if (!FCommitted) ::unlink(FPath.c_str());
    ::rmdir(FFolder.c_str());
}

void PendingFile::DiscardTarget() const {
    if (!FFolder.empty()) ::unlink(FTarget.c_str());
}

void PendingFile::Commit() {
    if (FFolder.empty()) return;
    if (::rename(FPath.c_str(), FTarget.c_str()) != 0)
        throw qx::EWriteError("Cannot write file \"" + FTarget + "\". " + std::strerror(errno));
    FCommitted = true;
    FFileGuard.reset();  // the name is the target's now
}

qx::Exception PendingFile::Renamed(const qx::Exception& error) const {
    qx::Exception renamed(FFolder.empty() ? error.what()
                                          : ReplaceAll(error.what(), FPath, FTarget));
    if (error.Pos()) renamed.SetPosIfNone(*error.Pos());
    return renamed;
}

}  // namespace tool
