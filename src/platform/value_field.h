// TValueField: a field whose current value is a TFieldValue held by its
// dataset. The in-memory dataset and the file and database datasets share
// it, so a value converts the same way whatever dataset holds it.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "platform/dataset.h"
#include "platform/sysutils.h"

namespace qx {

// A stored value: null, text (also blob bytes), integer, float (also dates
// and times, as days since 1899-12-30) or boolean.
using TFieldValue = std::variant<std::monostate, std::string, std::int64_t, double, bool>;

// Where a TValueField finds the value of its column in the current record.
class TValueSource {
  public:
    virtual const TFieldValue& CurrentValue(int field) const = 0;

  protected:
    ~TValueSource() = default;
};

class TValueField : public TField {
  public:
    TValueField(TDataSet* dataSet, const TValueSource* source, std::string fieldName,
                TFieldType dataType, int index)
        : TField(dataSet, std::move(fieldName), dataType), FSource(source), FIndex(index) {}

    bool IsNull() const override { return std::holds_alternative<std::monostate>(Value()); }
    std::string AsString() const override;
    // AsString with the given format settings instead of the process-wide
    // ones (dates, times and floating values).
    std::string AsStringIn(const TFormatSettings& fs) const;
    std::int64_t AsLargeInt() const override;
    double AsFloat() const override;
    bool AsBoolean() const override;
    TDateTime AsDateTime() const override;
    std::string AsBytes() const override { return AsString(); }
    const std::string* HeldText() const override { return std::get_if<std::string>(&Value()); }

    // The current record's value as stored.
    const TFieldValue& Value() const { return FSource->CurrentValue(FIndex); }

  private:
    EDatabaseError Invalid(const char* type) const;

    const TValueSource* FSource;
    int FIndex;
};

}  // namespace qx
