// Format-function wrappers of field texts (FNUM(x,10:2), FDTM(d,"dd.mm")...)
// and the text of date constants.
#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/base_report.h"

namespace qx {

namespace {

// The format row whose name is the wrapper's, or nullptr when `text` is no
// wrapper (NOFORMAT(...) included). `open` receives the "(" position.
const TQxBaseFormatIDs* FindWrapper(const std::string& text, std::size_t& open) {
    open = 0;
    while (open < text.size() && TQxBaseReport::Letter(static_cast<unsigned char>(text[open])))
        ++open;
    if (open >= text.size() || text[open] != '(' || open + 2 >= text.size() || text.back() != ')')
        return nullptr;
    const std::string name = UpperCase(text.substr(0, open));
    for (const TQxBaseFormatIDs& row : QxBaseFormatsArr)
        if (row.name == name) return row.id == QxFmt::NoFormat ? nullptr : &row;
    return nullptr;
}

// The numbers of a "p:n" or "n" parameter; `hasP` tells whether p was given.
struct FormatParameter {
    bool hasP = false;
    std::int32_t p = 0;
    std::int32_t n = 0;
};

FormatParameter ParseParameter(const std::string& field, const std::string& param) {
    for (std::size_t i = 0; i < param.size(); ++i) {
        const char c = param[i];
        const bool inner = i > 0 && i + 1 < param.size();
        if (!TQxBaseReport::Digit(static_cast<unsigned char>(c)) && c != ' ' &&
            !(c == ':' && inner))
            throw EIllegalFunctionUse("Illegal use of format function " + field +
                                      " - cannot understand argument " + param);
    }
    FormatParameter result;
    const std::size_t colon = param.find(':');
    if (colon == std::string::npos) {
        result.n = static_cast<std::int32_t>(StrToInt64(param));
    } else {
        result.hasP = true;
        result.p = static_cast<std::int32_t>(StrToInt64(param.substr(0, colon)));
        result.n = static_cast<std::int32_t>(StrToInt64(param.substr(colon + 1)));
    }
    return result;
}

}  // namespace

TQxFieldFormat TQxBaseReport::CheckFormat(std::string& fieldText) {
    TQxFieldFormat fmt{QxFmt::NoFormat, 18, 2};
    std::size_t open = 0;
    const TQxBaseFormatIDs* row = FindWrapper(fieldText, open);
    if (row == nullptr) return fmt;

    const std::string text = fieldText;
    std::vector<std::string> items;
    if (!SplitArgs(text.substr(open + 1, text.size() - open - 2), items))
        throw EIllegalFunctionUse("Brackets balance violation in format function " + text);
    const auto count = static_cast<std::int32_t>(items.size());
    if (count < row->argmin)
        throw EIllegalFunctionUse("Illegal format function use: " + text +
                                  " - number of arguments is less than minimum required");
    if (count > row->argmax)
        throw EIllegalFunctionUse("Illegal format function use: " + text +
                                  " - number of arguments is more than maximum allowed");

    fmt.fmtnumber = row->id;
    fieldText = items[0];
    const bool hasParam = count > 1;
    FormatParameter param;
    if (hasParam && (row->isfloat || row->id == QxFmt::FImg))
        param = ParseParameter(fieldText, items[1]);

    switch (row->id) {
        case QxFmt::FCur:
            fmt.decimals = hasParam ? param.n : FmtSett.CurrencyDecimals;
            if (param.hasP && param.p > 0) fmt.precision = param.p;
            break;
        case QxFmt::FExp:
        case QxFmt::FFix:
        case QxFmt::FNum:
        case QxFmt::FFixR:
        case QxFmt::FNumR:
            if (hasParam) fmt.decimals = param.n;
            if (param.hasP && param.p > 0) fmt.precision = param.p;
            break;
        case QxFmt::FImg:
            fmt.precision = hasParam ? param.n : 0;
            if (param.hasP && param.p > 0) fmt.precision = param.p;
            break;
        case QxFmt::FDtm:
            fmt.precision = CmStoreString(items[1]);
            break;
        default:
            break;
    }
    return fmt;
}

std::string TQxBaseReport::DateConstToStr(const std::string& s) const {
    return DateToStr(VarStrToDate(s), FmtSett);
}

}  // namespace qx
