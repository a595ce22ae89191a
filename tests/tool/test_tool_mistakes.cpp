// Ordinary mistakes through the tool, as a new user makes them: each gives
// the right report or a message naming its place and cause, with its exit
// code, and a refused run leaves no output behind. Also: one sales report
// from CSV, JSON and SQLite, details linked, has the same totals.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "loaders/loader_fixture.h"
#include "tool/tool_runner.h"

namespace fs = std::filesystem;

namespace {

// Regions with their sales, a subtotal per region and a grand total.
const char* const kSalesReport =
    "{\\rtf1 \\\\SCAN(REGIONS)\\\\\\\\REGIONS.NAME\\\\:"
    "\\\\SCAN(SALES), NOEOF, SUM(SALES.AMOUNT, SUB), SUM(SALES.AMOUNT, GRAND, NORESET)\\\\"
    " \\\\SALES.AMOUNT\\\\\\\\ENDSCAN\\\\ = \\\\FFIX(SUB, 10:2)\\\\;\\\\ENDSCAN\\\\"
    " Total \\\\FFIX(GRAND, 10:2)\\\\}";

namespace {

struct Mistake {
    std::string args;  // as typed in the case's directory
    int exitCode;
    std::string stderrText;  // exactly
    std::string output;      // the file or directory the command would write
    bool written;            // whether it is there afterwards
};

}  // namespace

class ToolMistakes : public qxtest::LoaderTest {
  protected:
    // Runs one mistake and checks its exit code, its message, and whether
    // its output is there; a batch's closing summary, which has its time,
    // is left out of the message.
    void ExpectMistake(const Mistake& m) {
        SCOPED_TRACE(m.args);
        fs::remove_all(Path(m.output));
        std::string err;
        const qxtest::ToolResult r = Run(m.args, err);
        EXPECT_EQ(r.exitCode, m.exitCode);
        const std::size_t summary = err.find("qxrtf batch: ");
        EXPECT_EQ(err.substr(0, m.exitCode == 0 ? summary : std::string::npos), m.stderrText);
        EXPECT_EQ(r.output, "");
        EXPECT_EQ(fs::exists(Path(m.output)), m.written);
    }

    void SetUp() override {
        LoaderTest::SetUp();
        MakeFile("sales.rtf", kSalesReport);
        MakeFile("regions.csv", "ID,NAME\n1,North\n2,South\n3,East\n4,West\n");
        // Not grouped by region: the detail keeps a list per key.
        MakeFile("sales.csv", "REGION,AMOUNT\n2,20.25\n1,10.5\n4,7\n1,4\n2,0.75\n4,1.5\n1,100\n");
        // Grouped by region: the detail keeps one run per key.
        MakeFile("sorted.csv", "REGION,AMOUNT\n1,10.5\n1,4\n1,100\n2,20.25\n2,0.75\n4,7\n4,1.5\n");
        MakeFile("regions.json", R"([{"ID": 1, "NAME": "North"}, {"ID": 2, "NAME": "South"},)"
                                 R"( {"ID": 3, "NAME": "East"}, {"ID": 4, "NAME": "West"}])");
        MakeFile("sales.json", R"([{"REGION": 2, "AMOUNT": 20.25}, {"REGION": 1, "AMOUNT": 10.5},)"
                               R"( {"REGION": 4, "AMOUNT": 7}, {"REGION": 1, "AMOUNT": 4},)"
                               R"( {"REGION": 2, "AMOUNT": 0.75}, {"REGION": 4, "AMOUNT": 1.5},)"
                               R"( {"REGION": 1, "AMOUNT": 100}])");
        MakeFile("nested.json",
                 R"([{"ID": 1, "NAME": "North", "SALES": [{"AMOUNT": 10.5}, {"AMOUNT": 4},)"
                 R"( {"AMOUNT": 100}]}, {"ID": 2, "NAME": "South", "SALES": [{"AMOUNT": 20.25},)"
                 R"( {"AMOUNT": 0.75}]}, {"ID": 3, "NAME": "East"},)"
                 R"( {"ID": 4, "NAME": "West", "SALES": [{"AMOUNT": 7}, {"AMOUNT": 1.5}]}])");
        // Orders with one impossible date and one balance that is no number.
        std::string orders = "[";
        for (int i = 1; i <= 10; ++i)
            orders += std::string(i > 1 ? ", " : "") + "{\"NO\": " + std::to_string(i) +
                      ", \"DATE\": " +
                      (i == 8 ? "\"2024-02-30\"" : "\"2024-01-1" + std::to_string(i % 10) + "\"") +
                      ", \"BALANCE\": " + (i == 5 ? "\"n/a\"" : std::to_string(i * 10)) + "}";
        MakeFile("orders.json", orders + "]");
        MakeFile("orders.rtf", "{\\rtf1 \\\\SCAN(ORDERS)\\\\\\\\ORDERS.NO\\\\ \\\\ENDSCAN\\\\}");
        MakeFile("prices.csv", qxtest::kPricesCsv);
        MakeFile("prices.rtf", "{\\rtf1 \\\\SCAN(P)\\\\\\\\FCUR(P.PRICE)\\\\;\\\\ENDSCAN\\\\}");
        MakeDb("shop.db", qxtest::kRegionSalesSql);
    }

    // Runs `args` in the case's directory, as a user in it would type them.
    qxtest::ToolResult Run(const std::string& args, std::string& err) {
        const qxtest::ToolResult r =
            qxtest::RunShell("cd '" + Path("") + "' && " + std::string(QXRTF_TOOL_PATH) + " " +
                             args + " 2>'" + Path("stderr.txt") + "'");
        err = qxtest::ReadFileBytes(Path("stderr.txt"));
        return r;
    }
};

const char* const kSqliteSales =
    "--db shop.db --dataset REGIONS=regions "
    "--dataset SALES='SELECT amount FROM sales WHERE region = :REGIONS_ID ORDER BY id' "
    "--detail SALES=REGIONS";

}  // namespace

TEST_F(ToolMistakes, OneSalesReportFromEverySourceHasTheSameTotals) {
    std::string err;
    const qxtest::ToolResult sql =
        Run("render sales.rtf -o sql.rtf " + std::string(kSqliteSales), err);
    ASSERT_EQ(sql.exitCode, 0) << err;
    const std::string expected = qxtest::ReadFileBytes(Path("sql.rtf"));
    EXPECT_EQ(expected,
              "{\\rtf1 North: 10.5 4 100 = 114.50;"
              "South: 20.25 0.75 = 21.00;East: = "
              "0.00;West: 7 1.5 = 8.50; Total "
              "144.00}");

    const char* const sources[] = {
        "--csv REGIONS=regions.csv --csv SALES=sales.csv --detail SALES=REGIONS:REGION=ID",
        "--csv REGIONS=regions.csv --csv SALES=sorted.csv --detail SALES=REGIONS:REGION=ID",
        "--json REGIONS=regions.json --json SALES=sales.json --detail SALES=REGIONS:REGION=ID",
        // A JSON master with a CSV detail, the key fields in other case.
        "--json REGIONS=regions.json --csv SALES=sales.csv --detail SALES=regions:region=id",
        "--json REGIONS=nested.json --detail SALES=REGIONS.SALES",
    };
    for (const char* source : sources) {
        SCOPED_TRACE(source);
        fs::remove(Path("out.rtf"));
        const qxtest::ToolResult r = Run(std::string("render sales.rtf -o out.rtf ") + source, err);
        ASSERT_EQ(r.exitCode, 0) << err;
        EXPECT_EQ(err, "");
        EXPECT_EQ(qxtest::ReadFileBytes(Path("out.rtf")), expected);
    }
}

TEST_F(ToolMistakes, EachGivesItsMessageAndExitCode) {
    const std::string csvUnlinked =
        "--csv REGIONS=regions.csv --csv SALES=sales.csv --detail SALES=REGIONS";
    const Mistake mistakes[] = {
        // Details that are not linked to their master would list every
        // sale under every region.
        {"render sales.rtf -o o.rtf " + csvUnlinked, 2,
         "qxrtf: --detail SALES=REGIONS: SALES is read from a file: give the fields that link it "
         "to REGIONS, as --detail SALES=REGIONS:SALES_FIELD=REGIONS_FIELD\n",
         "o.rtf", false},
        {"batch sales.rtf --master REGIONS --out-dir out --name REGIONS.NAME " + csvUnlinked, 2,
         "qxrtf batch: --detail SALES=REGIONS: SALES is read from a file: give the fields that "
         "link it to REGIONS, as --detail SALES=REGIONS:SALES_FIELD=REGIONS_FIELD\n"
         "Run with --help for more information.\n",
         "out", false},
        {"render sales.rtf -o o.rtf --json REGIONS=regions.json --json SALES=sales.json "
         "--detail SALES=REGIONS",
         2,
         "qxrtf: --detail SALES=REGIONS: SALES is read from a file: give the fields that link it "
         "to REGIONS, as --detail SALES=REGIONS:SALES_FIELD=REGIONS_FIELD\n",
         "o.rtf", false},
        {"render sales.rtf -o o.rtf --db shop.db --dataset REGIONS=regions --dataset SALES=sales "
         "--detail SALES=REGIONS",
         2,
         "qxrtf: --detail SALES=REGIONS: the query of SALES has no :REGIONS_FIELD parameter to "
         "link it to REGIONS, so every record of REGIONS would list all its records\n",
         "o.rtf", false},
        {"render sales.rtf -o o.rtf --db shop.db --dataset REGIONS=regions --dataset SALES=sales "
         "--detail SALES=REGIONS:REGION=ID",
         2,
         "qxrtf: --detail SALES=REGIONS:REGION=ID: SALES is read by a query: link it to REGIONS "
         "with :REGIONS_FIELD parameters in the query, not with a key\n",
         "o.rtf", false},
        {"render sales.rtf -o o.rtf --csv REGIONS=regions.csv --csv SALES=sales.csv "
         "--detail SALES=REGIONS:REGON=ID",
         2, "qxrtf: --detail SALES=REGIONS:REGON=ID: SALES has no field REGON\n", "o.rtf", false},
        {"render sales.rtf -o o.rtf --csv REGIONS=regions.csv --csv SALES=sales.csv "
         "--detail SALES=REGIONS:REGION=NO",
         2, "qxrtf: --detail SALES=REGIONS:REGION=NO: REGIONS has no field NO\n", "o.rtf", false},
        {"render sales.rtf -o o.rtf --csv REGIONS=regions.csv --csv SALES=sales.csv "
         "--detail SALES=REGIONS:REGION",
         2,
         "qxrtf: --detail SALES=REGIONS:REGION: give the key as "
         "SALES=REGIONS:SALES_FIELD=REGIONS_FIELD\n",
         "o.rtf", false},
        {"render sales.rtf -o o.rtf --json REGIONS=nested.json --detail SALES=REGIONS.SALES:A=B", 2,
         "qxrtf: --detail SALES=REGIONS.SALES:A=B: the records of a nested array belong to their "
         "master record already: give no key\n",
         "o.rtf", false},
        // A misspelt table name is told as such, not as a syntax error.
        {"render sales.rtf -o o.rtf --db shop.db --dataset REGIONS=region", 1,
         "qxrtf: Dataset REGIONS: shop.db has no table or view region (it has regions, sales)\n",
         "o.rtf", false},
        {"render sales.rtf -o o.rtf --db shop.db --dataset REGIONS='SELECT * FROM region'", 1,
         "qxrtf: Dataset REGIONS: shop.db: no such table: region in the query: SELECT * FROM "
         "region\n",
         "o.rtf", false},
        // Options that do not say what they mean are usage errors naming
        // the option and the variable or column.
        {"render sales.rtf -o o.rtf --var X=1:numeric", 2,
         "qxrtf: --var X=1:numeric: Unknown variable type 'numeric' (string, number, boolean, "
         "date)\n",
         "o.rtf", false},
        {"render sales.rtf -o o.rtf --var X=abc:number", 2,
         "qxrtf: --var X=abc:number: 'abc' is not a valid floating point value\n", "o.rtf", false},
        {"render sales.rtf -o o.rtf --var X=2024-02-30:date", 2,
         "qxrtf: --var X=2024-02-30:date: '2024-02-30' is not a valid date (yyyy-mm-dd "
         "[hh:nn[:ss]])\n",
         "o.rtf", false},
        {"render sales.rtf -o o.rtf --option eoClearMissingFields", 2,
         "qxrtf: --option eoClearMissingFields: no such RTF option (the options are "
         "eoGraphicsWmfCompatible, eoGraphicsBinary, eoClearMissedFields, eoDotAsColon, "
         "eoNumericFormatClearZero, eoKeepFrtfPar, eoProcessFormFields)\n",
         "o.rtf", false},
        {"render sales.rtf -o o.rtf --csv REGIONS=regions.csv --type REGIONS.NAEM=string", 2,
         "qxrtf: --type REGIONS.NAEM=string: REGIONS has no column NAEM (its columns: ID, "
         "NAME)\n",
         "o.rtf", false},
        {"render sales.rtf -o o.rtf --csv REGIONS=regions.csv --type REGION.NAME=string", 2,
         "qxrtf: --type REGION.NAME=string: no dataset REGION is given\n", "o.rtf", false},
        {"render sales.rtf -o o.rtf --csv REGIONS=regions.csv --type REGIONS.ID=number", 2,
         "qxrtf: --type REGIONS.ID=number: unknown field type 'number' (known: string, memo, "
         "integer, float, currency, boolean, date, time, datetime, blob, graphic)\n",
         "o.rtf", false},
        {"render sales.rtf -o o.rtf --csv REGIONS=regions.csv --type ID=string", 2,
         "qxrtf: --type ID=string: give it as NAME.FIELD=TYPE\n", "o.rtf", false},
        // A name expression with an unknown field would name every
        // document alike: refused before the first.
        {"batch sales.rtf --master REGIONS --out-dir out --name REGIONS.NAEM " +
             std::string(kSqliteSales),
         2,
         "qxrtf batch: --name REGIONS.NAEM: dataset REGIONS has no field NAEM\n"
         "Run with --help for more information.\n",
         "out", false},
        {"batch sales.rtf --master REGIONS --out-dir out --name REGIONS.NAME " +
             std::string(kSqliteSales),
         0, "", "out/North.rtf", true},
        // A value that does not fit its column's type makes it text, and
        // says so once, naming the file, record, field and value.
        {"render orders.rtf -o o.rtf --json ORDERS=orders.json", 0,
         "orders.json: warning: record 8, field DATE: \"2024-02-30\" is not a date; the column is "
         "read as "
         "text\n"
         "orders.json: warning: record 5, field BALANCE: \"n/a\" is not a number; the column is "
         "read as "
         "text\n",
         "o.rtf", true},
        {"batch orders.rtf --master ORDERS --out-dir out --name ORDERS.NO --jobs 2 --json "
         "ORDERS=orders.json",
         0,
         "orders.json: warning: record 8, field DATE: \"2024-02-30\" is not a date; the column is "
         "read as "
         "text\n"
         "orders.json: warning: record 5, field BALANCE: \"n/a\" is not a number; the column is "
         "read as "
         "text\n",
         "out/10.rtf", true},
        {"render prices.rtf -o o.rtf --csv P=prices.csv", 0,
         "prices.csv: warning: line 3, field PRICE: \"249,00\" is not a number; the column is read "
         "as "
         "text\n",
         "o.rtf", true},
        // Under --strict a value that turns its column into text stops the
        // report before anything is written, as a template warning does.
        {"render prices.rtf -o o.rtf --csv P=prices.csv --strict", 1,
         "prices.csv: warning: line 3, field PRICE: \"249,00\" is not a number; the column is read "
         "as text\n"
         "qxrtf: Stopped by 1 warning: warnings are errors in a strict run (--strict); no report "
         "was written\n",
         "o.rtf", false},
        {"batch orders.rtf --master ORDERS --out-dir out --name ORDERS.NO --strict --json "
         "ORDERS=orders.json",
         1,
         "orders.json: warning: record 8, field DATE: \"2024-02-30\" is not a date; the column is "
         "read as text\n"
         "qxrtf batch: Stopped by 1 warning: warnings are errors in a strict run (--strict); no "
         "document was written\n",
         "out/10.rtf", false},
    };
    for (const Mistake& m : mistakes) ExpectMistake(m);
}

TEST_F(ToolMistakes, HelpListsTheOptionNames) {
    std::string err;
    const qxtest::ToolResult help = Run("render --help", err);
    EXPECT_EQ(help.exitCode, 0);
    for (const char* name :
         {"eoGraphicsWmfCompatible", "eoGraphicsBinary", "eoClearMissedFields", "eoDotAsColon",
          "eoNumericFormatClearZero", "eoKeepFrtfPar", "eoProcessFormFields"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(help.output.find(name), std::string::npos) << help.output;
    }
}

TEST_F(ToolMistakes, NumbersInTheLocalesFormAreReadAsNumbers) {
    if (std::system("locale -a 2>/dev/null | grep -qix de_DE.utf8") != 0)
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    std::string err;
    const qxtest::ToolResult r =
        Run("render prices.rtf -o o.rtf --csv P=prices.csv --locale de_DE.UTF-8", err);
    ASSERT_EQ(r.exitCode, 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_EQ(qxtest::ReadFileBytes(Path("o.rtf")),
              "{\\rtf1 12,50 \\'80;249,00 \\'80;3,00 \\'80;}");
}

// Mistakes in the template: a field the data does not have is warned of
// with its place (an error under --strict, before anything is written),
// a run-time error names its record, a block left open is told where it
// opens, and curly quotes work as straight ones.
TEST_F(ToolMistakes, TemplateMistakesAreToldWithTheirPlace) {
    const std::string quotes = R"(\u8216\'91big one\u8217\'92)";
    const std::pair<const char*, std::string> templates[] = {
        {"field.rtf", R"({\rtf1 \\SCAN(REGIONS)\\\\REGIONS.NAM\\\\ENDSCAN\\})"},
        {"function.rtf", R"({\rtf1 \\UPPPER(REGIONS.NAME)\\})"},
        {"variable.rtf", R"({\rtf1 Dear \\CUSTOMER\\})"},
        {"bracket.rtf", R"({\rtf1 \\FNUM(REGIONS.ID, 10:2\\ x})"},
        {"picture.rtf", R"({\rtf1 \\FIMG('img/missing.png', 0)\\})"},
        {"open.rtf",
         "{\\rtf1 \\\\SCAN(REGIONS)\\\\\n\\\\IF(REGIONS.ID > 1)\\\\ many\n"
         "\\\\ENDSCAN\\\\}"},
        {"divide.rtf", R"({\rtf1 \\SCAN(REGIONS)\\\\10 / (REGIONS.ID - 2)\\\\ENDSCAN\\})"},
        {"mismatch.rtf", R"({\rtf1 \\SCAN(REGIONS)\\\\REGIONS.NAME + REGIONS.ID\\\\ENDSCAN\\})"},
        {"curly.rtf",
         "{\\rtf1 \\\\IIF(REGIONS.ID < 2, " + quotes +
             R"(, \ldblquote small\rdblquote )\\ \\FDTM(D, \u8216\'91d mmmm yyyy\u8217\'92)\\})"},
    };
    for (const auto& [file, text] : templates) MakeFile(file, text);
    MakeFile("letter.txt", "Dear customer");
    // "FILE:LINE:COL" of the first `needle` in the template FILE.
    const auto at = [&](const std::string& file, const std::string& needle) {
        const std::string text = qxtest::ReadFileBytes(Path(file));
        const std::size_t offset = text.find(needle);
        const std::size_t lineStart = text.rfind('\n', offset) + 1;  // 0 on the first line
        const auto line = 1 + std::count(text.begin(), text.begin() + offset, '\n');
        return file + ":" + std::to_string(line) + ":" + std::to_string(offset - lineStart + 1);
    };
    const std::string regions = " --json REGIONS=regions.json";
    const std::string noField = at("field.rtf", "\\\\REGIONS.NAM") +
                                ": warning: dataset REGIONS has no field NAM\n"
                                "    \\REGIONS.NAM\\\n";
    const std::string noPicture = at("picture.rtf", "\\\\FIMG") +
                                  ": warning: cannot load picture file img/missing.png: Cannot "
                                  "open file \"img/missing.png\". No such file or directory\n"
                                  "    \\FIMG('img/missing.png', 0)\\\n";
    const std::string strictStop =
        "qxrtf: Stopped by 1 warning: warnings are errors in a strict run (--strict); no report "
        "was written\n";
    const Mistake mistakes[] = {
        {"render field.rtf -o o.rtf" + regions, 0, noField, "o.rtf", true},
        {"render field.rtf -o o.rtf --strict" + regions, 1, noField + strictStop, "o.rtf", false},
        {"render function.rtf -o o.rtf" + regions, 0,
         at("function.rtf", "\\\\UPPPER") +
             ": warning: no function of this name exists; the field is left as typed\n"
             "    \\UPPPER(REGIONS.NAME)\\\n",
         "o.rtf", true},
        {"render variable.rtf -o o.rtf", 0,
         at("variable.rtf", "\\\\CUSTOMER") +
             ": warning: variable CUSTOMER is not defined\n    \\CUSTOMER\\\n",
         "o.rtf", true},
        {"render bracket.rtf -o o.rtf" + regions, 0,
         at("bracket.rtf", "\\\\FNUM") +
             ": warning: the brackets of this field do not balance; the field is left as typed\n"
             "    \\FNUM(REGIONS.ID, 10:2\\\n",
         "o.rtf", true},
        {"render picture.rtf -o o.rtf", 0, noPicture, "o.rtf", true},
        {"render picture.rtf -o o.rtf --strict", 1, noPicture + strictStop, "o.rtf", false},
        {"batch field.rtf --master REGIONS --out-dir out --name REGIONS.ID --strict" + regions, 1,
         noField +
             "qxrtf batch: Stopped by 1 warning: warnings are errors in a strict run (--strict); "
             "no document was written\n",
         "out/1.rtf", false},
        // A name the data does not have would name every file after the
        // expression as typed.
        {"batch divide.rtf --master REGIONS --out-dir out --name REGIONS.NAEM" + regions, 2,
         "qxrtf batch: --name REGIONS.NAEM: dataset REGIONS has no field NAEM\n"
         "Run with --help for more information.\n",
         "out", false},
        {"render open.rtf -o o.rtf" + regions, 1,
         at("open.rtf", "\\\\IF") + ": IF is not closed before ENDSCAN at " +
             at("open.rtf", "\\\\ENDSCAN").substr(9) + "\n    \\IF(REGIONS.ID > 1)\\\n",
         "o.rtf", false},
        {"render divide.rtf -o o.rtf" + regions, 1,
         at("divide.rtf", "\\\\10") +
             ": Division by zero. Operation \"/\", expression 10/(REGIONS.ID-2) (REGIONS record "
             "2)\n    \\10 / (REGIONS.ID - 2)\\\n",
         "o.rtf", false},
        {"render mismatch.rtf -o o.rtf" + regions, 1,
         at("mismatch.rtf", "\\\\REGIONS.NAME") +
             ": Operator/operand type mismatch. Operation \"+\", expression "
             "REGIONS.NAME+REGIONS.ID (REGIONS record 1)\n    \\REGIONS.NAME + REGIONS.ID\\\n",
         "o.rtf", false},
        {"render letter.txt -o o.rtf", 1, "qxrtf: Template is not RTF file: letter.txt.\n", "o.rtf",
         false},
        {"render curly.rtf -o o.rtf --var D=2024-03-07:date" + regions, 0, "", "o.rtf", true},
    };
    for (const Mistake& m : mistakes) ExpectMistake(m);
    EXPECT_NE(qxtest::ReadFileBytes(Path("o.rtf")).find("big one"), std::string::npos);
    EXPECT_NE(qxtest::ReadFileBytes(Path("o.rtf")).find("7 March 2024"), std::string::npos);

    // A batch warns of a field once, not once per document.
    std::string err;
    fs::remove_all(Path("out"));
    const qxtest::ToolResult batch =
        Run("batch field.rtf --master REGIONS --out-dir out --name REGIONS.ID" + regions, err);
    EXPECT_EQ(batch.exitCode, 0);
    const std::string head = noField + "qxrtf batch: 4 documents written, 0 kept, 0 failures";
    EXPECT_EQ(err.substr(0, head.size()), head);
}
