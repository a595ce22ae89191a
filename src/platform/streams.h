// Byte streams of the host layer: an abstract TStream, a growable
// TMemoryStream, a buffered TFileStream and a TStringStream.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/component.h"

namespace qx {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
  public:
    ~TStream() override = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Read and Write move at most `count` bytes and answer how many moved.
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual std::int64_t Size() = 0;
    virtual void SetSize(std::int64_t newSize) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
    // All or nothing: raise EReadError / EWriteError on a short transfer.
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);
    // Copies `count` bytes from the source's current position; 0 copies the
    // whole source from its beginning. Answers the number of bytes copied.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

class TMemoryStream : public TStream {
  public:
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }
    void SetSize(std::int64_t newSize) override;

    // The next `count` bytes, moving past them; nullptr (and no move) when
    // fewer remain. For readers of small records that want no call per field.
    const std::uint8_t* Take(std::int64_t count) {
        if (count < 0 || FPosition + count > static_cast<std::int64_t>(FData.size()))
            return nullptr;
        const std::uint8_t* at = FData.data() + FPosition;
        FPosition += count;
        return at;
    }
    // Position and SetPosition without the virtual Seek, for readers that
    // move about a memory stream often.
    std::int64_t MemoryPosition() const { return FPosition; }
    void SetMemoryPosition(std::int64_t pos) { FPosition = std::max<std::int64_t>(0, pos); }
    std::uint8_t* Memory() { return FData.data(); }
    const std::uint8_t* Memory() const { return FData.data(); }
    void Clear();
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);

  protected:
    std::vector<std::uint8_t> FData;
    std::int64_t FPosition = 0;
};

// A memory stream whose contents read back as a std::string.
class TStringStream : public TMemoryStream {
  public:
    TStringStream() = default;
    explicit TStringStream(const std::string& data);
    std::string DataString() const { return std::string(FData.begin(), FData.end()); }
};

enum class TFileMode { fmCreate, fmOpenRead, fmOpenWrite, fmOpenReadWrite };

// A file through stdio's buffer (no system call per small read or write).
// Share modes of other systems have no meaning here and are not offered.
class TFileStream : public TStream {
  public:
    TFileStream(const std::string& fileName, TFileMode mode);
    ~TFileStream() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override;
    void SetSize(std::int64_t newSize) override;
    const std::string& FileName() const { return FFileName; }
    // Writes out what stdio still holds and closes the file, raising
    // EWriteError when the system refused it (a full disk): closing in the
    // destructor cannot report that. The stream is unusable afterwards.
    void Close();

  private:
    std::string WriteErrorText() const;

    std::string FFileName;
    std::FILE* FFile = nullptr;
};

// Whole-file helpers.
bool FileExists(const std::string& fileName);
// A regular file (not a directory, device, pipe or socket): the only kind
// the library ever deletes, so an output named /dev/stdout is never unlinked.
bool IsRegularFile(const std::string& fileName);
bool DeleteFile(const std::string& fileName);

}  // namespace qx
