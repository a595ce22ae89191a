// Format-function wrappers of field texts and the text of date constants.
#include <gtest/gtest.h>

#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "qxbasereport/base_rtf_report.h"

namespace qx {
namespace {

class FormatFunctions : public ::testing::Test {
  protected:
    void SetUp() override {
        TFormatSettings fs;
        fs.CurrencyDecimals = 3;
        fs.DateSeparator = ".";
        fs.ShortDateFormat = "dd/mm/yyyy";
        report.SetFmtSettings(fs);
    }

    std::string ErrorOf(const std::string& text) {
        std::string field = text;
        try {
            report.CheckFormat(field);
        } catch (const Exception& e) {
            return e.what();
        }
        return "";
    }

    // Exposes the string pool that FDTM parameters go to.
    struct Report : TQxBaseRTFReport {
        using TQxBaseReport::CmGetString;
    } report;
};

TEST_F(FormatFunctions, RecognisesWrappersAndTheirParameters) {
    const struct {
        const char* text;
        const char* field;
        TQxFieldFormat fmt;
    } cases[] = {
        {"FNUM(A.Total,2)", "A.Total", {QxFmt::FNum, 18, 2}},
        {"FNUM(A.Total,10:3)", "A.Total", {QxFmt::FNum, 10, 3}},
        {"FNUM(A.Total,0:3)", "A.Total", {QxFmt::FNum, 18, 3}},
        {"fnum(x)", "x", {QxFmt::FNum, 18, 2}},
        {"FEXP(x, 4)", "x", {QxFmt::FExp, 18, 4}},
        {"FFIXR(x,8:1)", "x", {QxFmt::FFixR, 8, 1}},
        {"FCUR(A.Price)", "A.Price", {QxFmt::FCur, 18, 3}},
        {"FCUR(A.Price,12:1)", "A.Price", {QxFmt::FCur, 12, 1}},
        {"FIMG(P.Photo)", "P.Photo", {QxFmt::FImg, 0, 2}},
        {"FIMG(P.Photo,4)", "P.Photo", {QxFmt::FImg, 4, 2}},
        {"FIMG(P.Photo,2:4)", "P.Photo", {QxFmt::FImg, 2, 2}},
        {"FBOOL(a=b)", "a=b", {QxFmt::FBool, 18, 2}},
        {"FLNK(F(a,b))", "F(a,b)", {QxFmt::FLnk, 18, 2}},
        {"F1(x)", "F1(x)", {QxFmt::NoFormat, 18, 2}},
        {"FNUM()", "FNUM()", {QxFmt::NoFormat, 18, 2}},
        {"NOFORMAT(x)", "NOFORMAT(x)", {QxFmt::NoFormat, 18, 2}},
        {"FNUM(x)+1", "FNUM(x)+1", {QxFmt::NoFormat, 18, 2}},
        {"FNUM (x)", "FNUM (x)", {QxFmt::NoFormat, 18, 2}},
        {"", "", {QxFmt::NoFormat, 18, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string field = c.text;
        EXPECT_EQ(report.CheckFormat(field), c.fmt);
        EXPECT_EQ(field, c.field);
    }
}

TEST_F(FormatFunctions, DateFormatTextGoesToTheStringPool) {
    std::string field = "FDTM(A.When,\"dd.mm.yyyy, hh:nn\")";
    const TQxFieldFormat fmt = report.CheckFormat(field);
    EXPECT_EQ(field, "A.When");
    EXPECT_EQ(fmt.fmtnumber, QxFmt::FDtm);
    EXPECT_EQ(report.CmGetString(fmt.precision), "\"dd.mm.yyyy, hh:nn\"");
}

TEST_F(FormatFunctions, RefusesMalformedWrappers) {
    const std::pair<const char*, const char*> cases[] = {
        {"FNUM(x,2,3)",
         "Illegal format function use: FNUM(x,2,3) - number of arguments is more than maximum "
         "allowed"},
        {"FDTM(x)",
         "Illegal format function use: FDTM(x) - number of arguments is less than minimum "
         "required"},
        {"FNUM(x,a)", "Illegal use of format function x - cannot understand argument a"},
        {"FNUM(x,:2)", "Illegal use of format function x - cannot understand argument :2"},
        {"FNUM(x,2:)", "Illegal use of format function x - cannot understand argument 2:"},
        {"FNUM(x,1:2:3)", "'2:3' is not a valid integer value"},
        {"FNUM(x))", "Brackets balance violation in format function FNUM(x))"},
        {"FNUM(x,\"2)", "Brackets balance violation in format function FNUM(x,\"2)"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ErrorOf(text), message);
    }
}

TEST_F(FormatFunctions, DateConstantsUseTheShortDate) {
    EXPECT_EQ(report.DateConstToStr("{2024-03-07}"), "07.03.2024");
    EXPECT_THROW(report.DateConstToStr("{2024-02-30}"), EConvertError);
}

}  // namespace
}  // namespace qx
