// The report's settings document: its published properties as JSON, with
// the variables' types in the persisted "VarDataTypes" bytes (hex text).
#include <nlohmann/json.hpp>

#include "conscom/exceptions.h"
#include "qxbasereport/base_report.h"
#include "qxfunc/udf_list.h"

namespace qx {

namespace {

void WriteInt32(TStream& stream, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                                   static_cast<std::uint8_t>(u >> 16),
                                   static_cast<std::uint8_t>(u >> 24)};
    stream.WriteBuffer(bytes, 4);
}

std::int32_t ReadInt32(TStream& stream) {
    std::uint8_t b[4];
    stream.ReadBuffer(b, 4);
    return static_cast<std::int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) |
                                     (static_cast<std::uint32_t>(b[3]) << 24));
}

std::string ToHex(const TMemoryStream& stream, std::int64_t size) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (std::int64_t i = 0; i < size; ++i) {
        hex += kDigits[stream.Memory()[i] >> 4];
        hex += kDigits[stream.Memory()[i] & 15];
    }
    return hex;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void FromHex(const std::string& hex, TMemoryStream& stream) {
    if (hex.size() % 2 != 0) throw Exception("Invalid binary value: " + hex);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexDigit(hex[i]);
        const int lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0) throw Exception("Invalid binary value: " + hex);
        const auto byte = static_cast<std::uint8_t>(hi * 16 + lo);
        stream.WriteBuffer(&byte, 1);
    }
    stream.SetPosition(0);
}

template <typename T, typename Setter>
void LoadProperty(const nlohmann::json& doc, const char* key, Setter set) {
    if (doc.contains(key)) set(doc.at(key).get<T>());
}

// Every value the base report reads must have its type before any is
// applied: a document from elsewhere may hold anything.
void CheckTypes(const nlohmann::json& doc) {
    const auto fail = [](const char* key, const char* what) {
        throw Exception(std::string("Settings: ") + key + " must be " + what);
    };
    for (const char* key : {"InFile", "OutFile", "TrueValue", "FalseValue", "VarDataTypes"})
        if (doc.contains(key) && !doc.at(key).is_string()) fail(key, "a text");
    if (doc.contains("UnicodeByDefault") && !doc.at("UnicodeByDefault").is_boolean())
        fail("UnicodeByDefault", "true or false");
    if (doc.contains("CodePage")) {
        const nlohmann::json& v = doc.at("CodePage");
        if (!v.is_number_integer() || v.get<std::int64_t>() < 0 || v.get<std::int64_t>() > 65535)
            fail("CodePage", "a number from 0 to 65535");
    }
    if (doc.contains("VarList")) {
        const nlohmann::json& list = doc.at("VarList");
        if (!list.is_array()) fail("VarList", "a list of texts");
        for (const nlohmann::json& line : list)
            if (!line.is_string()) fail("VarList", "a list of texts");
    }
}

}  // namespace

void TQxBaseReport::WriteVarDataTypes(TStream& stream) const {
    WriteInt32(stream, FVarList->Count());
    for (int i = 0; i < FVarList->Count(); ++i)
        WriteInt32(stream, DataTypeToNumber(FVarList->DataTypes(i)));
}

void TQxBaseReport::ReadVarDataTypes(TStream& stream) {
    ReadVarDataTypes(stream, *FVarList);
}

void TQxBaseReport::ReadVarDataTypes(TStream& stream, TQxVarList& list) {
    // Every number is read before any is applied, so truncated data
    // changes nothing; numbers beyond the list's entries are consumed.
    const std::int32_t count = ReadInt32(stream);
    std::vector<TQxDataType> types;
    for (std::int32_t i = 0; i < count; ++i) types.push_back(DataTypeFromNumber(ReadInt32(stream)));
    for (std::size_t i = 0; i < types.size() && i < static_cast<std::size_t>(list.Count()); ++i)
        list.SetDataTypes(static_cast<int>(i), types[i]);
}

void TQxBaseReport::SaveSettings(nlohmann::json& doc) const {
    doc["InFile"] = FInFile;
    doc["OutFile"] = FOutFile;
    nlohmann::json vars = nlohmann::json::array();
    for (int i = 0; i < FVarList->Count(); ++i) vars.push_back(FVarList->Strings(i));
    doc["VarList"] = std::move(vars);
    doc["TrueValue"] = FTrueValue;
    doc["FalseValue"] = FFalseValue;
    doc["UDFList"] = FUDFList != nullptr ? nlohmann::json(FUDFList->Name()) : nlohmann::json();
    doc["UnicodeByDefault"] = FUnicodeByDefault;
    // A code page never set follows each template; it is not written.
    if (FCodePageSet) doc["CodePage"] = FCodePage;
    doc["MaxOutputSize"] = FMaxOutputSize;
    doc["MaxValueSize"] = FMaxValueSize;
    doc["MaxVariablesSize"] = FMaxVariablesSize;
    TMemoryStream types;
    WriteVarDataTypes(types);
    doc["VarDataTypes"] = ToHex(types, types.Size());
}

std::optional<std::int64_t> TQxBaseReport::LimitSetting(const nlohmann::json& doc,
                                                        const char* key) {
    if (!doc.contains(key)) return std::nullopt;
    const nlohmann::json& v = doc.at(key);
    const bool fits = v.is_number_unsigned()
                          ? v.get<std::uint64_t>() <= static_cast<std::uint64_t>(INT64_MAX)
                          : v.is_number_integer() && v.get<std::int64_t>() >= 0;
    if (!fits)
        throw Exception(std::string("Settings: ") + key + " must be a whole number of 0 or more");
    return static_cast<std::int64_t>(v.get<std::uint64_t>());
}

void TQxBaseReport::LoadSettings(const nlohmann::json& doc) {
    CheckTypes(doc);
    const std::optional<std::int64_t> maxOutput = LimitSetting(doc, "MaxOutputSize");
    const std::optional<std::int64_t> maxValue = LimitSetting(doc, "MaxValueSize");
    const std::optional<std::int64_t> maxVariables = LimitSetting(doc, "MaxVariablesSize");
    // The variables are built aside, so that a bad document leaves them as
    // they were.
    const bool hasVars = doc.contains("VarList");
    TQxVarList vars;
    vars.Assign(*FVarList);
    if (hasVars) {
        vars.Clear();
        for (const nlohmann::json& line : doc.at("VarList")) vars.Add(line.get<std::string>());
    }
    if (doc.contains("VarDataTypes")) {
        TMemoryStream types;
        FromHex(doc.at("VarDataTypes").get<std::string>(), types);
        ReadVarDataTypes(types, vars);
    }

    LoadProperty<std::string>(doc, "InFile", [this](const std::string& v) { SetInFile(v); });
    LoadProperty<std::string>(doc, "OutFile", [this](const std::string& v) { SetOutFile(v); });
    LoadProperty<std::string>(doc, "TrueValue", [this](const std::string& v) { SetTrueValue(v); });
    LoadProperty<std::string>(doc, "FalseValue",
                              [this](const std::string& v) { SetFalseValue(v); });
    LoadProperty<bool>(doc, "UnicodeByDefault", [this](bool v) { SetUnicodeByDefault(v); });
    LoadProperty<int>(doc, "CodePage", [this](int v) { SetCodePage(v); });
    if (maxOutput) SetMaxOutputSize(StricterLimit(FMaxOutputSize, *maxOutput));
    if (maxValue) SetMaxValueSize(StricterLimit(FMaxValueSize, *maxValue));
    if (maxVariables) SetMaxVariablesSize(StricterLimit(FMaxVariablesSize, *maxVariables));
    // The UDFList link names another component; the application links it.
    SetVarList(vars);
}

}  // namespace qx
