// What a template author sees in the report for the corners of the
// language: empty strings, aggregates over scans with a header, while
// scans that never start, ELSEIF, "=>", IIF parts called by name, large
// integers and amounts, NULL values, the old output file after a failure,
// and the texts of a few messages.
#include <gtest/gtest.h>

#include <filesystem>

#include "conscom/exceptions.h"
#include "platform/sysutils.h"
#include "qxrtf/engine_fixture.h"
#include "test_support.h"

using namespace qx;

namespace {

struct RenderCase {
    std::string body;  // fields typed between doubled backslashes
    std::string expected;
};

class TemplateSemantics : public qxtest::EngineTest {
  protected:
    void Expect(const RenderCase& c) {
        SCOPED_TRACE(c.body);
        EXPECT_EQ(Render(c.body), c.expected);
    }
};

}  // namespace

TEST_F(TemplateSemantics, EmptyQuotesAreTheEmptyString) {
    report.CreateVar("S", std::string());
    report.CreateVar("D", EncodeDate(2024, 3, 7), true);
    const RenderCase cases[] = {
        {R"([\\""\\])", R"([])"},
        {R"([\\''\\])", R"([])"},
        {R"([\\""+"x"\\])", R"([x])"},
        {R"([\\"x"+''\\])", R"([x])"},
        {R"(\\IF(S="")\\empty\\ELSE\\nonempty\\ENDIF\\)", "empty"},
        {R"(\\IF(S<>'')\\nonempty\\ELSE\\empty\\ENDIF\\)", "empty"},
        // An empty format text is the default date form.
        {R"([\\FDTM(D, "")\\])", R"([3/7/2024])"},
    };
    for (const RenderCase& c : cases) Expect(c);
}

TEST_F(TemplateSemantics, ScanCommandCallsCountEveryRecord) {
    AddDataSet("O", {{"K", ftInteger}}, {{std::int64_t{1}}, {std::int64_t{2}}});
    AddDataSet("R", {{"T", ftFloat}, {"NAME", ftString}},
               {{1.0, std::string("a")}, {2.0, std::string("b")}, {4.0, std::string("c")}});
    const RenderCase cases[] = {
        // A header between the command and its scanentry.
        {R"(\\SCAN(R), SUM(R.T,S), CTS(R.NAME,C)\\H:\\SCANENTRY\\\\R.NAME\\;\\ENDSCAN\\=\\S\\/\\C\\)",
         R"(H:a;b;c;=7/3)"},
        // With a footer too, and the scanentry's own call beside them.
        {R"(\\SCAN(R), SUM(R.T,S)\\H:\\SCANENTRY, CTN(R.T,C)\\\\R.NAME\\\\SCANFOOTER\\F\\ENDSCAN\\=\\S\\/\\C\\)",
         R"(H:abcF=7/3)"},
        // Without a scanentry (unchanged).
        {R"(\\SCAN(R), SUM(R.T,S)\\\\R.NAME\\\\ENDSCAN\\=\\S\\)", R"(abc=7)"},
        // Totals restart each time the inner scan is entered.
        {R"(\\SCAN(O)\\<\\SCAN(R), SUM(R.T,S)\\H\\SCANENTRY\\.\\ENDSCAN\\\\S\\>\\ENDSCAN\\)",
         R"(<H...7><H...7>)"},
    };
    for (const RenderCase& c : cases) Expect(c);
}

TEST_F(TemplateSemantics, WhileFalseAtTheStartWritesNothing) {
    report.CreateVar("I", 0.0);
    report.CreateVar("S", 5.0);
    const RenderCase cases[] = {
        {R"([\\SCAN(), WHILE(I < 0)\\x\\ENDSCAN\\])", "[]"},
        {R"([\\SCAN(), WHILE(I < 0)\\x\\SCANFOOTER\\f\\ENDSCAN\\])", "[]"},
        // Its aggregates reset as for a skipped block.
        {R"([\\SCAN(), WHILE(I < 0), SUM(I,S)\\x\\ENDSCAN\\]\\S\\)", R"([]0)"},
        // A condition true at the start repeats while it holds.
        {R"([\\SCAN(), WHILE(I < 2)\\x\\I:=I+1\\\\ENDSCAN\\])", "[xx]"},
    };
    for (const RenderCase& c : cases) Expect(c);

    int records = 0, eofs = 0;
    report.SetOnScanRecord([&](TQxScanInfo&) { ++records; });
    report.SetOnScanEof([&](TQxScanInfo&) { ++eofs; });
    report.VarByName("I").SetAsFloat(0);
    Render(R"(\\SCAN(), WHILE(I < 0)\\x\\ENDSCAN\\)");
    EXPECT_EQ(records, 0);
    EXPECT_EQ(eofs, 1);
}

TEST_F(TemplateSemantics, ElseIfIsASpellingOfElsif) {
    report.CreateVar("T", 0.0);
    const std::string chain = R"(\\IF(T > 20)\\big\\ELSEIF(T > 10)\\mid\\ELSE\\small\\ENDIF\\)";
    const std::string lower = R"(\\IF(T > 20)\\big\\elseif(T > 10)\\mid\\ENDIF\\)";
    const std::string empty = R"(\\IF(T > 20)\\big\\ELSEIF()\\x\\ENDIF\\)";
    const struct {
        double t;
        const std::string& body;
        const char* expected;
    } cases[] = {
        {25, chain, "big"},
        {15, chain, "mid"},
        {5, chain, "small"},
        {15, lower, "mid"},
        {5, lower, ""},
        // Without a condition it is no command (and never ELSE): it stays as typed.
        {25, empty, R"(big\\ELSEIF()\\x)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body + " with T=" + std::to_string(c.t));
        report.VarByName("T").SetAsFloat(c.t);
        EXPECT_EQ(Render(c.body), c.expected);
    }
}

TEST_F(TemplateSemantics, ArrowIsGreaterOrEqual) {
    report.CreateVar("X", 2.0);
    const RenderCase cases[] = {
        {R"([\\IIF(3=>2,1,0)\\])", R"([1])"},
        {R"([\\IIF(2=>3,1,0)\\])", R"([0])"},
        {R"([\\X=>2\\])", R"([True])"},
        {R"(\\IF(X => 2.5)\\big\\ELSIF(X=>-1)\\small\\ENDIF\\)", "small"},
    };
    for (const RenderCase& c : cases) Expect(c);
}

TEST_F(TemplateSemantics, IifPartsCalledByNameAreTheirValue) {
    const RenderCase cases[] = {
        {R"([\\SYS_IIF_TEST(1=2)\\])", R"([False])"},
        {R"([\\SYS_IIF_TEST(1=1)\\])", R"([True])"},
        // Inside an IIF a call by name picks no branch of it.
        {R"([\\IIF(SYS_IIF_TEST(1=2),"a","b")\\])", R"([b])"},
        {R"([\\IIF(1=1,IIF(SYS_IIF_TEST(1=2),"a","b"),"c")\\])", R"([b])"},
        {R"([\\IIF(1=2,"a",SYS_IIF_TEST(1=1))\\])", R"([True])"},
    };
    for (const RenderCase& c : cases) Expect(c);
}

TEST_F(TemplateSemantics, LargeIntegersAreReadInFull) {
    AddDataSet("B", {{"N", ftLargeint}}, {{std::int64_t{3000000000}}});
    report.CreateVar("X", 0.0);
    const RenderCase cases[] = {
        {R"(\\B.N\\)", R"(3000000000)"},
        {R"(\\B.N+1\\)", R"(3000000001)"},
        {R"(\\B.N-5000000000\\)", R"(-2000000000)"},
        {R"(\\IF(B.N=3000000000)\\equal\\ELSE\\different\\ENDIF\\)", "equal"},
        {R"(\\X:=B.N\\\\X\\)", R"(3000000000)"},
    };
    for (const RenderCase& c : cases) Expect(c);
}

TEST_F(TemplateSemantics, LargeAmountsKeepTheFixedForm) {
    report.CreateVar("X", 1234567890123000.0);
    report.CreateVar("Z", 1e15);
    report.CreateVar("W", 12345678901234567.0);
    report.CreateVar("E", 1e20);
    AddDataSet("A", {{"V", ftFloat}}, {{1234567890123000.0}});
    const RenderCase cases[] = {
        {R"(\\FNUM(X)\\)", R"(1,234,567,890,123,000.00)"},
        {R"(\\FNUM(A.V, 0)\\)", R"(1,234,567,890,123,000)"},
        {R"(\\FFIX(Z,18:2)\\)", R"(1000000000000000.00)"},
        {R"(\\FCUR(Z)\\)", R"($1,000,000,000,000,000.00)"},
        // Fifteen significant digits, then zeros.
        {R"(\\FNUM(W)\\)", R"(12,345,678,901,234,600.00)"},
        // Beyond the precision asked for: the general form.
        {R"(\\FFIX(Z,10:2)\\)", R"(1E15)"},
        {R"(\\FNUM(E)\\)", R"(1E20)"},
    };
    for (const RenderCase& c : cases) Expect(c);
}

TEST_F(TemplateSemantics, NullValuesAreWrittenAsEmptyText) {
    AddDataSet("R",
               {{"D", ftDate},
                {"B", ftBoolean},
                {"N", ftFloat},
                {"S", ftString},
                {"I", ftInteger},
                {"T", ftDateTime}},
               {{TFieldValue{}, TFieldValue{}, TFieldValue{}, TFieldValue{}, TFieldValue{},
                 TFieldValue{}}});
    const RenderCase cases[] = {
        {R"([\\R.D\\])", R"([])"},
        {R"([\\FDTM(R.D, "dd.mm.yyyy")\\])", R"([])"},
        {R"([\\FDTM(R.T, "hh:nn")\\])", R"([])"},
        {R"([\\R.B\\])", R"([])"},
        {R"([\\FBOOL(R.B)\\])", R"([])"},
        {R"([\\R.N\\])", R"([])"},
        {R"([\\FNUM(R.N)\\])", R"([])"},
        {R"([\\FFIXR(R.I, 2)\\])", R"([])"},
        {R"([\\FEXP(R.I)\\])", R"([])"},
        {R"([\\FLNK(R.S)\\])", R"([])"},
        {R"([\\FRTF(R.S)\\])", R"([])"},
        // Inside an expression a NULL reads as its type's empty value.
        {R"([\\R.N+1\\])", R"([1])"},
        {R"([\\R.S+"x"\\])", R"([x])"},
        {R"(\\IF(R.B)\\true\\ELSE\\false\\ENDIF\\)", "false"},
    };
    for (const RenderCase& c : cases) Expect(c);
}

TEST_F(TemplateSemantics, MessagesQuoteTheAliasAsTyped) {
    try {
        Render(R"(\\SCAN([ X ])\\\\ENDSCAN\\)");
        ADD_FAILURE() << "no error";
    } catch (const EIllegalScanUse& e) {
        EXPECT_STREQ(e.what(), "Scan Alias not found:  X ");
    }
}

namespace {

// Looks at the report's open ELSIF levels when a compile pass starts.
class ChainProbe : public TQxRTF {
  public:
    std::vector<std::size_t> openAtStart;

  protected:
    void CompilePass() override {
        TQxRTF::CompilePass();
        openAtStart.push_back(FElsIfChain.size());
    }
};

}  // namespace

TEST(TemplateRuns, ElsifLevelsDoNotOutliveARun) {
    ChainProbe report;
    report.CreateVar("Q", true);
    const auto run = [&](const std::string& body) {
        const std::string doc = qxtest::Doc(body);
        report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
        TMemoryStream out;
        report.ExecuteStream({}, &out);
    };
    // An if chain left open: the run fails after its compile pass.
    EXPECT_THROW(run(R"(\\IF(Q)\\a\\ELSIF(Q)\\b)"), EIllegalIFUse);
    run(R"(\\IF(Q)\\a\\ENDIF\\)");
    ASSERT_EQ(report.openAtStart.size(), 2u);
    EXPECT_EQ(report.openAtStart[1], 0u);
}

namespace {

class OldOutputTest : public qxtest::TempDirTest {};

}  // namespace

TEST_F(OldOutputTest, AFailedRunLeavesNoReportUnderTheOutputName) {
    struct Case {
        std::string body;
        std::string message;
    };
    const Case cases[] = {
        {R"(\\SCAN(NOPE)\\\\ENDSCAN\\)", "Scan Alias not found: NOPE"},
        {R"(\\SCAN(), WHILE(1)\\)", "Nesting error - endscan expected, but end of document found"},
        {R"(\\N/0\\)", "Division by zero. Operation \"/\", expression N/0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        TQxRTF report;
        report.CreateVar("N", 1.0);
        qxtest::WriteFileBytes(Path("t.rtf"), qxtest::Doc(c.body));
        qxtest::WriteFileBytes(Path("out.rtf"), "yesterday's report");
        report.SetInFile(Path("t.rtf"));
        report.SetOutFile(Path("out.rtf"));
        EXPECT_THROW(report.Execute({}), Exception);
        EXPECT_EQ(report.LastErrMsg(), c.message);
        EXPECT_FALSE(std::filesystem::exists(Path("out.rtf")));
    }
}
