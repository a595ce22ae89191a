// The expression compiler: operator rewriting, operand classification, the
// number scanner and the exact error texts.
#include <gtest/gtest.h>

#include "conscom/exceptions.h"
#include "qxbasereport/base_rtf_report.h"
#include "qxbasereport/internal/codes.h"
#include "qxbasereport/internal/expression.h"

namespace qx {
namespace {

struct ConvertCase {
    const char* expr;
    bool dotAsColon;
    const char* expected;
};

std::string Convert(TQxBaseReport& r, std::string expr, bool dotAsColon = false) {
    return r.ConvertExpression(expr, dotAsColon);
}

TEST(ConvertExpression, RewritesOperatorsAsCalls) {
    const ConvertCase cases[] = {
        {"a+b*2", false, "SYS_ADD(SYS_MULT(2,b),a)"},
        {"(a+b)*2", false, "SYS_MULT(2,SYS_ADD(b,a))"},
        {"x-(a*b+c)*d", false, "SYS_SUB(SYS_MULT(d,SYS_ADD(c,SYS_MULT(b,a))),x)"},
        {"a-b-c", false, "SYS_SUB(c,SYS_SUB(b,a))"},
        {"-a", false, "SYS_UMINUS(a)"},
        {"+a", false, "SYS_UPLUS(a)"},
        {"a*-b", false, "SYS_MULT(SYS_UMINUS(b),a)"},
        {"a<=-1", false, "SYS_LTEQ(SYS_UMINUS(1),a)"},
        {"!!a", false, "SYS_NOT(SYS_NOT(a))"},
        {"-5+a", false, "SYS_ADD(a,-5)"},
        {"a&&!b||c", false, "SYS_OR(c,SYS_AND(SYS_NOT(b),a))"},
        {"a<>b", false, "SYS_NOTEQ(b,a)"},
        {"a!=b", false, "SYS_NOTEQ(b,a)"},
        {"a>=b", false, "SYS_GTEQ(b,a)"},
        // "=>" is another spelling of ">=", with its priority and its sign rule.
        {"a=>b", false, "SYS_GTEQ(b,a)"},
        {"a+1=>-b&&c", false, "SYS_AND(c,SYS_GTEQ(SYS_UMINUS(b),SYS_ADD(1,a)))"},
        {"a%b/c", false, "SYS_DIV(c,SYS_PERCENT(b,a))"},
        {"a=b&&c<d", false, "SYS_AND(SYS_LT(d,c),SYS_EQ(b,a))"},
        {"x:=y+1", false, "SYS_LET(SYS_ADD(1,y),x)"},
        {"A.Name+1", false, "SYS_ADD(1,A.Name)"},
        {"A.Name+1", true, "SYS_ADD(1,A:Name)"},
        {"A:Name+1", false, "SYS_ADD(1,A:Name)"},
        {"A.(3)*2", false, "SYS_MULT(2,A.(3))"},
        {"A.(3)*2", true, "SYS_MULT(2,A:(3))"},
        {"  \"x,y\"+MID(s, 1, 2)  ", false, "SYS_ADD(MID(s, 1, 2),\"x,y\")"},
        {"{2024-03-07}<d", false, "SYS_LT(d,{2024-03-07})"},
        {"TRUE=b", false, "SYS_EQ(b,TRUE)"},
        {"2.5E-3*x", false, "SYS_MULT(x,2.5E-3)"},
    };
    TQxBaseRTFReport r;
    for (const ConvertCase& c : cases) {
        SCOPED_TRACE(c.expr);
        EXPECT_EQ(Convert(r, c.expr, c.dotAsColon), c.expected);
    }
}

TEST(ConvertExpression, LongChainsAndDeepBracketsConvertWhole) {
    // 100,000 operators nest 100,000 calls: read and written without
    // recursion, every operand in its place.
    constexpr int kOperators = 100000;
    std::string chain = "a0";
    std::string expected;
    for (int i = 1; i <= kOperators; ++i) chain += "+a" + std::to_string(i);
    for (int i = kOperators; i >= 1; --i) expected += "SYS_ADD(a" + std::to_string(i) + ",";
    expected += "a0" + std::string(kOperators, ')');
    TQxBaseRTFReport r;
    EXPECT_EQ(Convert(r, chain), expected);
    const std::string brackets = std::string(50000, '(') + "x" + std::string(50000, ')');
    EXPECT_EQ(Convert(r, brackets + "-y"), "SYS_SUB(y,x)");
    EXPECT_EQ(Convert(r, "-" + brackets), "SYS_UMINUS(x)");
}

TEST(ConvertExpression, TrimsTheExpressionInPlace) {
    TQxBaseRTFReport r;
    std::string expr = "  a+b ";
    EXPECT_EQ(r.ConvertExpression(expr, false), "SYS_ADD(b,a)");
    EXPECT_EQ(expr, "a+b");
}

TEST(ConvertExpression, ReportsEachErrorWithItsText) {
    const std::pair<const char*, const char*> cases[] = {
        {"(a)", "Operation or function name missed in expression: (a), operand: a"},
        {"-5", "Operation or function name missed in expression: -5, operand: -5"},
        {"ab+", "Unexpected end of expression: ab+"},
        {"a+*b", "Cannot process an expression: a+*b error after a \"*\" not expected"},
        {"(a+b", "Cannot process an expression: (a+b \")\" expected"},
        {"a+b)",
         "Cannot process an expression: a+b) - number of \")\" is more than number of \"(\" "
         "brackets"},
        {"a!b", "Cannot process an expression: a!b error after a \"!\" not expected"},
        {"TRUEVALUE+1",
         "Cannot process an expression: TRUEVALUE+1 error after TRUE operation expected"},
        {"(a)b", "Cannot process an expression: (a)b error after a operation expected"},
        {"*a", "Cannot process an expression: *a"},
        {"", "Cannot process an expression: "},
        {"a&b", "Cannot process an expression: a&b error after a"},
        {"a+:b", "Cannot process an expression: a+:b error after a"},
        {"a=>>b", "Cannot process an expression: a=>>b error after a \">\" not expected"},
        {"a>=>b", "Cannot process an expression: a>=>b error after a \">\" not expected"},
        {"a=>*b", "Cannot process an expression: a=>*b error after a \"*\" not expected"},
        {"a&&-b", "Cannot process an expression: a&&-b error after a \"-\" not expected"},
        {"-(", "Cannot process an expression: -( \")\" expected"},
        {"()", "Cannot process an expression: () error after  \")\" not expected"},
        {"a(", "Cannot process an expression: a("},
        {"1(b)", "Cannot process an expression: 1(b) error after 1 \"(\" not expected"},
    };
    TQxBaseRTFReport r;
    for (const auto& [expr, message] : cases) {
        SCOPED_TRACE(expr);
        try {
            Convert(r, expr);
            ADD_FAILURE() << "no error";
        } catch (const EIllegalFunctionUse& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

struct FieldCase {
    const char* text;
    bool dotAsColon;
    std::int32_t code;
    const char* token;
    const char* rest;
};

TEST(GetNextExprField, ClassifiesTheLeadingOperand) {
    const FieldCase cases[] = {
        {"  abc  ", false, CmKind::Variable, "abc", ""},
        {"abc+1", false, CmKind::Variable, "abc", "+1"},
        {"_x1*2", false, CmKind::Variable, "_x1", "*2"},
        {"\xC3\xA4pfel+1", false, CmKind::Variable, "\xC3\xA4pfel", "+1"},  // non-ASCII letters
        {"First Name", false, CmKind::Variable, "First Name", ""},
        {"a +b", false, CmKind::NotAField, "", "a +b"},
        {"SUM(a,(b)),x", false, CmKind::Call, "SUM(a,(b))", ",x"},
        {"F(\")\")+1", false, CmKind::Call, "F(\")\")", "+1"},
        {"F(a", false, CmKind::NotAField, "", "F(a"},
        {"F(", false, CmKind::NotAField, "", "F("},
        {"12", false, CmKind::Number, "12", ""},
        {"-3", false, CmKind::Number, "-3", ""},
        {"1.5", false, CmKind::Number, "1.5", ""},
        {".5", false, CmKind::Number, ".5", ""},
        {"1e5", false, CmKind::Number, "1e5", ""},
        {"2.5E-3", false, CmKind::Number, "2.5E-3", ""},
        {"1.5.3", false, CmKind::Number, "1.5", ".3"},
        {"1e5e3", false, CmKind::Number, "1e5", "e3"},
        {"12abc", false, CmKind::Number, "12", "abc"},
        {"1.", false, CmKind::NotAField, "", "1."},
        {"1e", false, CmKind::NotAField, "", "1e"},
        {"-a", false, CmKind::Expression, "", "-a"},
        {"'it''s'", false, CmKind::String, "'it'", "'s'"},
        {"\"a b\"+c", false, CmKind::String, "\"a b\"", "+c"},
        {"\xC2\xAB"
         "a\xC2\xBB",
         false, CmKind::String,
         "\xC2\xAB"
         "a\xC2\xBB",
         ""},
        {"\"open", false, CmKind::NotAField, "", "\"open"},
        {"true", false, CmKind::Boolean, "TRUE", ""},
        {"FalseX", false, CmKind::Boolean, "FALSE", "X"},
        {"{2024-03-07}x", false, CmKind::Date, "{2024-03-07}", "x"},
        {"{2024-3-07}", false, CmKind::NotAField, "", "{2024-3-07}"},
        {"A.Name", false, CmKind::DotField, "A.Name", ""},
        {"A.Name", true, CmKind::ColonField, "A:Name", ""},
        {"ORDERS:Total*2", false, CmKind::ColonField, "ORDERS:Total", "*2"},
        {"A.(3)", false, CmKind::DotField, "A.(3)", ""},
        {"A:(12)+1", true, CmKind::ColonField, "A:(12)", "+1"},
        {"A.()", false, CmKind::NotAField, "", "A.()"},
        {"a:=1", false, CmKind::Variable, "a", ":=1"},
        {"a:=", false, CmKind::NotAField, "", "a:="},
        {"(a)", false, CmKind::Expression, "", "(a)"},
        {")a", false, CmKind::NotAField, "", ")a"},
        {"", false, CmKind::NotAField, "", ""},
    };
    TQxBaseRTFReport r;
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.text);
        std::string s = c.text, token = "junk", rest;
        EXPECT_EQ(r.GetNextExprField(s, token, rest, c.dotAsColon), c.code);
        EXPECT_EQ(token, c.token);
        EXPECT_EQ(rest, c.rest);
    }
}

TEST(GetNextExprOperation, ReadsPairsSinglesAndSigns) {
    const struct {
        const char* text;
        bool unary;
        bool ok;
        const char* op;
        const char* rest;
    } cases[] = {
        {" := 1", false, true, ":=", " 1"}, {"&&b", false, true, "&&", "b"},
        {"||b", false, true, "||", "b"},    {"<=b", false, true, "<=", "b"},
        {">=b", false, true, ">=", "b"},    {"<>b", false, true, "<>", "b"},
        {"!=b", false, true, "!=", "b"},    {"=>b", false, true, "=>", "b"},
        {"-b", false, true, "-", "b"},      {"-b", true, true, "u-", "b"},
        {"+b", true, true, "u+", "b"},      {"!b", true, true, "!", "b"},
        {"&b", false, false, "", "&b"},     {"", false, false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string s = c.text, op = "junk", rest;
        EXPECT_EQ(TQxBaseReport::GetNextExprOperation(s, op, rest, c.unary), c.ok);
        EXPECT_EQ(op, c.op);
        EXPECT_EQ(rest, c.rest);
    }
}

TEST(ExpressionContainers, RefuseBadIndexesAndKeepOrder) {
    TQxExpression e;
    EXPECT_THROW(e.Add("&&", false, 2, true, false, true, 3, 0), Exception);
    try {
        e.Add(TQxOperand{"x", false, 1, true, false, false, 1, 0});
        ADD_FAILURE();
    } catch (const Exception& ex) {
        EXPECT_STREQ(
            ex.what(),
            "TQxExpression Add  - cannot set AllowBoolArg to false when ReqBoolArg is true");
    }
    e.Add("a", true, 0, false, false, false, 0, 0);
    EXPECT_EQ(e.Count(), 1);
    EXPECT_EQ(e.GetOperand(0).Text, "a");
    try {
        e.GetOperand(1);
        ADD_FAILURE();
    } catch (const Exception& ex) {
        EXPECT_STREQ(ex.what(), "TQxExpression GetOperand 1 - invalid index of operand");
    }

    TQxOperationStack ops;
    ops.Push(TQxOperand{"+"});
    ops.Push(TQxOperand{"*"});
    EXPECT_EQ(ops.GetOperation(0).Text, "+");
    EXPECT_EQ(ops.Pop().Text, "*");
    EXPECT_EQ(ops.Pop().Text, "+");
    try {
        ops.Pop();
        ADD_FAILURE();
    } catch (const Exception& ex) {
        EXPECT_STREQ(ex.what(), "TQxOperationStack GetOperation -1 - invalid index of operation");
    }

    TQxIntStack ints;
    EXPECT_EQ(ints.Pop(), 0);
    ints.Push(4);
    ints.Push(7);
    EXPECT_EQ(ints.Pop(), 7);
    ints.Push(9);
    EXPECT_EQ(ints.Pop(), 9);
    EXPECT_EQ(ints.Pop(), 4);
    EXPECT_EQ(ints.Pop(), 0);
}

TEST(IifNumbers, StartAtOneAfterReset) {
    TQxBaseRTFReport r;
    r.ResetIifNumber();
    EXPECT_EQ(r.GetNextIifNumber(), 1);
    EXPECT_EQ(r.GetNextIifNumber(), 2);
    r.ResetIifNumber();
    EXPECT_EQ(r.GetNextIifNumber(), 1);
}

}  // namespace
}  // namespace qx
