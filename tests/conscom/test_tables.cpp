// The language's constant tables: ids in row order, operator mapping and the
// lookups built on them.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "conscom/internal/tables.h"
#include "platform/internal/unicode.h"

namespace qx {
namespace {

TEST(Tables, BuiltinRowsAreInIdOrderWithUniqueNames) {
    std::set<std::string_view> names;
    for (std::size_t k = 0; k < QxBaseFunctionsArr.size(); ++k) {
        const TQXBaseFunctionIDs& row = QxBaseFunctionsArr[k];
        SCOPED_TRACE(std::string(row.name));
        EXPECT_EQ(row.id, -static_cast<int>(k) - 1);
        EXPECT_LE(row.argmin, row.argmax);
        EXPECT_TRUE(names.insert(row.name).second);
        EXPECT_EQ(FindBaseFunction(row.id), &row);
    }
    EXPECT_EQ(FindBaseFunctionByName("")->id, QxFn::Brackets);
    EXPECT_EQ(FindBaseFunctionByName("SYS_IIF_FALSE")->id, QxFn::SysIifFalse);
    EXPECT_EQ(FindBaseFunction(0), nullptr);
    EXPECT_EQ(FindBaseFunction(-69), nullptr);
}

TEST(Tables, EveryOperatorReachesABuiltin) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"&&", -5},  {"||", -6},  {"<=", -7}, {"=>", -8}, {">=", -8},  {"<>", -9}, {"!=", -9},
        {"u-", -10}, {"u+", -11}, {"!", -12}, {"*", -13}, {"/", -14},  {"%", -15}, {"+", -16},
        {"-", -17},  {">", -18},  {"<", -19}, {"=", -23}, {":=", -65},
    };
    for (const auto& [symbol, id] : cases) {
        SCOPED_TRACE(symbol);
        const TQXBaseFunctionIDs* row = FindBaseFunctionByName(OperatorFunctionName(symbol));
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->id, id);
    }
    EXPECT_EQ(OperatorFunctionName("&"), "");
}

TEST(Tables, FormatRowsAndResultKinds) {
    for (std::size_t k = 0; k < QxBaseFormatsArr.size(); ++k)
        EXPECT_EQ(QxBaseFormatsArr[k].id, static_cast<int>(k));
    EXPECT_TRUE(QxBaseFormatsArr[QxFmt::FImg].argtype.Contains(udfrTPicture));
    EXPECT_FALSE(QxBaseFormatsArr[QxFmt::FNum].argtype.Contains(udfrTPicture));
    EXPECT_FALSE(QxBaseFormatsArr[QxFmt::NoFormat].argtype.Contains(udfrTQxReportVariable));
    EXPECT_FALSE(QxBaseFormatsArr[QxFmt::FFix].argtype.Contains(255));
    EXPECT_EQ(QxBaseFormatsArr[QxFmt::FCur].floatformat, 4);
    EXPECT_EQ(QxBaseFormatsArr[QxFmt::FNumR].floatformat, 3);

    std::string_view name;
    ASSERT_TRUE(IntToIdent(udfrTMemoryStream, name, QxUDFResultTypeIDs));
    EXPECT_EQ(name, "udfrTMemoryStream");
}

TEST(Tables, LanguageNamesAreSortedAndMapToIdentifiers) {
    for (std::size_t k = 1; k < QxLanguageIDs.size(); ++k)
        EXPECT_LT(CompareText(QxLanguageIDs[k - 1].Name, QxLanguageIDs[k].Name), 0) << k;
    std::int32_t value = 0;
    ASSERT_TRUE(IdentToInt("wdEnglishUS", value, QxLanguageIDs));
    EXPECT_EQ(value, 1033);
    ASSERT_TRUE(IdentToInt("wdLanguageNone", value, QxLanguageIDs));
    EXPECT_EQ(value, 0);
    std::string_view name;
    ASSERT_TRUE(IntToIdent(1072, name, QxLanguageIDs));
    EXPECT_EQ(name, "wdSesotho");  // the first of the two names sharing 1072
}

TEST(Tables, BlockCommandsAllowedPerKind) {
    EXPECT_TRUE(QxBaseLangControl[0][lcScanEntry]);
    EXPECT_FALSE(QxBaseLangControl[0][lcElse]);
    EXPECT_TRUE(QxBaseLangControl[4][lcElsIf]);
    EXPECT_FALSE(QxBaseLangControl[5][lcElse]);
    EXPECT_FALSE(QxBaseLangControl[6][lcElsIf]);
    for (const auto& row : QxBaseLangControl) {
        EXPECT_TRUE(row[lcScan]);
        EXPECT_TRUE(row[lcIf]);
    }
}

}  // namespace
}  // namespace qx
