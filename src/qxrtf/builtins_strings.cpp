// String functions: TRIM, MID (also called SUBSTR and COPY), UPPER, LOWER
// and POS. Text is UTF-8 and a character is one code point: positions and
// counts are in code points, and slicing never splits a character.
#include <string_view>

#include "conscom/exceptions.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/internal/lang_text.h"
#include "qxrtf/internal/builtins.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

constexpr TQxArgMessages kTrimArg{
    "Operand type unknown. Function \"TRIM\", expression ",
    "Operand of string type expected. Function \"TRIM\", expression "};
constexpr TQxArgMessages kUpperArg{
    "Operand type unknown. Function \"UPPER\", expression ",
    "Operand of string type expected. Function \"UPPER\", expression "};
constexpr TQxArgMessages kLowerArg{
    "Operand type unknown. Function \"LOWER\", expression ",
    "Operand of string type expected. Function \"LOWER\", expression "};
constexpr TQxArgMessages kMidArgs[] = {
    {"First operand type unknown. Functions \"MID\", \"COPY\", \"SUBSTR\", expression ",
     "First operand of string type expected in functions \"MID\", \"COPY\", \"SUBSTR\", "
     "expression "},
    {"Second operand type unknown. Functions \"MID\", \"COPY\", \"SUBSTR\", expression ",
     "Second operand of numeric type expected in functions \"MID\", \"COPY\", \"SUBSTR\", "
     "expression "},
    {"Third operand type unknown. Functions \"MID\", \"COPY\", \"SUBSTR\", expression ",
     "Third operand of numeric type expected in functions \"MID\", \"COPY\", \"SUBSTR\", "
     "expression "},
};
constexpr TQxArgMessages kPosArgs[] = {
    {"First operand type unknown. Function \"POS\", expression ",
     "First operand of string type expected in function \"POS\", expression "},
    {"Second operand type unknown. Functions \"POS\", expression ",
     "Second operand of string type expected in functions \"POS\", expression "},
};

// The byte offset of code point `index` (0-based) in s, or s.size() when s
// has fewer code points.
std::size_t OffsetOfCodePoint(std::string_view s, std::int64_t index) {
    std::size_t pos = 0;
    for (std::int64_t k = 0; k < index && pos < s.size(); ++k) Utf8Next(s, pos);
    return pos;
}

void TrimText(TQxBuiltinCall& call) {
    RequireArg(call, 0, qxdtString, kTrimArg);
    const TQxReportVariable s = ArgValue(call, 0, qxdtString);
    call.ReturnString(Trim(s.AsString()));
}

void Mid(TQxBuiltinCall& call) {
    const bool hasCount = call.Count() > 2;
    for (std::size_t i = 0; i < (hasCount ? 3u : 2u); ++i)
        RequireArg(call, i, i == 0 ? qxdtString : qxdtNumber, kMidArgs[i]);
    std::int64_t count = 0;
    if (hasCount) count = IntValue(ArgValue(call, 2, qxdtNumber));
    std::int64_t start = IntValue(ArgValue(call, 1, qxdtNumber));
    const std::string text = ArgValue(call, 0, qxdtString).AsString();
    if (!hasCount) {
        const auto length = static_cast<std::int64_t>(Utf8Length(text));
        if (start >= 1 && start <= length) count = length - start + 1;
    }
    // A start before the first character counts from the first one, as the
    // classic substring routine does.
    if (start < 1) start = 1;
    std::string part;
    if (count > 0) {
        const std::size_t from = OffsetOfCodePoint(text, start - 1);
        const std::size_t to = from + OffsetOfCodePoint(std::string_view(text).substr(from), count);
        part = text.substr(from, to - from);
    }
    call.ReturnString(part);
}

template <bool Upper>
void ChangeCase(TQxBuiltinCall& call) {
    RequireArg(call, 0, qxdtString, Upper ? kUpperArg : kLowerArg);
    const std::string s = ArgValue(call, 0, qxdtString).AsString();
    call.ReturnString(Upper ? UpperCase(s) : LowerCase(s));
}

void Pos(TQxBuiltinCall& call) {
    RequireArg(call, 0, qxdtString, kPosArgs[0]);
    RequireArg(call, 1, qxdtString, kPosArgs[1]);
    const std::u32string s = Utf8ToUtf32(ArgValue(call, 1, qxdtString).AsString());
    const std::u32string sub = Utf8ToUtf32(ArgValue(call, 0, qxdtString).AsString());
    const std::size_t at = sub.empty() ? std::u32string::npos : s.find(sub);
    if (TQxReportVariable* result = call.Result())
        result->SetAsInteger(at == std::u32string::npos ? 0 : static_cast<std::int64_t>(at) + 1);
}

}  // namespace

void RegisterStringBuiltins(TQxBuiltinTable& table) {
    SetBuiltin(table, -25, TrimText);
    SetBuiltin(table, -26, Mid);  // MID
    SetBuiltin(table, -27, Mid);  // SUBSTR
    SetBuiltin(table, -28, Mid);  // COPY
    SetBuiltin(table, -29, ChangeCase<true>);
    SetBuiltin(table, -30, ChangeCase<false>);
    SetBuiltin(table, -64, Pos);
}

}  // namespace qx
