#include "platform/loaders/file_datasets.h"

#include <csv.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/streams.h"
#include "platform/sysutils.h"
#include "platform/unicode.h"

namespace qx {

namespace {

struct TypeName {
    const char* name;
    TFieldType type;
};
constexpr TypeName kTypeNames[] = {
    {"string", ftString}, {"memo", ftMemo},         {"integer", ftLargeint},
    {"float", ftFloat},   {"currency", ftCurrency}, {"boolean", ftBoolean},
    {"date", ftDate},     {"time", ftTime},         {"datetime", ftDateTime},
};

[[noreturn]] void Fail(const std::string& name, const std::string& why) {
    throw EDatabaseError("Dataset " + name + ": " + why);
}

TFieldType InferType(const nlohmann::json& v) {
    if (v.is_boolean()) return ftBoolean;
    if (v.is_number_integer() || v.is_number_unsigned()) return ftLargeint;
    if (v.is_number()) return ftFloat;
    return ftString;
}

TFieldValue ValueFromJson(const std::string& dsName, const nlohmann::json& v, TFieldType type) {
    if (v.is_null()) return {};
    switch (type) {
        case ftBoolean:
            if (v.is_boolean()) return v.get<bool>();
            break;
        case ftLargeint:
            if (v.is_number_integer() || v.is_number_unsigned()) return v.get<std::int64_t>();
            break;
        case ftFloat:
        case ftCurrency:
            if (v.is_number()) return v.get<double>();
            break;
        case ftDate:
        case ftTime:
        case ftDateTime:
            if (v.is_string()) {
                TDateTime value = 0;
                const std::string text = v.get<std::string>();
                if (!TryParseIsoDateTime(text, value))
                    Fail(dsName, "'" + text + "' is not a date or time (yyyy-mm-dd hh:nn:ss)");
                return value;
            }
            break;
        default:
            if (v.is_string()) return v.get<std::string>();
            return v.dump();
    }
    Fail(dsName, "value " + v.dump() + " does not fit its field type");
}

}  // namespace

bool FieldTypeFromName(const std::string& typeName, TFieldType& type) {
    for (const TypeName& t : kTypeNames)
        if (SameText(typeName, t.name)) {
            type = t.type;
            return true;
        }
    return false;
}

std::unique_ptr<TMemDataSet> DataSetFromJson(const std::string& name, const nlohmann::json& doc) {
    auto ds = std::make_unique<TMemDataSet>(name);
    const nlohmann::json* rows = &doc;
    std::vector<std::pair<std::string, TFieldType>> fields;
    if (doc.is_object()) {
        if (!doc.contains("rows") || !doc["rows"].is_array())
            Fail(name, "\"rows\" must be an array");
        rows = &doc["rows"];
        if (doc.contains("fields")) {
            if (!doc["fields"].is_object())
                Fail(name, "\"fields\" must be an object of type names");
            for (const auto& [field, typeName] : doc["fields"].items()) {
                TFieldType type = ftString;
                if (!typeName.is_string() || !FieldTypeFromName(typeName.get<std::string>(), type))
                    Fail(name, "unknown type " + typeName.dump() + " of field " + field);
                fields.emplace_back(field, type);
            }
        }
    } else if (!doc.is_array()) {
        Fail(name, "expected an array of objects");
    }
    // Fields not declared take the type of their first non-null value, in
    // the order they first appear.
    for (const auto& row : *rows) {
        if (!row.is_object()) Fail(name, "every row must be an object");
        for (const auto& item : row.items()) {
            const std::string& field = item.key();
            const auto& value = item.value();
            auto it = std::find_if(fields.begin(), fields.end(),
                                   [&](const auto& f) { return f.first == field; });
            if (it == fields.end())
                fields.emplace_back(field, value.is_null() ? ftUnknown : InferType(value));
            else if (it->second == ftUnknown && !value.is_null())
                it->second = InferType(value);
            // An integer column with a fraction somewhere is a float column.
            else if (it->second == ftLargeint && InferType(value) == ftFloat)
                it->second = ftFloat;
        }
    }
    for (auto& [field, type] : fields) ds->AddField(field, type == ftUnknown ? ftString : type);
    for (const auto& row : *rows) {
        std::vector<TFieldValue> values;
        for (int i = 0; i < ds->FieldCount(); ++i) {
            const TField* f = ds->Fields(i);
            const auto it = row.find(f->FieldName());
            values.push_back(it == row.end() ? TFieldValue{}
                                             : ValueFromJson(name, *it, f->DataType()));
        }
        ds->AppendRecord(std::move(values));
    }
    ds->First();
    return ds;
}

std::unique_ptr<TMemDataSet> LoadJsonDataSet(const std::string& name, const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) Fail(name, "cannot read " + fileName);
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception& e) {
        Fail(name, fileName + " is not valid JSON: " + e.what());
    }
    return DataSetFromJson(name, doc);
}

namespace {
struct CsvRows {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> current;
};
void OnCsvField(void* data, std::size_t len, void* state) {
    static_cast<CsvRows*>(state)->current.emplace_back(static_cast<const char*>(data), len);
}
void OnCsvRow(int, void* state) {
    auto* s = static_cast<CsvRows*>(state);
    s->rows.push_back(std::move(s->current));
    s->current.clear();
}
}  // namespace

std::unique_ptr<TMemDataSet> LoadCsvDataSet(const std::string& name, const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) Fail(name, "cannot read " + fileName);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string bytes = text.str();
    csv_parser parser{};
    if (csv_init(&parser, CSV_STRICT | CSV_APPEND_NULL) != 0)
        Fail(name, "cannot start the CSV reader");
    CsvRows state;
    const bool ok = csv_parse(&parser, bytes.data(), bytes.size(), OnCsvField, OnCsvRow, &state) ==
                        bytes.size() &&
                    csv_fini(&parser, OnCsvField, OnCsvRow, &state) == 0;
    const std::string why = ok ? std::string() : csv_strerror(csv_error(&parser));
    csv_free(&parser);
    if (!ok) Fail(name, fileName + " is not valid CSV: " + why);
    if (state.rows.empty()) Fail(name, fileName + " has no header row");
    auto ds = std::make_unique<TMemDataSet>(name);
    for (const std::string& field : state.rows[0]) ds->AddField(field, ftString);
    for (std::size_t r = 1; r < state.rows.size(); ++r) {
        std::vector<std::string>& row = state.rows[r];
        if (row.size() != state.rows[0].size())
            Fail(name, fileName + " row " + std::to_string(r + 1) + " has " +
                           std::to_string(row.size()) + " fields, the header " +
                           std::to_string(state.rows[0].size()));
        ds->AppendRecord(std::vector<TFieldValue>(row.begin(), row.end()));
    }
    ds->First();
    return ds;
}

}  // namespace qx
