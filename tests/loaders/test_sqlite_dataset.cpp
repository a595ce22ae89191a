// SQLite datasets over database files made by SQLite.
#include <filesystem>
#include <functional>
#include <memory>

#include "loader_fixture.h"
#include "platform/loaders/sqlite_dataset.h"
#include "platform/sysutils.h"

using namespace qx;

namespace {

class SqliteDataSet : public qxtest::LoaderTest {
  protected:
    std::shared_ptr<TSqliteDatabase> Db(const std::string& sql) {
        return std::make_shared<TSqliteDatabase>(MakeDb("t.db", sql), "T");
    }
};

}  // namespace

TEST_F(SqliteDataSet, DeclaredTypesGiveFieldTypes) {
    auto db =
        Db("CREATE TABLE t (i INTEGER, b BIGINT, r REAL, d DOUBLE, n NUMERIC(10,2), "
           "m MONEY, flag BOOLEAN, day DATE, at DATETIME, ts TIMESTAMP, clock TIME, "
           "name VARCHAR(20), note TEXT, pic BLOB, anything);"
           "INSERT INTO t VALUES (7, 9007199254740993, 2.5, -1.25, 12.34, 3.5, 1, '2024-03-07', "
           "'2024-03-07 10:30:15', '2024-03-07T10:30:15.250Z', '08:15', 'Smith', 'long', "
           "x'00FF10', 42);");
    TSqliteDataSet ds("T", db, "t");
    struct Case {
        const char* field;
        TFieldType type;
        std::string text;
    };
    const Case cases[] = {
        {"i", ftLargeint, "7"},
        {"b", ftLargeint, "9007199254740993"},  // beyond a double's exact range
        {"r", ftFloat, "2.5"},
        {"d", ftFloat, "-1.25"},
        {"n", ftBCD, "12.34"},
        {"m", ftCurrency, "3.5"},
        {"flag", ftBoolean, "True"},
        {"day", ftDate, DateToStr(EncodeDate(2024, 3, 7))},
        {"at", ftDateTime, DateTimeToStr(EncodeDate(2024, 3, 7) + EncodeTime(10, 30, 15, 0))},
        {"ts", ftDateTime, DateTimeToStr(EncodeDate(2024, 3, 7) + EncodeTime(10, 30, 15, 250))},
        {"clock", ftTime, TimeToStr(EncodeTime(8, 15, 0, 0))},
        {"name", ftString, "Smith"},
        {"note", ftString, "long"},
        {"pic", ftBlob, std::string("\0\xFF\x10", 3)},
        {"anything", ftLargeint, "42"},  // no declared type: its value decides
    };
    ASSERT_EQ(ds.FieldCount(), 15);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        TField* f = ds.FieldByName(c.field);
        EXPECT_EQ(f->DataType(), c.type);
        EXPECT_EQ(f->AsString(), c.text);
        EXPECT_FALSE(f->IsNull());
    }
    EXPECT_EQ(ds.FieldByName("b")->AsLargeInt(), 9007199254740993LL);
    EXPECT_TRUE(ds.FieldByName("pic")->IsBlob());
    EXPECT_EQ(ds.FieldByName("ts")->AsDateTime(),
              EncodeDate(2024, 3, 7) + EncodeTime(10, 30, 15, 250));
}

TEST_F(SqliteDataSet, NullsAndNumericDates) {
    // SQLite's own date forms: Julian day numbers (whole ones are stored as
    // integers) and Unix seconds.
    auto db =
        Db("CREATE TABLE t (day DATE, n INTEGER, s TEXT);"
           "INSERT INTO t VALUES (NULL, NULL, NULL);"
           "INSERT INTO t VALUES (julianday('2024-03-07 12:00:00'), 1, '');"
           "INSERT INTO t VALUES (unixepoch('2024-03-07 06:00:00'), 2, 'x');");
    TSqliteDataSet ds("T", db, "SELECT * FROM t ORDER BY n");
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(ds.Fields(i)->IsNull());
    EXPECT_EQ(ds.Fields(0)->AsString(), "");
    EXPECT_EQ(ds.Fields(1)->AsLargeInt(), 0);
    ds.Next();
    EXPECT_DOUBLE_EQ(ds.Fields(0)->AsDateTime(), EncodeDate(2024, 3, 7) + 0.5);
    EXPECT_FALSE(ds.Fields(2)->IsNull());  // an empty text is no NULL
    ds.Next();
    EXPECT_DOUBLE_EQ(ds.Fields(0)->AsDateTime(), EncodeDate(2024, 3, 7) + 0.25);
}

TEST_F(SqliteDataSet, NavigationAndBookmarksOverManyRows) {
    // More rows than the dataset keeps: going back re-runs the query.
    auto db =
        Db("CREATE TABLE t (n INTEGER);"
           "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 100) "
           "INSERT INTO t SELECT x FROM c;");
    TSqliteDataSet ds("T", db, "SELECT n FROM t ORDER BY n");
    EXPECT_TRUE(ds.Bof());
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.RecordCount(), -1);  // a query: not known before the end
    const TBookmark first = ds.GetBookmark();
    for (int i = 0; i < 49; ++i) ds.Next();
    const TBookmark fiftieth = ds.GetBookmark();
    ds.Prior();
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 49);
    ds.Last();
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 100);
    EXPECT_EQ(ds.RecordCount(), 100);
    ds.Next();
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 100);  // stays on the last record
    ds.GotoBookmark(fiftieth);
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 50);
    ds.GotoBookmark(first);
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 1);
    ds.Prior();
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 1);
    for (int i = 0; i < 30; ++i) ds.Next();
    for (int i = 0; i < 20; ++i) ds.Prior();  // beyond the recent records
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 11);
    EXPECT_THROW(ds.GotoBookmark("100"), EDatabaseError);
    EXPECT_THROW(ds.GotoBookmark("x"), EDatabaseError);

    TSqliteDataSet table("T", db, "T");  // a table name (any case): its count is known
    EXPECT_EQ(table.RecordCount(), 100);
    TSqliteDataSet empty("E", db, "SELECT n FROM t WHERE n > 1000");
    EXPECT_TRUE(empty.Eof());
    EXPECT_TRUE(empty.Bof());
    EXPECT_EQ(empty.GetBookmark(), "");
    empty.Last();
    EXPECT_TRUE(empty.Eof() && empty.Bof());
    EXPECT_EQ(empty.RecordCount(), 0);
    EXPECT_TRUE(empty.Fields(0)->IsNull());
}

TEST_F(SqliteDataSet, ErrorsNameTheFileAndThePlace) {
    const std::string path = MakeDb("shop.db",
                                    "CREATE TABLE t (n INTEGER, d DATE);"
                                    "INSERT INTO t VALUES (1, 'soon');");
    MakeFile("text.db", "this is no database, just text long enough to look like one......");
    auto db = std::make_shared<TSqliteDatabase>(path, "T");
    struct Case {
        std::string what;
        std::function<void()> run;
        std::string message;
    };
    const Case cases[] = {
        {"missing file", [&] { TSqliteDatabase("/nonexistent/x.db", "T"); },
         "Dataset T: cannot read /nonexistent/x.db"},
        {"no database", [&] { TSqliteDatabase(Path("text.db"), "T"); },
         "Dataset T: " + Path("text.db") + ": file is not a database"},
        {"syntax error", [&] { TSqliteDataSet("T", db, "SELECT n FORM t"); },
         "Dataset T: " + path +
             ": near \"t\": syntax error at character 15 in the query: "
             "SELECT n FORM t"},
        {"no such table", [&] { TSqliteDataSet("T", db, "SELECT * FROM orders"); },
         "Dataset T: " + path +
             ": no such table: orders in the query: "
             "SELECT * FROM orders"},
        {"misspelt table", [&] { TSqliteDataSet("T", db, "tt"); },
         "Dataset T: " + path + " has no table or view tt (it has t)"},
        {"bad date", [&] { TSqliteDataSet("T", db, "t"); },
         "Dataset T: " + path + ": row 1, field d: 'soon' is not an ISO-8601 date or time"},
        {"parameter without master",
         [&] { TSqliteDataSet("L", db, "SELECT * FROM t WHERE n = :ORDERS_ID").First(); },
         "Dataset L: parameter :ORDERS_ID needs a master dataset"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ErrorOf(c.run), c.message);
    }
}

TEST_F(SqliteDataSet, AQueryMayOnlyRead) {
    const std::string path = MakeDb("shop.db",
                                    "CREATE TABLE t (n INTEGER);"
                                    "INSERT INTO t VALUES (1), (2);");
    const std::string before = qxtest::ReadFileBytes(path);
    auto db = std::make_shared<TSqliteDatabase>(path, "H");
    const std::string copy = Path("copy.db");
    struct Case {
        std::string sql;
        std::string refused;  // what the message names; empty for a second statement
    };
    const Case cases[] = {
        {"VACUUM INTO '" + copy + "'", "a statement that writes"},
        {"VACUUM main", "a statement that writes"},
        {"ATTACH '" + copy + "' AS c", "ATTACH " + copy},
        {"PRAGMA user_version = 3", "PRAGMA user_version = 3"},
        {"PRAGMA journal_mode = DELETE", "PRAGMA journal_mode = DELETE"},
        {"PRAGMA optimize", "PRAGMA optimize"},
        {"SELECT load_extension('" + copy + "')", "the function load_extension"},
        {"CREATE TEMP TABLE z (a)", "CREATE z"},
        {"CREATE TEMP VIEW v AS SELECT 1", "CREATE v"},
        {"BEGIN TRANSACTION", "a transaction BEGIN"},
        {"DELETE FROM t", "DELETE from t"},
        {"WITH c AS (SELECT 1) INSERT INTO t SELECT * FROM c", "INSERT into t"},
        {"SELECT * FROM t; DELETE FROM t", ""},
        {"SELECT * FROM t; SELECT 1", ""},
        {"SELECT * FROM t; ATTACH 'x' AS x", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        const std::string message =
            c.refused.empty()
                ? "Dataset H: the query holds more than one statement: " + c.sql
                : "Dataset H: " + path + ": only reading is allowed, not " + c.refused +
                      ", in the query: " + c.sql;
        EXPECT_EQ(ErrorOf([&] { TSqliteDataSet("H", db, c.sql); }), message);
    }
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_EQ(qxtest::ReadFileBytes(path), before);
    TSqliteDataSet table("H", db, "t");
    EXPECT_EQ(Column(table, "n"), (std::vector<std::string>{"1", "2"}));

    // What only reads still runs, with whatever follows the one statement
    // being blanks, comments or empty statements.
    const std::string reading[] = {
        "SELECT count(*) AS n FROM t;  -- the count\n;",
        "PRAGMA table_info(t)",
        "SELECT count(*) AS n FROM pragma_table_info('t')",
        "SELECT count(*) AS n FROM json_each('[1, 2, 3]') /* three */",
        "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 4) "
        "SELECT n FROM c",
        "PRAGMA user_version",
    };
    for (const std::string& sql : reading) {
        SCOPED_TRACE(sql);
        EXPECT_EQ(ErrorOf([&] { TSqliteDataSet("H", db, sql).First(); }), "(no error)");
    }
}
