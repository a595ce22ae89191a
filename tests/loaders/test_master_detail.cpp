// Detail datasets following their master, alone and through a report.
#include <memory>

#include "loader_fixture.h"
#include "platform/loaders/csv_dataset.h"
#include "platform/loaders/json_dataset.h"
#include "platform/loaders/keyed_detail.h"
#include "platform/loaders/sqlite_dataset.h"
#include "platform/mem_dataset.h"

using namespace qx;

namespace {

// Each order with its own lines; an order without lines shows none.
const char* const kInvoice =
    "\\\\SCAN(ORDERS)\\\\#\\\\ORDERS.ID\\\\ \\\\ORDERS.CUSTOMER\\\\:"
    "\\\\SCAN(LINES), NOEOF\\\\ [\\\\LINES.ITEM\\\\ x\\\\LINES.QTY\\\\]\\\\ENDSCAN\\\\;"
    "\\\\ENDSCAN\\\\";
const char* const kInvoiceText = "#1 Smith: [pen x2] [ink x1];#2 Jones:;#3 Brown: [pad x5];";

const char* const kShopSql =
    "CREATE TABLE orders (id INTEGER PRIMARY KEY, customer TEXT);"
    "CREATE TABLE lines (order_id INTEGER, item TEXT, qty INTEGER, price REAL);"
    "INSERT INTO orders VALUES (1, 'Smith'), (2, 'Jones'), (3, 'Brown');"
    "INSERT INTO lines VALUES (1, 'pen', 2, 1.5), (1, 'ink', 1, 4.0), (3, 'pad', 5, 0.5);";

const char* const kShopJson = R"({"orders": [
  {"ID": 1, "CUSTOMER": "Smith", "LINES": [{"ITEM": "pen", "QTY": 2}, {"ITEM": "ink", "QTY": 1}]},
  {"ID": 2, "CUSTOMER": "Jones", "LINES": []},
  {"ID": 3, "CUSTOMER": "Brown", "LINES": [{"ITEM": "pad", "QTY": 5}]}
]})";

class MasterDetail : public qxtest::LoaderTest {};

}  // namespace

TEST_F(MasterDetail, SqliteDetailFollowsItsMaster) {
    auto db = std::make_shared<TSqliteDatabase>(MakeDb("shop.db", kShopSql), "ORDERS");
    TSqliteDataSet orders("ORDERS", db, "SELECT * FROM orders ORDER BY id");
    TSqliteDataSet lines("LINES", db,
                         "SELECT item, qty, qty * price AS amount FROM lines "
                         "WHERE order_id = :orders_id ORDER BY rowid");
    lines.SetMaster(&orders);
    // A computed column takes its type from a row of the first master record.
    EXPECT_EQ(lines.FieldByName("AMOUNT")->DataType(), ftFloat);
    EXPECT_EQ(Column(lines, "ITEM"), (std::vector<std::string>{"pen", "ink"}));
    EXPECT_TRUE(lines.Eof());
    orders.Next();  // the detail re-opens for the new master record
    EXPECT_TRUE(lines.Eof() && lines.Bof());
    orders.Next();
    EXPECT_FALSE(lines.Eof());
    EXPECT_TRUE(lines.Bof());
    EXPECT_EQ(lines.FieldByName("ITEM")->AsString(), "pad");
    EXPECT_DOUBLE_EQ(lines.FieldByName("AMOUNT")->AsFloat(), 2.5);
    orders.First();
    EXPECT_EQ(lines.FieldByName("ITEM")->AsString(), "pen");

    EXPECT_EQ(Render(kInvoice, {&orders, &lines}), kInvoiceText);
}

TEST_F(MasterDetail, SqliteDetailOfAnyMasterAndItsErrors) {
    auto db = std::make_shared<TSqliteDatabase>(MakeDb("shop.db", kShopSql), "LINES");
    TMemDataSet orders("ORDERS");
    orders.AddField("ID", ftInteger);
    orders.AddField("CUSTOMER", ftString);
    orders.AppendRecord({std::int64_t{3}, std::string("Brown")});
    orders.AppendRecord({std::int64_t{2}, std::string("Jones")});
    TSqliteDataSet lines("LINES", db, "SELECT item FROM lines WHERE order_id = :ORDERS_ID");
    lines.SetMaster(&orders);
    EXPECT_EQ(Column(lines, "ITEM"), (std::vector<std::string>{"pad"}));
    EXPECT_EQ(Render("\\\\SCAN(ORDERS)\\\\\\\\ORDERS.CUSTOMER\\\\:\\\\SCAN(LINES), NOEOF\\\\ "
                     "\\\\LINES.ITEM\\\\\\\\ENDSCAN\\\\;\\\\ENDSCAN\\\\",
                     {&orders, &lines}),
              "Brown: pad;Jones:;");

    TSqliteDataSet wrong("LINES", db, "SELECT * FROM lines WHERE order_id = :ORDERS_NUMBER");
    EXPECT_EQ(ErrorOf([&] { wrong.SetMaster(&orders); }),
              "Dataset LINES: parameter :ORDERS_NUMBER names no field of master dataset ORDERS "
              "(write :ORDERS_FIELD)");
    TSqliteDataSet otherMaster("LINES", db, "SELECT * FROM lines WHERE order_id = :CUST_ID");
    EXPECT_EQ(ErrorOf([&] { otherMaster.SetMaster(&orders); }),
              "Dataset LINES: parameter :CUST_ID names no field of master dataset ORDERS "
              "(write :ORDERS_FIELD)");
    EXPECT_EQ(wrong.Master(), nullptr);  // a failed link leaves it unlinked
    EXPECT_EQ(ErrorOf([&] { orders.SetMaster(&lines); }),
              "Dataset ORDERS cannot be a detail of itself");
}

TEST_F(MasterDetail, JsonDetailIsTheNestedArray) {
    auto orders = TJsonDataSet::Open("ORDERS", MakeFile("shop.json", kShopJson) + "#/orders");
    TJsonDataSet lines("LINES", *orders, "lines");
    EXPECT_EQ(orders->FindField("LINES"), nullptr);  // the nested array is no field
    EXPECT_EQ(lines.FieldByName("QTY")->DataType(), ftLargeint);
    EXPECT_EQ(Column(lines, "ITEM"), (std::vector<std::string>{"pen", "ink"}));
    orders->Next();
    EXPECT_TRUE(lines.Eof());
    EXPECT_EQ(lines.RecordCount(), 0);
    EXPECT_EQ(Render(kInvoice, {orders.get(), &lines}), kInvoiceText);
}

TEST_F(MasterDetail, DetailsOfDetailsFollowTheOuterMaster) {
    const std::string file = MakeFile("c.json", R"([
      {"NAME": "Smith", "ORDERS": [{"NO": 1, "LINES": [{"ITEM": "pen"}, {"ITEM": "ink"}]},
                                   {"NO": 2, "LINES": [{"ITEM": "pad"}]}]},
      {"NAME": "Jones"},
      {"NAME": "Brown", "ORDERS": [{"NO": 3, "LINES": [{"ITEM": "cap"}]}]}])");
    auto customers = TJsonDataSet::Open("C", file);
    TJsonDataSet orders("O", *customers, "ORDERS");
    TJsonDataSet lines("L", orders, "LINES");
    EXPECT_EQ(Render("\\\\SCAN(C)\\\\\\\\C.NAME\\\\(\\\\SCAN(O), NOEOF\\\\\\\\O.NO\\\\<"
                     "\\\\SCAN(L), NOEOF\\\\ \\\\L.ITEM\\\\\\\\ENDSCAN\\\\>\\\\ENDSCAN\\\\)"
                     "\\\\ENDSCAN\\\\",
                     {customers.get(), &orders, &lines}),
              "Smith(1< pen ink>2< pad>)Jones()Brown(3< cap>)");
    customers->Last();
    EXPECT_EQ(lines.FieldByName("ITEM")->AsString(), "cap");
}

TEST_F(MasterDetail, KeyedFileDetailShowsTheRecordsOfTheMastersKey) {
    // The same lines grouped by order, and scattered through the file; a
    // line without an order (an empty key) and keys written as floats.
    const struct {
        const char* csv;
        bool grouped;
    } files[] = {
        {"ORDER_ID,ITEM,QTY\n1,pen,2\n1.0,ink,1\n3,pad,5\n,lost,9\n", true},
        {"ORDER_ID,ITEM,QTY\n1,pen,2\n3,pad,5\n,lost,9\n1.0,ink,1\n", false},
    };
    auto db = std::make_shared<TSqliteDatabase>(MakeDb("shop.db", kShopSql), "ORDERS");
    for (const auto& f : files) {
        SCOPED_TRACE(f.csv);
        TSqliteDataSet orders("ORDERS", db, "SELECT * FROM orders ORDER BY id");
        TKeyedDetail lines(std::make_unique<TCsvDataSet>("LINES", MakeFile("lines.csv", f.csv)),
                           "order_id", "ID");
        EXPECT_EQ(lines.Grouped(), f.grouped);
        lines.SetMaster(&orders);
        EXPECT_EQ(Render(kInvoice, {&orders, &lines}), kInvoiceText);

        // Moving about the records of one master record, and back by bookmark.
        orders.First();
        EXPECT_EQ(lines.RecordCount(), 2);
        lines.Last();
        EXPECT_TRUE(lines.Eof());
        EXPECT_EQ(lines.FieldByName("ITEM")->AsString(), "ink");
        const TBookmark ink = lines.GetBookmark();
        lines.Prior();
        EXPECT_EQ(lines.FieldByName("ITEM")->AsString(), "pen");
        lines.Prior();
        EXPECT_TRUE(lines.Bof());
        lines.GotoBookmark(ink);
        EXPECT_EQ(lines.FieldByName("ITEM")->AsString(), "ink");
        orders.Next();  // Jones has no lines: the fields are blank, not another order's
        EXPECT_TRUE(lines.Eof() && lines.Bof());
        EXPECT_TRUE(lines.FieldByName("ITEM")->IsNull());
        EXPECT_THROW(lines.GotoBookmark(ink), EDatabaseError);  // not one of Jones's
    }
    TSqliteDataSet orders("ORDERS", db, "orders");
    EXPECT_THROW(
        TKeyedDetail(std::make_unique<TCsvDataSet>("LINES", Path("lines.csv")), "NO", "ID"),
        EDatabaseError);
    TKeyedDetail lines(std::make_unique<TCsvDataSet>("LINES", Path("lines.csv")), "ORDER_ID",
                       "NUMBER");
    try {
        lines.SetMaster(&orders);
        ADD_FAILURE() << "a master field that is not there was taken";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(),
                     "Dataset LINES: master dataset ORDERS has no field NUMBER to link it by");
    }
}
