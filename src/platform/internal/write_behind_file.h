// TWriteBehindFile: the report's output file. Writes gather in a buffer of
// its own; a full buffer goes to a writer thread, so that copying it into
// the system's file cache overlaps with producing the next one. Anything
// other than writing and asking the position first waits for everything
// handed over to be written, so reading back, seeking and truncating see
// the whole file. A write the system refused is raised by the next call
// that writes, waits or closes, with the system's reason.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/streams.h"

namespace qx {

class TWriteBehindFile : public TStream {
  public:
    // Creates the file, or empties an existing one.
    explicit TWriteBehindFile(const std::string& fileName);
    ~TWriteBehindFile() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override;
    void SetSize(std::int64_t newSize) override;
    // Writes out everything and closes the file, raising EWriteError when
    // the system refused a write. The stream is unusable afterwards.
    void Close();

  private:
    void HandOver();
    void Drain();
    void WriterLoop();
    void StopWriter();
    // Writes `count` bytes at the file's offset; the system's errno, or 0.
    int WriteAll(const std::uint8_t* data, std::size_t count);
    [[noreturn]] void RaiseWriteError(int error) const;

    std::string FFileName;
    int FFd = -1;
    std::int64_t FPosition = 0;  // where the next byte goes, counting what is not yet written
    std::vector<std::uint8_t> FBuffer;
    std::size_t FUsed = 0;

    // Shared with the writer thread, under FMutex.
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<std::uint8_t> FPending;
    std::size_t FPendingSize = 0;
    bool FHasPending = false;
    bool FStop = false;
    int FWriteError = 0;
    std::thread FWriter;
};

}  // namespace qx
