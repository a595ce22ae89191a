#include "qxrtf/internal/report_setup.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "conscom/internal/tables.h"
#include "platform/internal/unicode.h"
#include "platform/sysutils.h"

namespace qx {

namespace {

// Built by appending: GCC 12 warns falsely on chains of string operator+.
std::string Quoted(const std::string& text, const char* tail) {
    std::string msg = "'";
    msg += text;
    msg += "'";
    msg += tail;
    return msg;
}

// A date variable needs its date; the time is optional.
TDateTime ParseDate(const std::string& text) {
    TDateTime value = 0;
    if (text.find('-') == std::string::npos || !TryParseIsoDateTime(text, value))
        throw EConvertError(Quoted(text, " is not a valid date (yyyy-mm-dd [hh:nn[:ss]])"));
    return value;
}

bool ParseBoolean(const std::string& text) {
    const std::string l = LowerCase(text);
    if (l == "true" || l == "yes" || l == "1") return true;
    if (l == "false" || l == "no" || l == "0") return false;
    throw EConvertError(Quoted(text, " is not a valid boolean value"));
}

}  // namespace

void DefineTypedVariable(TQxBaseReport& report, const std::string& name, const std::string& value,
                         const std::string& type) {
    const std::string t = LowerCase(type);
    if (t.empty() || t == "string") {
        report.CreateVar(name, value);
    } else if (t == "number" && IsIntegerText(value)) {
        // Whole numbers keep every digit, also beyond what a float holds.
        report.CreateVar(name, 0.0);
        TQxReportVariable var(&report);
        var.SetVarName(name);
        var.SetAsIntegerText(value);
    } else if (t == "number") {
        TFormatSettings dot = FormatSettings();
        dot.DecimalSeparator = ".";
        report.CreateVar(name, StrToFloat(value, dot));
    } else if (t == "boolean") {
        report.CreateVar(name, ParseBoolean(value));
    } else if (t == "date") {
        const TDateTime dt = ParseDate(value);
        report.CreateVar(name, dt, value.find(':') == std::string::npos);
    } else {
        throw Exception("Unknown variable type " +
                        Quoted(type, " (string, number, boolean, date)"));
    }
}

void DefineVariableFromText(TQxBaseReport& report, const std::string& assignment) {
    const auto eq = assignment.find('=');
    if (eq == std::string::npos || eq == 0)
        throw Exception("Variable " + Quoted(assignment, " must be given as NAME=VALUE[:TYPE]"));
    const std::string name = assignment.substr(0, eq);
    std::string value = assignment.substr(eq + 1), type;
    // A word after the last colon is a type, known or not, so that a
    // misspelt one ("1:numeric") is an error rather than part of the text;
    // a value that ends in a colon and a word is given as "...:string".
    // Anything else after a colon ("10:30", "http://...") is text.
    const auto colon = value.rfind(':');
    if (colon != std::string::npos && colon + 1 < value.size() &&
        std::all_of(value.begin() + static_cast<std::ptrdiff_t>(colon) + 1, value.end(),
                    [](unsigned char c) { return std::isalpha(c) != 0; })) {
        type = value.substr(colon + 1);
        value.resize(colon);
    }
    DefineTypedVariable(report, name, value, type);
}

bool RTFOptionFromName(const std::string& name, TQxRTFOption& option) {
    for (std::size_t i = 0; i < std::size(kQxRTFOptionNames); ++i)
        if (SameText(name, kQxRTFOptionNames[i])) {
            option = static_cast<TQxRTFOption>(i);
            return true;
        }
    return false;
}

}  // namespace qx
