// Large CSV and JSON files are read in two parts at once when opened, cut
// near the middle. Whatever falls at the cut (a quoted line break, a record
// spread over lines, a fault on either side), the dataset and its errors
// must be those of reading the file from start to end.
#include <algorithm>
#include <functional>

#include "loader_fixture.h"
#include "platform/loaders/csv_dataset.h"
#include "platform/loaders/json_dataset.h"
#include "platform/loaders/split_point.h"
#include "platform/sysutils.h"

using namespace qx;

namespace {

class SplitReading : public qxtest::LoaderTest {
  protected:
    // Writes `text` to `name`; checks that `cutOf` cuts it between `from`
    // and `to`.
    std::string WriteCutBetween(const std::string& name, const std::string& text, std::size_t from,
                                std::size_t to, std::int64_t (*cutOf)(const std::string&)) {
        const std::string file = MakeFile(name, text);
        const std::int64_t cut = cutOf(file);
        EXPECT_GT(cut, static_cast<std::int64_t>(from));
        EXPECT_LT(cut, static_cast<std::int64_t>(to));
        return file;
    }
};

// Rows of filler enough for the file to be split.
constexpr int kRows = 60000;

// The line of byte `offset` of `text`, from 1.
std::string LineOf(const std::string& text, std::size_t offset) {
    return std::to_string(
        1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// "line:column" of byte `offset` of `text` (its size: the end).
std::string PlaceOf(const std::string& text, std::size_t offset) {
    const std::size_t lineStart = text.rfind('\n', offset - 1);
    const std::size_t column = offset - (lineStart == std::string::npos ? 0 : lineStart + 1) + 1;
    return LineOf(text, offset) + ":" + std::to_string(column);
}

// CSV rows first..last of N,NAME,X: X from `x` (by row number).
std::string CsvRows(int first, int last, const std::function<std::string(int)>& x) {
    std::string text;
    for (int i = first; i <= last; ++i)
        text += std::to_string(i) + ",name " + std::to_string(i) + "," + x(i) + "\n";
    return text;
}

std::string Number(int i) {
    return std::to_string(i);
}

// A CSV file of kRows rows with `middle` (whole rows) put after the first
// half of them: near the middle of the file, a little before it.
std::string CsvAroundMiddle(const std::string& middle) {
    return "N,NAME,X\n" + CsvRows(1, kRows / 2, Number) + middle +
           CsvRows(kRows / 2 + 1, kRows, Number);
}

// JSON records first..last, one a line, each followed by ",".
std::string JsonRecords(int first, int last, const std::string& lineEnd = "\n") {
    std::string text;
    for (int i = first; i <= last; ++i)
        text += "{\"ID\":" + std::to_string(i) + ",\"NAME\":\"name " + std::to_string(i) +
                "\",\"PRICE\":" + std::to_string(i) + ".25}," + lineEnd;
    return text;
}

// A file's text with faults put in it: `before` after a quarter of the
// rows, `after` after three quarters, so that the cut falls between them.
struct TFaultyText {
    std::string text;
    std::size_t beforeAt, afterAt;  // where `before` and `after` are in it

    TFaultyText(const std::string& head, const std::function<std::string(int, int)>& rows,
                const std::string& before, const std::string& after, const std::string& tail) {
        text = head + rows(1, kRows / 4);
        beforeAt = text.size();
        text += before + rows(kRows / 4 + 1, kRows * 3 / 4);
        afterAt = text.size();
        text += after + rows(kRows * 3 / 4 + 1, kRows) + tail;
        faultAt = before.empty() ? afterAt : beforeAt;
    }
    std::size_t faultAt;  // the first fault: `before` if any, else `after`
};

}  // namespace

TEST_F(SplitReading, CutPointsNearTheMiddle) {
    const std::string big = CsvAroundMiddle("");
    ASSERT_GT(big.size(), static_cast<std::size_t>(kSplitMinBytes));
    const std::string oneLine(static_cast<std::size_t>(kSplitMinBytes) + 10, 'x');
    struct Case {
        const char* name;
        std::string text;
        bool json;
        std::int64_t expected;  // -1: no cut
    };
    const std::string array = "[\n" + JsonRecords(1, kRows) + "{}]";
    const std::size_t arrayCut = array.find("\n{", array.size() / 2) + 1;
    const Case cases[] = {
        {"small CSV", "A\n1\n2\n", false, -1},
        {"CSV: after the first line break past the middle", big, false,
         static_cast<std::int64_t>(big.find('\n', big.size() / 2) + 1)},
        {"CSV: one long line", oneLine, false, -1},
        {"JSON: a record first on a line after a comma", array, true,
         static_cast<std::int64_t>(arrayCut)},
        {"JSON: a byte-order mark and blanks before the array", "\xEF\xBB\xBF \r\n" + array, true,
         static_cast<std::int64_t>(arrayCut + 6)},
        {"JSON: small", "[\n{\"A\":1},\n{\"A\":2}\n]", true, -1},
        {"JSON: an object", "{\"rows\": " + array + "}", true, -1},
        {"JSON: records on one line", "[" + std::string(kSplitMinBytes, ' ') + "{}, {}]", true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = MakeFile("cut", c.text);
        EXPECT_EQ(c.json ? JsonSplitPoint(file) : CsvSplitPoint(file), c.expected);
    }
    EXPECT_EQ(CsvSplitPoint(Path("none")), -1);
    EXPECT_EQ(JsonSplitPoint(Path("none")), -1);
}

TEST_F(SplitReading, CsvValuesAndTypesAreThoseOfOneReading) {
    // A quoted value with many line breaks spans the middle: the cut falls
    // inside it, and the second part's survey is not taken.
    std::string lines;
    for (int i = 0; i < 8000; ++i) lines += "line " + std::to_string(i) + "\n";
    const std::string quoted = "0,\"" + lines + "end\",7\n";
    const std::string text = CsvAroundMiddle(quoted);
    const std::size_t quoteAt = text.find(quoted);
    const std::string file =
        WriteCutBetween("quoted.csv", text, quoteAt, quoteAt + quoted.size(), CsvSplitPoint);
    TCsvDataSet ds("T", file);
    EXPECT_EQ(ds.RecordCount(), kRows + 1);
    int row = 0;
    for (ds.First(); !ds.Eof(); ds.Next(), ++row) {
        const int n = ds.Fields(0)->AsInteger();
        const bool isQuoted = row == kRows / 2;
        if (n != (isQuoted          ? 0
                  : row < kRows / 2 ? row + 1
                                    : row) ||
            ds.Fields(1)->AsString() != (isQuoted ? lines + "end" : "name " + std::to_string(n))) {
            ADD_FAILURE() << "record " << row << ": " << n;
            break;
        }
    }
    EXPECT_EQ(row, kRows + 1);

    // A column's type is read from the values of both parts.
    struct TypeCase {
        const char* name;
        std::function<std::string(int)> first, second;
        TFieldType type;
    };
    const auto integer = [](int i) { return std::to_string(i); };
    const TypeCase types[] = {
        {"integers then a float", integer, [](int i) { return std::to_string(i) + ".5"; }, ftFloat},
        {"floats then integers", [](int i) { return std::to_string(i) + ".5"; }, integer, ftFloat},
        {"integers then text", integer, [](int) { return std::string("x"); }, ftString},
        {"booleans", [](int) { return std::string("true"); },
         [](int) { return std::string("FALSE"); }, ftBoolean},
        {"dates then date-times", [](int) { return std::string("2024-03-07"); },
         [](int) { return std::string("2024-03-08 10:30"); }, ftDateTime},
        {"date-times then text", [](int) { return std::string("2024-03-08 10:30"); },
         [](int) { return std::string("soon"); }, ftString},
        {"nothing then integers", [](int) { return std::string(); }, integer, ftLargeint},
        {"integers then nothing", integer, [](int) { return std::string(); }, ftLargeint},
    };
    for (const TypeCase& c : types) {
        SCOPED_TRACE(c.name);
        const std::string typed =
            MakeFile("typed.csv", "N,NAME,X\n" + CsvRows(1, kRows / 2, c.first) +
                                      CsvRows(kRows / 2 + 1, kRows, c.second));
        TCsvDataSet t("T", typed);
        EXPECT_EQ(t.FieldByName("X")->DataType(), c.type);
        EXPECT_EQ(t.RecordCount(), kRows);
    }
}

TEST_F(SplitReading, CsvFaultsAreFoundOnTheirLine) {
    struct Case {
        const char* name;
        std::string before, after;  // rows put before and after the cut
        std::string why;            // of the fault in `before`, else in `after`
        TCsvOptions options;
    };
    const Case cases[] = {
        {"short row after the cut", "", "5\n", "1 fields where the header has 3", {}},
        {"long row before the cut", "1,a,2,3\n", "", "4 fields where the header has 3", {}},
        {"faults on both sides: the first is raised",
         "1,a\n",
         "2,b\n",
         "2 fields where the header has 3",
         {}},
        {"misplaced quote after the cut",
         "",
         "1,a\"b\",2\n",
         "misplaced quote (error parsing data while strict checking enabled)",
         {}},
        {"bad value of a given type after the cut",
         "",
         "1,a,x\n",
         "'x' in field X is not an integer",
         {',', {{"X", ftLargeint}}}},
        {"quoted value open to the end after the cut",
         "",
         "1,\"open\n",
         "quoted field not closed before the end of the file",
         {}},
    };
    const auto rows = [](int first, int last) { return CsvRows(first, last, Number); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TFaultyText faulty("N,NAME,X\n", rows, c.before, c.after, "");
        const std::string file =
            WriteCutBetween("bad.csv", faulty.text, faulty.beforeAt, faulty.afterAt, CsvSplitPoint);
        EXPECT_EQ(ErrorOf([&] { TCsvDataSet("T", file, c.options); }),
                  "Dataset T: " + file + ":" + LineOf(faulty.text, faulty.faultAt) + ": " + c.why);
    }
}

TEST_F(SplitReading, JsonRecordsAreThoseOfOneReading) {
    // After the cut: a key first seen there, a key in other case, a key
    // given twice, a string longer than a block of text; CRLF line ends.
    const std::string longText(100000, 'L');
    const std::string middle =
        "{\"ID\":0,\"NAME\":\"a\",\"PRICE\":1,\"EXTRA\":\"e\"},\r\n"
        "{\"id\":-1,\"NAME\":\"b\",\"NAME\":\"last\",\"PRICE\":2},\r\n"
        "{\"ID\":-2,\"NAME\":\"" +
        longText + "\",\"PRICE\":3},\r\n";
    const std::string text =
        "[\r\n" + JsonRecords(1, kRows, "\r\n") + middle + "{\"ID\":-3,\"L\":[{\"A\":1}]}]";
    const std::string file = MakeFile("big.json", text);
    ASSERT_EQ(text.substr(static_cast<std::size_t>(JsonSplitPoint(file)), 6), "{\"ID\":");
    auto ds = TJsonDataSet::Open("T", file);
    ASSERT_EQ(ds->FieldCount(), 4);
    EXPECT_EQ(ds->Fields(3)->FieldName(), "EXTRA");
    EXPECT_EQ(ds->FieldByName("ID")->DataType(), ftLargeint);
    EXPECT_EQ(ds->FieldByName("PRICE")->DataType(), ftFloat);
    EXPECT_EQ(ds->RecordCount(), kRows + 4);
    struct Special {
        std::int64_t id;
        std::string name, extra;
    };
    const Special specials[] = {
        {0, "a", "e"}, {-1, "last", "<null>"}, {-2, longText, "<null>"}, {-3, "<null>", "<null>"}};
    int row = 0;
    for (ds->First(); !ds->Eof(); ds->Next(), ++row) {
        const bool special = row >= kRows;
        const std::int64_t id = special ? specials[row - kRows].id : row + 1;
        const std::string name = special ? specials[row - kRows].name : "name " + Number(row + 1);
        const std::string extra = special ? specials[row - kRows].extra : "<null>";
        const TField* nameField = ds->FieldByName("NAME");
        const TField* extraField = ds->FieldByName("EXTRA");
        if (ds->FieldByName("ID")->AsLargeInt() != id ||
            (nameField->IsNull() ? "<null>" : nameField->AsString()) != name ||
            (extraField->IsNull() ? "<null>" : extraField->AsString()) != extra) {
            ADD_FAILURE() << "record " << row << ": " << ds->FieldByName("ID")->AsString();
            break;
        }
    }
    EXPECT_EQ(row, kRows + 4);

    // Elements after the cut are counted on by a pointer into the array.
    auto last = TJsonDataSet::Open("L", file + "#/" + Number(kRows + 3) + "/L");
    EXPECT_EQ(Column(*last, "A"), std::vector<std::string>{"1"});
    const std::string past = "/" + Number(kRows + 4);
    EXPECT_EQ(ErrorOf([&] { TJsonDataSet::Open("F", file + "#" + past); }),
              "Dataset F: " + file + " has nothing at " + past);
}

TEST_F(SplitReading, JsonCutInsideARecordIsReadOn) {
    // Each record's details are on lines of their own, the records run on
    // from one line to the next: every place to cut is inside a record.
    std::string text = "[";
    for (int i = 1; i <= kRows / 2; ++i)
        text += std::string(i > 1 ? ", " : "") + "{\"ID\": " + std::to_string(i) +
                ", \"LINES\": [\n{\"A\": " + std::to_string(i) + "},\n{\"A\": -" +
                std::to_string(i) + "}]}";
    text += "]\n";
    const std::string file = MakeFile("nested.json", text);
    const std::int64_t cut = JsonSplitPoint(file);
    ASSERT_GE(cut, 0);
    ASSERT_EQ(text.substr(static_cast<std::size_t>(cut), 7), "{\"A\": -");
    auto master = TJsonDataSet::Open("M", file);
    TJsonDataSet detail("D", *master, "LINES");
    EXPECT_EQ(master->RecordCount(), kRows / 2);
    for (const int id : {1, kRows / 4, kRows / 4 + 1, kRows / 2}) {
        SCOPED_TRACE(id);
        master->GotoBookmark(std::to_string(id - 1));
        EXPECT_EQ(master->FieldByName("ID")->AsInteger(), id);
        EXPECT_EQ(Column(detail, "A"),
                  (std::vector<std::string>{std::to_string(id), "-" + std::to_string(id)}));
    }
}

TEST_F(SplitReading, JsonFaultsAreFoundWhereTheyAre) {
    struct Case {
        const char* name;
        std::string before, after;  // records put before and after the cut
        std::size_t column;         // of the fault in its record; 0: no place given
        std::string why;
    };
    const std::string unexpected =
        "invalid JSON: syntax error while parsing object key - unexpected '}'; "
        "expected string literal";
    const Case cases[] = {
        {"syntax error after the cut", "", "{\"ID\":5,},\n", 9, unexpected},
        {"syntax error before the cut", "{\"ID\":5,},\n", "", 9, unexpected},
        {"faults on both sides: the first is raised", "{\"ID\":5,},\n", "{\"ID\": tru},\n", 9,
         unexpected},
        {"bad literal after the cut", "", "{\"ID\": tru},\n", 11,
         "invalid JSON: syntax error while parsing value - invalid literal; last read: "
         "'\"ID\": tru}'"},
        {"number beyond double after the cut", "", "{\"ID\": 1e999},\n", 0,
         "invalid JSON: number overflow parsing '1e999'"},
        {"a record that is no object after the cut", "", "7,\n", 0, "every row must be an object"},
    };
    const auto rows = [](int first, int last) { return JsonRecords(first, last); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TFaultyText faulty("[\n", rows, c.before, c.after, "{}]\n");
        const std::string file = WriteCutBetween("bad.json", faulty.text, faulty.beforeAt,
                                                 faulty.afterAt, JsonSplitPoint);
        const std::string place =
            c.column == 0 ? "" : ":" + PlaceOf(faulty.text, faulty.faultAt + c.column - 1);
        EXPECT_EQ(ErrorOf([&] { TJsonDataSet::Open("T", file); }),
                  "Dataset T: " + file + place + ": " + c.why);
    }

    // The end of the file: a comma before the closing bracket, no bracket.
    const std::string records = "[\n" + JsonRecords(1, kRows);
    struct EndCase {
        const char* name;
        std::string text;
        std::size_t at;  // where the fault is found
        std::string why;
    };
    const EndCase ends[] = {
        {"comma before the bracket", records + "]", records.size(),
         "syntax error while parsing value - unexpected ']'; expected '[', '{', or a literal"},
        {"no bracket", records.substr(0, records.size() - 2) + "\n", records.size() - 1,
         "syntax error while parsing array - unexpected end of input; expected ']'"},
    };
    for (const EndCase& c : ends) {
        SCOPED_TRACE(c.name);
        const std::string file = MakeFile("end.json", c.text);
        EXPECT_EQ(ErrorOf([&] { TJsonDataSet::Open("T", file); }),
                  "Dataset T: " + file + ":" + PlaceOf(c.text, c.at) + ": invalid JSON: " + c.why);
    }
}

TEST_F(SplitReading, JsonFaultsRightAtTheCut) {
    // Records up to about the middle, then `atCut` where the cut falls:
    // blanks at the end put the file's middle `middle` bytes after the
    // records (a negative count: before their end).
    struct Case {
        const char* name;
        std::string atCut;
        int middle;
        std::string cutBefore;  // the cut is where this first comes in `atCut`
        std::string faultAt;    // the fault is where this first comes in `atCut`
        std::string why;
    };
    const Case cases[] = {
        // The parser's message quotes what it read since the last number,
        // which lies before the cut.
        {"two empty records, a bad literal", "{},\n{},\nx,\n{}]", -5, "{},", "x",
         "syntax error while parsing value - invalid literal; last read: '" + Number(kRows / 2) +
             ".25},<U+000A>{},<U+000A>{},<U+000A>x'"},
        // What follows the cut would parse as the rest of an array: the
        // record it is in must not be taken as ended.
        {"a record inside a record", "{\"a\":1,\n{\"b\":2}]", 3, "{\"b", "{\"b",
         "syntax error while parsing object key - unexpected '{'; expected string literal"},
    };
    const std::string first = "[\n" + JsonRecords(1, kRows / 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto size =
            static_cast<std::size_t>(2 * (static_cast<std::int64_t>(first.size()) + c.middle));
        const std::string text =
            first + c.atCut + std::string(size - first.size() - c.atCut.size(), ' ');
        const std::string file = MakeFile("cut.json", text);
        ASSERT_EQ(JsonSplitPoint(file),
                  static_cast<std::int64_t>(first.size() + c.atCut.find(c.cutBefore)));
        EXPECT_EQ(ErrorOf([&] { TJsonDataSet::Open("T", file); }),
                  "Dataset T: " + file + ":" +
                      PlaceOf(text, first.size() + c.atCut.find(c.faultAt)) +
                      ": invalid JSON: " + c.why);
    }
}

TEST_F(SplitReading, CsvOffsetsFromTheSecondPartFindRowsAndLines) {
    // Every third row's value spans two lines. Once the file is read, a
    // row after the cut changes; the cursor goes back to rows before it,
    // from an offset the second part remembered, and meets it: the error
    // names its line.
    const auto x = [](int i) { return i % 3 == 0 ? "\"two\nlines\"" : Number(i); };
    std::string text = "N,NAME,X\n" + CsvRows(1, kRows, x);
    constexpr int changed = kRows * 5 / 8;
    const std::size_t at = text.find("\n" + Number(changed) + ",") + 1;
    const std::string file = WriteCutBetween("back.csv", text, 0, at, CsvSplitPoint);
    TCsvDataSet ds("T", file);
    ds.Last();
    EXPECT_EQ(ds.Fields(0)->AsInteger(), kRows);
    text[text.find(',', at)] = ';';
    MakeFile("back.csv", text);
    ds.GotoBookmark(Number(changed - 21));
    EXPECT_EQ(ds.Fields(0)->AsInteger(), changed - 20);
    static_assert((changed - 20) % 3 != 0, "a row on one line");
    EXPECT_EQ(ds.Fields(2)->AsString(), Number(changed - 20));
    EXPECT_EQ(ErrorOf([&] {
                  for (int i = 0; i < 40; ++i) ds.Next();
              }),
              "Dataset T: " + file + ":" + LineOf(text, at) + ": 2 fields where the header has 3");
}

TEST_F(SplitReading, AColumnGivenUpAsTextNamesTheLineOfItsFirstOddValue) {
    // Integers throughout but for odd values on one side of the cut or on
    // both: the warning names the first, as one reading names it.
    const struct {
        const char* name;
        std::string before, after;
    } cases[] = {
        {"after the cut", "", "0,odd,n/a\n"},
        {"before the cut", "0,odd,n/a\n", ""},
        {"on both sides", "0,odd,n/a\n", "0,odd,none\n"},
    };
    const auto rows = [](int first, int last) { return CsvRows(first, last, Number); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TFaultyText odd("N,NAME,X\n", rows, c.before, c.after, "");
        const std::string file =
            WriteCutBetween("odd.csv", odd.text, odd.beforeAt, odd.afterAt, CsvSplitPoint);
        std::vector<std::string> warnings;
        TGuessOptions guess;
        guess.warn = [&](const std::string& f, const std::string& message) {
            warnings.push_back(f + ": " + message);
        };
        TCsvDataSet t("T", file, {}, guess);
        EXPECT_EQ(t.FieldByName("X")->DataType(), ftString);
        EXPECT_EQ(warnings, (std::vector<std::string>{
                                file + ": line " + LineOf(odd.text, odd.faultAt) +
                                ", field X: \"n/a\" is not a number; the column is read as text"}));
    }
}
