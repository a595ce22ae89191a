// Writing field values: every value goes out encoded for RTF, then the
// field's markup. A language the application sets (Lang) is given to the
// value alone, in a group: the text after the field keeps its own.
#include <optional>

#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/internal/conv.h"
#include "platform/internal/unicode.h"
#include "platform/sysutils.h"
#include "platform/value_field.h"
#include "qxbasereport/internal/lang_text.h"
#include "qxbasereport/variables.h"
#include "qxrtf/internal/field_values.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

std::string_view TrimmedRight(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

std::string TrimRight(std::string s) {
    s.resize(TrimmedRight(s).size());
    return s;
}

const TQxBaseFormatIDs* FormatRow(std::int32_t id) {
    if (id < 0 || id >= kQxBaseFormatCount) return nullptr;
    return &QxBaseFormatsArr[static_cast<std::size_t>(id)];
}

std::string FormatName(std::int32_t id) {
    const TQxBaseFormatIDs* row = FormatRow(id);
    return row != nullptr ? std::string(row->name) : std::to_string(id);
}

[[noreturn]] void UnknownFormat(std::int32_t id) {
    throw EIllegalFunctionUse("Unknown format function " + FormatName(id));
}

}  // namespace

TQxDataType TQxRTF::FieldType2VarType(TFieldType fieldType) {
    switch (fieldType) {
        case ftString:
        case ftMemo:
        case ftFixedChar:
        case ftWideString:
        case ftWideMemo:
            return qxdtString;
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftAutoInc:
        case ftLargeint:
            return qxdtNumber;
        case ftBoolean:
            return qxdtBoolean;
        case ftDate:
        case ftTime:
        case ftDateTime:
            return qxdtDateTime;
        default:
            return qxdtUnknown;
    }
}

void TQxRTF::DefineFieldNumber(TQxRowContent& rc) {
    rc.NField = -1;
    rc.DefinedType = rcsimple;
    const std::int32_t index = CtoN(rc.Dalias);
    if (index < 0 || static_cast<std::size_t>(index) >= FDFiles.size() || FDFiles[index] == nullptr)
        return;
    const TDataSet& ds = *FDFiles[static_cast<std::size_t>(index)];
    const std::string& f = rc.Field;
    if (f.size() > 2 && f.front() == '(' && f.back() == ')') {
        // A field by position: digits only, within the dataset's fields.
        const std::string inside = f.substr(1, f.size() - 2);
        if (inside.find_first_not_of("0123456789") != std::string::npos || inside.size() > 9)
            return;
        const int n = std::stoi(inside);
        if (n > ds.FieldCount() - 1) return;
        rc.NField = n;
    } else {
        for (int i = 0; i < ds.FieldCount(); ++i) {
            if (SameText(ds.Fields(i)->FieldName(), f)) {
                rc.NField = i;
                break;
            }
        }
        if (rc.NField < 0) return;
    }
    rc.DefinedType = rcdata;
}

TField* TQxRTF::ResolveDataSetField(TQxRowContent& rc) {
    if (!rc.Defined) {
        DefineFieldNumber(rc);
        rc.Defined = true;
        // Store the lookup in the item: later records reuse it.
        const std::int64_t after = FCmStream->Position();
        FCmStream->SetPosition(FCmPos);
        CmUpdateField(rc.NField, rc.DefinedType, rc.Defined);
        FCmStream->SetPosition(after);
    }
    if (rc.DefinedType != rcdata) return nullptr;
    // The alias is resolved once per item too: later records find the
    // field by the item's offset.
    const auto cached = FResolvedFields.find(FCmPos);
    if (cached != FResolvedFields.end()) return cached->second;
    TField* field = FDFiles[static_cast<std::size_t>(CtoN(rc.Dalias))]->Fields(rc.NField);
    FResolvedFields.emplace(FCmPos, field);
    return field;
}

// A number in a float format: "" for a zero when zeros are cleared; the
// R formats put their own separator and terminator in place of the decimals.
static std::string FormatNumber(double value, const TQxFieldFormat& fmt,
                                const TQxBaseFormatIDs& row, const TFormatSettings& fs,
                                bool clearZero, char32_t rSeparator, char32_t rTerminator) {
    std::string t = Trim(FloatToStrF(value, static_cast<TFloatFormat>(row.floatformat),
                                     fmt.precision, fmt.decimals, fs));
    if (TQxBaseReport::ZeroOut(t) && clearZero) return {};
    if (row.id != QxFmt::FFixR && row.id != QxFmt::FNumR) return t;
    const std::string& dec = fs.DecimalSeparator;
    std::string sep, term;
    Utf8Append(sep, rSeparator);
    Utf8Append(term, rTerminator);
    const auto at = t.find(dec);
    if (at == std::string::npos) return t + term;
    const std::string decimals = t.substr(at + dec.size());
    t.replace(at, dec.size(), sep);
    std::int64_t n = 0;
    if (!decimals.empty() && TryStrToInt64(decimals, n) && n == 0) t = t.substr(0, at) + term;
    return t;
}

// Numeric formatting of a text in place; a text that is no number is left
// as it is (after the decimal point change).
static void FormatNumericText(std::string& t, const TQxFieldFormat& fmt,
                              const TQxBaseFormatIDs& row, const TFormatSettings& fs,
                              bool clearZero, char32_t rSeparator, char32_t rTerminator) {
    if (Trim(t).empty()) return;
    const std::string& dec = fs.DecimalSeparator;
    if (dec != ".") {
        const auto dot = t.find('.');
        if (dot != std::string::npos) t.replace(dot, 1, dec);
    }
    double value = 0;
    if (!TryStrToFloat(Trim(t), value, fs)) return;
    t = FormatNumber(value, fmt, row, fs, clearZero, rSeparator, rTerminator);
}

// The number a float field's text would read back as, without the text:
// a stored double's text is its 15-digit general form in the default
// settings ("." before the decimals). False when the text has to be made
// and read.
static bool FieldNumber(const TField& field, const TFormatSettings& fs, double& value) {
    switch (field.DataType()) {
        case ftFloat:
        case ftCurrency:
        case ftBCD:
            break;
        default:
            return false;
    }
    if (fs.DecimalSeparator.size() != 1) return false;
    const auto* valueField = dynamic_cast<const TValueField*>(&field);
    const double* stored =
        valueField != nullptr ? std::get_if<double>(&valueField->Value()) : nullptr;
    return stored != nullptr && conv::RoundTo15Digits(*stored, value);
}

std::string TQxRTF::DateFormatText(const TQxFieldFormat& fmt) {
    const std::string text = Trim(CmGetString(fmt.precision));
    if (text.empty()) return {};
    if (IsQuoted(text)) {
        const std::u32string chars = Utf8ToUtf32(text);
        return Utf32ToUtf8(chars.substr(1, chars.size() - 2));
    }
    return VarByName(text).AsString();
}

std::string TQxRTF::BoolText(const std::string& value) const {
    return (value == FTrueValue || UpperCase(value) == "TRUE") ? FTrueValue : FFalseValue;
}

const TCodePageCodec& TQxRTF::ValueCodec() {
    if (FFieldCodePages) {
        const TQxFieldSpan* span = FindFieldSpan(FCmFieldSpans, FCmPos);
        if (span != nullptr && span->valueCodePage != 0) return FontCodec(span->valueCodePage);
    }
    return Codec();
}

void TQxRTF::WriteValue(std::string_view value, const std::string& markup) {
    // The value's pieces joined in a buffer that keeps its storage from
    // value to value; the markup after it, often a table row's whole
    // layout, goes to the file as it is rather than through the buffer.
    thread_local std::string joined;
    joined.clear();
    if (FLang != 0) {
        joined += "{\\lang";
        joined += FLangText;
        joined += ' ';
    }
    AppendRtfText(joined, value, ValueCodec());
    if (FLang != 0) joined += '}';
    wr(joined);
    wr(markup);
}

void TQxRTF::WriteVariableValue(const TQxReportVariable& var, const TQxFieldFormat& fmt,
                                const std::string& markup) {
    // A number kept as a number is formatted from it: its text would read
    // back as the same number.
    const TQxBaseFormatIDs* row = FormatRow(fmt.fmtnumber);
    if (row != nullptr && row->isfloat && var.HoldsNumber() &&
        FmtSett.DecimalSeparator.size() == 1) {
        WriteValue(FormatNumber(var.AsFloat(), fmt, *row, FmtSett,
                                FOptions.Contains(eoNumericFormatClearZero), FDecimalRSeparator,
                                FDecimalRTerminator),
                   markup);
        return;
    }
    WriteTextValue(var.AsString(), fmt, markup);
}

void TQxRTF::WriteTextValue(std::string value, const TQxFieldFormat& fmt,
                            const std::string& markup) {
    const TQxBaseFormatIDs* row = FormatRow(fmt.fmtnumber);
    if (row != nullptr && row->isfloat) {
        FormatNumericText(value, fmt, *row, FmtSett, FOptions.Contains(eoNumericFormatClearZero),
                          FDecimalRSeparator, FDecimalRTerminator);
        WriteValue(value, markup);
        return;
    }
    switch (fmt.fmtnumber) {
        case QxFmt::NoFormat:
            WriteValue(value, markup);
            return;
        case QxFmt::FImg:
            WritePictureFile(value, fmt, markup);
            return;
        case QxFmt::FLnk:
            WriteHyperlink(value, markup);
            return;
        case QxFmt::FDtm:
            WriteValue(FormatDateTime(DateFormatText(fmt), StrToDateTime(value, FmtSett), FmtSett),
                       markup);
            return;
        case QxFmt::FBool:
            WriteValue(BoolText(value), markup);
            return;
        case QxFmt::FRtf:
            WriteRtfFragment(value, markup);
            return;
        default:
            UnknownFormat(fmt.fmtnumber);
    }
}

void TQxRTF::WriteVariableField(const TQxRowContent& rc) {
    if (GetVarNumber(rc.Field) == 0) {
        wr(FOptions.Contains(eoClearMissedFields) ? rc.sout : rc.stestf);
        return;
    }
    WriteTextValue(VarByName(rc.Field).AsString(), rc.fmt, rc.sout);
}

void TQxRTF::WriteConstantField(std::int32_t kind, const TQxRowContent& rc) {
    switch (kind) {
        case 2: {  // numbers take the variable layer's number form
            TQxReportVariable number(this);
            number.SetLocal(true);
            number.SetDataType(qxdtNumber);
            number.SetAsString(rc.Field);
            number.SetDataType(qxdtNumber);
            WriteTextValue(number.AsString(), rc.fmt, rc.sout);
            return;
        }
        case 4: {
            TQxFieldFormat fmt = rc.fmt;
            if (fmt.fmtnumber == QxFmt::NoFormat) fmt.fmtnumber = QxFmt::FBool;
            WriteTextValue(rc.Field, fmt, rc.sout);
            return;
        }
        case 5:
            WriteTextValue(DateConstToStr(rc.Field), rc.fmt, rc.sout);
            return;
        default:
            WriteTextValue(rc.Field, rc.fmt, rc.sout);
            return;
    }
}

std::string FieldTextIn(const TField& field, const TFormatSettings& fs) {
    const auto* valueField = dynamic_cast<const TValueField*>(&field);
    return valueField != nullptr ? valueField->AsStringIn(fs) : field.AsString();
}

namespace {

// The number or date a text field holds, read in `fs` and then in the
// default settings; none for fields of other types, NULL and text that
// reads in neither.
using TTextReader = bool (*)(const std::string&, double&, const TFormatSettings&);
std::optional<double> ReadHeldText(const TField& field, const TFormatSettings& fs,
                                   TTextReader read) {
    switch (field.DataType()) {
        case ftString:
        case ftMemo:
        case ftFixedChar:
        case ftWideString:
        case ftFixedWideChar:
        case ftWideMemo:
            break;
        default:
            return std::nullopt;
    }
    if (field.IsNull()) return std::nullopt;
    const std::string text = Trim(field.AsString());
    double value = 0;
    if (read(text, value, fs) || read(text, value, TFormatSettings())) return value;
    return std::nullopt;
}

}  // namespace

double FieldFloatIn(const TField& field, const TFormatSettings& fs) {
    if (const auto value = ReadHeldText(field, fs, TryStrToFloat)) return *value;
    return field.AsFloat();
}

TDateTime FieldDateTimeIn(const TField& field, const TFormatSettings& fs) {
    if (const auto value = ReadHeldText(field, fs, TryStrToDateTime)) return *value;
    return field.AsDateTime();
}

std::string TQxRTF::DataSetFieldText(const TField& field, const TQxFieldFormat& fmt) {
    if (field.DataType() == ftBoolean) return field.AsBoolean() ? FTrueValue : FFalseValue;
    if (field.DataType() == ftDate || field.DataType() == ftDateTime) {
        if (fmt.fmtnumber == QxFmt::FDtm)
            return FormatDateTime(DateFormatText(fmt), field.AsDateTime(), FmtSett);
        std::string text = FieldTextIn(field, FmtSett);
        // The time part of a date-time is not written.
        const auto blank = text.find(' ');
        if (blank != std::string::npos && blank + 1 > 8) text.resize(blank);
        return text;
    }
    const TQxBaseFormatIDs* row = FormatRow(fmt.fmtnumber);
    const bool clearZero = FOptions.Contains(eoNumericFormatClearZero);
    double number = 0;
    if (row != nullptr && row->isfloat && FieldNumber(field, FmtSett, number))
        return FormatNumber(number, fmt, *row, FmtSett, clearZero, FDecimalRSeparator,
                            FDecimalRTerminator);
    std::string text = TrimRight(FieldTextIn(field, FmtSett));
    if (row != nullptr && row->isfloat) {
        FormatNumericText(text, fmt, *row, FmtSett, FOptions.Contains(eoNumericFormatClearZero),
                          FDecimalRSeparator, FDecimalRTerminator);
        return text;
    }
    switch (fmt.fmtnumber) {
        case QxFmt::NoFormat:
            return text;
        case QxFmt::FDtm:
            return FormatDateTime(DateFormatText(fmt), StrToDateTime(text, FmtSett), FmtSett);
        case QxFmt::FBool:
            return BoolText(text);
        default:
            UnknownFormat(fmt.fmtnumber);
    }
}

void TQxRTF::WriteDataSetFieldValue(TField& field, const TQxRowContent& rc) {
    const std::int32_t f = rc.fmt.fmtnumber;
    // A NULL picture writes its markup alone, like any blob too short to
    // hold one.
    if (f == QxFmt::FImg || field.DataType() == ftGraphic) {
        WritePictureField(field, rc.fmt, rc.sout);
        return;
    }
    // A missing value has no text in any format: a NULL date is no
    // 30.12.1899, a NULL boolean no FalseValue.
    if (field.IsNull()) {
        WriteValue(std::string(), rc.sout);
        return;
    }
    if (f == QxFmt::FLnk) {
        WriteHyperlink(DataSetFieldText(field, TQxFieldFormat{}), rc.sout);
        return;
    }
    if (f == QxFmt::FRtf) {
        WriteRtfFragmentField(field, rc.sout);
        return;
    }
    if (f == QxFmt::NoFormat) {
        // Text written as the dataset holds it, without a copy per value.
        const TFieldType type = field.DataType();
        const std::string* held =
            type == ftBoolean || type == ftDate || type == ftDateTime ? nullptr : field.HeldText();
        if (held != nullptr) {
            WriteValue(TrimmedRight(*held), rc.sout);
            return;
        }
    }
    WriteValue(DataSetFieldText(field, rc.fmt), rc.sout);
}

}  // namespace qx
