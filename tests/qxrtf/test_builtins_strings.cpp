// String functions in template fields: TRIM, MID/SUBSTR/COPY, UPPER,
// LOWER and POS, with characters counted as code points.
#include "qxrtf/builtin_fixture.h"

using namespace qx;
using qxtest::ErrorCase;
using qxtest::ErrorKind;
using qxtest::ValueCase;

namespace {

// Dataset D holds texts with two-, three- and four-byte characters; N is a
// Number variable and T a String one.
class StringBuiltins : public qxtest::BuiltinTest {
  protected:
    void SetUp() override {
        BuiltinTest::SetUp();
        AddDataSet("D",
                   {{"M", ftString},
                    {"G", ftString},
                    {"C", ftString},
                    {"W", ftString},
                    {"X", ftFloat},
                    {"B", ftBlob}},
                   {{std::string("a\xC3\xA9\xF0\x9F\x98\x80"
                                 "b"),  // a é 😀 b
                     std::string("stra\xC3\x9F"
                                 "e"),                                                 // straße
                     std::string("\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"),  // привет
                     std::string("\t ab c \r\n"), 2.0, std::string("blob")}});
        report.CreateVar("N", 1.0);
        report.CreateVar("T", std::string("t"));
    }
};

}  // namespace

TEST_F(StringBuiltins, ValuesWritten) {
    const ValueCase cases[] = {
        {"TRIM('  ab c  ')", "ab c"},
        {"TRIM(D.W)", "ab c"},  // control characters go with the blanks
        {"TRIM('   ')", ""},
        {"MID('abcdef', 3)", "cdef"},
        {"MID('abcdef', 3, 2)", "cd"},
        {"MID('abc', 4)", ""},
        {"MID('abc', 0)", ""},
        {"MID('abc', 0, 2)", "ab"},  // a start before the text counts from its first character
        {"MID('abc', 2, -1)", ""},
        {"MID('abc', 2, 0)", ""},
        {"MID('abc', 3, 100)", "c"},
        {"MID('abc', 2147483647, 5)", ""},
        {"MID('abc', 4294967298, 1)", ""},  // no wrap-around to position 2
        {"SUBSTR('abcdef', 2, 3)", "bcd"},
        {"COPY('abcdef', 5)", "ef"},
        {"MID(D.M, 2, 2)", "\xC3\xA9\xF0\x9F\x98\x80"},
        {"MID(D.M, 3)",
         "\xF0\x9F\x98\x80"
         "b"},
        {"MID(D.M, 4, 1)", "b"},
        {"MID(D.M, 5)", ""},
        {"UPPER('abc')", "ABC"},
        {"LOWER('AbC')", "abc"},
        // ß has no single upper-case character: it stays, and the text keeps
        // its length in characters.
        {"UPPER(D.G)",
         "STRA\xC3\x9F"
         "E"},
        {"UPPER(D.C)", "\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2"},
        {"LOWER(UPPER(D.C))", "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {"UPPER(D.M)",
         "A\xC3\x89\xF0\x9F\x98\x80"
         "B"},
        {"POS('c', 'abcabc')", "3"},
        {"POS('x', 'abc')", "0"},
        {"POS('', 'abc')", "0"},
        {"POS('abcd', 'abc')", "0"},
        {"POS('b', D.M)", "4"},
        {"POS(MID(D.M, 3, 1), D.M)", "3"},
        {"POS(D.G, 'die ' + D.G)", "5"},
    };
    CheckValues(cases);
}

TEST_F(StringBuiltins, ResultsAreTypedValues) {
    // POS gives a Number, MID a String: they combine only as such.
    const ValueCase cases[] = {
        {"POS('c', 'abc') + 1", "4"},
        {"MID('abc', 2) + '!'", "bc!"},
        {"IIF(UPPER('a') = 'A', 'yes', 'no')", "yes"},
    };
    CheckValues(cases);
}

TEST_F(StringBuiltins, MessagesOfEachArgument) {
    const std::string midUnknown =
        " operand type unknown. Functions \"MID\", \"COPY\", \"SUBSTR\", "
        "expression ";
    const ErrorCase cases[] = {
        {"TRIM(PIC())", ErrorKind::Base,
         "Operand type unknown. Function \"TRIM\", expression TRIM(PIC())"},
        {"TRIM(N)", ErrorKind::Base,
         "Operand of string type expected. Function \"TRIM\", expression TRIM(N)"},
        {"TRIM(D.B)", ErrorKind::Base,
         "Operand type unknown. Function \"TRIM\", expression TRIM(D.B)"},
        {"MID(PIC(),1)", ErrorKind::Base, "First" + midUnknown + "MID(PIC(),1)"},
        {"MID(N,1)", ErrorKind::Base,
         "First operand of string type expected in functions \"MID\", \"COPY\", \"SUBSTR\", "
         "expression MID(N,1)"},
        {"SUBSTR(T,PIC())", ErrorKind::Base, "Second" + midUnknown + "SUBSTR(T,PIC())"},
        {"COPY(T,T)", ErrorKind::Base,
         "Second operand of numeric type expected in functions \"MID\", \"COPY\", \"SUBSTR\", "
         "expression COPY(T,T)"},
        {"MID(T,1,PIC())", ErrorKind::Base, "Third" + midUnknown + "MID(T,1,PIC())"},
        {"MID(T,1,T)", ErrorKind::Base,
         "Third operand of numeric type expected in functions \"MID\", \"COPY\", \"SUBSTR\", "
         "expression MID(T,1,T)"},
        // The first argument is checked before the later ones.
        {"MID(N,T,T)", ErrorKind::Base,
         "First operand of string type expected in functions \"MID\", \"COPY\", \"SUBSTR\", "
         "expression MID(N,T,T)"},
        {"MID(T,1.5)", ErrorKind::Convert, "'1.5' is not a valid integer value"},
        {"UPPER(PIC())", ErrorKind::Base,
         "Operand type unknown. Function \"UPPER\", expression UPPER(PIC())"},
        {"UPPER(N)", ErrorKind::Base,
         "Operand of string type expected. Function \"UPPER\", expression UPPER(N)"},
        {"LOWER(PIC())", ErrorKind::Base,
         "Operand type unknown. Function \"LOWER\", expression LOWER(PIC())"},
        {"LOWER(D.X)", ErrorKind::Base,
         "Operand of string type expected. Function \"LOWER\", expression LOWER(D.X)"},
        {"POS(PIC(),T)", ErrorKind::Base,
         "First operand type unknown. Function \"POS\", expression POS(PIC(),T)"},
        {"POS(N,T)", ErrorKind::Base,
         "First operand of string type expected in function \"POS\", expression POS(N,T)"},
        {"POS(T,PIC())", ErrorKind::Base,
         "Second operand type unknown. Functions \"POS\", expression POS(T,PIC())"},
        {"POS(T,N)", ErrorKind::Base,
         "Second operand of string type expected in functions \"POS\", expression POS(T,N)"},
    };
    CheckErrors(cases);
}
