// TPrefetchReader: the records of another reader, read a batch ahead on a
// thread of its own, so that parsing a file overlaps with the report that
// uses its records. Only for readers that share nothing with other
// datasets (a file of their own): a database connection may also serve a
// detail dataset on the report's thread at the same time.
//
// Records come in the inner reader's order. An error the inner reader
// raises comes out of ReadNext on the caller's thread, after the records
// read before it. Rewind and SeekRecord stop the thread first; it starts
// again after the next few records, which are read on the caller's thread.
#pragma once

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/loaders/stream_dataset.h"

namespace qx {

class TPrefetchReader : public TRecordReader {
  public:
    explicit TPrefetchReader(std::unique_ptr<TRecordReader> inner);
    ~TPrefetchReader() override;
    TPrefetchReader(const TPrefetchReader&) = delete;
    TPrefetchReader& operator=(const TPrefetchReader&) = delete;

    void Rewind() override;
    void SeekRecord(std::int64_t index) override;
    bool ReadNext(std::vector<TFieldValue>& values) override;
    std::int64_t KnownCount() const override { return FInner->KnownCount(); }

  private:
    using TBatch = std::vector<std::vector<TFieldValue>>;
    void Produce();
    void Stop();
    // Takes the next batch from the thread; false after the last.
    bool TakeBatch();

    std::unique_ptr<TRecordReader> FInner;
    // The caller's side: the batch being handed out.
    TBatch FBatch;
    std::size_t FBatchNext = 0;
    std::size_t FBatchSize = 0;
    bool FEndTaken = false;
    std::exception_ptr FEndError;
    std::size_t FDirectReads = 0;  // since the last rewind or seek

    // Shared with the thread, under FMutex.
    std::mutex FMutex;
    std::condition_variable FChanged;
    TBatch FReady;
    std::size_t FReadySize = 0;
    bool FHasReady = false;
    bool FReadyIsLast = false;
    std::exception_ptr FReadyError;
    bool FStop = false;
    std::thread FThread;
};

}  // namespace qx
