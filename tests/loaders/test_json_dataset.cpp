// JSON datasets over files.
#include <functional>

#include "loader_fixture.h"
#include "platform/loaders/json_dataset.h"
#include "platform/sysutils.h"

using namespace qx;

namespace {

class JsonDataSet : public qxtest::LoaderTest {};

}  // namespace

TEST_F(JsonDataSet, TypesComeFromTheValues) {
    const std::string file = MakeFile("t.json", R"([
      {"ID": 1, "NAME": "Smith", "TOTAL": 12, "PAID": true, "DUE": "2024-03-07",
       "AT": "2024-03-07T10:30:00Z", "BIG": 9007199254740993, "MIXED": 1, "TAGS": ["a"]},
      {"ID": 2, "NAME": null, "TOTAL": 2.5, "PAID": false, "DUE": "",
       "AT": "2024-03-08", "BIG": -1, "MIXED": "x", "TAGS": []},
      {"ID": 3, "TOTAL": null, "EXTRA": "late"}
    ])");
    auto ds = TJsonDataSet::Open("T", file);
    struct Case {
        const char* field;
        TFieldType type;
        std::vector<std::string> values;
    };
    const Case cases[] = {
        {"ID", ftLargeint, {"1", "2", "3"}},
        {"NAME", ftString, {"Smith", "<null>", "<null>"}},
        {"TOTAL", ftFloat, {"12", "2.5", "<null>"}},
        {"PAID", ftBoolean, {"True", "False", "<null>"}},
        {"DUE", ftDate, {DateToStr(EncodeDate(2024, 3, 7)), "<null>", "<null>"}},
        {"AT",
         ftDateTime,
         {DateTimeToStr(EncodeDate(2024, 3, 7) + EncodeTime(10, 30, 0, 0)),
          DateTimeToStr(EncodeDate(2024, 3, 8)), "<null>"}},
        {"BIG", ftLargeint, {"9007199254740993", "-1", "<null>"}},
        {"MIXED", ftString, {"1", "x", "<null>"}},
        {"EXTRA", ftString, {"<null>", "<null>", "late"}},
    };
    // Fields in the order they first appear; the nested array is no field.
    ASSERT_EQ(ds->FieldCount(), 9);
    EXPECT_EQ(ds->Fields(8)->FieldName(), "EXTRA");
    EXPECT_EQ(ds->FindField("TAGS"), nullptr);
    EXPECT_EQ(ds->RecordCount(), 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(ds->FieldByName(c.field)->DataType(), c.type);
        EXPECT_EQ(Column(*ds, c.field), c.values);
    }
    ds->Last();
    const TBookmark last = ds->GetBookmark();
    ds->First();
    ds->GotoBookmark(last);
    EXPECT_EQ(ds->FieldByName("EXTRA")->AsString(), "late");
}

TEST_F(JsonDataSet, PointersTypedFormAndEmptyArrays) {
    const std::string file = MakeFile("doc.json", R"({"meta": {"v": 1},
      "data": {"orders": {"fields": {"NO": "integer", "DUE": "date", "AT": "time"},
                          "rows": [{"NO": 7, "DUE": "2024-03-07", "AT": "08:15"}]},
               "none": []}})");
    auto typed = TJsonDataSet::Open("O", file + "#/data/orders", {{"NO", ftFloat}});
    EXPECT_EQ(typed->FieldByName("NO")->DataType(), ftFloat);  // given on the command line
    EXPECT_EQ(typed->FieldByName("DUE")->DataType(), ftDate);
    EXPECT_DOUBLE_EQ(typed->FieldByName("DUE")->AsDateTime(), EncodeDate(2024, 3, 7));
    EXPECT_DOUBLE_EQ(typed->FieldByName("AT")->AsDateTime(), EncodeTime(8, 15, 0, 0));

    auto empty = TJsonDataSet::Open("E", file + "#/data/none");
    EXPECT_TRUE(empty->Eof() && empty->Bof());
    EXPECT_EQ(empty->FieldCount(), 0);
    EXPECT_EQ(empty->RecordCount(), 0);
    // An empty dataset's scan runs as over any empty dataset.
    EXPECT_EQ(Render("<\\\\SCAN(E), NOEOF\\\\x\\\\ENDSCAN\\\\>", {empty.get()}), "<>");
    EXPECT_EQ(Render("<\\\\SCAN(E)\\\\x\\\\ENDSCAN\\\\>", {empty.get()}), "<x>");
}

TEST_F(JsonDataSet, BadInputNamesTheFileAndPlace) {
    const std::string f = Path("bad.json");
    struct Case {
        const char* name;
        std::string text;
        std::string source;
        std::string message;
    };
    const Case cases[] = {
        {"syntax error", "[\n  {\"A\": 1},\n  {\"A\": 2,}\n]", f,
         f + ":3:11: invalid JSON: syntax error while parsing object key - unexpected '}'; "
             "expected string literal"},
        {"number beyond double", "[{\"A\": 1},\n {\"A\": -2.5e400}]", f,
         f + ": invalid JSON: number overflow parsing '-2.5e400'"},
        {"not an array", R"({"A": 1})", f, f + ": \"rows\" must be an array"},
        {"not objects", "[1, 2]", f, f + ": every row must be an object"},
        {"missing pointer", "[]", f + "#/orders", f + " has nothing at /orders"},
        {"bad typed value", R"({"fields": {"N": "integer"}, "rows": [{"N": 1}, {"N": "x"}]})", f,
         f + ": record 2: value \"x\" of field N does not fit its field type"},
        {"unknown type", R"({"fields": {"N": "number"}, "rows": []})", f,
         f + ": unknown type \"number\" of field N"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeFile("bad.json", c.text);
        EXPECT_EQ(ErrorOf([&] { TJsonDataSet::Open("T", c.source); }), "Dataset T: " + c.message);
    }
    EXPECT_EQ(ErrorOf([&] { TJsonDataSet::Open("T", Path("none.json")); }),
              "Dataset T: cannot read " + Path("none.json"));
}

TEST_F(JsonDataSet, AGivenTypeIsCheckedAgainstEveryValue) {
    // Columns typed from their own values need no check; a type the caller
    // gives does, down to the last record, whatever order its keys come in.
    const std::string file =
        MakeFile("given.json", R"([{"N": 1, "S": "a"}, {"S": "b", "N": 2}, {"S": "c", "n": "x"}])");
    EXPECT_EQ(
        ErrorOf([&] {
            TJsonDataSet::Open("T", file, {{"N", ftLargeint}});
        }),
        "Dataset T: " + file + ": record 3: value \"x\" of field N does not fit its field type");
    auto ds = TJsonDataSet::Open("T", file);
    EXPECT_EQ(ds->FieldByName("N")->DataType(), ftString);
    EXPECT_EQ(Column(*ds, "N"), (std::vector<std::string>{"1", "2", "x"}));
    EXPECT_EQ(Column(*ds, "S"), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(JsonDataSet, LargeIntegersStayExactThroughExpressions) {
    // Written directly, all 64 bits; through an expression, a number of 15
    // digits (not cut to 32 bits).
    auto ds = TJsonDataSet::Open(
        "T", MakeFile("t.json", R"([{"BIG": 9007199254740993, "ID": 123456789012}])"));
    EXPECT_EQ(Render("\\\\T.BIG\\\\ \\\\IIF(1 = 1, T.ID, 0)\\\\", {ds.get()}),
              "9007199254740993 123456789012");
}

TEST_F(JsonDataSet, PointersFollowTheirEscapesAndIndexes) {
    const std::string file = MakeFile("p.json", R"({"a/b": {"m~n": [{"X": 1}]},
      "list": [[{"X": 2}], [{"X": 3}, {"X": 4}]], "": [{"X": 5}]})");
    struct Case {
        const char* pointer;
        std::vector<std::string> values;  // empty: nothing there
    };
    const Case cases[] = {
        {"/a~1b/m~0n", {"1"}}, {"/list/1", {"3", "4"}}, {"/list/0", {"2"}}, {"/", {"5"}},
        {"/list/01", {}},      {"/list/-", {}},         {"/list/2", {}},    {"/list/x", {}},
        {"/a~2b", {}},         {"/a~1b/m~0n/0/X", {}},  // a number, not records: its own error
                                                        // below
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pointer);
        const std::string source = file + "#" + c.pointer;
        if (c.values.empty()) {
            const std::string error = ErrorOf([&] { TJsonDataSet::Open("T", source); });
            if (std::string(c.pointer).ends_with("/X"))
                EXPECT_EQ(error, "Dataset T: " + source + ": expected an array of objects");
            else
                EXPECT_EQ(error, "Dataset T: " + file + " has nothing at " + c.pointer);
            continue;
        }
        auto ds = TJsonDataSet::Open("T", source);
        EXPECT_EQ(Column(*ds, "X"), c.values);
    }
}

TEST_F(JsonDataSet, RepeatedKeysAndNestedValuesInTextFields) {
    // A key given twice in one object keeps its first place and its last
    // value; an array or object in a text field is its JSON text.
    const std::string file = MakeFile("r.json", R"([
      {"A": 1, "B": {"k": [1, 2.5, "s"], "z": null}, "A": "x"},
      {"b": "plain", "a": "y", "B": "exact"}])");
    auto ds = TJsonDataSet::Open("T", file);
    ASSERT_EQ(ds->FieldCount(), 2);
    EXPECT_EQ(ds->Fields(0)->FieldName(), "A");
    EXPECT_EQ(ds->Fields(1)->FieldName(), "B");
    EXPECT_EQ(ds->Fields(0)->DataType(), ftString);
    EXPECT_EQ(Column(*ds, "A"), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(Column(*ds, "B"),
              (std::vector<std::string>{R"({"k":[1,2.5,"s"],"z":null})", "exact"}));
    EXPECT_EQ(
        ErrorOf([&] {
            TJsonDataSet::Open("T", file, {{"B", ftLargeint}});
        }),
        "Dataset T: " + file +
            R"(: record 1: value {"k":[1,2.5,"s"],"z":null} of field B does not fit its field type)");
}

TEST_F(JsonDataSet, LargeFilesAreReadInBlocks) {
    // Records beyond the first blocks of the file, a string longer than a
    // block of stored text, and a syntax error far into the file.
    std::string text = "[\n";
    const std::string longText(300000, 'L');
    for (int i = 1; i <= 20000; ++i)
        text += "{\"N\": " + std::to_string(i) + ", \"S\": \"" +
                (i == 15000 ? longText : "row " + std::to_string(i)) + "\"},\n";
    text += "{\"N\": 0}\n]";
    auto ds = TJsonDataSet::Open("T", MakeFile("large.json", text));
    EXPECT_EQ(ds->RecordCount(), 20001);
    ds->GotoBookmark("14999");
    EXPECT_EQ(ds->FieldByName("N")->AsInteger(), 15000);
    EXPECT_EQ(ds->FieldByName("S")->AsString(), longText);
    ds->Prior();
    EXPECT_EQ(ds->FieldByName("S")->AsString(), "row 14999");

    text.insert(text.size() - 3, "?");
    const std::string file = MakeFile("large.json", text);
    EXPECT_EQ(ErrorOf([&] { TJsonDataSet::Open("T", file); }),
              "Dataset T: " + file +
                  ":20002:8: invalid JSON: syntax error while parsing object - invalid literal; "
                  "last read: '0?'; expected '}'");
}

TEST_F(JsonDataSet, AFewOddValuesMakeTheColumnTextAndAreTold) {
    struct Case {
        const char* name;
        std::string values;  // of key X, one record each
        char decimalSeparator;
        TFieldType type;
        std::string warning;  // "" for none
    };
    const Case cases[] = {
        {"an impossible date", R"("2024-01-22", "2024-02-30", "2024-03-01")", '.', ftString,
         "record 2, field X: \"2024-02-30\" is not a date; the column is read as text"},
        {"a word among numbers", R"(10.5, 20, "n/a", 7)", '.', ftString,
         "record 3, field X: \"n/a\" is not a number; the column is read as text"},
        {"a number written as text in the locale's form", R"(10.5, "249,00", 7)", ',', ftFloat, ""},
        {"a number written as text", R"(10.5, "249.00", 7)", '.', ftFloat, ""},
        {"a string among booleans", R"(true, false, "yes", true)", '.', ftString,
         "record 3, field X: \"yes\" is not a boolean (true or false); the column is read as "
         "text"},
        {"mixed half and half", R"(1, "a", 2, "b")", '.', ftString, ""},
        {"numbers as text only", R"("1", "2")", '.', ftString, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string json = "[";
        std::size_t start = 0;
        for (std::size_t comma; start <= c.values.size(); start = comma + 1) {
            comma = c.values.find(", ", start);
            if (comma == std::string::npos) comma = c.values.size();
            json += std::string(json.size() > 1 ? ", " : "") +
                    "{\"X\": " + c.values.substr(start, comma - start) + "}";
            if (comma == c.values.size()) break;
            ++comma;
        }
        const std::string file = MakeFile("x.json", json + "]");
        std::vector<std::string> warnings;
        TGuessOptions guess;
        guess.decimalSeparator = c.decimalSeparator;
        guess.warn = [&](const std::string& f, const std::string& message) {
            EXPECT_EQ(f, file);
            warnings.push_back(message);
        };
        const auto ds = TJsonDataSet::Open("T", file, {}, guess);
        EXPECT_EQ(ds->FieldByName("X")->DataType(), c.type);
        EXPECT_EQ(warnings, c.warning.empty() ? std::vector<std::string>{}
                                              : std::vector<std::string>{c.warning});
        if (c.type == ftFloat) {
            EXPECT_EQ(Column(*ds, "X"), (std::vector<std::string>{"10.5", "249", "7"}));
        }
    }
}

// An object of 50,000 keys: each key looked for among every column before
// it took 43 seconds; the benchmark Json/WideObject times it.
TEST_F(JsonDataSet, AnObjectOfFiftyThousandKeysLoads) {
    constexpr int kKeys = 50'000;
    std::string first = "{", second = "{";
    for (int k = 0; k < kKeys; ++k) {
        first += (k ? ",\"Key" : "\"Key") + std::to_string(k) + "\":" + std::to_string(k);
        // The second record spells the keys in capitals: the same columns.
        second += (k ? ",\"KEY" : "\"KEY") + std::to_string(k) + "\":" + std::to_string(-k);
    }
    auto wide = TJsonDataSet::Open("W", MakeFile("wide.json", "[" + first + "}," + second + "}]"));
    ASSERT_EQ(wide->FieldCount(), kKeys);
    EXPECT_EQ(wide->Fields(kKeys - 1)->FieldName(), "Key49999");
    EXPECT_EQ(wide->FieldByName("key49999")->AsLargeInt(), 49999);
    wide->Next();
    EXPECT_EQ(wide->Fields(12345)->AsLargeInt(), -12345);
}
