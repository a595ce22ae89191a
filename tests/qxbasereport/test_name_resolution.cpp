// Function-name resolution and argument checks: splitting, lookup order
// (user-defined before built-in), limits, result kinds and format fit.
#include <gtest/gtest.h>

#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "qxbasereport/base_rtf_report.h"
#include "qxfunc/udf_list.h"

namespace qx {
namespace {

class NameResolution : public ::testing::Test {
  protected:
    TQxUDF* AddUdf(const std::string& name, std::uint16_t min, std::uint16_t max,
                   TQxUDFResultType result = udfrTQxReportVariable) {
        TQxUDF* f = udfs.Functions().Add();
        f->SetName(name);
        f->SetArgMaxCount(max);
        f->SetArgMinCount(min);
        f->SetResultType(result);
        return f;
    }

    std::string ProcessError(const std::string& text) {
        std::vector<std::string> args;
        std::int32_t id = 0;
        try {
            report.ProcessUDFName(text, args, id);
        } catch (const EIllegalFunctionUse& e) {
            return e.what();
        }
        return "";
    }

    TQxBaseRTFReport report;
    TQxUDFList udfs;
};

TEST_F(NameResolution, SplitArgsKeepsQuotesBracketsAndBlanks) {
    const struct {
        const char* text;
        bool ok;
        std::vector<std::string> items;
    } cases[] = {
        {"a,(b,c),\"d,e\"", true, {"a", "(b,c)", "\"d,e\""}},
        {" a , b ", true, {" a ", " b "}},
        {"a)", false, {"a"}},
        {"(a", false, {"(a,"}},
        {"   ", true, {}},
        {"a,,b", true, {"a", "", "b"}},
        {"'x)',\xE2\x80\x9C"
         "y,z\xE2\x80\x9D",
         true,
         {"'x)'", "\xE2\x80\x9Cy,z\xE2\x80\x9D"}},
        // An unclosed quote keeps the rest of the text and is refused.
        {"a,\"b,c", false, {"a", "\"b,c,"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> items{"kept"};
        EXPECT_EQ(report.SplitArgs(c.text, items), c.ok);
        std::vector<std::string> expected{"kept"};
        expected.insert(expected.end(), c.items.begin(), c.items.end());
        EXPECT_EQ(items, expected);
    }
}

TEST_F(NameResolution, BuiltinsResolveByNameAndId) {
    std::int32_t id = 99;
    EXPECT_TRUE(report.GetUDFNumber(" trim ", id));
    EXPECT_EQ(id, -25);
    EXPECT_TRUE(report.GetUDFNumber("", id));
    EXPECT_EQ(id, QxFn::Brackets);
    EXPECT_FALSE(report.GetUDFNumber("NOSUCH", id));
    EXPECT_EQ(id, 0);
    EXPECT_EQ(report.GetArgMinCount(-26), 2);
    EXPECT_EQ(report.GetArgMaxCount(-26), 3);
    EXPECT_EQ(report.GetArgMaxCount(QxFn::Var), 10000);
    EXPECT_EQ(report.GetUDFResultType(QxFn::Sum), udfrNil);
    EXPECT_EQ(report.GetUDFResultType(-25), udfrTQxReportVariable);
    EXPECT_EQ(report.GetUDFResultType(-500), udfrNil);
    // Without a linked list, user ids have no limits and no result.
    EXPECT_EQ(report.GetArgMaxCount(0), 0);
    EXPECT_EQ(report.GetUDFResultType(0), udfrNil);
}

TEST_F(NameResolution, UserFunctionsHideBuiltins) {
    AddUdf("Other", 0, 0);
    AddUdf("sum", 1, 1, udfrTPicture);
    AddUdf("TRIM", 0, 4);
    report.SetUDFList(&udfs);

    std::int32_t id = -99;
    EXPECT_TRUE(report.GetUDFNumber("SUM", id));
    EXPECT_EQ(id, 1);
    EXPECT_EQ(report.GetArgMaxCount(id), 1);
    EXPECT_EQ(report.GetUDFResultType(id), udfrTPicture);

    std::vector<std::string> args;
    EXPECT_TRUE(report.ProcessUDFName("trim(a,b,c,d)", args, id));
    EXPECT_EQ(id, 2);
    EXPECT_EQ(args.size(), 4u);
    EXPECT_TRUE(report.GetUDFNumber("MID", id));
    EXPECT_EQ(id, -26);
}

TEST_F(NameResolution, UnnamedUserFunctionDoesNotCaptureBrackets) {
    AddUdf("", 0, 0);
    report.SetUDFList(&udfs);
    std::vector<std::string> args;
    std::int32_t id = 0;
    EXPECT_TRUE(report.ProcessUDFName("(X+1)", args, id));
    EXPECT_EQ(id, QxFn::Brackets);
    EXPECT_EQ(args, std::vector<std::string>{"X+1"});
}

TEST_F(NameResolution, ProcessUDFNameSplitsKnownCalls) {
    const struct {
        const char* text;
        bool ok;
        std::int32_t id;
        std::vector<std::string> args;
    } cases[] = {
        {"(X+1)", true, QxFn::Brackets, {"X+1"}},
        {"mid (s,1,2)", true, -26, {"s", "1", "2"}},
        {"NOW()", true, -42, {}},
        {"NOSUCH(1)", false, 0, {}},
        {"MID", false, 0, {}},
        {"MID(", false, 0, {}},
        {"MID(s,1", false, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> args;
        std::int32_t id = 12345;
        EXPECT_EQ(report.ProcessUDFName(c.text, args, id), c.ok);
        if (c.ok) {
            EXPECT_EQ(id, c.id);
        }
        EXPECT_EQ(args, c.args);
    }
}

TEST_F(NameResolution, ProcessUDFNameRefusesMalformedCallsOfKnownFunctions) {
    EXPECT_EQ(ProcessError("MID(a)"),
              "Illegal function use: MID(a) - number of arguments is less than minimum required");
    EXPECT_EQ(ProcessError("TRIM(a,b)"),
              "Illegal function use: TRIM(a,b) - number of arguments is more than maximum allowed");
    EXPECT_EQ(ProcessError("()"),
              "Illegal function use: () - number of arguments is less than minimum required");
    EXPECT_EQ(ProcessError("TRIM(a))"), "Brackets balance violation in function TRIM(a))");
    EXPECT_EQ(ProcessError("NOW(1)"),
              "Illegal function use: NOW(1) - number of arguments is more than maximum allowed");

    std::string args(10000 * 2 - 1, ',');
    for (std::size_t i = 0; i < args.size(); i += 2) args[i] = 'x';
    EXPECT_EQ(ProcessError("VAR(" + args + ")"), "");
    EXPECT_EQ(ProcessError("VAR(" + args + ",y)"),
              "Illegal function use: VAR(" + args +
                  ",y) - number of arguments is more than maximum allowed");
}

TEST_F(NameResolution, FormatMustFitTheResultKind) {
    AddUdf("Pic", 0, 0, udfrTPicture);
    AddUdf("Rtf", 0, 0, udfrTMemoryStream);
    const auto fmt = [](std::int32_t n) { return TQxFieldFormat{n, 18, 2}; };
    EXPECT_FALSE(report.CheckUdfFormat(0, fmt(QxFmt::FImg)));  // no list linked
    report.SetUDFList(&udfs);
    const struct {
        std::int32_t id;
        std::int32_t format;
        bool ok;
    } cases[] = {
        {QxFn::Sum, QxFmt::FNum, false},
        {QxFn::Sum, QxFmt::NoFormat, true},
        {-25, QxFmt::FNum, true},
        {-25, QxFmt::FDtm, true},
        {0, QxFmt::FImg, true},
        {0, QxFmt::FNum, false},
        {1, QxFmt::NoFormat, true},
        {1, QxFmt::FRtf, false},
        {QxFn::SysLet, QxFmt::FBool, false},
        {-500, QxFmt::FLnk, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + " under format " + std::to_string(c.format));
        EXPECT_EQ(report.CheckUdfFormat(c.id, fmt(c.format)), c.ok);
    }
}

}  // namespace
}  // namespace qx
