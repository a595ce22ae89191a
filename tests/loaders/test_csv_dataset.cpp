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

namespace {

// The TEXT of row `i` of LargeCsv.
std::string TextOfRow(int i) {
    const std::string pad(static_cast<std::size_t>(i % 37 + 1), 'x');
    return i % 5 == 0 ? "first " + pad + "\r\nsecond" : "one " + pad;
}

// A file too large to be kept in memory, read in many blocks: rows of
// changing length, CRLF line ends, every fifth row's text on two lines.
// Returns the file's text; `lines` gets the number of lines it has.
std::string LargeCsv(int rows, int& lines) {
    std::string text = "N,TEXT,AMOUNT\r\n";
    lines = 1;
    for (int i = 1; i <= rows; ++i) {
        const bool twoLines = i % 5 == 0;
        text += std::to_string(i) + "," + (twoLines ? "\"" + TextOfRow(i) + "\"" : TextOfRow(i)) +
                "," + std::to_string(i) + ".5\r\n";
        lines += twoLines ? 2 : 1;
    }
    return text;
}

}  // namespace

TEST_F(CsvDataSet, LargeFilesAreReadForwardAndBackInBlocks) {
    constexpr int kRows = 60000;
    int lines = 0;
    TCsvDataSet ds("T", MakeFile("large.csv", LargeCsv(kRows, lines)));
    EXPECT_EQ(ds.RecordCount(), kRows);
    int expected = 1;
    std::vector<TBookmark> marks;
    for (ds.First(); !ds.Eof(); ds.Next(), ++expected) {
        if (ds.Fields(0)->AsInteger() != expected ||
            ds.Fields(1)->AsString() != TextOfRow(expected) ||
            ds.Fields(2)->AsFloat() != expected + 0.5) {
            ADD_FAILURE() << "record " << expected << ": " << ds.Fields(0)->AsString() << " "
                          << ds.Fields(1)->AsString() << " " << ds.Fields(2)->AsString();
            break;
        }
        if (expected % 9999 == 0) marks.push_back(ds.GetBookmark());
    }
    EXPECT_EQ(expected, kRows + 1);
    for (std::size_t i = marks.size(); i-- > 0;) {
        SCOPED_TRACE(i);
        ds.GotoBookmark(marks[i]);
        const int row = static_cast<int>(i + 1) * 9999;
        EXPECT_EQ(ds.Fields(0)->AsInteger(), row);
        EXPECT_EQ(ds.Fields(1)->AsString(), TextOfRow(row));
        for (int back = 1; back <= 20; ++back) ds.Prior();
        EXPECT_EQ(ds.Fields(0)->AsInteger(), row - 20);
        EXPECT_EQ(ds.Fields(1)->AsString(), TextOfRow(row - 20));
    }

    // A broken row at the end of a large file is found on its own line.
    std::string text = LargeCsv(kRows, lines);
    text += "1,2\r\n";
    MakeFile("large.csv", text);
    EXPECT_EQ(ErrorOf([&] { TCsvDataSet("T", Path("large.csv")); }),
              "Dataset T: " + Path("large.csv") + ":" + std::to_string(lines + 1) +
                  ": 2 fields where the header has 3");
}

TEST_F(CsvDataSet, AFileChangedAfterOpeningFailsOnTheChangedRow) {
    // A row read again that no longer matches the header is an error, not
    // a read past the row's fields.
    int lines = 0;
    std::string text = LargeCsv(60000, lines);
    const std::string file = MakeFile("changing.csv", text);
    TCsvDataSet ds("T", file);
    ds.Last();
    text[text.find("\n3,one") + 2] = ';';
    MakeFile("changing.csv", text);
    EXPECT_EQ(ErrorOf([&] {
                  for (ds.First(); !ds.Eof(); ds.Next()) {
                  }
              }),
              "Dataset T: " + file + ":4: 2 fields where the header has 3");
}

TEST_F(CsvDataSet, AFewOddValuesMakeTheColumnTextAndAreTold) {
    struct Case {
        const char* name;
        std::string csv;  // of a column X
        char decimalSeparator;
        TFieldType type;
        std::string warning;  // "" for none
    };
    const Case cases[] = {
        {"an impossible date", "X\n2024-01-22\n2024-02-30\n2024-03-01\n", '.', ftString,
         "line 3, field X: \"2024-02-30\" is not a date; the column is read as text"},
        {"a word among numbers", "X\n12.5\n13\nn/a\n14\nn.a.\n", '.', ftString,
         "line 4, field X: \"n/a\" is not a number; the column is read as text"},
        {"a locale's number without the locale", "X\n12.50\n\"249,00\"\n3\n", '.', ftString,
         "line 3, field X: \"249,00\" is not a number; the column is read as text"},
        {"numbers in the locale's form", "X\n12.50\n\"249,00\"\n3\n", ',', ftFloat, ""},
        {"a number among booleans", "X\ntrue\nfalse\n1\ntrue\n", '.', ftString,
         "line 4, field X: \"1\" is not a boolean (true or false); the column is read as text"},
        // Text columns whose values are mostly not of one type say nothing.
        {"half numbers", "X\n1\nx\n2\ny\n", '.', ftString, ""},
        {"codes with leading zeros", "X\n0107\n1000\n2000\n", '.', ftString, ""},
        {"names", "X\nAnn\nBob\n2024\n", '.', ftString, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = MakeFile("x.csv", c.csv);
        std::vector<std::string> warnings;
        TGuessOptions guess;
        guess.decimalSeparator = c.decimalSeparator;
        guess.warn = [&](const std::string& f, const std::string& message) {
            EXPECT_EQ(f, file);
            warnings.push_back(message);
        };
        TCsvDataSet ds("T", file, {}, guess);
        EXPECT_EQ(ds.FieldByName("X")->DataType(), c.type);
        EXPECT_EQ(warnings, c.warning.empty() ? std::vector<std::string>{}
                                              : std::vector<std::string>{c.warning});
        if (c.type == ftFloat) {
            EXPECT_EQ(Column(ds, "X"), (std::vector<std::string>{"12.5", "249", "3"}));
        }
    }
}

// 50,000 columns: each name checked against every one before it took
// 16 seconds; the benchmark Csv/WideHeader times it.
TEST_F(CsvDataSet, AHeaderOfFiftyThousandColumnsLoads) {
    constexpr int kColumns = 50'000;
    std::string header, row;
    for (int c = 0; c < kColumns; ++c) {
        header += (c ? ",Col" : "Col") + std::to_string(c);
        row += (c ? ",v" : "v") + std::to_string(c);
    }
    TCsvDataSet wide("W", MakeFile("wide.csv", header + "\n" + row + "\n"));
    ASSERT_EQ(wide.FieldCount(), kColumns);
    EXPECT_EQ(wide.FieldByName("col49999")->AsString(), "v49999");
    EXPECT_EQ(wide.Fields(12345)->AsString(), "v12345");
    // A name that comes again in another case is still found.
    const std::string file = MakeFile("twice.csv", header + ",COL40000\n" + row + ",x\n");
    EXPECT_EQ(ErrorOf([&] { TCsvDataSet("W", file); }),
              "Dataset W: duplicate field name 'COL40000'");
}
