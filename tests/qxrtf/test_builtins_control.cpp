// Dataset, variable and control functions in template fields: moving
// datasets, SET and VAR, IIF and the aggregates with and without NORESET.
#include "qxrtf/builtin_fixture.h"

using namespace qx;
using qxtest::ErrorCase;
using qxtest::ErrorKind;
using qxtest::ValueCase;

namespace {

// Dataset A with the amounts 1 to 5 (and a text that is blank for two of
// them), dataset B of two records; variables N (Number), T (String) and
// Q (Boolean).
class ControlBuiltins : public qxtest::BuiltinTest {
  protected:
    void SetUp() override {
        BuiltinTest::SetUp();
        AddDataSet("A", {{"V", ftFloat}, {"S", ftString}, {"F", ftBoolean}},
                   {{1.0, std::string("x"), true},
                    {2.0, std::string(" "), true},
                    {3.0, std::string("y"), true},
                    {4.0, std::string(""), true},
                    {5.0, std::string("z"), true}});
        AddDataSet("B", {{"K", ftInteger}}, {{std::int64_t{1}}, {std::int64_t{2}}});
        report.CreateVar("N", 1.0);
        report.CreateVar("T", std::string("t"));
        report.CreateVar("Q", true);
    }
};

}  // namespace

TEST_F(ControlBuiltins, MovingDatasets) {
    // The alias of the second dataset of the call; a run does not move the
    // datasets itself, so B starts on its first record.
    EXPECT_EQ(Written("IIF(EOF(B), 'end', 'more')"), Expected("more"));
    EXPECT_EQ(Render("\\\\NEXT(B)\\\\\\\\B.K\\\\\\\\NEXT(B)\\\\\\\\EOF(B)\\\\"),
              "2True");
    // NEXT inside a scan moves the very dataset the scan walks.
    EXPECT_EQ(Render("\\\\SCAN(A)\\\\\\\\A.V\\\\\\\\NEXT(A)\\\\;\\\\ENDSCAN\\\\"),
              "1;3;5;");
    EXPECT_EQ(Render("\\\\FIRST(A)\\\\\\\\EOF(A)\\\\/\\\\BOF(A)\\\\/\\\\NEXT(A)\\\\\\\\BOF(A)\\\\"),
              "False/True/False");
    EXPECT_EQ(Render("\\\\LAST(A)\\\\\\\\EOF(A)\\\\/\\\\PRIOR(A)\\\\\\\\A.V\\\\/\\\\FIRST(A)\\\\"
                     "\\\\A.V\\\\"),
              "True/4/1");
}

TEST_F(ControlBuiltins, DatasetMessages) {
    std::vector<ErrorCase> cases;
    for (const char* name : {"EOF", "BOF", "NEXT", "PRIOR", "FIRST", "LAST"}) {
        const std::string n = name;
        cases.push_back({n + "(A.V)", ErrorKind::Function,
                         "Illegal function use: " + n +
                             "(A.V) - dataset identifier expected as argument of function \"" + n +
                             "\""});
        cases.push_back({n + "(5)", ErrorKind::Function,
                         "Illegal function use: " + n +
                             "(5) - dataset identifier expected as a first argument of function "
                             "\"" +
                             n + "\""});
        cases.push_back(
            {n + "(NOSUCH)", ErrorKind::Function,
             "Illegal function use: " + n + "(NOSUCH) - dataset alias not found: NOSUCH"});
    }
    CheckErrors(cases);
}

TEST_F(ControlBuiltins, SetAndVar) {
    EXPECT_EQ(Render("\\\\SET(T, 5)\\\\\\\\T + 1\\\\"), "6");
    EXPECT_EQ(report.VarByName("T").DataType(), qxdtNumber);
    EXPECT_EQ(Render("\\\\SET(T, 'a' + 'b')\\\\\\\\T\\\\"), "ab");
    EXPECT_EQ(Render("\\\\SET(N, \\{2024-03-07\\})\\\\\\\\DTOS(N)\\\\"), "20240307");
    // VAR declares empty Strings once; running it again keeps the values.
    EXPECT_EQ(Render("\\\\VAR(V1, V2)\\\\[\\\\V1\\\\]\\\\SET(V1, 'kept')\\\\"), "[]");
    EXPECT_EQ(report.VarByName("V2").DataType(), qxdtString);
    EXPECT_EQ(Render("\\\\VAR(V1, V2)\\\\[\\\\V1\\\\]"), "[kept]");
    const ErrorCase cases[] = {
        {"SET(A.V,1)", ErrorKind::Function,
         "Illegal function use: SET(A.V,1) - variable expected as a first argument of function "
         "\"SET\""},
        {"SET(5,1)", ErrorKind::Function,
         "Illegal function use: SET(5,1) - variable identifier expected as a first argument of "
         "function \"SET\""},
        {"SET(N,PIC())", ErrorKind::Base,
         "Second operand type unknown. Function \"SET\", expression SET(N,PIC())"},
        {"SET(N,IIF(Q,NEXT(A),1))", ErrorKind::Base,
         "Operand type unknown. Function \"SET\", expression SET(N,IIF(Q,NEXT(A),1))"},
    };
    CheckErrors(cases);
}

TEST_F(ControlBuiltins, ConditionalValues) {
    const ValueCase cases[] = {
        {"IIF(1 = 1, 10, 20)", "10"},
        {"IIF(Q, 10, 'ten')", "10"},
        {"IIF(!Q, 10, 'ten')", "ten"},
        {"IIF(Q, 10, 'ten') + 1", "11"},       // a Number when the condition holds
        {"IIF(!Q, 10, 'ten') + '!'", "ten!"},  // a String otherwise
        {"IIF(A.F, 'yes', 'no')", "yes"},
        {"IIF(Q, NEXT(B), 1)", ""},  // the chosen branch has no value
    };
    CheckValues(cases);
    // The taken branch with no value leaves a result of unknown type.
    const ErrorCase cases2[] = {
        {"IIF(Q,NEXT(B),1)+1", ErrorKind::Base,
         "Operand type unknown. Operation \"+\", expression IIF(Q,NEXT(B),1)+1"},
        {"IIF(N,1,2)", ErrorKind::Base,
         "First operand of boolean type expected in function \"IIF\", expression IIF(N,1,2)"},
        {"IIF(PIC(),1,2)", ErrorKind::Base,
         "First operand type unknown. Function \"IIF\", expression IIF(PIC(),1,2)"},
        {"IIF(Q,PIC(),2)", ErrorKind::Base,
         "Second operand type unknown. Function \"IIF\", expression IIF(Q,PIC(),2)"},
        {"IIF(!Q,1,PIC())", ErrorKind::Base,
         "Third operand type unknown. Function \"IIF\", expression IIF(!Q,1,PIC())"},
    };
    CheckErrors(cases2);
}

TEST_F(ControlBuiltins, IfConditionOfAFieldAtEndOfData) {
    // A.F reads true on every record, but not once A is past its end.
    EXPECT_EQ(Render("\\\\IF(A.F)\\\\yes\\\\ELSE\\\\no\\\\ENDIF\\\\"), "yes");
    EXPECT_EQ(Render("\\\\LAST(A)\\\\\\\\NEXT(A)\\\\\\\\IF(A.F)\\\\yes\\\\ELSE\\\\no\\\\ENDIF\\\\"),
              "no");
}

TEST_F(ControlBuiltins, AggregatesOverFiveRecordsInsideAnOuterScan) {
    // For each record of B the inner scan over A is entered anew: S starts
    // again from 0, R goes on accumulating.
    const std::string body =
        "\\\\SCAN(B)\\\\\\\\SCAN(A), SUM(A.V, S), SUM(A.V, R, NORESET), CTN(A.V, C), "
        "CTS(A.S, X)\\\\\\\\ENDSCAN\\\\\\\\S\\\\/\\\\R\\\\/\\\\C\\\\/\\\\X\\\\;\\\\ENDSCAN\\\\";
    EXPECT_EQ(Render(body),
              "15/15/5/3;"
              "15/30/5/3;");
    // At the end of data nothing is added.
    report.ClearVars();
    EXPECT_EQ(Render("\\\\VAR(S)\\\\\\\\LAST(A)\\\\\\\\NEXT(A)\\\\\\\\SUM(A.V, S)\\\\\\\\S\\\\"),
              "0");
    // A variable as the value: CTN counts the values that are not 0.
    report.CreateVar("N", 1.0);
    EXPECT_EQ(Render("\\\\SCAN(A), CTN(N, C)\\\\\\\\SET(N, 0)\\\\\\\\ENDSCAN\\\\\\\\C\\\\"),
              "1");
}

// Every function of the catalogue is evaluated: none answers "not available
// in this version", and none reads past the arguments it was given (each
// id is called with none and must fail cleanly or succeed).
TEST_F(ControlBuiltins, EveryCatalogueFunctionIsAvailable) {
    for (std::int32_t id = -1; id >= -68; --id) {
        SCOPED_TRACE(id);
        TQxReportVariable result(&report);
        result.SetLocal(true);
        std::string expr = "X";
        try {
            report.DoFunctions(id, {}, &result, expr);
        } catch (const qx::Exception& e) {
            EXPECT_EQ(std::string(e.what()).find("not available"), std::string::npos) << e.what();
        }
    }
}
