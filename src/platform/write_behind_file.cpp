#include "platform/internal/write_behind_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/exceptions.h"

namespace qx {

namespace {
// Large enough that the system sees few writes, small enough that the two
// buffers stay a small part of a run's memory.
constexpr std::size_t kBufferSize = 1 << 20;
}  // namespace

TWriteBehindFile::TWriteBehindFile(const std::string& fileName) : FFileName(fileName) {
    FFd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FFd < 0)
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
    FBuffer.resize(kBufferSize);
}

TWriteBehindFile::~TWriteBehindFile() {
    StopWriter();
    if (FFd >= 0) ::close(FFd);
}

void TWriteBehindFile::RaiseWriteError(int error) const {
    throw EWriteError("Cannot write file \"" + FFileName + "\". " + std::strerror(error));
}

int TWriteBehindFile::WriteAll(const std::uint8_t* data, std::size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(FFd, data, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        data += n;
        count -= static_cast<std::size_t>(n);
    }
    return 0;
}

std::int64_t TWriteBehindFile::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    if (FFd < 0) RaiseWriteError(EBADF);
    const auto* from = static_cast<const std::uint8_t*>(buffer);
    std::size_t left = static_cast<std::size_t>(count);
    while (left > 0) {
        const std::size_t n = std::min(left, FBuffer.size() - FUsed);
        std::memcpy(FBuffer.data() + FUsed, from, n);
        FUsed += n;
        from += n;
        left -= n;
        if (FUsed == FBuffer.size()) HandOver();
    }
    FPosition += count;
    return count;
}

void TWriteBehindFile::HandOver() {
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return !FHasPending; });
    if (FWriteError != 0) RaiseWriteError(FWriteError);
    if (!FWriter.joinable()) {
        FPending.resize(kBufferSize);
        FWriter = std::thread([this] { WriterLoop(); });
    }
    std::swap(FBuffer, FPending);
    FPendingSize = FUsed;
    FUsed = 0;
    FHasPending = true;
    FChanged.notify_all();
}

void TWriteBehindFile::WriterLoop() {
    std::unique_lock lock(FMutex);
    for (;;) {
        FChanged.wait(lock, [this] { return FHasPending || FStop; });
        if (!FHasPending) return;
        // After a refused write nothing more is written: the run fails.
        if (FWriteError == 0) {
            lock.unlock();
            const int error = WriteAll(FPending.data(), FPendingSize);
            lock.lock();
            FWriteError = error;
        }
        FHasPending = false;
        FChanged.notify_all();
    }
}

void TWriteBehindFile::Drain() {
    if (FFd < 0) RaiseWriteError(EBADF);
    {
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [this] { return !FHasPending; });
        if (FWriteError != 0) RaiseWriteError(FWriteError);
    }
    const int error = WriteAll(FBuffer.data(), FUsed);
    FUsed = 0;
    if (error != 0) {
        std::lock_guard lock(FMutex);
        FWriteError = error;
        RaiseWriteError(error);
    }
}

void TWriteBehindFile::StopWriter() {
    if (!FWriter.joinable()) return;
    {
        std::lock_guard lock(FMutex);
        FStop = true;
        FChanged.notify_all();
    }
    FWriter.join();
}

void TWriteBehindFile::Close() {
    if (FFd < 0) return;
    try {
        Drain();
    } catch (...) {
        StopWriter();
        ::close(FFd);
        FFd = -1;
        throw;
    }
    StopWriter();
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0) RaiseWriteError(errno);
}

std::int64_t TWriteBehindFile::Read(void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    Drain();
    std::int64_t done = 0;
    auto* to = static_cast<std::uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(FFd, to + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    FPosition += done;
    return done;
}

std::int64_t TWriteBehindFile::Seek(std::int64_t offset, TSeekOrigin origin) {
    // Asking for the position needs no system call and no wait.
    if (origin == TSeekOrigin::soCurrent && offset == 0) return FPosition;
    Drain();
    int whence = SEEK_SET;
    if (origin == TSeekOrigin::soCurrent) whence = SEEK_CUR;
    if (origin == TSeekOrigin::soEnd) whence = SEEK_END;
    const off_t at = ::lseek(FFd, static_cast<off_t>(offset), whence);
    if (at < 0) throw EStreamError("Stream seek error: " + FFileName + ". " + std::strerror(errno));
    FPosition = at;
    return FPosition;
}

std::int64_t TWriteBehindFile::Size() {
    Drain();
    struct stat st {};
    if (::fstat(FFd, &st) != 0) throw EStreamError("Stream size error: " + FFileName);
    return static_cast<std::int64_t>(st.st_size);
}

void TWriteBehindFile::SetSize(std::int64_t newSize) {
    Drain();
    if (::ftruncate(FFd, static_cast<off_t>(newSize)) != 0)
        throw EWriteError("Stream write error: " + FFileName);
    if (FPosition > newSize) Seek(newSize, TSeekOrigin::soBeginning);
}

}  // namespace qx
