// Function-name resolution: splitting argument texts, finding a function by
// name among the user-defined ones and the built-ins, argument limits and
// result kinds by id, and whether a format function fits a call's result.
#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/base_report.h"
#include "qxbasereport/internal/lang_text.h"
#include "qxfunc/udf_list.h"

namespace qx {

namespace {

const TQXBaseFunctionIDs* BuiltinRow(std::int32_t id) {
    return id < 0 && -id <= kQxBaseFunctionCount ? &QxBaseFunctionsArr[-id - 1] : nullptr;
}

}  // namespace

bool TQxBaseReport::SplitArgs(const std::string& args, std::vector<std::string>& list) const {
    if (Trim(args).empty()) return true;
    const std::u32string u = Utf8ToUtf32(args) + U",";
    std::u32string item;
    char32_t quote = 0;
    int depth = 0;
    for (const char32_t c : u) {
        if (quote != 0) {
            item += c;
            if (RightQuote(quote, c)) quote = 0;
            continue;
        }
        if (LeftQuote(c)) {
            quote = c;
            item += c;
            continue;
        }
        if (c == U'(') ++depth;
        if (c == U')' && --depth < 0) {
            list.push_back(Utf32ToUtf8(item));
            return false;
        }
        if (c == U',' && depth == 0) {
            list.push_back(Utf32ToUtf8(item));
            item.clear();
        } else {
            item += c;
        }
    }
    // A bracket or a quote still open: keep what was read so that nothing is
    // silently lost, and refuse the text.
    if (depth > 0 || quote != 0) {
        list.push_back(Utf32ToUtf8(item));
        return false;
    }
    return true;
}

bool TQxBaseReport::GetUDFNumber(const std::string& name, std::int32_t& id) const {
    id = -1;
    const std::string key = UpperCase(Trim(name));
    // An unnamed user-defined function must not capture the bracket
    // pseudo-function, whose name is empty.
    if (FUDFList != nullptr && FUDFList->GetCount() > 0 && !key.empty()) {
        const std::int32_t found = FUDFList->FindFunction(key);
        if (found >= 0) {
            id = found;
            return true;
        }
    }
    if (const TQXBaseFunctionIDs* row = FindBaseFunctionByName(key)) {
        id = row->id;
        return true;
    }
    id = 0;
    return false;
}

std::int32_t TQxBaseReport::GetArgMinCount(std::int32_t id) const {
    if (const TQXBaseFunctionIDs* row = BuiltinRow(id)) return row->argmin;
    if (id >= 0 && FUDFList != nullptr && id < FUDFList->GetCount())
        return FUDFList->Functions().Items(id)->ArgMinCount();
    return 0;
}

std::int32_t TQxBaseReport::GetArgMaxCount(std::int32_t id) const {
    if (const TQXBaseFunctionIDs* row = BuiltinRow(id)) return row->argmax;
    if (id >= 0 && FUDFList != nullptr && id < FUDFList->GetCount())
        return FUDFList->Functions().Items(id)->ArgMaxCount();
    return 0;
}

TQxUDFResultType TQxBaseReport::GetUDFResultType(std::int32_t id) const {
    if (id < 0) {
        const TQXBaseFunctionIDs* row = FindBaseFunction(id);
        return row != nullptr ? row->ResultType : udfrNil;
    }
    if (FUDFList != nullptr && id < FUDFList->GetCount())
        return FUDFList->Functions().Items(id)->ResultType();
    return udfrNil;
}

bool TQxBaseReport::CheckUdfFormat(std::int32_t id, const TQxFieldFormat& fmt) const {
    if (fmt.fmtnumber < 1) return true;
    if (fmt.fmtnumber >= kQxBaseFormatCount) return false;
    if (id >= 0 && FUDFList == nullptr) return false;
    return QxBaseFormatsArr[fmt.fmtnumber].argtype.Contains(GetUDFResultType(id));
}

bool TQxBaseReport::ProcessUDFName(const std::string& text, std::vector<std::string>& args,
                                   std::int32_t& id) const {
    std::string name;
    std::string argText;
    if (text.size() > 2 && text.front() == '(' && text.back() == ')') {
        argText = text.substr(1, text.size() - 2);
    } else {
        const std::size_t open = text.find('(');
        if (open == std::string::npos || open + 1 == text.size() || text.back() != ')')
            return false;
        name = UpperCase(Trim(text.substr(0, open)));
        argText = text.substr(open + 1, text.size() - open - 2);
    }
    if (!GetUDFNumber(name, id)) return false;
    const std::size_t before = args.size();
    if (!SplitArgs(argText, args))
        throw EIllegalFunctionUse("Brackets balance violation in function " + text);
    CheckArgCount(id, static_cast<std::int64_t>(args.size() - before), [&] { return text; });
    return true;
}

void TQxBaseReport::CheckArgCount(std::int32_t id, std::int64_t count,
                                  const std::function<std::string()>& callText) const {
    if (count < GetArgMinCount(id))
        throw EIllegalFunctionUse("Illegal function use: " + callText() +
                                  " - number of arguments is less than minimum required");
    if (count > GetArgMaxCount(id))
        throw EIllegalFunctionUse("Illegal function use: " + callText() +
                                  " - number of arguments is more than maximum allowed");
}

}  // namespace qx
