// Numeric functions in template fields: STR, VAL, INT, FRAC, ROUND, POWER,
// INTPOWER and FORMATFLOAT.
#include "qxrtf/builtin_fixture.h"

using namespace qx;
using qxtest::ErrorCase;
using qxtest::ErrorKind;
using qxtest::ValueCase;

namespace {

// Variables N (Number 2.5), T (String) and Q (Boolean); dataset D with an
// integer field I, a float field X and a blob B.
class NumberBuiltins : public qxtest::BuiltinTest {
  protected:
    void SetUp() override {
        BuiltinTest::SetUp();
        AddDataSet("D", {{"I", ftInteger}, {"X", ftFloat}, {"B", ftBlob}},
                   {{std::int64_t{7}, 2.675, std::string("blob")}});
        report.CreateVar("N", 2.5);
        report.CreateVar("T", std::string("t"));
        report.CreateVar("Q", true);
    }
    void UseCommaSeparators() {
        TFormatSettings comma;
        comma.DecimalSeparator = ",";
        comma.ThousandSeparator = ".";
        FormatSettings() = comma;
        report.SetFmtSettings(comma);
    }
};

}  // namespace

TEST_F(NumberBuiltins, ValuesWritten) {
    const ValueCase cases[] = {
        {"STR(3.14159)", "3.14159"},
        {"STR(-0.5)", "-0.5"},
        {"STR(D.I)", "7"},
        {"STR(2.7, 5)", "    3"},
        {"STR(2.5, 6, 2)", "  2.50"},
        {"STR(2.5, 0, 2)", "2.50"},
        {"STR(-2.5, -3, 1)", "-2.5"},
        {"STR(-2.5, 3)", " -3"},
        {"STR(123456, 3)", "123456"},  // a wider number is not cut
        {"STR(1, 300)", std::string(254, ' ') + "1"},
        {"VAL('3,5')", "0"},
        {"VAL('12abc')", "0"},
        {"VAL(' -1.5e2')", "-150"},
        {"VAL('.5')", "0.5"},
        {"VAL('')", "0"},
        {"VAL('inf')", "0"},
        {"VAL('1e999')", "0"},
        {"VAL(STR(2.5, 0, 2)) * 2", "5"},
        {"INT(-2.7)", "-2"},
        {"INT(2.7)", "2"},
        {"FRAC(-2.7)", "-0.7"},
        {"FRAC(D.I)", "0"},
        {"ROUND(2.5)", "3"},
        {"ROUND(-2.5)", "-3"},
        {"ROUND(2.4)", "2"},
        {"ROUND(-0.4)", "0"},
        {"ROUND(2.345, 1)", "2.3"},
        {"ROUND(1234.5, -2)", "1200"},
        {"ROUND(1250, -2)", "1300"},
        {"ROUND(D.X, 2)", "2.68"},  // 2.675 as typed, not as its binary neighbour
        {"ROUND(1.005, 2)", "1.01"},
        {"ROUND(5000000000.5)", "5000000001"},
        {"ROUND(1.25, 400)", "1.25"},
        {"ROUND(1.25, -400)", "0"},
        {"POWER(2, 10)", "1024"},
        {"POWER(0, 3)", "0"},
        {"POWER(5, 0)", "1"},
        {"POWER(0, 0)", "1"},
        {"POWER(2, 0.5)", "1.4142135623731"},
        {"POWER(2, -1)", "0.5"},
        {"POWER(-2, 3)", "-8"},
        {"POWER(N, 2)", "6.25"},
        {"INTPOWER(2, -2)", "0.25"},
        {"INTPOWER(3, 0)", "1"},
        {"INTPOWER(-3, 3)", "-27"},
        {"INTPOWER(10, 15)", "1E15"},
        {"FORMATFLOAT('0.00', 3.14159)", "3.14"},
        {"FORMATFLOAT('#.###E-0', 0)", "0E0"},
        {"FORMATFLOAT('#.###E-0', 1234)", "1.234E3"},
        {"FORMATFLOAT('#,##0.00', 1234.5)", "1,234.50"},
        {"FORMATFLOAT('  0  ', 7)", "7"},  // trimmed
        {"FORMATFLOAT('0;(0);zero', 0)", "zero"},
    };
    CheckValues(cases);
}

TEST_F(NumberBuiltins, DecimalSeparatorOfTheLocale) {
    UseCommaSeparators();
    // STR always writes "."; VAL reads the component's separator; values
    // written as Numbers show the component's separator.
    const ValueCase cases[] = {
        {"STR(3.14159)", "3.14159"}, {"STR(2.5, 6, 2)", "  2.50"},
        {"VAL('3,5')", "3,5"},       {"VAL('3.5')", "3,5"},
        {"VAL('3,5') * 2", "7"},     {"FORMATFLOAT('0.00', 3.14159)", "3,14"},
        {"ROUND(2.345, 1)", "2,3"},
    };
    CheckValues(cases);
}

TEST_F(NumberBuiltins, MessagesOfEachArgument) {
    const ErrorCase cases[] = {
        {"STR(PIC())", ErrorKind::Base,
         "First operand type unknown. Functions \"STR\", expression STR(PIC())"},
        {"STR(T)", ErrorKind::Base,
         "First operand of numeric type expected in function \"STR\", expression STR(T)"},
        {"STR(1,PIC())", ErrorKind::Base,
         "Second operand type unknown. Function \"STR\", expression STR(1,PIC())"},
        {"STR(1,T)", ErrorKind::Base,
         "Second operand of numeric type expected in functions \"STR\", expression STR(1,T)"},
        {"STR(1,2,PIC())", ErrorKind::Base,
         "Third operand type unknown. Function \"STR\", expression STR(1,2,PIC())"},
        {"STR(1,2,Q)", ErrorKind::Base,
         "Third operand of numeric type expected in function \"STR\", expression STR(1,2,Q)"},
        {"STR(1,2.5)", ErrorKind::Convert, "'2.5' is not a valid integer value"},
        {"VAL(PIC())", ErrorKind::Base,
         "Operand type unknown. Function \"VAL\", expression VAL(PIC())"},
        {"VAL(N)", ErrorKind::Base,
         "Operand of string type expected. Function \"VAL\", expression VAL(N)"},
        {"INT(PIC())", ErrorKind::Base,
         "Operand type unknown. Function \"INT\", expression INT(PIC())"},
        {"INT(T)", ErrorKind::Base,
         "Operand of numeric type expected. Function \"INT\", expression INT(T)"},
        {"FRAC(PIC())", ErrorKind::Base,
         "Operand type unknown. Function \"FRAC\", expression FRAC(PIC())"},
        {"FRAC(D.B)", ErrorKind::Base,
         "Operand type unknown. Function \"FRAC\", expression FRAC(D.B)"},
        {"ROUND(PIC())", ErrorKind::Base,
         "First operand type unknown. Functions \"ROUND\", expression ROUND(PIC())"},
        {"ROUND(T)", ErrorKind::Base,
         "First operand of numeric type expected in function \"ROUND\", expression ROUND(T)"},
        {"ROUND(1,PIC())", ErrorKind::Base,
         "Second operand type unknown. Function \"ROUND\", expression ROUND(1,PIC())"},
        {"ROUND(1,T)", ErrorKind::Base,
         "Second operand of numeric type expected in functions \"ROUND\", expression ROUND(1,T)"},
        {"POWER(PIC(),2)", ErrorKind::Base,
         "First operand type unknown. Functions \"POWER\", expression POWER(PIC(),2)"},
        {"POWER(T,2)", ErrorKind::Base,
         "First operand of numeric type expected in function \"POWER\", expression POWER(T,2)"},
        {"POWER(2,PIC())", ErrorKind::Base,
         "Second operand type unknown. Function \"POWER\", expression POWER(2,PIC())"},
        {"POWER(2,T)", ErrorKind::Base,
         "Second operand of numeric type expected in functions \"POWER\", expression "
         "POWER(2,T)"},
        {"INTPOWER(PIC(),2)", ErrorKind::Base,
         "First operand type unknown. Functions \"INTPOWER\", expression INTPOWER(PIC(),2)"},
        {"INTPOWER(T,2)", ErrorKind::Base,
         "First operand of numeric type expected in function \"INTPOWER\", expression "
         "INTPOWER(T,2)"},
        {"INTPOWER(2,PIC())", ErrorKind::Base,
         "Second operand type unknown. Function \"INTPOWER\", expression INTPOWER(2,PIC())"},
        {"INTPOWER(2,T)", ErrorKind::Base,
         "Second operand of integer numeric type expected in functions \"INTPOWER\", "
         "expression INTPOWER(2,T)"},
        // A Number with a fraction is of the right type and fails when read
        // as an integer.
        {"INTPOWER(2,N)", ErrorKind::Convert, "'2.5' is not a valid integer value"},
        {"FORMATFLOAT(PIC(),1)", ErrorKind::Base,
         "First operand type unknown. Functions \"FLOATFORMAT\", expression "
         "FORMATFLOAT(PIC(),1)"},
        {"FORMATFLOAT(1,1)", ErrorKind::Base,
         "First operand of string type expected in function \"FLOATFORMAT\", expression "
         "FORMATFLOAT(1,1)"},
        {"FORMATFLOAT('0',PIC())", ErrorKind::Base,
         "Second operand type unknown. Function \"FLOATFORMAT\", expression "
         "FORMATFLOAT('0',PIC())"},
        {"FORMATFLOAT('0',T)", ErrorKind::Base,
         "Second operand of numeric type expected in functions \"FLOATFORMAT\", expression "
         "FORMATFLOAT('0',T)"},
    };
    CheckErrors(cases);
}

TEST_F(NumberBuiltins, ResultsThatAreNoRealNumberAreRefused) {
    const ErrorCase cases[] = {
        {"POWER(-8,0.5)", ErrorKind::Math, "Invalid floating point operation"},
        {"POWER(0,-0.5)", ErrorKind::Math, "Floating point division by zero"},
        {"INTPOWER(0,-1)", ErrorKind::Math, "Floating point division by zero"},
        {"POWER(10,400)", ErrorKind::Math, "Floating point overflow"},
        {"POWER(10,400.5)", ErrorKind::Math, "Floating point overflow"},
    };
    CheckErrors(cases);
}

// Operators read two numbers straight from their fields and variables where
// the values allow it, and through copies held as text where they do not
// (integers beyond 2^53, values near a tie at the 15th digit). Under a
// two-character decimal separator every operand takes the copies; both ways
// must write the same values.
TEST_F(NumberBuiltins, OperatorsGiveTheSameValuesWithAndWithoutCopies) {
    AddDataSet("E", {{"BIG", ftLargeint}, {"TIE", ftFloat}, {"SUM", ftFloat}, {"Z", ftFloat}},
               {{std::int64_t{9007199254740993}, 1.000000000000005, 0.1 + 0.2, 0.0}});
    report.CreateVar("V", 0.0);
    const char* exprs[] = {
        "E.BIG+1", "E.BIG-D.I", "E.BIG*2",  "E.BIG/3",    "E.BIG%10",   "E.BIG=E.BIG+1",
        "E.TIE*3", "E.TIE+D.X", "E.TIE-1",  "E.TIE<1",    "E.SUM=0.3",  "E.SUM*10",
        "D.X*100", "D.X/0.1",   "D.I%3",    "D.I>=D.X",   "N*D.X",      "N-N",
        "N<>D.X",  "-D.X*D.I",  "E.Z+0",    "V:=E.TIE*7", "V:=D.X*D.I", "V:=E.BIG+0",
        "V*1",     "V:=E.BIG",  "V:=E.TIE", "V:=N",       "V:=D.I",
    };
    const auto written = [this](const char* e) {
        report.VarByName("V").SetAsInteger(0);
        return Written(std::string(e) + "\\\\\\\\V");
    };
    std::vector<std::string> plain;
    for (const char* e : exprs) plain.push_back(written(e));
    const ErrorCase zero[] = {
        {"D.X/E.Z", ErrorKind::Base, "Division by zero. Operation \"/\", expression D.X/E.Z"},
        {"E.BIG%E.Z", ErrorKind::Base, "Division by zero. Operation \"%\", expression E.BIG%E.Z"},
    };
    CheckErrors(zero);
    TFormatSettings wide;
    wide.DecimalSeparator = "::";
    FormatSettings() = wide;
    report.SetFmtSettings(wide);
    for (std::size_t i = 0; i < std::size(exprs); ++i) {
        SCOPED_TRACE(exprs[i]);
        std::string copied = written(exprs[i]);
        for (std::size_t p = copied.find("::"); p != std::string::npos; p = copied.find("::", p))
            copied.replace(p, 2, ".");
        EXPECT_EQ(copied, plain[i]);
    }
    CheckErrors(zero);
}
