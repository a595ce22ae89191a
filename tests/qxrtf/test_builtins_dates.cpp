// Date and time functions in template fields, with the report's clock fixed
// to 7 March 2024 14:25:36.789.
#include "qxrtf/builtin_fixture.h"

using namespace qx;
using qxtest::ErrorCase;
using qxtest::ErrorKind;
using qxtest::ValueCase;

namespace {

const TDateTime kNow = EncodeDate(2024, 3, 7) + EncodeTime(14, 25, 36, 789);

// Variables T (String), N (Number) and DT (a date-time); dataset D with a
// date field W, a time stamp field S and a text field Z.
class DateBuiltins : public qxtest::BuiltinTest {
  protected:
    void SetUp() override {
        BuiltinTest::SetUp();
        report.SetClock([] { return kNow; });
        AddDataSet("D", {{"W", ftDate}, {"S", ftTimeStamp}, {"Z", ftString}},
                   {{EncodeDate(1999, 12, 31), kNow, std::string("19990102")}});
        report.CreateVar("T", std::string("20240307"));
        report.CreateVar("N", 1.0);
        report.CreateVar("DT", kNow, false);
    }
};

}  // namespace

TEST_F(DateBuiltins, ClockFunctionsReadTheInjectedClock) {
    const ValueCase cases[] = {
        {"DATETIMETOSTR(NOW())", "3/7/2024 2:25:36 PM"},
        {"DTOS(NOW())", "20240307"},
        {"DATETIMETOSTR(DATE())", "3/7/2024"},
        {"DATE() = STOD('20240307')", "True"},
        {"TIMETOSTR(TIME())", "2:25:36 PM"},
        {"YEAR(TIME())", "1899"},
        {"DAY(TIME())", "30"},
        {"NOW() - DATE() = TIME()", "True"},
    };
    CheckValues(cases);
    // A later run reads the clock again.
    report.SetClock([] { return EncodeDate(2030, 1, 2) + EncodeTime(0, 0, 1, 0); });
    EXPECT_EQ(Written("DTOS(NOW()) + ' ' + TIMETOSTR(NOW())"), Expected("20300102 12:00:01 AM"));
}

TEST_F(DateBuiltins, ValuesWritten) {
    const ValueCase cases[] = {
        {"DTOS(\\{2024-03-07\\})", "20240307"},
        {"SMONTH(\\{2024-03-07\\})", "03"},
        {"SDAY(\\{2024-03-07\\})", "07"},
        {"SYEAR(\\{2024-03-07\\})", "2024"},
        {"YEAR(\\{2024-03-07\\})", "2024"},
        {"MONTH(\\{2024-03-07\\})", "3"},
        {"DAY(\\{2024-03-07\\})", "7"},
        {"YEAR(\\{2024-03-07\\}) + 1", "2025"},  // a Number
        {"DTOS(\\{0987-01-01\\})", "09870101"},
        {"SYEAR(\\{0987-01-01\\})", "0987"},
        {"DTOS(\\{9999-12-31\\})", "99991231"},
        {"YEAR(D.W)", "1999"},
        {"DTOS(DT)", "20240307"},
        {"STOD('20240307')", "3/7/2024"},
        {"DTOS(STOD(D.Z))", "19990102"},
        {"STOD(T) = \\{2024-03-07\\}", "True"},
        {"DATETOSTR(\\{2024-03-07\\})", "3/7/2024"},
        {"DATETOSTR(DT)", "3/7/2024"},  // the date only
        {"DATETIMETOSTR(DT)", "3/7/2024 2:25:36 PM"},
        {"TIMETOSTR(DT)", "2:25:36 PM"},
        {"DTOS(STRTODATE('3/7/2024'))", "20240307"},
        {"DTOS(STRTODATE('3/7/24'))", "20240307"},
        {"DTOS(STRTODATE('3/7'))", "20240307"},  // the clock's year
        {"DATETIMETOSTR(STRTODATETIME('3/7/2024 2:25 PM'))", "3/7/2024 2:25:00 PM"},
        {"TIMETOSTR(STRTOTIME('14:25'))", "2:25:00 PM"},
        {"YEAR(STRTOTIME('14:25'))", "1899"},
        {"STRTODATE('12/31/1999') = D.W", "True"},
        {"STOD('20240307') + 1", "3/8/2024"},
    };
    CheckValues(cases);
}

TEST_F(DateBuiltins, TextsFollowTheReportsSettingsNotTheProcessWideOnes) {
    TFormatSettings german;
    german.ShortDateFormat = "dd.MM.yyyy";
    german.DateSeparator = ".";
    german.LongTimeFormat = "hh:nn:ss";
    FormatSettings() = german;  // the report's own settings stay US English
    const ValueCase cases[] = {
        {"DATETOSTR(\\{2024-03-07\\})", "3/7/2024"},
        {"TIMETOSTR(DT)", "2:25:36 PM"},
        {"DATETIMETOSTR(DT)", "3/7/2024 2:25:36 PM"},
        {"DTOS(STRTODATE('3/7/2024'))", "20240307"},
        {"STOD('20240307')", "3/7/2024"},
    };
    CheckValues(cases);
}

// DATE, NOW, TIME, STRTODATETIME and STRTOTIME store a date-time;
// STRTODATE and STOD a date without time. Written into report variables,
// the variable strings show the form.
TEST_F(DateBuiltins, DateAndDateTimeStorageForms) {
    struct Case {
        std::int32_t id;
        std::string arg;
        std::string stored;
    };
    const Case cases[] = {
        {-42, "", "{2024-03-07,14:25:36:789}"},
        {-43, "", "{2024-03-07,00:00:00:000}"},
        {-44, "", "{1899-12-30,14:25:36:789}"},
        {-48, "3/7/2024", "{2024-03-07}"},
        {-49, "3/7/2024", "{2024-03-07,00:00:00:000}"},
        {-50, "14:25", "{1899-12-30,14:25:00:000}"},
        {-58, "20240307", "{2024-03-07}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        report.CreateVar("R", std::string());
        TQxReportVariable target(&report);
        target.SetVarName("R");
        TQxReportVariable arg(&report);
        arg.SetLocal(true);
        arg.SetAsString(c.arg);
        TQxUDFArgs args;
        if (!c.arg.empty()) args.push_back(&arg);
        std::string expr = "X";
        report.ExecUDF(c.id, args, static_cast<std::int32_t>(args.size()), &target, expr);
        EXPECT_EQ(report.VarList()->Values("R"), c.stored);
        EXPECT_EQ(target.DataType(), qxdtDateTime);
        report.FreeVar("R");
    }
}

TEST_F(DateBuiltins, MessagesOfEachFunction) {
    std::vector<ErrorCase> cases;
    for (const char* name : {"DATETOSTR", "DATETIMETOSTR", "TIMETOSTR", "YEAR", "MONTH", "DAY",
                             "SYEAR", "SMONTH", "SDAY", "DTOS"}) {
        const std::string n = name;
        cases.push_back(
            {n + "(PIC())", ErrorKind::Base,
             "Operand type unknown. Function \"" + n + "\", expression " + n + "(PIC())"});
        cases.push_back({n + "(T)", ErrorKind::Base,
                         "Operand of date/time type expected. Function \"" + n + "\", expression " +
                             n + "(T)"});
    }
    for (const char* name : {"STRTODATE", "STRTODATETIME", "STRTOTIME", "STOD"}) {
        const std::string n = name;
        cases.push_back(
            {n + "(PIC())", ErrorKind::Base,
             "Operand type unknown. Function \"" + n + "\", expression " + n + "(PIC())"});
        cases.push_back(
            {n + "(DT)", ErrorKind::Base,
             "Operand of string type expected. Function \"" + n + "\", expression " + n + "(DT)"});
    }
    const ErrorCase more[] = {
        // A time stamp field is of no known operand type.
        {"YEAR(D.S)", ErrorKind::Base,
         "Operand type unknown. Function \"YEAR\", expression YEAR(D.S)"},
        {"YEAR(N)", ErrorKind::Base,
         "Operand of date/time type expected. Function \"YEAR\", expression YEAR(N)"},
        {"STOD('2024037')", ErrorKind::Base,
         "Operand of string type YYYYMMDD expected. Function \"STOD\", expression "
         "STOD('2024037')"},
        {"STOD('202403070')", ErrorKind::Base,
         "Operand of string type YYYYMMDD expected. Function \"STOD\", expression "
         "STOD('202403070')"},
        {"STOD('20241307')", ErrorKind::Convert, "Invalid argument to date encode"},
        {"STOD('20240230')", ErrorKind::Convert, "Invalid argument to date encode"},
        {"STOD('2024ab07')", ErrorKind::Convert, "'ab' is not a valid integer value"},
        {"STOD('2024\\'e9070')", ErrorKind::Convert,
         "'\xC3\xA9"
         "0' is not a valid integer value"},
        {"STRTODATE('x')", ErrorKind::Convert, "'x' is not a valid date"},
        {"STRTODATE('2/30/2024')", ErrorKind::Convert, "'2/30/2024' is not a valid date"},
        {"STRTODATETIME('3/7/2024x')", ErrorKind::Convert,
         "'3/7/2024x' is not a valid date and time"},
        {"STRTOTIME('25:00')", ErrorKind::Convert, "'25:00' is not a valid time"},
    };
    cases.insert(cases.end(), std::begin(more), std::end(more));
    CheckErrors(cases);
}
