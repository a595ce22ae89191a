#include "platform/streams.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/exceptions.h"

namespace qx {

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
    if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
    if (count > 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    // A memory source is written in one piece; others through a buffer.
    if (auto* mem = dynamic_cast<TMemoryStream*>(&source)) {
        const std::int64_t pos = mem->Position();
        if (pos + count > mem->Size()) throw EReadError("Stream read error");
        WriteBuffer(mem->Memory() + pos, count);
        mem->SetPosition(pos + count);
        return count;
    }
    constexpr std::int64_t kChunk = 1 << 20;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min(count, kChunk)));
    std::int64_t left = count;
    while (left > 0) {
        const std::int64_t n = std::min(left, kChunk);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}

// ---- TMemoryStream ---------------------------------------------------------

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
    const std::int64_t available = Size() - FPosition;
    const std::int64_t n = std::max<std::int64_t>(0, std::min(count, available));
    if (n > 0) std::memcpy(buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    const std::int64_t end = FPosition + count;
    if (end > Size()) FData.resize(static_cast<std::size_t>(end));  // vector grows geometrically
    std::memcpy(FData.data() + FPosition, buffer, static_cast<std::size_t>(count));
    FPosition = end;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = 0;
    if (origin == TSeekOrigin::soCurrent) base = FPosition;
    if (origin == TSeekOrigin::soEnd) base = Size();
    FPosition = std::max<std::int64_t>(0, base + offset);
    return FPosition;
}

void TMemoryStream::SetSize(std::int64_t newSize) {
    FData.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, newSize)));
    FPosition = std::min(FPosition, Size());
}

void TMemoryStream::Clear() {
    FData.clear();
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, TFileMode::fmOpenRead);
    const std::int64_t size = file.Size();
    FData.resize(static_cast<std::size_t>(size));
    file.ReadBuffer(FData.data(), size);
    FPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
    TFileStream file(fileName, TFileMode::fmCreate);
    file.WriteBuffer(FData.data(), Size());
}

TStringStream::TStringStream(const std::string& data) {
    FData.assign(data.begin(), data.end());
}

// ---- TFileStream -----------------------------------------------------------

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : FFileName(fileName) {
    const char* fopenMode = "rb";
    switch (mode) {
        case TFileMode::fmCreate:
            fopenMode = "w+b";
            break;
        case TFileMode::fmOpenRead:
            fopenMode = "rb";
            break;
        case TFileMode::fmOpenWrite:
        case TFileMode::fmOpenReadWrite:
            fopenMode = "r+b";
            break;
    }
    FFile = std::fopen(fileName.c_str(), fopenMode);
    if (FFile == nullptr) {
        const std::string reason = std::strerror(errno);
        if (mode == TFileMode::fmCreate)
            throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
    }
    // A large stdio buffer turns many small writes into few system calls;
    // a report is written in many small pieces.
    std::setvbuf(FFile, nullptr, _IOFBF, mode == TFileMode::fmOpenRead ? 1 << 16 : 1 << 20);
}

TFileStream::~TFileStream() {
    if (FFile != nullptr) std::fclose(FFile);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    return static_cast<std::int64_t>(std::fread(buffer, 1, static_cast<std::size_t>(count), FFile));
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    // One stream is never shared between threads: no stdio locking.
    const std::size_t written =
        fwrite_unlocked(buffer, 1, static_cast<std::size_t>(count), FFile);
    // The system's reason (a full disk, a quota) says more than a short count.
    if (written < static_cast<std::size_t>(count)) throw EWriteError(WriteErrorText());
    return static_cast<std::int64_t>(written);
}

void TFileStream::Close() {
    if (FFile == nullptr) return;
    const bool flushed = std::fflush(FFile) == 0;
    const std::string reason = flushed ? std::string() : WriteErrorText();
    const bool closed = std::fclose(FFile) == 0;
    FFile = nullptr;
    if (!flushed) throw EWriteError(reason);
    if (!closed) throw EWriteError(WriteErrorText());
}

std::string TFileStream::WriteErrorText() const {
    return "Cannot write file \"" + FFileName + "\". " + std::strerror(errno);
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    int whence = SEEK_SET;
    if (origin == TSeekOrigin::soCurrent) whence = SEEK_CUR;
    if (origin == TSeekOrigin::soEnd) whence = SEEK_END;
    // Asking for the position must not flush or drop the stdio buffer.
    if (!(origin == TSeekOrigin::soCurrent && offset == 0)) {
        // Seeking writes out what stdio holds, so a full disk may show here:
        // then it is the write that failed.
        if (fseeko(FFile, static_cast<off_t>(offset), whence) != 0) {
            if (std::ferror(FFile) != 0) throw EWriteError(WriteErrorText());
            throw EStreamError("Stream seek error: " + FFileName + ". " + std::strerror(errno));
        }
    }
    return static_cast<std::int64_t>(ftello(FFile));
}

std::int64_t TFileStream::Size() {
    std::fflush(FFile);
    struct stat st {};
    if (fstat(fileno(FFile), &st) != 0) throw EStreamError("Stream size error: " + FFileName);
    return static_cast<std::int64_t>(st.st_size);
}

void TFileStream::SetSize(std::int64_t newSize) {
    std::fflush(FFile);
    if (ftruncate(fileno(FFile), static_cast<off_t>(newSize)) != 0)
        throw EWriteError("Stream write error: " + FFileName);
    if (Position() > newSize) Seek(newSize, TSeekOrigin::soBeginning);
}

bool FileExists(const std::string& fileName) {
    struct stat st {};
    return ::stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& fileName) {
    struct stat st {};
    return ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DeleteFile(const std::string& fileName) {
    return ::unlink(fileName.c_str()) == 0;
}

}  // namespace qx
