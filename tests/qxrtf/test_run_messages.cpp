// Every error a template can provoke in the compile and run passes and the
// evaluator, with its class and exact text.
#include <gtest/gtest.h>

#include "conscom/exceptions.h"
#include "qxfunc/udf_list.h"
#include "qxrtf/engine_fixture.h"

using namespace qx;

namespace {

enum class Kind { Scan, If, Function, IO, Base };

struct MessageCase {
    std::string body;  // fields typed between doubled backslashes
    Kind kind;
    std::string message;
};

// A report with a dataset A (fields X, B, S), variables N (Number), T
// (String), Q (Boolean) and a user function PIC returning a picture holder.
class RunMessages : public qxtest::EngineTest {
  protected:
    void SetUp() override {
        AddDataSet("A", {{"X", ftFloat}, {"B", ftBlob}, {"S", ftString}},
                   {{1.0, std::string("b"), std::string("s")}});
        report.CreateVar("N", 1.0);
        report.CreateVar("T", std::string("t"));
        report.CreateVar("Q", true);
        TQxUDF* f = udfs.Functions().Add();
        f->SetName("PIC");
        f->SetResultType(udfrTPicture);
        report.SetUDFList(&udfs);
    }
    void Check(const MessageCase& c) {
        SCOPED_TRACE(c.body);
        try {
            Render(c.body);
            ADD_FAILURE() << "no error";
        } catch (const EIllegalScanUse& e) {
            EXPECT_EQ(c.kind, Kind::Scan);
            EXPECT_EQ(e.what(), c.message);
        } catch (const EIllegalIFUse& e) {
            EXPECT_EQ(c.kind, Kind::If);
            EXPECT_EQ(e.what(), c.message);
        } catch (const EIllegalFunctionUse& e) {
            EXPECT_EQ(c.kind, Kind::Function);
            EXPECT_EQ(e.what(), c.message);
        } catch (const EIOError& e) {
            EXPECT_EQ(c.kind, Kind::IO);
            EXPECT_EQ(e.what(), c.message);
        } catch (const Exception& e) {
            EXPECT_EQ(c.kind, Kind::Base);
            EXPECT_EQ(e.what(), c.message);
        }
        EXPECT_FALSE(report.ExecuteSuccessful());
        EXPECT_EQ(report.LastErrMsg(), c.message);
    }
    TQxUDFList udfs;
};

}  // namespace

TEST_F(RunMessages, ScanCommands) {
    const MessageCase cases[] = {
        {"\\\\SCAN(A)X\\\\", Kind::Scan, "Illegal using of \"scan\" keyword: SCAN(A)X"},
        {"\\\\SCAN(NOPE)\\\\", Kind::Scan, "Scan Alias not found: NOPE"},
        {"\\\\SCAN(C)\\\\", Kind::Scan, "Scan Alias not found: C"},
        {"\\\\SCAN()\\\\\\\\ENDSCAN\\\\", Kind::Scan,
         "Either \"scan\" with DataSet or \"while\" function must be present in command SCAN()"},
        {"\\\\SCAN(A), WHILE(Q), WHILE(Q)\\\\", Kind::Scan,
         "More than one \"while\" function is not allowed in command SCAN(A),WHILE(Q),WHILE(Q)"},
        {"\\\\SCANENTRY\\\\", Kind::Scan, "Error: Scanentry must be after scan: SCANENTRY"},
        {"\\\\SCAN(A)\\\\\\\\SCANENTRY\\\\\\\\SCANENTRY\\\\", Kind::Scan,
         "Error: Scanentry already exists for scan block: SCANENTRY"},
        {"\\\\SCAN(A)\\\\\\\\SCANFOOTER\\\\\\\\SCANENTRY\\\\", Kind::Scan,
         "Error: Scanentry not allowed after scanfooter: SCANENTRY"},
        {"\\\\IF(Q)\\\\\\\\SCANENTRY\\\\", Kind::Scan,
         "Error: Scanentry is not expected: SCANENTRY"},
        {"\\\\SCANFOOTER\\\\", Kind::Scan, "Error: Scanfooter must be after Scan: SCANFOOTER"},
        {"\\\\SCAN(A)\\\\\\\\SCANFOOTER\\\\\\\\SCANFOOTER\\\\", Kind::Scan,
         "Error: Scanfooter already exists for scan block: SCANFOOTER"},
        {"\\\\IF(Q)\\\\\\\\SCANFOOTER\\\\", Kind::Scan,
         "Error: Scanfooter is not expected: SCANFOOTER"},
        {"\\\\ENDSCAN\\\\", Kind::Scan, "Error: Endscan must be after scan: ENDSCAN"},
        {"\\\\IF(Q)\\\\\\\\ENDSCAN\\\\", Kind::Scan,
         "Error: Endscan is not expected: ENDSCAN"},
        {"\\\\SCAN(A), 5\\\\", Kind::Scan, "Cannot process expression 5 in scan command SCAN(A),5"},
        {"\\\\SCAN(A), FNUM(VAR(Z), 10:2)\\\\", Kind::Scan,
         "Format function FNUM(VAR(Z),10:2) not allowed in scan command SCAN(A),FNUM(VAR(Z),10:2)"},
        {"\\\\SCAN(A), NOSUCH(1)\\\\", Kind::Function, "Function not found: NOSUCH(1)"},
        {"\\\\SCAN(A), VAR(5)\\\\", Kind::Function,
         "Illegal function use: 5 - report variable expected as argument in expression VAR(5)"},
        {"\\\\SCAN(A), SUM('x', T)\\\\", Kind::Function,
         "Illegal function use: 'x' - datafield, variable or UDF expected as first argument in "
         "expression SUM('x',T)"},
        {"\\\\SCAN(A), SUM(A.X, 5)\\\\", Kind::Function,
         "Illegal function use: 5 - report variable expected as second argument in expression "
         "SUM(A.X,5)"},
        {"\\\\SCAN(A), SUM(A.X, T, AGAIN)\\\\", Kind::Function,
         "Illegal function use: AGAIN - symbol \")\" or keyword \"NORESET\" expected as third "
         "argument in "
         "expression SUM(A.X,T,AGAIN)"},
        {"\\\\SCAN(A)\\\\", Kind::Scan,
         "Nesting error - endscan expected, but end of document found"},
    };
    for (const MessageCase& c : cases) Check(c);
}

TEST_F(RunMessages, IfCommands) {
    const MessageCase cases[] = {
        {"\\\\IF(Q), X\\\\", Kind::If, "Illegal using of \"if\" command: IF(Q),X"},
        {"\\\\IF(Q)\\\\\\\\ELSE, X\\\\", Kind::If, "Illegal using of \"Else\" command: ELSE,X"},
        {"\\\\IF(Q)\\\\\\\\ELSIF(Q), X\\\\", Kind::If,
         "Illegal using of \"elsif\" command: ELSIF(Q),X"},
        {"\\\\IF(Q)\\\\\\\\ENDIF, X\\\\", Kind::If, "Illegal using of \"endif\" command: ENDIF,X"},
        {"\\\\IF(Q)X\\\\", Kind::If, "Illegal using of \"if\" keyword: IF(Q)X"},
        {"\\\\ELSE\\\\", Kind::If, "Error: \"else\" must be after \"if\": ELSE"},
        {"\\\\SCAN(A)\\\\\\\\ELSE\\\\", Kind::If, "Error: \"else\" is not expected: ELSE"},
        {"\\\\IF(Q)\\\\\\\\ELSIF(Q)X\\\\", Kind::If,
         "Illegal using of \"elsif\" keyword: ELSIF(Q)X"},
        {"\\\\ELSIF(Q)\\\\", Kind::If, "Error: \"elseif\" must be after \"if\": ELSIF(Q)"},
        {"\\\\IF(Q)\\\\\\\\ELSE\\\\\\\\ELSIF(Q)\\\\", Kind::If,
         "Error: \"elseif\" is not expected: ELSIF(Q)"},
        {"\\\\ENDIF\\\\", Kind::If, "Error: \"endif\" must be after \"if\": ENDIF"},
        {"\\\\SCAN(A)\\\\\\\\ENDIF\\\\", Kind::If, "Error: \"endif\" is not expected: ENDIF"},
        {"\\\\IF(Q)\\\\", Kind::If, "Endif expected, but end of document found"},
    };
    for (const MessageCase& c : cases) Check(c);
}

TEST_F(RunMessages, ExpressionsAndCalls) {
    const MessageCase cases[] = {
        {"\\\\FNUM(SET(T, 1), 10:2)\\\\", Kind::Function,
         "Format function FNUM doesn't conform to it's expression: SET(T,1)"},
        {"\\\\UPPER(FNUM(N, 10:2))\\\\", Kind::Function,
         "Illegal function use: expression FNUM(N,10:2) has format function FNUM, which is not "
         "allowed within "
         "another expression"},
        {"\\\\UPPER(NOSUCH(1))\\\\", Kind::Function, "Function not found: NOSUCH(1)"},
        {"\\\\UPPER(SCAN(A))\\\\", Kind::Function,
         "Cannot use SCAN(A) as argument for another expression"},
        {"\\\\N + A.NOPE\\\\", Kind::Function,
         "Illegal function use: N+A.NOPE - dataset field NOPE not found"},
        {"\\\\SUM(NOVAR, T)\\\\", Kind::Function,
         "Illegal function use: SUM(NOVAR,T) - report variable NOVAR not found"},
        {"\\\\VAR(5)\\\\", Kind::Function,
         "Illegal function use: VAR(5) - VAR function may be used only with variable identifiers"},
    };
    for (const MessageCase& c : cases) Check(c);
}

TEST_F(RunMessages, OperatorTypes) {
    const MessageCase cases[] = {
        {"\\\\T + 1\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation \"+\", expression T+1"},
        {"\\\\Q + Q\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation \"+\", expression Q+Q"},
        {"\\\\A.B + 1\\\\", Kind::Base, "Operand type unknown. Operation \"+\", expression A.B+1"},
        {"\\\\PIC() + 1\\\\", Kind::Base,
         "Operand type unknown. Operation \"+\", expression PIC()+1"},
        {"\\\\(N := 5) + 1\\\\", Kind::Base,
         "Operand type unknown. Operation \"+\", expression (N:=5)+1"},
        {"\\\\T - N\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation \"-\", expression T-N"},
        {"\\\\T * N\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation \"*\", expression T*N"},
        {"\\\\N / 0\\\\", Kind::Base, "Division by zero. Operation \"/\", expression N/0"},
        {"\\\\5 % 0\\\\", Kind::Base, "Division by zero. Operation \"%\", expression 5%0"},
        {"\\\\N && Q\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation \"&&\", expression N&&Q"},
        {"\\\\Q || T\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation \"||\", expression Q||T"},
        {"\\\\N = T\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation \"=\", expression N=T"},
        {"\\\\A.B = A.B\\\\", Kind::Base,
         "Operand type unknown. Operation \"=\", expression A.B=A.B"},
        {"\\\\N <> T\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation \"not equal\", expression N<>T"},
        {"\\\\N < T\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation \"<\", expression N<T"},
        {"\\\\N > T\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation \">\", expression N>T"},
        {"\\\\N <= T\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation \"<=\", expression N<=T"},
        {"\\\\N >= T\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation \">=\", expression N>=T"},
        {"\\\\-T\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation unary \"-\", expression -T"},
        {"\\\\+T\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation unary \"+\", expression +T"},
        {"\\\\!N\\\\", Kind::Base,
         "Operator/operand type mismatch. Operation not \"!\", expression !N"},
        {"\\\\-A.B\\\\", Kind::Base,
         "Operand type unknown. Operation unary \"-\", expression -A.B"},
        {"\\\\A.X := 5\\\\", Kind::Function,
         "Illegal expression: A.X:=5 - variable expected as a left argument of operation \":=\""},
        {"\\\\5 := 5\\\\", Kind::Function,
         "Illegal expression: 5:=5 - variable identifier expected as a left argument of operation "
         "\":=\""},
        {"\\\\N := A.B\\\\", Kind::Base,
         "Right argument type unknown. Operation \":=\", expression N:=A.B"},
        {"\\\\NOVAR := 5\\\\", Kind::IO, "Set variable: report variable not found: NOVAR"},
    };
    for (const MessageCase& c : cases) Check(c);
}

TEST_F(RunMessages, ControlFunctions) {
    const MessageCase cases[] = {
        {"\\\\EOF(A.X)\\\\", Kind::Function,
         "Illegal function use: EOF(A.X) - dataset identifier expected as argument of function "
         "\"EOF\""},
        {"\\\\NEXT(5)\\\\", Kind::Function,
         "Illegal function use: NEXT(5) - dataset identifier expected as a first argument of "
         "function \"NEXT\""},
        {"\\\\EOF(NOSUCH)\\\\", Kind::Function,
         "Illegal function use: EOF(NOSUCH) - dataset alias not found: NOSUCH"},
        {"\\\\SET(A.X, 1)\\\\", Kind::Function,
         "Illegal function use: SET(A.X,1) - variable expected as a first argument of function "
         "\"SET\""},
        {"\\\\SET(5, 1)\\\\", Kind::Function,
         "Illegal function use: SET(5,1) - variable identifier expected as a first argument of "
         "function \"SET\""},
        {"\\\\SET(N, A.B)\\\\", Kind::Base,
         "Operand type unknown. Function \"SET\", expression SET(N,A.B)"},
        {"\\\\SET(N, PIC())\\\\", Kind::Base,
         "Second operand type unknown. Function \"SET\", expression SET(N,PIC())"},
        {"\\\\IIF(N, 1, 2)\\\\", Kind::Base,
         "First operand of boolean type expected in function \"IIF\", expression IIF(N,1,2)"},
        {"\\\\IIF(PIC(), 1, 2)\\\\", Kind::Base,
         "First operand type unknown. Function \"IIF\", expression IIF(PIC(),1,2)"},
        {"\\\\IIF(Q, PIC(), 2)\\\\", Kind::Base,
         "Second operand type unknown. Function \"IIF\", expression IIF(Q,PIC(),2)"},
        {"\\\\IIF(!Q, 1, PIC())\\\\", Kind::Base,
         "Third operand type unknown. Function \"IIF\", expression IIF(!Q,1,PIC())"},
    };
    for (const MessageCase& c : cases) Check(c);
}

// The bracket pseudo-function's checks, called as the evaluator calls them
// (a bracketed operand is compiled as an expression, so templates reach
// these only through calls that produce it).
TEST_F(RunMessages, BracketArgumentChecks) {
    std::string expr = "(X)";
    TQxReportVariable named(&report);
    named.SetVarName("NOVAR");
    TQxReportVariable holder(&report);
    holder.SetLocal(true);
    try {
        report.ExecUDF(-22, {&named}, 1, &holder, expr);
        ADD_FAILURE() << "no error";
    } catch (const EIllegalFunctionUse& e) {
        EXPECT_STREQ(e.what(), "Illegal expression: (X) - report variable NOVAR not found");
    }
    TMemoryStream notAVariable;
    try {
        report.ExecUDF(-22, {&notAVariable}, 1, &holder, expr);
        ADD_FAILURE() << "no error";
    } catch (const EIllegalFunctionUse& e) {
        EXPECT_STREQ(e.what(),
                     "Illegal brackets use in expression: (X) - result type udfrTQxReportVariable "
                     "expected inside "
                     "the brackets");
    }
}

TEST_F(RunMessages, ResultKindOutsideTheCatalogue) {
    TQxUDF* odd = udfs.Functions().Add();
    odd->SetName("ODD");
    odd->SetResultType(7);
    Check({"\\\\ODD()\\\\", Kind::Function, "Result type defined in functionODD is not supported"});
}

namespace {
// Writes an expression block holding a text record, which no compile pass
// writes: the evaluator must refuse it rather than misread it.
class StrayItemInExpression : public TQxRTF {
  protected:
    void CompileField(const std::string&) override {
        TQxRowContent row;
        row.Field = "stray";
        CmSaveExprBeginItem(row, true, false, 0);
        CmSaveBlocItem();
        CmSaveExprEndItem();
    }
};
}  // namespace

TEST(RunMessagesStream, UnknownItemInsideAnExpression) {
    StrayItemInExpression report;
    const std::string doc = qxtest::Doc("\\\\X\\\\");
    report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
    TMemoryStream out;
    try {
        report.ExecuteStream({}, &out);
        ADD_FAILURE() << "no error";
    } catch (const EIOError& e) {
        EXPECT_STREQ(e.what(), "Undefined argument in UDF");
    }
}
