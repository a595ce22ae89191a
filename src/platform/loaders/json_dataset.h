// JSON datasets: an array of objects, one record per object, from a file or
// from a place inside one ("orders.json#/data/orders", a JSON pointer). The
// fields are the keys found in any object, in the order they first appear;
// a key whose values are all arrays or objects is no field: such arrays are
// the records of detail datasets (see the detail constructor).
//
// Types: from {"fields": {"NAME": "string", ...}, "rows": [...]} when the
// document gives them, else from the values: integers (64-bit, exact),
// numbers, true/false, and strings, where a column whose every non-empty
// string is an ISO-8601 date (or date-time) is a date (date-time) column,
// and one of numbers whose strings are all numbers too ("249,00" in the
// locale's form of the guess options) a float column. Any other mix is a
// string column; when most of its values are of one type, the first that
// is not is told to the guess options' warn.
#pragma once

#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "platform/loaders/column_types.h"
#include "platform/loaders/json_store.h"
#include "platform/loaders/stream_dataset.h"

namespace qx {

class TJsonDataSet : public TStreamDataSet {
  public:
    // `source`: FILE or FILE#/json/pointer. Raises EDatabaseError naming the
    // file (and line and column of a syntax error).
    static std::unique_ptr<TJsonDataSet> Open(const std::string& name, const std::string& source,
                                              const TColumnTypes& types = {},
                                              const TGuessOptions& guess = {});
    // The records of the value `at` of `doc` (an array of objects, or the
    // typed form).
    TJsonDataSet(const std::string& name, std::shared_ptr<const TJsonStore> doc,
                 TJsonStore::TRef at, const TColumnTypes& types = {},
                 const std::string& where = "the document", const TGuessOptions& guess = {});
    // A detail of `master`: the records of the array under `key` (matched
    // case-insensitively) in the master's current record; none when the
    // record has no such array.
    TJsonDataSet(const std::string& name, TJsonDataSet& master, const std::string& key,
                 const TColumnTypes& types = {});
    ~TJsonDataSet() override;

    // Only the master given to the detail constructor (or none) is taken.
    void SetMaster(TDataSet* master) override;
    std::unique_ptr<TStreamDataSet> NestedDetail(const std::string& name, const std::string& key,
                                                 const TColumnTypes& types) override {
        return std::make_unique<TJsonDataSet>(name, *this, key, types);
    }

  protected:
    void MasterMoved() override;

  private:
    using TRef = TJsonStore::TRef;
    // The objects this dataset may ever show (a detail: those of every
    // master record), for finding its fields.
    const std::vector<TRef>& AllRecords() const { return FAll; }
    TRef CurrentObject() const;
    void AddRecords(TRef array);
    void DefineFields(const TColumnTypes& types, TRef declared);
    void CheckValues(const std::vector<std::size_t>& columns) const;
    void ShowRecords(TRef array);

    std::shared_ptr<const TJsonStore> FDoc;
    TJsonDataSet* FJsonMaster = nullptr;
    std::string FKey;
    std::string FWhere;  // the file, for errors
    TGuessOptions FGuess;
    std::vector<TRef> FAll;
    // The records shown now: FAll itself, or those of one master record.
    const std::vector<TRef>* FShown = nullptr;
    std::vector<TRef> FShownOfMaster;
    std::vector<std::string> FNames;
    std::vector<TFieldType> FTypes;
    // Each key of the document: the field it gives a value of, times two,
    // plus one when the key is the field's name exactly; -1: no field.
    std::vector<int> FFieldOfKey;
};

// A dataset of a document already in memory (its keys in sorted order).
std::unique_ptr<TJsonDataSet> DataSetFromJson(const std::string& name, const nlohmann::json& doc);

}  // namespace qx
