#include "batch_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/exceptions.h"

namespace fs = std::filesystem;

namespace batch {

namespace {

[[noreturn]] void FailWrite(const std::string& path, int error) {
    throw qx::Exception("Cannot write " + path + ": " + std::strerror(error));
}

void WriteAll(int fd, const std::string& bytes, const std::string& path) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) FailWrite(path, n == 0 ? ENOSPC : errno);
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

TempFile::TempFile(const fs::path& dir, const std::string& prefix, const std::string& bytes,
                   bool flush) {
    const std::string pattern = (dir / (prefix + ".XXXXXX.tmp")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    tool::RemoveFilesOnInterrupt();
    const int fd = ::mkostemps(name.data(), 4, O_CLOEXEC);
    if (fd < 0)
        throw qx::Exception("Cannot create a file in " + dir.string() + ": " +
                            std::strerror(errno));
    FPath = name.data();
    FCleanup = std::make_unique<tool::InterruptCleanup>(FPath, tool::InterruptCleanup::Kind::kFile);
    try {
        // Readable as the documents of a plain write were, not only by us.
        if (::fchmod(fd, 0644) != 0) FailWrite(FPath, errno);
        WriteAll(fd, bytes, FPath);
        if (flush && ::fsync(fd) != 0) FailWrite(FPath, errno);
    } catch (...) {
        ::close(fd);
        ::unlink(FPath.c_str());
        throw;
    }
    ::close(fd);
}

TempFile::~TempFile() {
    if (!FNamed) ::unlink(FPath.c_str());
}

bool TempFile::NameAs(const fs::path& target, bool replace) {
    if (replace) {
        if (::rename(FPath.c_str(), target.c_str()) != 0) FailWrite(target.string(), errno);
        FNamed = true;
        return true;
    }
    const int linked = ::link(FPath.c_str(), target.c_str());
    const int error = errno;
    if (linked == 0) return true;  // the destructor removes the temporary name
    if (error == EEXIST) return false;
    FailWrite(target.string(), error);
}

DurableGroup::DurableGroup(fs::path dir, std::size_t documents, std::size_t bytes)
    : FDir(std::move(dir)), FMaxDocuments(documents), FMaxBytes(bytes) {}

void DurableGroup::Add(std::unique_ptr<TempFile> file, std::size_t size, Place place,
                       Failed failed) {
    FPending.push_back({std::move(file), std::move(place), std::move(failed)});
    FBytes += size;
    if (FPending.size() >= FMaxDocuments || FBytes >= FMaxBytes) Flush();
}

void DurableGroup::Flush() {
    std::vector<Pending> group;
    group.swap(FPending);
    FBytes = 0;
    if (group.empty()) return;
    // One flush of the file system the folder is on writes every file of
    // the group (and reports a write that failed since the files were
    // written).
    std::string error;
    const int fd = ::open(FDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::syncfs(fd) != 0)
        error = "Cannot flush the documents in " + FDir.string() + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    for (Pending& p : group) {
        try {
            if (!error.empty()) throw qx::Exception(error);
            p.place(*p.file);
        } catch (const std::exception& e) {
            p.failed(e.what());
        }
    }
}

void RemoveLeftTempFiles(const fs::path& dir, const std::string& prefix) {
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string f = e.path().filename().string();
        const bool ours = f.size() > prefix.size() + 4 && f.rfind(prefix + ".", 0) == 0 &&
                          f.compare(f.size() - 4, 4, ".tmp") == 0;
        if (ours) ::unlink(e.path().c_str());
    }
}

ShardLock::ShardLock(const fs::path& file, const std::string& busy) : FPath(file.string()) {
    for (;;) {
        const int fd = ::open(FPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) throw qx::Exception("Cannot create " + FPath + ": " + std::strerror(errno));
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) throw qx::Exception(busy);
            throw qx::Exception("Cannot lock " + FPath + ": " + std::strerror(error));
        }
        // A run that ended between the open and the lock removed the file
        // it held: the lock counts only on the file that has the name.
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(FPath.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            FFd = fd;
            break;
        }
        ::close(fd);
    }
    tool::RemoveFilesOnInterrupt();
    FCleanup = std::make_unique<tool::InterruptCleanup>(FPath, tool::InterruptCleanup::Kind::kFile);
}

ShardLock::~ShardLock() {
    // Removed while still held, so no other run can lock it and then lose it.
    ::unlink(FPath.c_str());
    ::close(FFd);
}

}  // namespace batch
