#include "platform/loaders/json_dataset.h"

#include <algorithm>
#include <unordered_map>

#include "platform/internal/unicode.h"

namespace qx {

namespace {

using TKind = TJsonStore::TKind;
using TRef = TJsonStore::TRef;
constexpr TRef kNone = TJsonStore::kNone;

// What the values of one key look like over all records.
struct TJsonColumn {
    explicit TJsonColumn(std::string n) : name(std::move(n)) {}
    std::string name;
    bool integers = false, floats = false, booleans = false, strings = false, nested = false;
    bool numericStrings = true;  // every non-empty string is a number
    TTextTypeGuess stringGuess;
    TTypeVotes votes;

    // `record`: the value's record number, for the warning of a column
    // given up as text.
    void See(const TJsonStore& doc, TRef v, std::int64_t record, char decimalSeparator) {
        const TKind kind = doc.Kind(v);
        switch (kind) {
            case TKind::Null:
                return;
            case TKind::False:
            case TKind::True:
                booleans = true;
                break;
            case TKind::Integer:
            case TKind::BigInteger:
                integers = true;
                break;
            case TKind::Float:
                floats = true;
                break;
            case TKind::String:
                strings = true;
                if (doc.Text(v).empty()) return;
                stringGuess.See(doc.Text(v));
                break;
            case TKind::Array:
            case TKind::Object:
                nested = true;
                return;
        }
        const bool text = kind == TKind::String;
        const bool number = text ? votes.Wants(TTypeVotes::vkNumber) &&
                                       ParseNumber(doc.Text(v), scratch, decimalSeparator)
                                 : kind != TKind::False && kind != TKind::True;
        if (text && !number) numericStrings = false;
        Vote(doc, v, record, TTypeVotes::vkNumber, number);
        Vote(doc, v, record, TTypeVotes::vkBoolean, kind == TKind::False || kind == TKind::True);
        if (votes.Wants(TTypeVotes::vkDate))
            Vote(doc, v, record, TTypeVotes::vkDate, text && ParseIso(doc.Text(v), iso));
    }
    void Vote(const TJsonStore& doc, TRef v, std::int64_t record, TTypeVotes::TKind kind,
              bool fits) {
        if (fits)
            votes.Fit(kind);
        else if (votes.Wants(kind))
            votes.Misfit(kind, record, doc.Dump(v));
    }
    bool IsField() const { return !nested || integers || floats || booleans || strings; }
    TFieldType Type() const {
        const bool numbers = integers || floats;
        // Numbers, some written as text ("249,00" in the locale's form).
        if (numbers && strings && numericStrings && !booleans && !nested) return ftFloat;
        const int kinds = numbers + booleans + strings + nested;
        if (kinds != 1) return ftString;
        if (booleans) return ftBoolean;
        if (floats) return ftFloat;
        if (integers) return ftLargeint;
        const TFieldType t = stringGuess.Type();
        return t == ftDate || t == ftDateTime ? t : ftString;
    }

  private:
    double scratch = 0;
    TIsoValue iso;
};

// The value `v` as a value of a field of `type` (into the storage `out`
// has); false when it does not fit.
bool ValueFromJson(const TJsonStore& doc, TRef v, TFieldType type, TFieldValue& out,
                   char decimalSeparator) {
    const TKind kind = doc.Kind(v);
    if (kind == TKind::Null) {
        out = {};
        return true;
    }
    if (kind == TKind::String) {
        const std::string_view s = doc.Text(v);
        if (s.empty() && !IsTextType(type)) {
            out = {};
            return true;
        }
        return ValueFromText(s, type, out, decimalSeparator);
    }
    if (IsTextType(type)) {
        AssignText(out, doc.Dump(v));
        return true;
    }
    out = {};
    if (type == ftBoolean) {
        if (kind != TKind::True && kind != TKind::False) return false;
        out = kind == TKind::True;
        return true;
    }
    const bool number = kind == TKind::Integer || kind == TKind::BigInteger || kind == TKind::Float;
    if (!number || IsDateTimeType(type)) return false;
    if (kind == TKind::BigInteger) return ValueFromText(doc.Text(v), type, out, '.');
    if (IsIntegerType(type)) {
        if (kind != TKind::Integer) return false;
        out = doc.Integer(v);
        return true;
    }
    out = kind == TKind::Integer ? static_cast<double>(doc.Integer(v)) : doc.Float(v);
    return true;
}

// Of each field, the value `record` gives it (kNone: none): the member
// whose key is the field's name, else the first whose key is the name in
// other case. `fieldOfKey` tells of each key of the document its field
// (-1: none) times two, plus one when the key is the field's name exactly.
void ChooseValues(const TJsonStore& doc, TRef record, const std::vector<int>& fieldOfKey,
                  std::vector<TRef>& chosen) {
    std::fill(chosen.begin(), chosen.end(), kNone);
    doc.ForEachMember(record, [&](std::uint32_t key, TRef value) {
        const int field = fieldOfKey[key];
        if (field < 0) return;
        TRef& slot = chosen[static_cast<std::size_t>(field >> 1)];
        if ((field & 1) != 0 || slot == kNone) slot = value;
    });
}

class TJsonReader : public TRecordReader {
  public:
    TJsonReader(const TJsonStore& doc, const std::vector<TRef>& records,
                const std::vector<int>& fieldOfKey, const std::vector<TFieldType>& types,
                char decimalSeparator)
        : FDoc(doc),
          FRecords(records),
          FFieldOfKey(fieldOfKey),
          FTypes(types),
          FChosen(types.size()),
          FDecimalSeparator(decimalSeparator) {}

    void Rewind() override { FNext = 0; }
    void SeekRecord(std::int64_t index) override { FNext = static_cast<std::size_t>(index); }
    std::int64_t KnownCount() const override { return static_cast<std::int64_t>(FRecords.size()); }
    bool ReadNext(std::vector<TFieldValue>& values) override {
        if (FNext >= FRecords.size()) return false;
        ChooseValues(FDoc, FRecords[FNext++], FFieldOfKey, FChosen);
        values.resize(FTypes.size());
        for (std::size_t c = 0; c < FTypes.size(); ++c) {
            // Every value was checked when the dataset was opened.
            if (FChosen[c] == kNone)
                values[c] = {};
            else
                ValueFromJson(FDoc, FChosen[c], FTypes[c], values[c], FDecimalSeparator);
        }
        return true;
    }

  private:
    const TJsonStore& FDoc;
    const std::vector<TRef>& FRecords;
    const std::vector<int>& FFieldOfKey;
    const std::vector<TFieldType>& FTypes;
    std::vector<TRef> FChosen;
    char FDecimalSeparator;
    std::size_t FNext = 0;
};

}  // namespace

std::unique_ptr<TJsonDataSet> TJsonDataSet::Open(const std::string& name, const std::string& source,
                                                 const TColumnTypes& types,
                                                 const TGuessOptions& guess) {
    std::string file = source, pointer;
    const std::size_t hash = source.rfind('#');
    if (hash != std::string::npos && (hash + 1 == source.size() || source[hash + 1] == '/')) {
        file = source.substr(0, hash);
        pointer = source.substr(hash + 1);
    }
    auto doc = TJsonStore::FromFile(name, file);
    if (pointer.empty())
        return std::make_unique<TJsonDataSet>(name, doc, TJsonStore::kRoot, types, file, guess);
    const TRef place = doc->AtPointer(pointer);
    if (place == kNone) FailDataSet(name, file + " has nothing at " + pointer);
    return std::make_unique<TJsonDataSet>(name, doc, place, types, file + "#" + pointer, guess);
}

TJsonDataSet::TJsonDataSet(const std::string& name, std::shared_ptr<const TJsonStore> doc, TRef at,
                           const TColumnTypes& types, const std::string& where,
                           const TGuessOptions& guess)
    : TStreamDataSet(name), FDoc(std::move(doc)), FWhere(where), FGuess(guess) {
    TRef records = at;
    TRef declared = kNone;
    if (FDoc->IsObject(at)) {
        records = FDoc->FindKey(at, "rows");
        if (records == kNone || !FDoc->IsArray(records))
            FailDataSet(Name(), FWhere + ": \"rows\" must be an array");
        declared = FDoc->FindKey(at, "fields");
        if (declared != kNone && !FDoc->IsObject(declared))
            FailDataSet(Name(), FWhere + ": \"fields\" must be an object of type names");
    } else if (!FDoc->IsArray(at)) {
        FailDataSet(Name(), FWhere + ": expected an array of objects");
    }
    AddRecords(records);
    DefineFields(types, declared);
    FShown = &FAll;
    SetReader(
        std::make_unique<TJsonReader>(*FDoc, FAll, FFieldOfKey, FTypes, FGuess.decimalSeparator));
    First();
}

TJsonDataSet::TJsonDataSet(const std::string& name, TJsonDataSet& master, const std::string& key,
                           const TColumnTypes& types)
    : TStreamDataSet(name),
      FDoc(master.FDoc),
      FJsonMaster(&master),
      FKey(key),
      FWhere(master.FWhere + " (" + master.Name() + "." + key + ")"),
      FGuess(master.FGuess) {
    for (const TRef owner : master.AllRecords()) {
        const TRef array = FDoc->FindKey(owner, key);
        if (array == kNone || FDoc->Kind(array) == TKind::Null) continue;
        if (!FDoc->IsArray(array))
            FailDataSet(Name(),
                        FWhere + ": " + key + " of a " + master.Name() + " record is not an array");
        AddRecords(array);
    }
    DefineFields(types, kNone);
    TStreamDataSet::SetMaster(&master);
    MasterMoved();
}

TJsonDataSet::~TJsonDataSet() = default;

void TJsonDataSet::AddRecords(TRef array) {
    FDoc->ForEachElement(array, [&](TRef record) {
        if (!FDoc->IsObject(record)) FailDataSet(Name(), FWhere + ": every row must be an object");
        FAll.push_back(record);
    });
}

void TJsonDataSet::DefineFields(const TColumnTypes& types, TRef declared) {
    std::vector<TJsonColumn> columns;
    if (declared != kNone)
        FDoc->ForEachMember(declared, [&](std::uint32_t key, TRef value) {
            TFieldType type = ftString;
            if (FDoc->Kind(value) != TKind::String ||
                !FieldTypeFromName(std::string(FDoc->Text(value)), type))
                FailDataSet(Name(), FWhere + ": unknown type " + FDoc->Dump(value) + " of field " +
                                        FDoc->Key(key));
            columns.emplace_back(FDoc->Key(key));
            FNames.push_back(FDoc->Key(key));
            FTypes.push_back(type);
        });
    const std::size_t declaredCount = columns.size();
    // Each key's column once found: a key names the same column throughout.
    // Names are found by their upper-cased text, so an object of many keys
    // costs time linear in its size.
    std::unordered_map<std::string, int> columnOfName;
    for (std::size_t c = 0; c < columns.size(); ++c)
        columnOfName.emplace(UpperCase(columns[c].name), static_cast<int>(c));
    std::vector<int> columnOfKey(FDoc->KeyCount(), -1);
    const char separator = FGuess.decimalSeparator;
    std::int64_t number = 0;
    for (const TRef record : FAll) {
        ++number;
        FDoc->ForEachMember(record, [&](std::uint32_t key, TRef value) {
            int& c = columnOfKey[key];
            if (c < 0) {
                const auto [it, fresh] = columnOfName.emplace(UpperCase(FDoc->Key(key)),
                                                              static_cast<int>(columns.size()));
                if (fresh) columns.emplace_back(FDoc->Key(key));
                c = it->second;
            }
            columns[static_cast<std::size_t>(c)].See(*FDoc, value, number, separator);
        });
    }
    for (std::size_t c = declaredCount; c < columns.size(); ++c) {
        if (!columns[c].IsField()) continue;
        const TFieldType given = GivenType(types, columns[c].name);
        FNames.push_back(columns[c].name);
        FTypes.push_back(given != ftUnknown ? given : columns[c].Type());
        const std::string warning = given == ftUnknown && FTypes.back() == ftString
                                        ? columns[c].votes.GivenUpWarning("record", columns[c].name)
                                        : std::string();
        if (!warning.empty() && FGuess.warn) FGuess.warn(FWhere, warning);
    }
    for (std::size_t c = 0; c < FNames.size(); ++c) {
        if (c < declaredCount && GivenType(types, FNames[c]) != ftUnknown)
            FTypes[c] = GivenType(types, FNames[c]);
        AddField(FNames[c], FTypes[c]);
    }
    std::unordered_map<std::string, std::size_t> fieldOfName;
    for (std::size_t c = 0; c < FNames.size(); ++c) fieldOfName.emplace(UpperCase(FNames[c]), c);
    FFieldOfKey.assign(FDoc->KeyCount(), -1);
    for (std::uint32_t key = 0; key < FDoc->KeyCount(); ++key) {
        const auto it = fieldOfName.find(UpperCase(FDoc->Key(key)));
        if (it == fieldOfName.end()) continue;
        const std::size_t c = it->second;
        FFieldOfKey[key] = static_cast<int>(c * 2 + (FNames[c] == FDoc->Key(key)));
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
    if (!checked.empty()) CheckValues(checked);
}

void TJsonDataSet::CheckValues(const std::vector<std::size_t>& columns) const {
    std::vector<TRef> chosen(FNames.size());
    TFieldValue value;
    for (std::size_t r = 0; r < FAll.size(); ++r) {
        ChooseValues(*FDoc, FAll[r], FFieldOfKey, chosen);
        for (const std::size_t c : columns)
            if (chosen[c] != kNone &&
                !ValueFromJson(*FDoc, chosen[c], FTypes[c], value, FGuess.decimalSeparator))
                FailDataSet(Name(), FWhere + ": record " + std::to_string(r + 1) + ": value " +
                                        FDoc->Dump(chosen[c]) + " of field " + FNames[c] +
                                        " does not fit its field type");
    }
}

void TJsonDataSet::ShowRecords(TRef array) {
    FShownOfMaster.clear();
    if (array != kNone)
        FDoc->ForEachElement(array, [&](TRef record) { FShownOfMaster.push_back(record); });
    FShown = &FShownOfMaster;
    SetReader(std::make_unique<TJsonReader>(*FDoc, *FShown, FFieldOfKey, FTypes,
                                            FGuess.decimalSeparator));
    First();
}

TJsonStore::TRef TJsonDataSet::CurrentObject() const {
    const std::int64_t i = CurrentIndex();
    if (FShown == nullptr || i < 0) return kNone;
    return (*FShown)[static_cast<std::size_t>(i)];
}

void TJsonDataSet::MasterMoved() {
    // Master() rather than FJsonMaster: it is cleared when the master goes.
    const auto* master = static_cast<const TJsonDataSet*>(Master());
    const TRef owner = master == nullptr ? kNone : master->CurrentObject();
    const TRef array = owner == kNone ? kNone : FDoc->FindKey(owner, FKey);
    ShowRecords(array != kNone && FDoc->IsArray(array) ? array : kNone);
}

void TJsonDataSet::SetMaster(TDataSet* master) {
    if (master != nullptr && master != FJsonMaster)
        FailDataSet(Name(), "a JSON dataset follows only the master it was made from");
    if (master == nullptr) FJsonMaster = nullptr;
    TStreamDataSet::SetMaster(master);
    if (master == nullptr) ShowRecords(kNone);
}

std::unique_ptr<TJsonDataSet> DataSetFromJson(const std::string& name, const nlohmann::json& doc) {
    return std::make_unique<TJsonDataSet>(name, TJsonStore::FromJson(doc), TJsonStore::kRoot);
}

}  // namespace qx
