#include "platform/loaders/prefetch_reader.h"

namespace qx {

namespace {
// Records per hand-over: the lock is taken once a batch, not once a record.
constexpr std::size_t kBatchRecords = 4096;
// Records read on the caller's thread after a rewind or seek before the
// thread starts: a cursor that goes back one record at a time would
// otherwise have a batch parsed ahead for every step.
constexpr std::size_t kDirectRecords = 64;
}  // namespace

TPrefetchReader::TPrefetchReader(std::unique_ptr<TRecordReader> inner)
    : FInner(std::move(inner)), FBatch(kBatchRecords), FReady(kBatchRecords) {}

TPrefetchReader::~TPrefetchReader() {
    Stop();
}

void TPrefetchReader::Stop() {
    if (FThread.joinable()) {
        {
            std::lock_guard lock(FMutex);
            FStop = true;
            FChanged.notify_all();
        }
        FThread.join();
    }
    FStop = false;
    FHasReady = false;
    FReadyIsLast = false;
    FReadyError = nullptr;
    FBatchNext = FBatchSize = 0;
    FEndTaken = false;
    FEndError = nullptr;
    FDirectReads = 0;
}

void TPrefetchReader::Rewind() {
    Stop();
    FInner->Rewind();
}

void TPrefetchReader::SeekRecord(std::int64_t index) {
    Stop();
    FInner->SeekRecord(index);
}

void TPrefetchReader::Produce() {
    TBatch batch(kBatchRecords);
    for (;;) {
        std::size_t count = 0;
        bool last = false;
        std::exception_ptr error;
        try {
            for (; count < kBatchRecords; ++count)
                if (!FInner->ReadNext(batch[count])) {
                    last = true;
                    break;
                }
        } catch (...) {
            error = std::current_exception();
            last = true;
        }
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [this] { return !FHasReady || FStop; });
        if (FStop) return;
        std::swap(batch, FReady);
        FReadySize = count;
        FReadyIsLast = last;
        FReadyError = error;
        FHasReady = true;
        FChanged.notify_all();
        if (last) return;
    }
}

bool TPrefetchReader::TakeBatch() {
    if (FEndTaken) {
        if (FEndError) std::rethrow_exception(FEndError);
        return false;
    }
    if (!FThread.joinable()) FThread = std::thread([this] { Produce(); });
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FHasReady; });
    std::swap(FBatch, FReady);
    FBatchSize = FReadySize;
    FBatchNext = 0;
    FHasReady = false;
    if (FReadyIsLast) {
        FEndTaken = true;
        FEndError = FReadyError;
    }
    FChanged.notify_all();
    return true;
}

bool TPrefetchReader::ReadNext(std::vector<TFieldValue>& values) {
    if (!FThread.joinable() && FDirectReads < kDirectRecords) {
        ++FDirectReads;
        return FInner->ReadNext(values);
    }
    while (FBatchNext == FBatchSize)
        if (!TakeBatch()) return false;
    // The caller's vector goes back into the batch: its storage is reused.
    std::swap(values, FBatch[FBatchNext++]);
    return true;
}

}  // namespace qx
