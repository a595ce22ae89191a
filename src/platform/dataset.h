// The host's data-access interfaces: TDataSet (a cursor over records),
// TField (one column of the current record) and TBookmarkList (the rows a
// user selected). The engine only reads through these; concrete datasets
// (in-memory, SQLite, CSV, JSON) live beside this file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/component.h"
#include "platform/exceptions.h"

namespace qx {

using TDateTime = double;  // days since 1899-12-30; the fraction is the time of day

// Field types keep their classic ordinals: stored settings and callers
// compare them by number.
enum TFieldType : int {
    ftUnknown = 0,
    ftString = 1,
    ftSmallint = 2,
    ftInteger = 3,
    ftWord = 4,
    ftBoolean = 5,
    ftFloat = 6,
    ftCurrency = 7,
    ftBCD = 8,
    ftDate = 9,
    ftTime = 10,
    ftDateTime = 11,
    ftBytes = 12,
    ftVarBytes = 13,
    ftAutoInc = 14,
    ftBlob = 15,
    ftMemo = 16,
    ftGraphic = 17,
    ftFixedChar = 23,
    ftWideString = 24,
    ftLargeint = 25,
    ftTimeStamp = 36,
    ftFMTBcd = 37,
    ftFixedWideChar = 38,
    ftWideMemo = 39,
};

// The integer types: their values are read whole with AsLargeInt.
constexpr bool IsIntegerType(TFieldType t) {
    return t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc || t == ftLargeint;
}

// Field lookup and type failures of a dataset.
class EDatabaseError : public Exception {
  public:
    using Exception::Exception;
};

// An opaque position in a dataset, made by the dataset that reads it back.
using TBookmark = std::string;

// The record number a bookmark made of a row number names, or -1 when the
// text is not such a number (datasets whose bookmarks are row numbers).
std::int64_t RowOfBookmark(const TBookmark& bookmark);

class TDataSet;

class TField : public TObject {
  public:
    TField(TDataSet* dataSet, std::string fieldName, TFieldType dataType)
        : FDataSet(dataSet), FFieldName(std::move(fieldName)), FDataType(dataType) {}
    ~TField() override = default;
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    TDataSet* DataSet() const { return FDataSet; }
    const std::string& FieldName() const { return FFieldName; }
    TFieldType DataType() const { return FDataType; }
    // Blob, memo and graphic fields (their value is a byte string).
    bool IsBlob() const;

    virtual bool IsNull() const = 0;
    virtual std::string AsString() const = 0;
    virtual std::int64_t AsLargeInt() const = 0;
    virtual double AsFloat() const = 0;
    virtual bool AsBoolean() const = 0;
    virtual TDateTime AsDateTime() const = 0;
    // The raw bytes of a blob; the text of any other field.
    virtual std::string AsBytes() const = 0;
    // The field's value when the field holds it as text already, read in
    // place rather than copied (null otherwise: ask AsString). Good until
    // the dataset moves.
    virtual const std::string* HeldText() const { return nullptr; }
    int AsInteger() const;
    double AsCurrency() const { return AsFloat(); }

  private:
    TDataSet* FDataSet;
    std::string FFieldName;
    TFieldType FDataType;
};

class TDataSet : public TComponent {
  public:
    using TComponent::TComponent;
    ~TDataSet() override;

    virtual bool Active() const = 0;
    virtual void First() = 0;
    virtual void Next() = 0;
    virtual void Prior() = 0;
    virtual void Last() = 0;
    virtual bool Eof() const = 0;
    virtual bool Bof() const = 0;
    // -1 when the dataset does not know without reading everything.
    virtual int RecordCount() const { return -1; }
    virtual int FieldCount() const = 0;
    virtual TField* Fields(int index) const = 0;
    virtual TBookmark GetBookmark() const = 0;
    virtual void GotoBookmark(const TBookmark& bookmark) = 0;

    // Case-insensitive; FindField answers nullptr, FieldByName raises
    // EDatabaseError "Field 'NAME' not found".
    TField* FindField(const std::string& fieldName) const;
    TField* FieldByName(const std::string& fieldName) const;

    // Counted: every DisableControls needs its EnableControls.
    void DisableControls() { ++FDisableCount; }
    void EnableControls() {
        if (FDisableCount > 0) --FDisableCount;
    }
    bool ControlsDisabled() const { return FDisableCount > 0; }

    // Master-detail: a detail follows its master. Whenever the master's
    // current record changes, each detail is told (MasterMoved) and re-opens
    // on its first record for the master's new record. Nullptr unlinks; a
    // link that would close a circle raises EDatabaseError. Whichever of the
    // two is destroyed first drops the link.
    virtual void SetMaster(TDataSet* master);
    TDataSet* Master() const { return FMaster; }

  protected:
    // Implementations call this after every change of the current record.
    void Moved();
    // The master has a new current record.
    virtual void MasterMoved() { First(); }

  private:
    int FDisableCount = 0;
    TDataSet* FMaster = nullptr;
    std::vector<TDataSet*> FDetails;
};

// The rows a user selected, as bookmarks of one dataset.
class TBookmarkList {
  public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const TBookmark& Items(int index) const { return FItems.at(static_cast<std::size_t>(index)); }
    void Add(TBookmark bookmark) { FItems.push_back(std::move(bookmark)); }
    void Clear() { FItems.clear(); }

  private:
    std::vector<TBookmark> FItems;
};

}  // namespace qx
