// Report variables: definition, lookup, typed access through the variable
// strings, locale behaviour, renaming, dataset aliases and persistence.
#include <gtest/gtest.h>

#include <functional>

#include <nlohmann/json.hpp>

#include "conscom/exceptions.h"
#include "qxbasereport/base_rtf_report.h"

namespace qx {
namespace {

TFormatSettings CommaLocale() {
    TFormatSettings fs;
    fs.DecimalSeparator = ",";
    fs.ThousandSeparator = ".";
    fs.DateSeparator = ".";
    fs.ShortDateFormat = "dd/mm/yyyy";
    fs.LongTimeFormat = "hh:nn:ss";
    fs.CurrencyDecimals = 3;
    return fs;
}

// A report whose variables are read under a comma-decimal locale.
class ReportVariables : public ::testing::Test {
  protected:
    void SetUp() override { report.SetFmtSettings(CommaLocale()); }

    template <typename F>
    static std::string ErrorOf(F&& f) {
        try {
            f();
        } catch (const Exception& e) {
            return e.what();
        }
        return "";
    }

    TQxBaseRTFReport report;
};

TEST_F(ReportVariables, NumbersAreStoredWithPointAndReadInTheLocale) {
    report.CreateVar("  Total ", 5.5);
    EXPECT_EQ(report.VarList()->Strings(0), "Total=5.5");
    TQxReportVariable& v = report.VarByName("total");
    EXPECT_EQ(v.AsString(), "5,5");
    EXPECT_DOUBLE_EQ(v.AsFloat(), 5.5);
    EXPECT_EQ(v.DataType(), qxdtNumber);
    EXPECT_EQ(v.DataTypeText(), "Number");
    EXPECT_EQ(v.DataTypeNumber(), 1);

    v.SetAsFloat(-1234.25);
    EXPECT_EQ(report.GetVarByNumber(1), "-1234.25");
    v.SetAsInteger(-17);
    EXPECT_EQ(report.GetVarByNumber(1), "-17");
    EXPECT_EQ(v.AsInteger(), -17);
    v.SetAsFloat(1e20);
    EXPECT_EQ(report.GetVarByNumber(1), "1E20");

    EXPECT_EQ(ErrorOf([&] { report.VarByName(" Total ").AsString(); }),
              "Get variable: report variable not found:  Total ");
    EXPECT_EQ(ErrorOf([&] { report.VarByName("Missing").SetAsFloat(1); }),
              "Set variable: report variable not found: Missing");
    EXPECT_EQ(ErrorOf([&] { report.VarByName("Missing").SetDataType(qxdtString); }),
              "Set variable: report variable not found: Missing");
}

TEST_F(ReportVariables, IntegerAndFloatReadsOfTexts) {
    report.CreateVar("S", "   ");
    report.CreateVar("H", "2.5");
    EXPECT_EQ(report.VarByName("S").AsInteger(), 0);
    EXPECT_DOUBLE_EQ(report.VarByName("S").AsFloat(), 0.0);
    EXPECT_THROW(report.VarByName("H").AsInteger(), EConvertError);
    EXPECT_DOUBLE_EQ(report.VarByName("H").AsFloat(), 2.5);  // "." read as the locale's ","
    report.VarByName("S").SetAsString("abc");
    EXPECT_THROW(report.VarByName("S").AsFloat(), EConvertError);
}

TEST_F(ReportVariables, BooleansFollowTrueAndFalseValue) {
    report.SetTrueValue("Yes");
    report.SetFalseValue("No");
    report.CreateVar("B", true);
    EXPECT_EQ(report.GetVarByNumber(1), "Yes");
    EXPECT_EQ(report.GetVarTypeByNumber(1), qxdtBoolean);
    TQxReportVariable& b = report.VarByName("B");
    b.SetAsBoolean(false);
    EXPECT_EQ(report.GetVarByNumber(1), "No");
    const std::pair<const char*, bool> reads[] = {
        {"Yes", true}, {"true", true}, {"TRUE", true}, {"YES", false}, {"No", false}, {"", false},
    };
    for (const auto& [text, expected] : reads) {
        SCOPED_TRACE(text);
        report.VarByName("B").SetAsString(text);
        EXPECT_EQ(report.VarByName("B").AsBoolean(), expected);
    }

    // Equal texts could not tell the values apart: the defaults are stored.
    report.SetTrueValue("X");
    report.SetFalseValue("X");
    report.VarByName("B").SetAsBoolean(false);
    EXPECT_EQ(report.GetVarByNumber(1), "False");
    EXPECT_FALSE(report.VarByName("B").AsBoolean());
    report.VarByName("B").SetAsBoolean(true);
    EXPECT_EQ(report.GetVarByNumber(1), "True");
    EXPECT_TRUE(report.VarByName("B").AsBoolean());

    report.SetTrueValue("");
    report.SetFalseValue("No");
    report.VarByName("B").SetAsString("");
    EXPECT_TRUE(report.VarByName("B").AsBoolean());
}

TEST_F(ReportVariables, DatesWithAndWithoutTime) {
    const TDateTime day = EncodeDate(2024, 3, 7);
    const TDateTime moment = day + EncodeTime(9, 5, 0, 250);
    report.CreateVar("D", moment, true);
    report.CreateVar("DT", moment, false);
    EXPECT_EQ(report.GetVarByNumber(1), "{2024-03-07}");
    EXPECT_EQ(report.GetVarByNumber(2), "{2024-03-07,09:05:00:250}");
    EXPECT_EQ(report.GetVarTypeByNumber(2), qxdtDateTime);

    EXPECT_DOUBLE_EQ(report.VarByName("D").AsDateTime(), day);  // midnight
    EXPECT_DOUBLE_EQ(report.VarByName("DT").AsDate(), day);     // date part only
    EXPECT_NEAR(report.VarByName("DT").AsDateTime(), moment, 1e-9);
    EXPECT_EQ(report.VarByName("D").AsString(), "07.03.2024");
    EXPECT_EQ(report.VarByName("DT").AsString(), "07.03.2024 09:05:00");

    // Before 1899-12-30 the day count runs backwards while the time of day
    // still runs forwards, so 18:00 of that day lies below its midnight.
    report.VarByName("D").SetAsDateTime(EncodeDate(1850, 1, 2) - EncodeTime(18, 0, 0, 0));
    EXPECT_EQ(report.GetVarByNumber(1), "{1850-01-02,18:00:00:000}");
    EXPECT_EQ(DateTimeToVarStr(report.VarByName("D").AsDateTime()), "{1850-01-02,18:00:00:000}");
    report.VarByName("D").SetAsDate(EncodeDate(5, 1, 9));
    EXPECT_EQ(report.GetVarByNumber(1), "{0005-01-09}");
}

TEST(VarStrings, DecodingChecksLengthAndParts) {
    const struct {
        const char* text;
        const char* dateError;
        const char* dateTimeError;
    } cases[] = {
        {"{2024-03-0}", "{2024-03-0} is not a valid date value",
         "{2024-03-0} is not a valid datetime value"},
        {"{2024-13-01}", "Invalid argument to date encode", "Invalid argument to date encode"},
        {"{20x4-03-01}", "'20x4' is not a valid integer value",
         "'20x4' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            VarStrToDate(c.text);
            ADD_FAILURE();
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), c.dateError);
        }
        try {
            VarStrToDateTime(c.text);
            ADD_FAILURE();
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), c.dateTimeError);
        }
    }
    // Separators are not checked; a time is read only from the full form.
    EXPECT_DOUBLE_EQ(VarStrToDate("x2024/03/07xtrailing"), EncodeDate(2024, 3, 7));
    EXPECT_DOUBLE_EQ(VarStrToDateTime("{2024-03-07,09:05:00}"), EncodeDate(2024, 3, 7));
    EXPECT_THROW(VarStrToDateTime("{2024-03-07,25:00:00:000}"), EConvertError);
}

TEST_F(ReportVariables, DefiningFindingAndFreeing) {
    report.CreateVar("A", "x=y");
    report.CreateVar("B", std::string());
    EXPECT_EQ(ErrorOf([&] { report.CreateVar("a", 1.0); }),
              "Can't add report variable a - variable already exists");
    EXPECT_EQ(ErrorOf([&] { report.CreateVar(" b ", true); }),
              "Can't add report variable  b  - variable already exists");
    EXPECT_EQ(report.VarList()->Count(), 2);
    EXPECT_EQ(report.GetVarByNumber(1), "x=y");
    EXPECT_EQ(report.VarByName("A").AsString(), "x=y");
    EXPECT_EQ(report.GetVarNumber("b"), 2);
    EXPECT_EQ(report.GetVarNumber("C"), 0);
    report.VarList()->Add("=orphan");
    report.VarList()->Add("noequals");
    EXPECT_EQ(report.GetVarNumber("noequals"), 0);
    EXPECT_EQ(report.GetVarByNumber(3), "");
    EXPECT_EQ(report.GetVarTypeByNumber(3), qxdtUnknown);

    report.FreeVar("a");
    report.FreeVar("nothing");
    EXPECT_EQ(report.GetVarNumber("A"), 0);
    EXPECT_EQ(report.GetVarNumber("B"), 1);
    report.ClearVars();
    EXPECT_EQ(report.VarList()->Count(), 0);
}

TEST_F(ReportVariables, RenamingChecksBothNames) {
    report.CreateVar("Old", "v");
    report.CreateVar("Other", "");
    TQxReportVariable& v = report.VarByName("Old");
    EXPECT_EQ(ErrorOf([&] { v.ChangeVarName("OLD"); }),
              "Can't set variable name to OLD, because variable with the same name already exists");
    EXPECT_EQ(
        ErrorOf([&] { v.ChangeVarName("other"); }),
        "Can't set variable name to other, because variable with the same name already exists");
    v.ChangeVarName("New");
    EXPECT_EQ(report.VarList()->Strings(0), "New=v");
    EXPECT_EQ(report.GetVarTypeByNumber(1), qxdtString);
    EXPECT_EQ(v.Name(), "New");
    report.VarByName("Other").ChangeVarName("Empty");
    EXPECT_EQ(report.VarList()->Strings(1), "Empty=");
    EXPECT_EQ(ErrorOf([&] { report.VarByName("Gone").ChangeVarName("X"); }),
              "Report variable not found: Gone");
}

TEST_F(ReportVariables, LocalVariablesHoldTheirOwnValue) {
    TQxReportVariable local(&report);
    local.SetLocal(true);
    local.SetAsFloat(2.5);
    EXPECT_EQ(local.AsString(), "2,5");
    EXPECT_EQ(local.DataType(), qxdtNumber);
    local.SetAsBoolean(true);
    EXPECT_TRUE(local.AsBoolean());
    EXPECT_EQ(report.VarList()->Count(), 0);
    local.SetLocal(false);
    local.SetLocal(true);
    EXPECT_EQ(local.AsString(), "");
    EXPECT_EQ(local.DataType(), qxdtUnknown);

    // Without a report the default boolean texts apply.
    TQxReportVariable free(nullptr);
    EXPECT_TRUE(free.Local());
    free.SetAsBoolean(true);
    EXPECT_EQ(free.AsString(), "True");
    EXPECT_TRUE(free.AsBoolean());
    free.SetLocal(false);
    free.SetVarName("X");
    EXPECT_EQ(ErrorOf([&] { free.AsString(); }), "Get variable: report variable not found: X");
    EXPECT_EQ(ErrorOf([&] { free.ChangeVarName("Y"); }), "Report variable not found: X");
}

// A number is kept as a number beside its text; every read gives what the
// text alone would, also after the entry was changed behind the accessor.
TEST_F(ReportVariables, KeptNumbersReadAsTheirText) {
    const double values[] = {2.5,   0.1 + 0.2,         7 * 12.34, 1.0 / 3.0,  -1234.25, 1e20,
                             2.675, 123456789012345.6, 1e-7,      4.35 * 100, -17.0,    0.0,
                             1e300};
    for (double v : values) {
        SCOPED_TRACE(v);
        TQxReportVariable kept(&report);
        kept.SetLocal(true);
        kept.SetAsFloat(v);
        TQxReportVariable text(&report);
        text.SetLocal(true);
        text.SetAsString(FloatToVarStr(v, report.FmtSettings()));
        text.SetDataType(qxdtNumber);
        EXPECT_EQ(kept.AsString(), text.AsString());
        EXPECT_EQ(kept.AsFloat(), text.AsFloat());
        kept.SetAsString("abc");  // a text replaces the number
        EXPECT_THROW(kept.AsFloat(), EConvertError);
    }
    TQxReportVariable count(&report);
    count.SetLocal(true);
    count.SetAsInteger(-(std::int64_t{1} << 60));
    EXPECT_EQ(count.AsString(), "-1152921504606846976");
    count.SetAsInteger(42);
    EXPECT_EQ(count.AsString(), "42");
    EXPECT_EQ(count.AsFloat(), 42.0);

    report.CreateVar("GT", 0.0);
    TQxReportVariable& gt = report.VarByName("GT");
    gt.SetAsFloat(7 * 12.34);
    EXPECT_EQ(report.GetVarByNumber(1), "86.38");
    EXPECT_EQ(gt.AsFloat(), 86.38);
    report.VarList()->SetStrings(0, "GT=5.25");
    EXPECT_EQ(gt.AsFloat(), 5.25);
    EXPECT_EQ(gt.AsFloat(), 5.25);
    gt.SetAsInteger(3);
    EXPECT_EQ(gt.AsFloat(), 3.0);
}

// A named number's text is written only when something reads it; every way
// of reading the list must see the same text an immediate write gave.
TEST_F(ReportVariables, NamedNumbersReadTheSameThroughEveryReader) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{7 * 12.34, "86.38"}, {-1234.25, "-1234.25"}, {1e20, "1E20"},
                 {0.1 + 0.2, "0.3"},   {2.675, "2.675"},       {1e-7, "1E-7"}};
    using Reader = std::function<std::string(TQxBaseRTFReport&)>;
    const std::pair<const char*, Reader> readers[] = {
        {"Strings", [](TQxBaseRTFReport& r) { return r.VarList()->Strings(1); }},
        {"Text", [](TQxBaseRTFReport& r) { return r.VarList()->Text(); }},
        {"Values", [](TQxBaseRTFReport& r) { return "GT=" + r.VarList()->Values("gt"); }},
        {"GetVarByNumber", [](TQxBaseRTFReport& r) { return "GT=" + r.GetVarByNumber(2); }},
        {"Assign",
         [](TQxBaseRTFReport& r) {
             TStringList copy;
             copy.Assign(*r.VarList());
             return copy.Strings(1);
         }},
        {"IndexOf",
         [](TQxBaseRTFReport& r) {
             return std::to_string(r.VarList()->IndexOf(r.VarList()->Strings(1)));
         }},
    };
    for (const auto& c : cases) {
        for (const auto& [name, read] : readers) {
            SCOPED_TRACE(std::string(name) + " " + c.text);
            TQxBaseRTFReport fresh;
            fresh.SetFmtSettings(CommaLocale());
            fresh.CreateVar("A", "x");
            fresh.CreateVar("GT", 0.0);
            fresh.VarByName("GT").SetAsFloat(c.value);
            const std::string expected = std::string("GT=") + c.text;
            if (std::string_view(name) == "Text")
                EXPECT_EQ(read(fresh), "A=x\n" + expected + "\n");
            else if (std::string_view(name) == "IndexOf")
                EXPECT_EQ(read(fresh), "1");
            else
                EXPECT_EQ(read(fresh), expected);
            EXPECT_EQ(fresh.VarByName("GT").AsFloat(), std::stod(c.text));
        }
    }

    // A write of the entry replaces the number waiting for its text, and an
    // earlier read of the entry's text does not come back.
    report.CreateVar("T", 0.0);
    TQxReportVariable& t = report.VarByName("T");
    EXPECT_EQ(t.AsFloat(), 0.0);
    t.SetAsFloat(5);
    t.SetAsInteger(0);
    EXPECT_EQ(t.AsFloat(), 0.0);
    t.SetAsFloat(2.5);
    report.VarList()->SetStrings(0, "T=4");
    EXPECT_EQ(t.AsFloat(), 4.0);
    t.SetAsFloat(2.5);
    t.ChangeVarName("U");
    EXPECT_EQ(report.VarList()->Strings(0), "U=2.5");
    EXPECT_EQ(report.VarByName("U").AsString(), "2,5");
}

// Lookups by name are remembered; every change of the list's names or order
// must be seen by the next lookup.
TEST_F(ReportVariables, LookupsFollowEveryChangeOfTheList) {
    for (const char* name : {"A", "B", "C", "D", "E", "F"}) report.CreateVar(name, 1.0);
    const auto number = [&](const char* name) { return report.GetVarNumber(name); };
    for (int round = 0; round < 2; ++round) {  // more names than are remembered
        for (const char* name : {"a", "B", "c", "D", "e", "F"})
            EXPECT_EQ(number(name), name[0] - (name[0] >= 'a' ? 'a' : 'A') + 1) << name;
    }
    report.FreeVar("A");
    EXPECT_EQ(number("A"), 0);
    EXPECT_EQ(number("c"), 2);
    report.VarByName("C").SetAsFloat(2.5);  // a new value keeps the names
    EXPECT_EQ(number("C"), 2);
    report.VarList()->SetStrings(0, "Z=2");
    EXPECT_EQ(number("B"), 0);
    EXPECT_EQ(number("z"), 1);
    report.VarByName("C").ChangeVarName("Q");
    EXPECT_EQ(number("C"), 0);
    EXPECT_EQ(number("Q"), 2);
    report.VarList()->Insert(0, "N=5");
    EXPECT_EQ(number("Q"), 3);
    report.VarList()->SetValues("N", "");  // deletes the line
    EXPECT_EQ(number("Q"), 2);
    TQxVarList other;
    other.Add("E=1");
    report.SetVarList(other);
    EXPECT_EQ(number("E"), 1);
    EXPECT_EQ(number("Q"), 0);
    report.ClearVars();
    EXPECT_EQ(number("E"), 0);
}

TEST_F(ReportVariables, AssigningAListKeepsTypes) {
    TQxVarList source;
    source.AddObject("N=1", new TQxVarListObject(qxdtNumber));
    source.Add("U=x");
    report.CreateVar("Gone", "");
    report.SetVarList(source);
    ASSERT_EQ(report.VarList()->Count(), 2);
    EXPECT_EQ(report.GetVarNumber("Gone"), 0);
    EXPECT_EQ(report.GetVarTypeByNumber(1), qxdtNumber);
    EXPECT_EQ(report.GetVarTypeByNumber(2), qxdtUnknown);
}

// Aliases X (position 0) and B (position 1), as a run defines them.
class AliasTest : public ::testing::Test {
  protected:
    class Report : public TQxBaseRTFReport {
      public:
        void SetAliases(std::initializer_list<const char*> lines, bool oneChar) {
            FInDList = std::make_unique<TStringList>();
            for (const char* line : lines) FInDList->Add(line);
            FInDListOneCharExists = oneChar;
        }
    };
    Report report;
};

TEST_F(AliasTest, OneCharacterAliasesWinOverLetters) {
    report.SetAliases({"X=0", "B=1", "ORDERS=2"}, true);
    const std::pair<const char*, std::int32_t> cases[] = {
        {"x", 0}, {" b ", 1},    {"A", 0},  {"Z", 25},        {"AB", -1},
        {"", -1}, {"orders", 2}, {"1", -1}, {"\xC3\xA4", -1},
    };
    for (const auto& [alias, position] : cases) {
        SCOPED_TRACE(alias);
        EXPECT_EQ(report.CtoN(alias), position);
    }
}

TEST_F(AliasTest, LettersAddressDatasetsWithoutARun) {
    EXPECT_EQ(report.CtoN("c"), 2);
    EXPECT_EQ(report.CtoN("ORDERS"), -1);
}

TEST_F(ReportVariables, SettingsRoundTripWithVarDataTypes) {
    report.SetInFile("in.rtf");
    report.SetTrueValue("Ja");
    report.CreateVar("S", "text");
    report.CreateVar("N", 1.5);
    report.CreateVar("B", true);
    report.CreateVar("D", EncodeDate(2024, 3, 7), true);
    report.VarList()->Add("Plain=untyped");

    nlohmann::json doc;
    report.SaveSettings(doc);
    EXPECT_EQ(doc["VarDataTypes"],
              "05000000"
              "00000000"
              "01000000"
              "02000000"
              "03000000"
              "FFFFFFFF");
    EXPECT_EQ(doc["VarList"][2], "B=Ja");

    TQxBaseRTFReport loaded;
    loaded.CreateVar("Stale", "");
    loaded.LoadSettings(doc);
    EXPECT_EQ(loaded.InFile(), "in.rtf");
    EXPECT_EQ(loaded.TrueValue(), "Ja");
    ASSERT_EQ(loaded.VarList()->Count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(loaded.VarList()->DataTypes(i), report.VarList()->DataTypes(i)) << i;
    nlohmann::json again;
    loaded.SaveSettings(again);
    EXPECT_EQ(again, doc);
}

TEST_F(ReportVariables, VarDataTypesEdgeCases) {
    report.CreateVar("A", "x");
    report.CreateVar("B", 2.0);
    nlohmann::json doc;
    report.SaveSettings(doc);

    const struct {
        const char* hex;
        TQxDataType first;
        TQxDataType second;
    } cases[] = {
        {"00000000", qxdtUnknown, qxdtUnknown},  // a count of 0 leaves every entry untyped
        {"0200000003000000FFFFFFFF", qxdtDateTime, qxdtUnknown},
        // Unknown numbers, and more numbers than entries, are consumed safely.
        {"03000000030000000700000001000000", qxdtDateTime, qxdtUnknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hex);
        nlohmann::json variant = doc;
        variant["VarDataTypes"] = c.hex;
        TQxBaseRTFReport loaded;
        loaded.LoadSettings(variant);
        EXPECT_EQ(loaded.GetVarTypeByNumber(1), c.first);
        EXPECT_EQ(loaded.GetVarTypeByNumber(2), c.second);
    }

    // An empty list is written as a count of 0.
    TQxBaseRTFReport empty;
    nlohmann::json emptyDoc;
    empty.SaveSettings(emptyDoc);
    EXPECT_EQ(emptyDoc["VarDataTypes"], "00000000");

    // Truncated data is refused and changes nothing.
    nlohmann::json cut = doc;
    cut["VarDataTypes"] = "0200000000000000";
    TQxBaseRTFReport r3;
    r3.CreateVar("Keep", 1.0);
    EXPECT_THROW(r3.LoadSettings(cut), Exception);
    ASSERT_EQ(r3.VarList()->Count(), 1);
    EXPECT_EQ(r3.GetVarTypeByNumber(1), qxdtNumber);
}

}  // namespace
}  // namespace qx
