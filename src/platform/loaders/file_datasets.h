// Loading in-memory datasets from files: JSON (an array of objects, or an
// object with explicit field types) and CSV with a header row.
//
// JSON forms:
//   [{"NAME": "Smith", "TOTAL": 12.5}, ...]           types inferred
//   {"fields": {"NAME": "string", "DUE": "date"},       types given
//    "rows": [{"NAME": "Smith", "DUE": "2024-03-07"}]}
// Type names: string, memo, integer, float, currency, boolean, date, time,
// datetime. Dates are "yyyy-mm-dd", times "hh:nn[:ss]", date-times both
// joined by a blank or "T". Inferred: JSON integers integer, other numbers
// float, true/false boolean, everything else string.
// CSV: the header row names the fields; every field is a string unless a
// type list is given.
#pragma once

#include <memory>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/mem_dataset.h"

namespace qx {

// Raises EDatabaseError with the dataset name and the reason on bad input.
std::unique_ptr<TMemDataSet> DataSetFromJson(const std::string& name, const nlohmann::json& doc);
std::unique_ptr<TMemDataSet> LoadJsonDataSet(const std::string& name, const std::string& fileName);
std::unique_ptr<TMemDataSet> LoadCsvDataSet(const std::string& name, const std::string& fileName);

// "string" -> ftString, ...; false for an unknown name.
bool FieldTypeFromName(const std::string& typeName, TFieldType& type);

}  // namespace qx
