// Reading ahead on a thread: the records come in order, across batches,
// after rewinds and seeks, and an error comes after the records before it.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/loaders/prefetch_reader.h"

using namespace qx;

namespace {

// Records 0..count-1, each one value: its number. Fails at `failAt`.
class TCountingReader : public TRecordReader {
  public:
    TCountingReader(std::int64_t count, std::int64_t failAt) : FCount(count), FFailAt(failAt) {}
    void Rewind() override { FNext = 0; }
    void SeekRecord(std::int64_t index) override { FNext = index; }
    std::int64_t KnownCount() const override { return FCount; }
    bool ReadNext(std::vector<TFieldValue>& values) override {
        if (FNext == FFailAt) throw std::runtime_error("bad record " + std::to_string(FNext));
        if (FNext >= FCount) return false;
        values.assign(1, TFieldValue{FNext++});
        return true;
    }

  private:
    std::int64_t FCount, FFailAt, FNext = 0;
};

std::vector<std::int64_t> ReadAll(TRecordReader& reader, std::int64_t limit = -1) {
    std::vector<std::int64_t> got;
    std::vector<TFieldValue> values;
    while (limit-- != 0 && reader.ReadNext(values))
        got.push_back(std::get<std::int64_t>(values[0]));
    return got;
}

std::vector<std::int64_t> Range(std::int64_t from, std::int64_t to) {
    std::vector<std::int64_t> v;
    for (std::int64_t i = from; i < to; ++i) v.push_back(i);
    return v;
}

}  // namespace

TEST(PrefetchReader, GivesTheRecordsInOrderAfterRewindsAndSeeks) {
    for (const std::int64_t count : {0, 1, 4096, 4097, 10000}) {
        SCOPED_TRACE(count);
        TPrefetchReader reader(std::make_unique<TCountingReader>(count, -1));
        EXPECT_EQ(reader.KnownCount(), count);
        EXPECT_EQ(ReadAll(reader), Range(0, count));
        std::vector<TFieldValue> values;
        EXPECT_FALSE(reader.ReadNext(values));
        // Stopping part-way, with the thread still reading ahead.
        reader.Rewind();
        EXPECT_EQ(ReadAll(reader, 5), Range(0, std::min<std::int64_t>(5, count)));
        reader.SeekRecord(count / 2);
        EXPECT_EQ(ReadAll(reader), Range(count / 2, count));
    }
}

TEST(PrefetchReader, AnErrorComesAfterTheRecordsBeforeIt) {
    for (const std::int64_t failAt : {0, 3, 4096, 5000}) {
        SCOPED_TRACE(failAt);
        TPrefetchReader reader(std::make_unique<TCountingReader>(10000, failAt));
        std::vector<std::int64_t> got;
        std::vector<TFieldValue> values;
        try {
            while (reader.ReadNext(values)) got.push_back(std::get<std::int64_t>(values[0]));
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "bad record " + std::to_string(failAt));
        }
        EXPECT_EQ(got, Range(0, failAt));
        EXPECT_THROW(reader.ReadNext(values), std::runtime_error);
        // A seek past the failing record reads on.
        reader.SeekRecord(failAt + 1);
        EXPECT_EQ(ReadAll(reader), Range(failAt + 1, 10000));
    }
}
