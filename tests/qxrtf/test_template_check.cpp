// The template lint: what a template holds and which of its names the
// given data lacks, without running it.
#include <gtest/gtest.h>

#include "conscom/exceptions.h"
#include "qxrtf/engine_fixture.h"

using namespace qx;

namespace {

class TemplateCheck : public qxtest::EngineTest {
  protected:
    TQxTemplateCheck Check(const std::string& body) {
        const std::string doc = qxtest::Doc(body);
        report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
        return report.CheckTemplate(DataSets());
    }
};

TEST_F(TemplateCheck, ListsFieldsBlocksAndCallsWithPositions) {
    AddDataSet("ORDERS", {{"ID", ftInteger}, {"TOTAL", ftFloat}}, {});
    report.CreateVar("LIMIT", 10.0);
    const TQxTemplateCheck c = Check(
        "\\\\SCAN(ORDERS), SUM(ORDERS.TOTAL, GRAND)\\\\\n"
        "\\\\ORDERS.ID\\\\ \\\\FNUM(ORDERS.TOTAL * 2, 10:2)\\\\\n"
        "\\\\IF(ORDERS.TOTAL > LIMIT)\\\\big\\\\ELSE\\\\small\\\\ENDIF\\\\\n"
        "\\\\ENDSCAN\\\\ \\\\UPPER('x')\\\\ \\\\GRAND\\\\ \\\\'text'\\\\");
    struct Expected {
        std::string text;
        std::string kind;
        int line;
    };
    const Expected fields[] = {
        {"SCAN(ORDERS), SUM(ORDERS.TOTAL, GRAND)", "command", 1},
        {"ORDERS.ID", "dataset field", 2},
        {"FNUM(ORDERS.TOTAL * 2, 10:2)", "expression", 2},
        {"IF(ORDERS.TOTAL > LIMIT)", "command", 3},
        {"ELSE", "command", 3},
        {"ENDIF", "command", 3},
        {"ENDSCAN", "command", 4},
        {"UPPER('x')", "expression", 4},
        {"GRAND", "variable", 4},
        {"'text'", "constant", 4},
    };
    ASSERT_EQ(c.fields.size(), std::size(fields));
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
        SCOPED_TRACE(fields[i].text);
        EXPECT_EQ(c.fields[i].pos.fieldText, fields[i].text);
        EXPECT_EQ(c.fields[i].kind, fields[i].kind);
        EXPECT_EQ(c.fields[i].pos.line, fields[i].line);
    }
    // Columns: the field's first backslash on its line.
    EXPECT_EQ(c.fields[2].pos.column, 15);

    ASSERT_EQ(c.blocks.size(), 3u);
    EXPECT_EQ(c.blocks[0].kind, "scan");
    EXPECT_EQ(c.blocks[0].detail, "ORDERS");
    EXPECT_EQ(c.blocks[0].open.fieldText, fields[0].text);
    EXPECT_EQ(c.blocks[0].close.fieldText, "ENDSCAN");
    EXPECT_EQ(c.blocks[1].kind, "if");
    EXPECT_EQ(c.blocks[1].close.fieldText, "ELSE");
    EXPECT_EQ(c.blocks[2].kind, "else");
    EXPECT_EQ(c.blocks[2].open.fieldText, "ELSE");
    EXPECT_EQ(c.blocks[2].close.fieldText, "ENDIF");

    std::vector<std::string> calls;
    for (const TQxCheckFunction& f : c.functions) calls.push_back(f.name);
    // The condition of IF is listed with its block, not as a call.
    EXPECT_EQ(calls, (std::vector<std::string>{"SUM", "UPPER"}));
    EXPECT_EQ(c.blocks[1].detail, "IF(ORDERS.TOTAL>LIMIT)");
    // GRAND is declared by the aggregate, LIMIT is a report variable.
    EXPECT_TRUE(c.warnings.empty());
}

TEST_F(TemplateCheck, WarnsOfNamesTheDataDoesNotHave) {
    AddDataSet("ORDERS", {{"ID", ftInteger}}, {});
    const TQxTemplateCheck c = Check(
        "\\\\SCAN(ORDERS), VAR(SEEN), CTN(ORDERS.ID, N, NORESET)\\\\"
        "\\\\ORDERS.IDX\\\\ \\\\CUSTOMERS.NAME\\\\ \\\\ORDERS.(3)\\\\\\\\ENDSCAN\\\\ "
        "\\\\UPPER(MISSING) + N\\\\ \\\\SEEN\\\\ \\\\NOSUCHFN(1)\\\\ \\\\FNUM(ORDERS.ID, 10:2\\\\ "
        // Curly quotes delimit a string: no variable 'a b' is asked for.
        R"(\\UPPER(\u8216\'91a b\u8217\'92)\\)");
    struct Expected {
        std::string field;
        std::string message;
    };
    const Expected expected[] = {
        {"ORDERS.IDX", "dataset ORDERS has no field IDX"},
        {"CUSTOMERS.NAME", "no dataset is named CUSTOMERS"},
        {"ORDERS.(3)", "dataset ORDERS has no field (3)"},
        {"NOSUCHFN(1)", "no function of this name exists; the field is left as typed"},
        {"FNUM(ORDERS.ID, 10:2",
         "the brackets of this field do not balance; the field is left as typed"},
        {"UPPER(MISSING) + N", "variable MISSING is not defined"},
    };
    ASSERT_EQ(c.warnings.size(), std::size(expected));
    for (std::size_t i = 0; i < c.warnings.size(); ++i) {
        SCOPED_TRACE(expected[i].field);
        EXPECT_EQ(c.warnings[i].pos.fieldText, expected[i].field);
        EXPECT_EQ(c.warnings[i].message, expected[i].message);
    }
}

TEST_F(TemplateCheck, CommandsInTableCellsKeepTheirPlace) {
    AddDataSet("ORDERS", {{"ID", ftInteger}}, {});
    // One row per record: SCAN at the start of the first cell, ENDSCAN at
    // the end of the last; the commands' records move to the row's ends.
    const TQxTemplateCheck c =
        Check(R"(\trowd\cellx1000\cellx2000\pard\intbl \\SCAN(ORDERS)\\\\ORDERS.ID\\\cell )"
              "\n"
              R"(\pard\intbl \\ORDERS.ID\\\\ENDSCAN\\\cell\row\pard after)");
    std::vector<std::string> fields;
    for (const TQxCheckField& f : c.fields) fields.push_back(f.pos.fieldText);
    EXPECT_EQ(fields,
              (std::vector<std::string>{"SCAN(ORDERS)", "ORDERS.ID", "ORDERS.ID", "ENDSCAN"}));
    ASSERT_EQ(c.blocks.size(), 1u);
    EXPECT_EQ(c.blocks[0].close.fieldText, "ENDSCAN");
    EXPECT_EQ(c.blocks[0].close.line, 2);
    EXPECT_EQ(c.blocks[0].close.column, 26);
}

TEST_F(TemplateCheck, CompileErrorsAreRaisedWithTheirPosition) {
    try {
        Check("ok \\\\SCAN(NOTHERE)\\\\ \\\\ENDSCAN\\\\");
        ADD_FAILURE() << "no error";
    } catch (const EIllegalScanUse& e) {
        EXPECT_EQ(std::string(e.what()), "Scan Alias not found: NOTHERE");
        ASSERT_TRUE(e.Pos().has_value());
        EXPECT_EQ(e.Pos()->fieldText, "SCAN(NOTHERE)");
    }
    EXPECT_THROW(Check("\\\\SCAN(), WHILE(1=1)\\\\ x"), EIllegalScanUse);  // never closed
    // The report is usable again afterwards.
    EXPECT_EQ(Render("\\\\'x'\\\\"), "x");
}

}  // namespace
