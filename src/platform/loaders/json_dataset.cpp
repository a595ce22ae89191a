#include "platform/loaders/json_dataset.h"

#include <algorithm>
#include <fstream>

#include "platform/internal/unicode.h"

namespace qx {

namespace {

using Json = TJsonDocument;

// What the values of one key look like over all records.
struct TJsonColumn {
    explicit TJsonColumn(std::string n) : name(std::move(n)) {}
    std::string name;
    bool integers = false, floats = false, booleans = false, strings = false, nested = false;
    bool bigUnsigned = false;  // beyond 64-bit signed: kept as a float
    TTextTypeGuess stringGuess;

    void See(const Json& v) {
        if (v.is_null()) return;
        if (v.is_boolean())
            booleans = true;
        else if (v.is_number_unsigned() && v.get<std::uint64_t>() > INT64_MAX)
            bigUnsigned = true;
        else if (v.is_number_integer())
            integers = true;
        else if (v.is_number())
            floats = true;
        else if (v.is_string()) {
            strings = true;
            if (!v.get_ref<const std::string&>().empty())
                stringGuess.See(v.get_ref<const std::string&>());
        } else
            nested = true;
    }
    bool IsField() const { return !nested || integers || floats || booleans || strings; }
    TFieldType Type() const {
        const int kinds = (integers || floats || bigUnsigned) + booleans + strings + nested;
        if (kinds != 1) return ftString;
        if (booleans) return ftBoolean;
        if (floats || bigUnsigned) return ftFloat;
        if (integers) return ftLargeint;
        const TFieldType t = stringGuess.Type();
        return t == ftDate || t == ftDateTime ? t : ftString;
    }
};

const Json* FindKey(const Json& object, const std::string& key) {
    if (!object.is_object()) return nullptr;
    const auto exact = object.find(key);
    if (exact != object.end()) return &*exact;
    for (auto it = object.begin(); it != object.end(); ++it)
        if (SameText(it.key(), key)) return &it.value();
    return nullptr;
}

// FindKey, trying the member at `position` first: records of one array
// mostly give their keys in the same order.
const Json* KeyAt(const Json& object, std::size_t position, const std::string& key) {
    if (object.is_object() && position < object.size()) {
        const auto it = std::next(object.begin(), static_cast<std::ptrdiff_t>(position));
        if (it.key() == key) return &it.value();
    }
    return FindKey(object, key);
}

// `v` as a value of a field of `type`; false when it does not fit.
bool ValueFromJson(const Json& v, TFieldType type, TFieldValue& out) {
    out = {};
    if (v.is_null()) return true;
    if (v.is_string()) {
        const std::string& s = v.get_ref<const std::string&>();
        if (s.empty() && !IsTextType(type)) return true;
        return ValueFromText(s, type, out);
    }
    if (IsTextType(type)) {
        out = v.dump();
        return true;
    }
    if (type == ftBoolean) {
        if (!v.is_boolean()) return false;
        out = v.get<bool>();
        return true;
    }
    if (!v.is_number() || IsDateTimeType(type)) return false;
    if (type == ftLargeint || type == ftInteger || type == ftSmallint || type == ftWord ||
        type == ftAutoInc) {
        if (!v.is_number_integer() ||
            (v.is_number_unsigned() && v.get<std::uint64_t>() > INT64_MAX))
            return false;
        out = v.get<std::int64_t>();
        return true;
    }
    out = v.get<double>();
    return true;
}

// Line and column of byte `offset` (from 1) of `text`.
std::string LineAndColumn(const std::string& text, std::size_t offset) {
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i + 1 < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return std::to_string(line) + ":" + std::to_string(column);
}

// Builds the document as nlohmann's own parser does, except that an object
// is made with room for as many members as the one before it had: the
// records of an array are alike, and growing each one member by member was
// a large part of loading a big file.
class TDocumentBuilder {
  public:
    explicit TDocumentBuilder(Json& root) : FRoot(root) {}

    bool null() { return Put(nullptr); }
    bool boolean(bool v) { return Put(v); }
    bool number_integer(Json::number_integer_t v) { return Put(v); }
    bool number_unsigned(Json::number_unsigned_t v) { return Put(v); }
    bool number_float(Json::number_float_t v, const Json::string_t&) { return Put(v); }
    bool string(Json::string_t& v) { return Put(v); }
    bool binary(Json::binary_t& v) { return Put(std::move(v)); }
    bool start_object(std::size_t) {
        Put(Json::value_t::object);
        FStack.push_back(FLast);
        FLast->get_ref<Json::object_t&>().reserve(FMembers);
        return true;
    }
    bool key(Json::string_t& k) {
        FMember = &FStack.back()->get_ref<Json::object_t&>()[k];
        return true;
    }
    bool end_object() {
        FMembers = FStack.back()->size();
        FStack.pop_back();
        return true;
    }
    bool start_array(std::size_t) {
        Put(Json::value_t::array);
        FStack.push_back(FLast);
        return true;
    }
    bool end_array() {
        FStack.pop_back();
        return true;
    }
    // The parser's own exception, of its own type, as its DOM parser raises.
    template <typename Exception>
    bool parse_error(std::size_t, const std::string&, const Exception& e) {
        throw e;
    }

  private:
    template <typename Value>
    bool Put(Value&& v) {
        if (FStack.empty()) {
            FRoot = Json(std::forward<Value>(v));
            FLast = &FRoot;
        } else if (FStack.back()->is_array()) {
            auto& array = FStack.back()->get_ref<Json::array_t&>();
            array.emplace_back(std::forward<Value>(v));
            FLast = &array.back();
        } else {
            *FMember = Json(std::forward<Value>(v));
            FLast = FMember;
        }
        return true;
    }

    Json& FRoot;
    std::vector<Json*> FStack;
    Json* FMember = nullptr;
    Json* FLast = nullptr;
    std::size_t FMembers = 0;
};

// nlohmann's message without its "[json.exception.<kind>.<id>] " prefix.
std::string ExceptionReason(const std::string& what) {
    const std::size_t end = what.find("] ");
    return what.starts_with("[json.exception.") && end != std::string::npos ? what.substr(end + 2)
                                                                            : what;
}

// The reason in a parse error's text, without its place (given apart).
std::string ParseReason(const std::string& what) {
    const std::size_t column = what.find("column ");
    const std::size_t colon = what.find(": ", column == std::string::npos ? 0 : column);
    return colon == std::string::npos ? what : what.substr(colon + 2);
}

class TJsonReader : public TRecordReader {
  public:
    TJsonReader(const Json* records, const std::vector<std::string>& names,
                const std::vector<TFieldType>& types)
        : FRecords(records), FNames(names), FTypes(types) {}

    void Rewind() override { FNext = 0; }
    void SeekRecord(std::int64_t index) override { FNext = static_cast<std::size_t>(index); }
    std::int64_t KnownCount() const override {
        return FRecords == nullptr ? 0 : static_cast<std::int64_t>(FRecords->size());
    }
    bool ReadNext(std::vector<TFieldValue>& values) override {
        if (FRecords == nullptr || FNext >= FRecords->size()) return false;
        const Json& record = (*FRecords)[FNext++];
        values.assign(FNames.size(), TFieldValue{});
        for (std::size_t c = 0; c < FNames.size(); ++c) {
            const Json* v = KeyAt(record, c, FNames[c]);
            // Every value was checked when the dataset was opened.
            if (v != nullptr) ValueFromJson(*v, FTypes[c], values[c]);
        }
        return true;
    }

  private:
    const Json* FRecords;
    const std::vector<std::string>& FNames;
    const std::vector<TFieldType>& FTypes;
    std::size_t FNext = 0;
};

}  // namespace

std::unique_ptr<TJsonDataSet> TJsonDataSet::Open(const std::string& name, const std::string& source,
                                                 const TColumnTypes& types) {
    std::string file = source, pointer;
    const std::size_t hash = source.rfind('#');
    if (hash != std::string::npos && (hash + 1 == source.size() || source[hash + 1] == '/')) {
        file = source.substr(0, hash);
        pointer = source.substr(hash + 1);
    }
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) FailDataSet(name, "cannot read " + file);
    // Read in one piece into a string of the file's size.
    std::string text;
    const std::streamoff size = in.tellg();
    if (size > 0) {
        text.resize(static_cast<std::size_t>(size));
        in.seekg(0);
        if (!in.read(text.data(), size)) FailDataSet(name, "cannot read " + file);
    }
    auto doc = std::make_shared<Json>();
    try {
        TDocumentBuilder builder(*doc);
        Json::sax_parse(text.data(), text.data() + text.size(), &builder);
    } catch (const Json::parse_error& e) {
        FailDataSet(name, file + ":" + LineAndColumn(text, e.byte) +
                              ": invalid JSON: " + ParseReason(e.what()));
    } catch (const Json::out_of_range& e) {
        // A number beyond double's range; the parser gives no position.
        FailDataSet(name, file + ": invalid JSON: " + ExceptionReason(e.what()));
    }
    if (pointer.empty()) return std::make_unique<TJsonDataSet>(name, doc, types, file);
    const Json* place = nullptr;
    try {
        place = &doc->at(Json::json_pointer(pointer));
    } catch (const Json::exception&) {
        FailDataSet(name, file + " has nothing at " + pointer);
    }
    // The dataset keeps the whole document alive and reads only `place`.
    std::shared_ptr<const Json> records(doc, place);
    return std::make_unique<TJsonDataSet>(name, records, types, file + "#" + pointer);
}

TJsonDataSet::TJsonDataSet(const std::string& name, std::shared_ptr<const TJsonDocument> doc,
                           const TColumnTypes& types, const std::string& where)
    : TStreamDataSet(name), FDoc(std::move(doc)), FWhere(where) {
    const Json* records = FDoc.get();
    const Json* declared = nullptr;
    if (records->is_object()) {
        records = FindKey(*FDoc, "rows");
        if (records == nullptr || !records->is_array())
            FailDataSet(Name(), FWhere + ": \"rows\" must be an array");
        declared = FindKey(*FDoc, "fields");
        if (declared != nullptr && !declared->is_object())
            FailDataSet(Name(), FWhere + ": \"fields\" must be an object of type names");
    } else if (!records->is_array()) {
        FailDataSet(Name(), FWhere + ": expected an array of objects");
    }
    for (const Json& record : *records) {
        if (!record.is_object()) FailDataSet(Name(), FWhere + ": every row must be an object");
        FAll.push_back(&record);
    }
    DefineFields(types, declared);
    ShowRecords(records);
}

TJsonDataSet::TJsonDataSet(const std::string& name, TJsonDataSet& master, const std::string& key,
                           const TColumnTypes& types)
    : TStreamDataSet(name),
      FDoc(master.FDoc),
      FJsonMaster(&master),
      FKey(key),
      FWhere(master.FWhere + " (" + master.Name() + "." + key + ")") {
    for (const Json* owner : master.AllRecords()) {
        const Json* array = FindKey(*owner, key);
        if (array == nullptr || array->is_null()) continue;
        if (!array->is_array())
            FailDataSet(Name(),
                        FWhere + ": " + key + " of a " + master.Name() + " record is not an array");
        for (const Json& record : *array) {
            if (!record.is_object()) FailDataSet(Name(), FWhere + ": every row must be an object");
            FAll.push_back(&record);
        }
    }
    DefineFields(types, nullptr);
    TStreamDataSet::SetMaster(&master);
    MasterMoved();
}

TJsonDataSet::~TJsonDataSet() = default;

void TJsonDataSet::DefineFields(const TColumnTypes& types, const TJsonDocument* declared) {
    std::vector<TJsonColumn> columns;
    if (declared != nullptr)
        for (auto it = declared->begin(); it != declared->end(); ++it) {
            TFieldType type = ftString;
            if (!it.value().is_string() || !FieldTypeFromName(it.value().get<std::string>(), type))
                FailDataSet(Name(), FWhere + ": unknown type " + it.value().dump() + " of field " +
                                        it.key());
            columns.emplace_back(it.key());
            FNames.push_back(it.key());
            FTypes.push_back(type);
        }
    const std::size_t declaredCount = columns.size();
    for (const Json* record : FAll) {
        std::size_t position = declaredCount;
        for (auto it = record->begin(); it != record->end(); ++it, ++position) {
            // Mostly the keys come in the order of the first record's.
            auto column =
                position < columns.size() && columns[position].name == it.key()
                    ? columns.begin() + static_cast<std::ptrdiff_t>(position)
                    : std::find_if(columns.begin(), columns.end(), [&](const TJsonColumn& c) {
                          return SameText(c.name, it.key());
                      });
            if (column == columns.end()) {
                columns.emplace_back(it.key());
                column = columns.end() - 1;
            }
            column->See(it.value());
        }
    }
    for (std::size_t c = declaredCount; c < columns.size(); ++c) {
        if (!columns[c].IsField()) continue;
        const TFieldType given = GivenType(types, columns[c].name);
        FNames.push_back(columns[c].name);
        FTypes.push_back(given != ftUnknown ? given : columns[c].Type());
    }
    for (std::size_t c = 0; c < FNames.size(); ++c) {
        if (c < declaredCount && GivenType(types, FNames[c]) != ftUnknown)
            FTypes[c] = GivenType(types, FNames[c]);
        AddField(FNames[c], FTypes[c]);
    }
    // Check every value now, so that a bad one fails before a report is
    // written, not in the middle of it. A column whose type was read from
    // its own numbers, booleans or strings takes each of them as it is:
    // only given types and dates need the check.
    std::vector<std::size_t> checked;
    for (std::size_t c = 0; c < FNames.size(); ++c)
        if (c < declaredCount || GivenType(types, FNames[c]) != ftUnknown ||
            IsDateTimeType(FTypes[c]))
            checked.push_back(c);
    TFieldValue value;
    for (std::size_t r = 0; r < FAll.size() && !checked.empty(); ++r)
        for (const std::size_t c : checked) {
            const Json* v = KeyAt(*FAll[r], c, FNames[c]);
            if (v != nullptr && !ValueFromJson(*v, FTypes[c], value))
                FailDataSet(Name(), FWhere + ": record " + std::to_string(r + 1) + ": value " +
                                        v->dump() + " of field " + FNames[c] +
                                        " does not fit its field type");
        }
}

void TJsonDataSet::ShowRecords(const TJsonDocument* array) {
    FRecords = array;
    SetReader(std::make_unique<TJsonReader>(FRecords, FNames, FTypes));
    First();
}

const TJsonDocument* TJsonDataSet::CurrentObject() const {
    const std::int64_t i = CurrentIndex();
    if (FRecords == nullptr || i < 0) return nullptr;
    return &(*FRecords)[static_cast<std::size_t>(i)];
}

void TJsonDataSet::MasterMoved() {
    // Master() rather than FJsonMaster: it is cleared when the master goes.
    const auto* master = static_cast<const TJsonDataSet*>(Master());
    const Json* owner = master == nullptr ? nullptr : master->CurrentObject();
    const Json* array = owner == nullptr ? nullptr : FindKey(*owner, FKey);
    ShowRecords(array != nullptr && array->is_array() ? array : nullptr);
}

void TJsonDataSet::SetMaster(TDataSet* master) {
    if (master != nullptr && master != FJsonMaster)
        FailDataSet(Name(), "a JSON dataset follows only the master it was made from");
    if (master == nullptr) FJsonMaster = nullptr;
    TStreamDataSet::SetMaster(master);
    if (master == nullptr) ShowRecords(nullptr);
}

std::unique_ptr<TJsonDataSet> DataSetFromJson(const std::string& name, const nlohmann::json& doc) {
    return std::make_unique<TJsonDataSet>(name, std::make_shared<TJsonDocument>(doc));
}

}  // namespace qx
