// The examples in examples/ work as their documentation says.
#include <gtest/gtest.h>

#include "test_support.h"
#include "tool/tool_runner.h"

using namespace qxtest;

namespace {

std::string Example(const std::string& name) {
    return std::string(QXRTF_TEST_SOURCE_DIR) + "/../examples/" + name;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST_F(ToolTest, LetterExampleWritesOnePagePerCustomer) {
    const ToolResult r = RunTool("render '" + Example("letter.rtf") + "' -o '" + Path("l.rtf") +
                                 "' --json CUSTOMERS='" + Example("customers.json") +
                                 "' --var LETTER_DATE=2024-04-02:date");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string rtf = ReadFileBytes(Path("l.rtf"));
    EXPECT_EQ(Count(rtf, "\\page "), 2u);  // between the three letters
    if (!HaveCommand("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
    // What a reader sees: each letter with its own customer and the balance
    // sentence only where there is a balance.
    const ToolResult txt =
        RunCommand("cd '" + Path("") + "' && soffice --headless -env:UserInstallation=file://" +
                   Path("lo") + " --convert-to txt:Text l.rtf >/dev/null 2>&1 && cat l.txt");
    ASSERT_EQ(txt.exitCode, 0) << txt.output;
    const std::string& text = txt.output;
    const std::size_t harbour = text.find("Dear Harbour Books Ltd,");
    const std::size_t school = text.find("Dear Greenfield School,");
    const std::size_t ana = text.find("Dear Ana Lindqvist,");
    ASSERT_NE(harbour, std::string::npos) << text;
    ASSERT_NE(school, std::string::npos) << text;
    ASSERT_NE(ana, std::string::npos) << text;
    EXPECT_TRUE(harbour < school && school < ana);
    EXPECT_EQ(Count(text, "Bristol, 2 April 2024"), 3u);
    EXPECT_EQ(Count(text, "open balance of $184.50"), 1u);
    EXPECT_GT(text.find("open balance"), school);
    EXPECT_EQ(Count(text, "Your account is fully paid."), 2u);
}

TEST_F(ToolTest, InvoiceExampleNamesOnlyWhatItsQueriesGive) {
    if (!HaveCommand("sqlite3")) GTEST_SKIP() << "sqlite3 is not installed";
    // The database the make-examples script builds, and the columns of the
    // queries the invoice is rendered with.
    const std::string db = Path("invoice.db");
    ToolResult r = RunCommand("sqlite3 '" + db + "' < '" + Example("invoice.sql") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string orders =
        "SELECT o.ID, o.NUMBER, o.ORDER_DATE, o.DUE_DATE, o.DISCOUNT_PCT, c.NAME AS CUSTOMER, "
        "c.STREET, c.CITY FROM ORDERS o JOIN CUSTOMERS c ON c.ID = o.CUSTOMER_ID ORDER BY o.NUMBER";
    const std::string lines = "SELECT PRODUCT, QTY, PRICE, AMOUNT FROM ORDER_LINES ORDER BY ID";
    r = RunCommand("sqlite3 -json '" + db + "' \"" + orders + "\" > '" + Path("o.json") +
                   "' && sqlite3 -json '" + db + "' \"" + lines + "\" > '" + Path("l.json") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::string err;
    r = RunSplit("check '" + Example("invoice.rtf") + "' --json ORDERS='" + Path("o.json") +
                     "' --json LINES='" + Path("l.json") + "'",
                 err);
    EXPECT_EQ(r.exitCode, 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_NE(r.output.find("3 blocks, 1 function call, 0 warnings"), std::string::npos)
        << r.output;
}
