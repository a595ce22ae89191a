// TMemDataSet: a dataset held in memory, filled through the API. Tests use
// it, and so can applications whose data is already in memory.
//
//   TMemDataSet orders("ORDERS");
//   orders.AddField("NAME", ftString);
//   orders.AddField("TOTAL", ftFloat);
//   orders.AppendRecord({"Smith", 12.5});
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dataset.h"
#include "platform/value_field.h"

namespace qx {

class TMemDataSet : public TDataSet, private TValueSource {
  public:
    explicit TMemDataSet(const std::string& name = "", TComponent* owner = nullptr);
    ~TMemDataSet() override;

    // Fields are defined before the first record is added.
    TField* AddField(const std::string& fieldName, TFieldType dataType);
    // One value per field, in field order. Integers given as int are stored
    // as int64, dates as double. Raises EDatabaseError on a wrong count.
    void AppendRecord(std::vector<TFieldValue> values);
    void Clear();
    const TFieldValue& Value(int record, int field) const;

    bool Active() const override { return true; }
    void First() override;
    void Next() override;
    void Prior() override;
    void Last() override;
    bool Eof() const override { return FEof; }
    bool Bof() const override { return FBof; }
    int RecordCount() const override { return static_cast<int>(FRows.size()); }
    int FieldCount() const override { return static_cast<int>(FFields.size()); }
    TField* Fields(int index) const override;
    TBookmark GetBookmark() const override;
    void GotoBookmark(const TBookmark& bookmark) override;
    // The 0-based current record (-1 when the dataset is empty).
    int RecNo() const { return FRows.empty() ? -1 : FCurrent; }
    const TFieldValue& CurrentValue(int field) const override;

  private:
    std::vector<std::unique_ptr<TField>> FFields;
    std::vector<std::vector<TFieldValue>> FRows;
    int FCurrent = 0;
    bool FEof = true;
    bool FBof = true;
};

}  // namespace qx
