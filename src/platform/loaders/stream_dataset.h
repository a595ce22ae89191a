// TStreamDataSet: the cursor shared by the file and database datasets. Its
// records come from a TRecordReader that reads forward; the dataset keeps
// the current record and a few recent ones (so Prior right after Next costs
// nothing) and otherwise asks the reader to go back, so a dataset of a
// million records walked once holds one record, not a million.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/dataset.h"
#include "platform/loaders/column_types.h"
#include "platform/value_field.h"

namespace qx {

// A source of records read forward from the first.
class TRecordReader {
  public:
    virtual ~TRecordReader() = default;
    // Back before the first record.
    virtual void Rewind() = 0;
    // Reads the next record, one value per field; false after the last.
    virtual bool ReadNext(std::vector<TFieldValue>& values) = 0;
    // Makes record `index` (0-based) the next one ReadNext reads. The
    // default rewinds and reads past the records before it; readers that
    // can do better (a file with remembered offsets) override it.
    virtual void SeekRecord(std::int64_t index);
    // The number of records when known without reading them, else -1.
    virtual std::int64_t KnownCount() const { return -1; }
};

class TStreamDataSet : public TDataSet, private TValueSource {
  public:
    explicit TStreamDataSet(const std::string& name);
    ~TStreamDataSet() override;

    bool Active() const override { return true; }
    void First() override;
    void Next() override;
    void Prior() override;
    void Last() override;
    bool Eof() const override { return FEof; }
    bool Bof() const override { return FBof; }
    int RecordCount() const override;
    int FieldCount() const override { return static_cast<int>(FFields.size()); }
    TField* Fields(int index) const override;
    TBookmark GetBookmark() const override;
    void GotoBookmark(const TBookmark& bookmark) override;
    // Of a dataset read by a query: the number of its :MASTER_FIELD
    // parameters, by which it follows a master as its detail; -1 for one
    // that has no query (a file), whose records are linked by a key.
    virtual int MasterParameterCount() const { return -1; }
    // A detail of this dataset: the records of the arrays under `key` in
    // each of its records; null for a dataset whose records hold none (all
    // but JSON).
    virtual std::unique_ptr<TStreamDataSet> NestedDetail(const std::string& /*name*/,
                                                         const std::string& /*key*/,
                                                         const TColumnTypes& /*types*/) {
        return nullptr;
    }

  protected:
    TField* AddField(const std::string& fieldName, TFieldType dataType);
    // Before the engine has looked at them: a detail learns the types of
    // its computed columns only once it has a master record to run with.
    void ClearFields() {
        FFields.clear();
        FFoldedNames.clear();
    }
    void SetReader(std::unique_ptr<TRecordReader> reader);
    TRecordReader& Reader() { return *FReader; }
    // The 0-based current record, -1 when there is none.
    std::int64_t CurrentIndex() const { return FCurrent; }
    // The records have changed (a detail follows a new master record):
    // forget the current and recent ones and what is known of the count.
    void ForgetRecords();

  private:
    const TFieldValue& CurrentValue(int field) const override;
    // Makes record `index` current; false (nothing changed) when there is
    // no such record.
    bool Fetch(std::int64_t index);
    bool ReadRecord(std::int64_t index, std::vector<TFieldValue>& values);

    std::vector<std::unique_ptr<TField>> FFields;
    // The field names upper-cased: a file of 50,000 columns checks each new
    // name for a duplicate at once, not against every name before it.
    std::unordered_set<std::string> FFoldedNames;
    std::unique_ptr<TRecordReader> FReader;
    std::vector<TFieldValue> FValues;  // of the current record
    std::int64_t FCurrent = -1;        // -1: no current record (empty)
    std::int64_t FReadNext = 0;        // the record the reader reads next
    std::int64_t FCount = 0;           // -1 until known (from the reader, or at the end)
    std::deque<std::pair<std::int64_t, std::vector<TFieldValue>>> FRecent;
    bool FEof = true;
    bool FBof = true;
};

}  // namespace qx
