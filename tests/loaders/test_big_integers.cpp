// Whole numbers beyond what a double holds exactly (2^53) and beyond 64
// bits, from CSV and JSON files and from typed variables: the column stays
// an integer column and every value is written with all its digits.
#include <memory>

#include "loader_fixture.h"
#include "platform/loaders/csv_dataset.h"
#include "platform/loaders/json_dataset.h"
#include "qxrtf/internal/report_setup.h"

using namespace qx;

namespace {

class BigIntegers : public qxtest::LoaderTest {
  protected:
    // A one-column dataset N holding `values`, read from a file of `kind`.
    std::unique_ptr<TDataSet> Open(const std::string& kind,
                                   const std::vector<std::string>& values) {
        std::string text = kind == "csv" ? "N\n" : "[";
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (kind == "csv")
                text += values[i] + "\n";
            else
                text += (i > 0 ? "," : "") + std::string("{\"N\": ") + values[i] + "}";
        }
        if (kind == "csv") return std::make_unique<TCsvDataSet>("T", MakeFile("n.csv", text));
        return TJsonDataSet::Open("T", MakeFile("n.json", text + "]"));
    }
};

struct TColumnCase {
    const char* name;
    std::vector<std::string> values;  // as written in the file, and as printed
};

const TColumnCase kColumns[] = {
    {"one value above 2^63 among small ones", {"1", "9223372036854775808", "-7"}},
    {"twenty digits", {"12345678901234567890", "99999999999999999999"}},
    {"the 64-bit limits and one past each",
     {"9223372036854775807", "-9223372036854775808", "-9223372036854775809",
      "18446744073709551616"}},
    {"beyond 2^53 but within 64 bits", {"9007199254740993", "1234567890123456789"}},
    {"forty digits", {"1234567890123456789012345678901234567890", "0"}},
};

}  // namespace

TEST_F(BigIntegers, ColumnsStayIntegersAndPrintEveryDigit) {
    for (const std::string kind : {"csv", "json"}) {
        for (const TColumnCase& c : kColumns) {
            SCOPED_TRACE(kind + ": " + c.name);
            auto ds = Open(kind, c.values);
            EXPECT_EQ(ds->FieldByName("N")->DataType(), ftLargeint);
            EXPECT_EQ(Column(*ds, "N"), c.values);
            std::string expected;
            for (const std::string& v : c.values) expected += v + ";" + v + "|";
            // Written directly, and through an expression that takes the
            // value as a number.
            EXPECT_EQ(
                Render("\\\\SCAN(T)\\\\\\\\T.N\\\\;\\\\IIF(1 = 1, T.N, 0)\\\\|\\\\ENDSCAN\\\\",
                       {ds.get()}),
                expected);
        }
    }
}

TEST_F(BigIntegers, BuiltinsThatGiveAnArgumentBackKeepEveryDigit) {
    // Each row writes T.N taken through a built-in that gives one of its
    // arguments back as it is, or through a report variable (Y) set from it.
    struct TPassCase {
        const char* name;
        const char* fields;
    };
    const TPassCase cases[] = {
        {"IIF's first branch, a field", R"(\\IIF(1 = 1, T.N, 0)\\)"},
        {"IIF's second branch, a field", R"(\\IIF(1 = 0, 0, T.N)\\)"},
        {"IIF of a report variable", R"(\\IIF(1 = 1, Y, 0)\\)"},
        {"IIF of an IIF", R"(\\IIF(1 = 1, IIF(1 = 0, 0, T.N), 0)\\)"},
        {"unary plus of a field", R"(\\+T.N\\)"},
        {"unary plus of a report variable", R"(\\+Y\\)"},
        {"SET from a report variable", R"(\\SET(Z, Y)\\\\Z\\)"},
        {":= from a report variable", R"(\\Z := Y\\\\Z\\)"},
        {":= from an IIF of a report variable", R"(\\Z := IIF(1 = 1, Y, 0)\\\\Z\\)"},
    };
    for (const std::string kind : {"csv", "json"}) {
        for (const TColumnCase& column : kColumns) {
            auto ds = Open(kind, column.values);
            std::string expected;
            for (const std::string& v : column.values) expected += v + "|";
            for (const TPassCase& c : cases) {
                SCOPED_TRACE(kind + ", " + column.name + ": " + c.name);
                const std::string body = R"(\\VAR(Y, Z)\\\\SCAN(T)\\\\Y := T.N\\)" +
                                         std::string(c.fields) + R"(|\\ENDSCAN\\)";
                EXPECT_EQ(Render(body, {ds.get()}), expected);
            }
        }
    }
}

TEST_F(BigIntegers, ArithmeticOnThemIsFloatArithmeticOnTheirValue) {
    // Digits are kept where the value is passed on as it is; a calculation
    // works on the nearest double, as on any number.
    for (const std::string kind : {"csv", "json"}) {
        SCOPED_TRACE(kind);
        auto ds = Open(kind, {"100000000000000000000"});
        EXPECT_DOUBLE_EQ(ds->FieldByName("N")->AsFloat(), 1e20);
        EXPECT_EQ(ds->FieldByName("N")->AsLargeInt(), INT64_MAX);
        EXPECT_EQ(Render("\\\\IIF(T.N > 99999999999999999, \"big\", \"small\")\\\\", {ds.get()}),
                  "big");
    }
    auto negative = Open("csv", {"-100000000000000000000"});
    EXPECT_EQ(negative->FieldByName("N")->AsLargeInt(), INT64_MIN);
}

TEST_F(BigIntegers, NumbersWithADecimalPointOrLeadingZeroAreNotIntegers) {
    struct Case {
        std::vector<std::string> values;
        TFieldType type;
    };
    const Case cases[] = {
        {{"12345678901234567890", "1.5"}, ftFloat},
        {{"12345678901234567890", "0123"}, ftString},
        {{"12345678901234567890", "x"}, ftString},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.values.back());
        auto ds = Open("csv", c.values);
        EXPECT_EQ(ds->FieldByName("N")->DataType(), c.type);
    }
}

TEST_F(BigIntegers, NumberVariablesKeepEveryDigit) {
    const std::string values[] = {"12345678901234567890", "-99999999999999999999", "42",
                                  "9007199254740993"};
    for (const std::string& v : values) {
        SCOPED_TRACE(v);
        TQxRTF report;
        DefineTypedVariable(report, "X", v, "number");
        TQxReportVariable var(&report);
        var.SetVarName("X");
        EXPECT_EQ(var.DataType(), qxdtNumber);
        EXPECT_EQ(var.AsString(), v);
        const auto defineX = [&](TQxRTF& r) { DefineTypedVariable(r, "X", v, "number"); };
        EXPECT_EQ(Render(R"(\\IIF(1 = 1, X, 0)\\;\\+X\\)", {}, defineX), v + ";" + v);
    }
}
