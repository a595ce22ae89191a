// JSON datasets: an array of objects, one record per object, from a file or
// from a place inside one ("orders.json#/data/orders", a JSON pointer). The
// fields are the keys found in any object, in the order they first appear;
// a key whose values are all arrays or objects is no field: such arrays are
// the records of detail datasets (see the detail constructor).
//
// Types: from {"fields": {"NAME": "string", ...}, "rows": [...]} when the
// document gives them, else from the values: integers (64-bit, exact),
// numbers, true/false, and strings, where a column whose every non-empty
// string is an ISO-8601 date (or date-time) is a date (date-time) column.
// Any other mix is a string column.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/loaders/column_types.h"
#include "platform/loaders/stream_dataset.h"

namespace qx {

using TJsonDocument = nlohmann::ordered_json;

class TJsonDataSet : public TStreamDataSet {
  public:
    // `source`: FILE or FILE#/json/pointer. Raises EDatabaseError naming the
    // file (and line and column of a syntax error).
    static std::unique_ptr<TJsonDataSet> Open(const std::string& name, const std::string& source,
                                              const TColumnTypes& types = {});
    // The records of `doc` (an array of objects, or the typed form).
    TJsonDataSet(const std::string& name, std::shared_ptr<const TJsonDocument> doc,
                 const TColumnTypes& types = {}, const std::string& where = "the document");
    // A detail of `master`: the records of the array under `key` (matched
    // case-insensitively) in the master's current record; none when the
    // record has no such array.
    TJsonDataSet(const std::string& name, TJsonDataSet& master, const std::string& key,
                 const TColumnTypes& types = {});
    ~TJsonDataSet() override;

    // Only the master given to the detail constructor (or none) is taken.
    void SetMaster(TDataSet* master) override;

  protected:
    void MasterMoved() override;

  private:
    // The objects this dataset may ever show (a detail: those of every
    // master record), for finding its fields.
    const std::vector<const TJsonDocument*>& AllRecords() const { return FAll; }
    const TJsonDocument* CurrentObject() const;
    void DefineFields(const TColumnTypes& types, const TJsonDocument* declared);
    void ShowRecords(const TJsonDocument* array);

    std::shared_ptr<const TJsonDocument> FDoc;
    TJsonDataSet* FJsonMaster = nullptr;
    std::string FKey;
    std::string FWhere;  // the file, for errors
    std::vector<const TJsonDocument*> FAll;
    const TJsonDocument* FRecords = nullptr;  // the array shown now
    std::vector<std::string> FNames;
    std::vector<TFieldType> FTypes;
};

// A dataset of a document already in memory (its keys in sorted order).
std::unique_ptr<TJsonDataSet> DataSetFromJson(const std::string& name, const nlohmann::json& doc);

}  // namespace qx
