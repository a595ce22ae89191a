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

TEST_F(ToolTest, InvoiceExampleShowsEachOrderWithItsOwnLines) {
    if (!HaveCommand("sqlite3")) GTEST_SKIP() << "sqlite3 is not installed";
    const std::string db = Path("invoice.db");
    ToolResult r = RunCommand("sqlite3 '" + db + "' < '" + Example("invoice.sql") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // README's main job: the orders with their customers, each order's lines
    // as a detail bound to the order's ID.
    r = RunTool("render '" + Example("invoice.rtf") + "' -o '" + Path("invoice.rtf") + "' --db '" +
                db +
                "' --dataset ORDERS=\"SELECT o.ID, o.NUMBER, o.ORDER_DATE, o.DUE_DATE, "
                "o.DISCOUNT_PCT, c.NAME AS CUSTOMER, c.STREET, c.CITY FROM ORDERS o JOIN "
                "CUSTOMERS c ON c.ID = o.CUSTOMER_ID ORDER BY o.NUMBER\" --dataset "
                "LINES=\"SELECT PRODUCT, QTY, PRICE, AMOUNT FROM ORDER_LINES WHERE ORDER_ID = "
                ":ORDERS_ID ORDER BY ID\" --detail LINES=ORDERS");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    if (!HaveCommand("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
    const ToolResult txt = RunCommand(
        "cd '" + Path("") + "' && soffice --headless -env:UserInstallation=file://" + Path("lo") +
        " --convert-to txt:Text invoice.rtf >/dev/null 2>&1 && soffice --headless "
        "-env:UserInstallation=file://" +
        Path("lo") + " --convert-to html invoice.rtf >/dev/null 2>&1 && cat invoice.txt");
    ASSERT_EQ(txt.exitCode, 0) << txt.output;
    const std::string& text = txt.output;

    // Each invoice, in order, with its own lines and totals only.
    struct Invoice {
        const char* number;
        std::vector<std::string> shown;
    };
    const Invoice invoices[] = {
        {"INV-2024-0101", {"Desk lamp", "Notebooks (pack of 10)", "Total due: $142.30"}},
        {"INV-2024-0102",
         {"Whiteboard markers", "Office chair", "Filing cabinet", "Discount of 10 %: $104.10",
          "Total due: $936.90"}},
        {"INV-2024-0103", {"Subtotal: $14.95", "Total due: $14.95"}},
        {"INV-2024-0104", {"Discount of 5 %: $12.00", "Total due: $228.00"}},
        {"INV-2024-0105", {"Subtotal: $0.00", "Total due: $0.00"}},
    };
    std::size_t from = 0;
    for (std::size_t i = 0; i < std::size(invoices); ++i) {
        SCOPED_TRACE(invoices[i].number);
        const std::size_t start = text.find(std::string("Invoice ") + invoices[i].number, from);
        ASSERT_NE(start, std::string::npos) << text;
        const std::size_t end = i + 1 < std::size(invoices)
                                    ? text.find("Invoice " + std::string(invoices[i + 1].number))
                                    : text.size();
        const std::string part = text.substr(start, end - start);
        for (const std::string& s : invoices[i].shown)
            EXPECT_NE(part.find(s), std::string::npos) << part;
        from = start + 1;
    }
    EXPECT_EQ(Count(text, "Desk lamp"), 1u);
    EXPECT_EQ(Count(text, "Office chair"), 1u);

    // One table per invoice: the header row and a row per line (none for
    // the order without lines).
    const std::string html = ReadFileBytes(Path("invoice.html"));
    std::vector<std::size_t> rows;
    for (std::size_t at = html.find("<table"); at != std::string::npos;
         at = html.find("<table", at + 1)) {
        const std::size_t close = html.find("</table>", at);
        ASSERT_NE(close, std::string::npos);
        rows.push_back(Count(html.substr(at, close - at), "<tr"));
    }
    EXPECT_EQ(rows, (std::vector<std::size_t>{3, 4, 2, 2, 1}));
}
