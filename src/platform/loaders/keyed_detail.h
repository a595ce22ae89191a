// TKeyedDetail: the records of a file dataset (CSV or JSON) that belong to
// the master's current record, told by a key: those whose key field holds
// the value of the master's field. A file has no query to pass the master's
// values to, so the link is the pair of fields.
//
// The records are read through once, when the detail is made, to find each
// key's records:
// - when records with equal keys come together (the file is sorted or
//   grouped by the key), each key is remembered with its first record and
//   how many follow: memory grows with the number of keys, not of records,
//   and a master walked in the file's order reads the file forward once;
// - otherwise each key keeps the list of its record numbers: about 8 bytes
//   a record more, and the records of one master are read in the order of
//   the file, going back and forth in it.
// Keys compare as values: numbers by their value (7 = 7.0 = "7"), dates as
// dates, other values by their text. A record whose key is NULL belongs to
// no master record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/loaders/stream_dataset.h"
#include "platform/value_field.h"

namespace qx {

class TKeyedDetail : public TDataSet, private TValueSource {
  public:
    // Takes `records` (named as the detail is); `keyField` is its field,
    // `masterField` the master's, both checked once the master is set.
    // Raises EDatabaseError naming the detail when `keyField` is not one of
    // its fields.
    TKeyedDetail(std::unique_ptr<TStreamDataSet> records, const std::string& keyField,
                 const std::string& masterField);
    ~TKeyedDetail() override;

    // Raises EDatabaseError naming both datasets when the master has no
    // field `masterField`.
    void SetMaster(TDataSet* master) override;

    bool Active() const override { return true; }
    void First() override;
    void Next() override;
    void Prior() override;
    void Last() override;
    bool Eof() const override { return FEof; }
    bool Bof() const override { return FBof; }
    int RecordCount() const override { return static_cast<int>(FCount); }
    int FieldCount() const override { return static_cast<int>(FFields.size()); }
    TField* Fields(int index) const override;
    TBookmark GetBookmark() const override;
    void GotoBookmark(const TBookmark& bookmark) override;

    // True when equal keys came together in the file (see above).
    bool Grouped() const { return FGrouped; }

  private:
    const TFieldValue& CurrentValue(int field) const override;
    // Positions the records on the `position`-th record of the current key.
    void Show(std::int64_t position);
    std::int64_t RecordOf(std::int64_t position) const;
    void Index();

    struct Run {
        std::int64_t first = 0;
        std::int64_t count = 0;
    };

    std::unique_ptr<TStreamDataSet> FRecords;
    std::string FKeyField, FMasterField;
    std::vector<std::unique_ptr<TValueField>> FFields;
    bool FGrouped = true;
    std::unordered_map<std::string, Run> FRuns;                         // when grouped
    std::unordered_map<std::string, std::vector<std::int64_t>> FLists;  // otherwise
    // The records of the master's current record.
    const Run* FRun = nullptr;
    const std::vector<std::int64_t>* FList = nullptr;
    std::int64_t FCount = 0;
    std::int64_t FPosition = -1;  // -1: no current record
    bool FEof = true;
    bool FBof = true;
};

// The text two keys share when their values are equal, "" for NULL.
std::string KeyText(const TField& field);

}  // namespace qx
