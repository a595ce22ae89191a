// Errors of the compile and run passes carry the template position of the
// field that caused them, beside their unchanged message.
#include <gtest/gtest.h>

#include "conscom/exceptions.h"
#include "qxrtf/engine_fixture.h"
#include "test_support.h"

using namespace qx;

namespace {

// Line and column (1-based) of byte `offset` of `text`, counted the plain way.
std::pair<int, int> LineColumn(const std::string& text, std::size_t offset) {
    int line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i)
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    return {line, static_cast<int>(offset - lineStart) + 1};
}

class ErrorPositions : public qxtest::EngineTest {
  protected:
    // Runs `doc` and answers the error's position, checking that the
    // exception and the report's last-error results agree.
    std::optional<TQxErrorPos> RunFailing(const std::string& doc, const std::string& message) {
        report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
        TMemoryStream out;
        try {
            report.ExecuteStream(DataSets(), &out);
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()), message);
            EXPECT_EQ(report.LastErrMsg(), message);
            EXPECT_EQ(report.LastErrPos(), e.Pos());
            return e.Pos();
        }
        ADD_FAILURE() << "no error";
        return std::nullopt;
    }
    // The position must be that of the first occurrence of `field` (typed
    // with its RTF backslash delimiters) in `doc`.
    void ExpectAt(const std::optional<TQxErrorPos>& pos, const std::string& doc,
                  const std::string& field, const std::string& typedText) {
        ASSERT_TRUE(pos.has_value());
        const std::size_t at = doc.find(field);
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(pos->offset, static_cast<std::int64_t>(at));
        const auto [line, column] = LineColumn(doc, at);
        EXPECT_EQ(pos->line, line);
        EXPECT_EQ(pos->column, column);
        EXPECT_EQ(pos->fieldText, typedText);
    }
};

TEST_F(ErrorPositions, TemplatesWrittenByLibreOffice) {
    // A compile error: a call of a function that does not exist inside
    // another expression.
    {
        const std::string doc = qxtest::ReadFileBytes(qxtest::DataPath("errors_compile.rtf"));
        report.CreateVar("CUSTOMER", std::string("Ann"));
        report.CreateVar("TOTAL", 12.0);
        const auto pos = RunFailing(doc, "Function not found: NOSUCH(TOTAL)");
        ExpectAt(pos, doc, "\\\\UPPER(NOSUCH", "UPPER(NOSUCH(TOTAL))");
        // The line as LibreOffice wrote it, for a reader of this test.
        ASSERT_TRUE(pos.has_value());
        EXPECT_EQ(pos->line, 32);
        EXPECT_EQ(pos->column, 17);
    }
    // A run-time error in the second record of a scan: the position is the
    // field being executed, after the scan went back for another record.
    {
        const std::string doc = qxtest::ReadFileBytes(qxtest::DataPath("errors_run.rtf"));
        AddDataSet("ITEMS", {{"NAME", ftString}, {"QTY", ftInteger}},
                   {{std::string("Bolts"), 4}, {std::string("Nuts"), 0}});
        const auto pos =
            RunFailing(doc, "Division by zero. Operation \"/\", expression 100/ITEMS.QTY");
        ExpectAt(pos, doc, "\\\\100 / ITEMS.QTY", "100 / ITEMS.QTY");
    }
}

TEST_F(ErrorPositions, EachSourceOfErrorPointsAtItsField) {
    AddDataSet("A", {{"X", ftInteger}}, {{1}, {0}});
    report.CreateVar("Z", 0.0);
    struct Case {
        std::string body;
        std::string message;
        std::string field;  // as it stands in the RTF
        std::string typed;
    };
    const Case cases[] = {
        // compile pass: a command, then an expression field
        {"a\n\\\\SCAN(A)\\\\ \\\\ELSE\\\\ \\\\ENDSCAN\\\\", "Error: \"else\" is not expected: ELSE",
         "\\\\ELSE", "ELSE"},
        {"\\\\A.X\\\\\n\n  \\\\FNUM(1+, 5:2)\\\\", "Unexpected end of expression: 1+",
         "\\\\FNUM(1+", "FNUM(1+, 5:2)"},
        // end of template: the command that opened the block left open
        {"x \\\\SCAN(A)\\\\\n\\\\IF(A.X=1)\\\\ y \\\\ENDIF\\\\",
         "Nesting error - endscan expected, but end of document found", "\\\\SCAN(A)", "SCAN(A)"},
        {"\\\\IF(Z=0)\\\\\n\\\\IF(Z=1)\\\\ \\\\ENDIF\\\\",
         "Endif expected, but end of document found", "\\\\IF(Z=0)", "IF(Z=0)"},
        // run pass: an if condition, a scan's second record, an extra call
        {"\\\\A.X\\\\ \\\\IF(1/Z=1)\\\\ y \\\\ENDIF\\\\",
         "Division by zero. Operation \"/\", expression IF(1/Z=1)", "\\\\IF(1/Z", "IF(1/Z=1)"},
        {"\\\\SCAN(A)\\\\ \\\\A.X\\\\\n \\\\ 7 / A.X \\\\ \\\\ENDSCAN\\\\ \\\\Z\\\\",
         "Division by zero. Operation \"/\", expression 7/A.X", "\\\\ 7 / A.X", "7 / A.X"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const std::string doc = qxtest::Doc(c.body);
        ExpectAt(RunFailing(doc, c.message), doc, c.field, c.typed);
    }
}

TEST_F(ErrorPositions, ABlockLeftOpenIsReportedAtItsCommand) {
    AddDataSet("A", {{"X", ftInteger}}, {{1}});
    struct Case {
        std::string body;
        std::string opener;  // the command left open, as it stands in the RTF
        std::string typed;
        std::string closer;   // the command that came before its end
        std::string message;  // before " at LINE:COL" of the closer
    };
    const Case cases[] = {
        {"\\\\SCAN(A)\\\\\n\\\\IF(A.X=1)\\\\ y \\\\ENDSCAN\\\\", R"(\\IF(A.X)", "IF(A.X=1)",
         R"(\\ENDSCAN)", "IF is not closed before ENDSCAN"},
        {R"(\\SCAN(A)\\ \\IF(A.X=1)\\ y \\ELSE\\ z)"
         "\n"
         R"( \\SCANFOOTER\\ \\ENDSCAN\\)",
         R"(\\ELSE)", "ELSE", R"(\\SCANFOOTER)", "ELSE is not closed before SCANFOOTER"},
        {R"(\\SCAN(A)\\ \\IF(A.X=1)\\ \\ELSIF(A.X=2)\\ \\SCANENTRY\\)", R"(\\ELSIF)",
         "ELSIF(A.X=2)", R"(\\SCANENTRY)", "ELSIF is not closed before SCANENTRY"},
        {"\\\\IF(A.X=1)\\\\\n x \\\\SCAN(A)\\\\ y\n\n \\\\ENDIF\\\\", R"(\\SCAN)", "SCAN(A)",
         R"(\\ENDIF)", "SCAN is not closed before ENDIF"},
        {R"(\\IF(A.X=1)\\ \\SCAN(A)\\ \\ELSE\\)", R"(\\SCAN)", "SCAN(A)", R"(\\ELSE)",
         "SCAN is not closed before ELSE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const std::string doc = qxtest::Doc(c.body);
        const auto [line, column] = LineColumn(doc, doc.find(c.closer));
        const std::string message =
            c.message + " at " + std::to_string(line) + ":" + std::to_string(column);
        ExpectAt(RunFailing(doc, message), doc, c.opener, c.typed);
    }
}

TEST_F(ErrorPositions, RunTimeErrorsNameTheRecordsOfTheScansBeingRun) {
    AddDataSet("ORDERS", {{"D", ftInteger}}, {{1}, {0}});
    AddDataSet("LINES", {{"N", ftInteger}}, {{10}, {20}, {30}});
    report.CreateVar("Z", 0.0);
    struct Case {
        std::string body;
        std::string message;
        std::vector<TQxRecordPlace> records;
    };
    const Case cases[] = {
        {R"(\\SCAN(ORDERS)\\\\SCAN(LINES)\\\\LINES.N / ORDERS.D\\\\ENDSCAN\\\\ENDSCAN\\)",
         "Division by zero. Operation \"/\", expression LINES.N/ORDERS.D",
         {{"ORDERS", 2}, {"LINES", 1}}},
        // A detail counts its records anew for each master record.
        {R"(\\SCAN(ORDERS)\\\\SCAN(LINES)\\\\LINES.N / (LINES.N - 20 + ORDERS.D)\\)"
         R"(\\ENDSCAN\\\\ENDSCAN\\)",
         "Division by zero. Operation \"/\", expression LINES.N/(LINES.N-20+ORDERS.D)",
         {{"ORDERS", 2}, {"LINES", 2}}},
        // A scan that has ended is no longer named; outside scans, none is.
        {R"(\\SCAN(LINES)\\x\\ENDSCAN\\ \\1 / Z\\)",
         "Division by zero. Operation \"/\", expression 1/Z",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const auto pos = RunFailing(qxtest::Doc(c.body), c.message);
        ASSERT_TRUE(pos.has_value());
        EXPECT_EQ(pos->records, c.records);
    }
}

TEST_F(ErrorPositions, ErrorsOfNoFieldHaveNoPositionAndSuccessClearsIt) {
    EXPECT_FALSE(RunFailing("plain text", "Template is not RTF file.").has_value());
    const std::string bad = qxtest::Doc("\\\\IF(1)\\\\");
    EXPECT_TRUE(RunFailing(bad, "Endif expected, but end of document found").has_value());
    EXPECT_EQ(Render("fine"), "fine");
    EXPECT_FALSE(report.LastErrPos().has_value());
}

}  // namespace
