// CSV datasets over files written as spreadsheets and scripts write them.
#include <functional>

#include "loader_fixture.h"
#include "platform/loaders/csv_dataset.h"
#include "platform/sysutils.h"

using namespace qx;

namespace {

class CsvDataSet : public qxtest::LoaderTest {};

}  // namespace

TEST_F(CsvDataSet, TypesComeFromTheValuesOrAreGiven) {
    // A byte-order mark before the header, CRLF line ends, a quoted field
    // with the delimiter and a line break in it.
    const std::string file =
        MakeFile("t.csv",
                 "\xEF\xBB\xBFID,PRICE,PAID,DUE,AT,ZIP,NOTE,BIG,CODE\r\n"
                 "1,2.5,true,2024-03-07,2024-03-07T10:30:00,0107,\"a, b\",9007199254740993,12\r\n"
                 "2,3,FALSE,,2024-03-08 08:00,1000,\"two\nlines\",-5,x\r\n"
                 ",,,2024-12-31,,2000,,,\r\n");
    TCsvDataSet ds("T", file, {',', {{"code", ftString}}});
    struct Case {
        const char* field;
        TFieldType type;
        std::vector<std::string> values;
    };
    const Case cases[] = {
        {"ID", ftLargeint, {"1", "2", "<null>"}},
        {"PRICE", ftFloat, {"2.5", "3", "<null>"}},
        {"PAID", ftBoolean, {"True", "False", "<null>"}},
        {"DUE",
         ftDate,
         {DateToStr(EncodeDate(2024, 3, 7)), "<null>", DateToStr(EncodeDate(2024, 12, 31))}},
        {"AT",
         ftDateTime,
         {DateTimeToStr(EncodeDate(2024, 3, 7) + EncodeTime(10, 30, 0, 0)),
          DateTimeToStr(EncodeDate(2024, 3, 8) + EncodeTime(8, 0, 0, 0)), "<null>"}},
        {"ZIP", ftString, {"0107", "1000", "2000"}},  // a leading zero keeps it text
        {"NOTE", ftString, {"a, b", "two\nlines", "<null>"}},
        {"BIG", ftLargeint, {"9007199254740993", "-5", "<null>"}},
        {"CODE", ftString, {"12", "x", "<null>"}},
    };
    ASSERT_EQ(ds.FieldCount(), 9);
    EXPECT_EQ(ds.RecordCount(), 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(ds.FieldByName(c.field)->DataType(), c.type);
        EXPECT_EQ(Column(ds, c.field), c.values);
    }
}

TEST_F(CsvDataSet, DelimiterQuotedEmptyAndGivenTypes) {
    const std::string file = MakeFile("t.csv",
                                      "NAME;QTY;WHEN\n"
                                      "\"\";1;2024-01-02\n"
                                      ";yes;2024-01-03\n");
    TCsvDataSet ds("T", file, {';', {{"QTY", ftBoolean}, {"WHEN", ftString}}});
    EXPECT_EQ(ds.FieldByName("QTY")->DataType(), ftBoolean);
    EXPECT_EQ(Column(ds, "NAME"), (std::vector<std::string>{"", "<null>"}));
    EXPECT_EQ(Column(ds, "QTY"), (std::vector<std::string>{"True", "True"}));
    EXPECT_EQ(Column(ds, "WHEN"), (std::vector<std::string>{"2024-01-02", "2024-01-03"}));

    const std::string tabs = MakeFile("tabs.csv", "A\tB\n x\t 2\n");
    TCsvDataSet tabbed("T", tabs, {'\t', {}});
    EXPECT_EQ(tabbed.Fields(0)->AsString(), "x");  // blanks around a field are not part of it
    EXPECT_EQ(tabbed.Fields(1)->AsLargeInt(), 2);
}

TEST_F(CsvDataSet, NavigationGoesBackThroughTheFile) {
    // Enough rows for several remembered offsets, some rows spanning lines.
    std::string text = "N,TEXT\n";
    for (int i = 1; i <= 5000; ++i)
        text += std::to_string(i) + (i % 7 == 0 ? ",\"multi\nline\"\n" : ",plain\n");
    TCsvDataSet ds("T", MakeFile("big.csv", text));
    EXPECT_EQ(ds.RecordCount(), 5000);
    std::vector<TBookmark> marks;
    int seen = 0;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        ++seen;
        if (seen % 1000 == 3) marks.push_back(ds.GetBookmark());
    }
    EXPECT_EQ(seen, 5000);
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 5000);
    for (std::size_t i = marks.size(); i-- > 0;) {
        SCOPED_TRACE(i);
        ds.GotoBookmark(marks[i]);
        EXPECT_EQ(ds.Fields(0)->AsInteger(), static_cast<int>(i * 1000 + 3));
    }
    ds.GotoBookmark(marks[4]);  // record 4003
    for (int i = 0; i < 1500; ++i) ds.Prior();
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 2503);
    EXPECT_EQ(ds.Fields(1)->AsString(), "plain");
    for (int i = 0; i < 4; ++i) ds.Prior();
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 2499);
    EXPECT_EQ(ds.Fields(1)->AsString(), "multi\nline");
    ds.Last();
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 5000);
    ds.First();
    ds.Prior();
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 1);

    TCsvDataSet empty("E", MakeFile("empty.csv", "A,B\n"));
    EXPECT_TRUE(empty.Eof() && empty.Bof());
    EXPECT_EQ(empty.RecordCount(), 0);
    EXPECT_EQ(empty.Fields(1)->DataType(), ftString);
}

TEST_F(CsvDataSet, BrokenFilesNameTheFileAndLine) {
    const std::string f = Path("bad.csv");
    struct Case {
        const char* name;
        std::string text;
        std::string message;
        TCsvOptions options;
    };
    const Case cases[] = {
        {"short row", "A,B\n1,2\n3\n", f + ":3: 1 fields where the header has 2", {}},
        {"long row after a multi-line field",
         "A,B\n\"x\ny\",2\n3,4,5\n",
         f + ":4: 3 fields where the header has 2",
         {}},
        {"misplaced quote",
         "A,B\n1,2\n3,x\"y\"\n",
         f + ":3: misplaced quote (error parsing data while strict checking enabled)",
         {}},
        {"open quote",
         "A,B\n1,2\n3,\"abc\n",
         f + ":3: quoted field not closed before the end of the file",
         {}},
        {"no header", "", f + " has no header row", {}},
        {"unnamed field", "A,,C\n", f + ":1: a field of the header has no name", {}},
        {"duplicate field", "A,a\n", "duplicate field name 'a'", {}},
        {"not an integer",
         "A,B\n1,2\n3,x\n",
         f + ":3: 'x' in field B is not an integer",
         {',', {{"B", ftLargeint}}}},
        {"not a date",
         "A\n2024-02-30\n",
         f + ":2: '2024-02-30' in field A is not an ISO-8601 date or time",
         {',', {{"a", ftDate}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeFile("bad.csv", c.text);
        EXPECT_EQ(ErrorOf([&] { TCsvDataSet("T", f, c.options); }), "Dataset T: " + c.message);
    }
    EXPECT_EQ(ErrorOf([&] { TCsvDataSet("T", Path("none.csv")); }),
              "Dataset T: cannot read " + Path("none.csv"));
}
