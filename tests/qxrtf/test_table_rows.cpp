// Blocks whose commands stand in different cells or rows act on whole
// rows; commands alone in their paragraphs leave no empty paragraph.
#include <gtest/gtest.h>

#include "engine_fixture.h"

using namespace qx;

namespace {

// A row of cells as a word processor writes it: the definition, then one
// in-table paragraph per cell.
std::string Row(const std::vector<std::string>& cells) {
    std::string rtf = "\\trowd\\cellx1000\\cellx2000";
    for (const std::string& cell : cells) rtf += "\\pard\\intbl{" + cell + "}\\cell";
    return rtf + "\\row";
}

class TableRows : public qxtest::EngineTest {
  protected:
    void SetUp() override {
        AddDataSet("R", {{"N", ftString}}, {{std::string("a")}, {std::string("b")}});
    }
};

}  // namespace

TEST_F(TableRows, BlocksSpanningCellsRepeatOrDropWholeRows) {
    struct Case {
        const char* name;
        std::string body;
        std::string expected;
    };
    const std::string head = Row({"H1", "H2"});
    const Case cases[] = {
        {"scan from the first to the last cell",
         head + Row({"\\\\SCAN(R)\\\\x", "\\\\R.N\\\\\\\\ENDSCAN\\\\"}),
         head + Row({"x", "a"}) + Row({"x", "b"})},
        {"cell text before the command is kept in every row",
         Row({"#\\\\SCAN(R)\\\\", "\\\\R.N\\\\\\\\ENDSCAN\\\\"}),
         Row({"#", "a"}) + Row({"#", "b"})},
        {"ENDSCAN in the paragraph after the table",
         Row({"\\\\SCAN(R)\\\\", "\\\\R.N\\\\"}) + "\\pard{\\\\ENDSCAN\\\\}\\par end",
         Row({"", "a"}) + Row({"", "b"}) + "\\pard{}end"},
        {"two closing commands in the paragraph after the table",
         Row({"\\\\SCAN(R)\\\\\\\\IF(1 = 1)\\\\", "\\\\R.N\\\\"}) +
             "\\pard{\\\\ENDIF\\\\\\\\ENDSCAN\\\\}\\par end",
         Row({"", "a"}) + Row({"", "b"}) + "\\pard{}end"},
        {"if around a row", Row({"\\\\IF(1 = 2)\\\\1", "2\\\\ENDIF\\\\"}) + "\\pard z", "\\pard z"},
        {"a scan inside one cell stays in the cell",
         Row({"\\\\SCAN(R)\\\\\\\\R.N\\\\\\\\ENDSCAN\\\\", "y"}), Row({"ab", "y"})},
        {"a row that never ends repeats from its start to the ENDSCAN",
         "\\trowd\\cellx1000\\pard\\intbl{\\\\SCAN(R)\\\\}\\cell\\pard\\intbl{\\\\R."
         "N\\\\\\\\ENDSCAN\\\\}"
         "\\cell",
         "\\trowd\\cellx1000\\pard\\intbl{}\\cell\\pard\\intbl{a}\\trowd\\cellx1000\\pard"
         "\\intbl{}\\cell\\pard\\intbl{b}\\cell"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Render(c.body), c.expected);
    }
}

TEST_F(TableRows, CommandsAloneInTheirParagraphsLeaveNoEmptyParagraph) {
    struct Case {
        const char* name;
        std::string body;
        std::string expected;
    };
    const Case cases[] = {
        {"inside a loop, after text paragraphs",
         "Head\\par \\\\SCAN(R)\\\\\\par \\\\R.N\\\\\\par \\\\ENDSCAN\\\\\\par End",
         "Head\\par a\\par b\\par End"},
        {"two commands on one line", "A\\par \\\\IF(1 = 1)\\\\ \\\\ENDIF\\\\\\par B", "A\\par  B"},
        {"text before the command keeps the mark",
         "A\\par x\\\\IF(1 = 1)\\\\\\par y\\\\ENDIF\\\\\\par B", "A\\par x\\par y\\par B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Render(c.body), c.expected);
    }
}
