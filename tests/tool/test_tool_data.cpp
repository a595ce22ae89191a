// The tool's data options: databases, files, details, in the order given.
#include <gtest/gtest.h>

#include <filesystem>

#include "loaders/loader_fixture.h"
#include "tool/tool_runner.h"

using qxtest::RunTool;
using qxtest::ToolResult;

namespace {

class ToolData : public qxtest::LoaderTest {
  protected:
    // Renders `body` with `options`; the report's text without the frame.
    ToolResult Render(const std::string& body, const std::string& options) {
        qxtest::WriteFileBytes(Path("t.rtf"), "{\\rtf1 " + body + "}");
        std::filesystem::remove(Path("out.rtf"));
        ToolResult r =
            RunTool("render '" + Path("t.rtf") + "' -o '" + Path("out.rtf") + "' " + options);
        if (r.exitCode == 0) {
            std::string text = qxtest::ReadFileBytes(Path("out.rtf"));
            r.output = text.substr(7, text.size() - 8);
        }
        return r;
    }
    std::string Q(const std::string& text) { return "'" + text + "'"; }
};

const char* const kInvoice =
    "\\\\SCAN(ORDERS)\\\\#\\\\ORDERS.ID\\\\:"
    "\\\\SCAN(LINES), NOEOF\\\\ \\\\LINES.ITEM\\\\\\\\ENDSCAN\\\\;\\\\ENDSCAN\\\\";

}  // namespace

TEST_F(ToolData, DatasetsKeepTheOrderGiven) {
    const std::string db = MakeDb("shop.db",
                                  "CREATE TABLE orders (id INTEGER, item TEXT);"
                                  "INSERT INTO orders VALUES (1, 'pen'), (2, 'ink'), (3, 'pad');");
    const std::string csv = MakeFile("c.csv", "F;G\n\"x;1\";2024-03-07\n");
    const std::string json = MakeFile("j.json", R"({"d": [{"F": "json"}]})");
    // One-letter aliases address the datasets by position.
    const ToolResult r = Render("\\\\A.F\\\\ \\\\B.ITEM\\\\ \\\\C.F\\\\ \\\\D.N\\\\ \\\\A.G\\\\",
                                "--csv X=" + Q(csv) + " --db " + Q(db) +
                                    " --dataset Y=ORDERS --json Z=" + Q(json + "#/d") +
                                    " --dataset W=" + Q("SELECT count(*) AS n FROM orders") +
                                    " --delimiter ';' --type x.g=string");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "x;1 pen json 3 2024-03-07");  // G typed as text
}

TEST_F(ToolData, DetailsFromSqliteAndJson) {
    const std::string db = MakeDb("shop.db",
                                  "CREATE TABLE orders (id INTEGER);"
                                  "CREATE TABLE lines (order_id INTEGER, item TEXT);"
                                  "INSERT INTO orders VALUES (1), (2), (3);"
                                  "INSERT INTO lines VALUES (1, 'pen'), (1, 'ink'), (3, 'pad');");
    const ToolResult sql =
        Render(kInvoice, "--db " + Q(db) + " --dataset ORDERS=orders --dataset LINES=" +
                             Q("SELECT item FROM lines WHERE order_id = :ORDERS_ID") +
                             " --detail LINES=ORDERS");
    ASSERT_EQ(sql.exitCode, 0) << sql.output;
    EXPECT_EQ(sql.output, "#1: pen ink;#2:;#3: pad;");

    const std::string json = MakeFile("o.json", R"([{"ID": 1, "items": [{"ITEM": "pen"}]},
                                                    {"ID": 2}])");
    const ToolResult nested =
        Render(kInvoice, "--json ORDERS=" + Q(json) + " --detail LINES=ORDERS.items");
    ASSERT_EQ(nested.exitCode, 0) << nested.output;
    EXPECT_EQ(nested.output, "#1: pen;#2:;");
}

TEST_F(ToolData, BadDataOptionsFailWithOneMessage) {
    const std::string db = MakeDb("shop.db", "CREATE TABLE orders (id INTEGER);");
    const std::string csv = MakeFile("c.csv", "A,B\n1,2\n3\n");
    struct Case {
        std::string options;
        std::string message;
    };
    const Case cases[] = {
        {"--dataset X=orders", "qxrtf: Dataset X: no --db database or --pg server to read from\n"},
        {"--db " + Q(db) + " --dataset X=" + Q("SELECT * FROM nosuch"),
         "qxrtf: Dataset X: " + db +
             ": no such table: nosuch in the query: SELECT * FROM nosuch\n"},
        {"--db " + Q(db) + " --dataset O=orders --dataset L=" +
             Q("SELECT * FROM orders WHERE id = :O_NUMBER") + " --detail L=O",
         "qxrtf: Dataset L: parameter :O_NUMBER names no field of master dataset O "
         "(write :O_FIELD)\n"},
        {"--db " + Q(db) + " --dataset L=" + Q("SELECT * FROM orders WHERE id = :O_ID"),
         "qxrtf: Dataset L: parameter :O_ID needs a master dataset\n"},
        {"--db " + Q(db) + " --dataset L=orders --detail L=NOPE",
         "qxrtf: Detail L: no dataset NOPE is given before it\n"},
        {"--csv C=" + Q(csv), "qxrtf: Dataset C: " + csv + ":3: 1 fields where the header has 2\n"},
        {"--csv C=" + Q(csv) + " --delimiter ab",
         "qxrtf: The CSV delimiter must be one character or 'tab', not 'ab'\n"},
        {"--db " + Q(db) + " --dataset X",
         "qxrtf: Dataset 'X' must be given as NAME=QUERY or NAME=TABLE\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const ToolResult r = Render("x", c.options);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.output, c.message);
        EXPECT_FALSE(std::filesystem::exists(Path("out.rtf")));
    }
}

// A value quoted in a message cannot steer the terminal: its control
// characters (escape sequences, C1 controls) come out as \xHH.
TEST_F(ToolData, ControlCharactersInMessagesAreEscaped) {
    qxtest::WriteFileBytes(Path("t.rtf"), "{\\rtf1 \\\\D.N\\\\}");
    qxtest::WriteFileBytes(Path("d.csv"), "N\n\x1b[31mred\x1b]0;title\x07\xc2\x9b" "1m\n");
    const ToolResult r = RunTool("render '" + Path("t.rtf") + "' -o '" + Path("o.rtf") +
                                 "' --csv D='" + Path("d.csv") + "' --type D.N=date");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, "qxrtf: Dataset D: " + Path("d.csv") +
                            ":2: '\\x1B[31mred\\x1B]0;title\\x07\\x9B1m' in field N is not an "
                            "ISO-8601 date or time\n");
}
