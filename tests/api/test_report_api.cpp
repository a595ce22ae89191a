// The application interface: values into and out of templates, functions as
// lambdas, errors with their place, warnings, cancellation, and one compiled
// template rendered by many threads at once.
#include <gtest/gtest.h>

#include <qxrtf/report.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace qxrtf;
using namespace std::chrono;

namespace {

std::string Doc(const std::string& body) {
    return "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard " + body + "\\par}";
}

// The text of a one-paragraph report between "\pard " and "\par}".
std::string Body(const std::string& rtf) {
    const std::size_t from = rtf.find("\\pard ");
    const std::size_t to = rtf.rfind("\\par}");
    if (from == std::string::npos || to == std::string::npos || to < from) return rtf;
    return rtf.substr(from + 6, to - from - 6);
}

std::string RenderBody(const std::string& body, const Data& data = {},
                       const Options& options = {}) {
    return Body(RenderToString(Template::FromString(Doc(body)), data, options));
}

}  // namespace

TEST(ReportApi, ValuesGoIntoTemplatesAsTheirKinds) {
    struct Case {
        Value value;
        const char* field;
        std::string expected;
    };
    const DateTime noonBefore1900 = sys_days(1850y / 6 / 1) + hours(12);
    const Case cases[] = {
        {Value(), "[\\\\V\\\\]", "[]"},
        {true, "\\\\IF(V)\\\\yes\\\\ELSE\\\\no\\\\ENDIF\\\\", "yes"},
        {std::int64_t{9007199254740993}, "\\\\V\\\\", "9007199254740993"},
        {-42, "\\\\V + 1\\\\", "-41"},
        {1234.5, "\\\\FNUM(V, 10:2)\\\\", "1,234.50"},
        {"Zo\xc3\xab", "\\\\V\\\\", "Zo\\'EB"},
        {Date(2024y / 3 / 7), "\\\\FDTM(V, 'yyyy-mm-dd')\\\\", "2024-03-07"},
        {Date(1850y / 6 / 1), "\\\\FDTM(V, 'yyyy-mm-dd')\\\\", "1850-06-01"},
        {Date(2150y / 12 / 31), "\\\\FDTM(V, 'yyyy-mm-dd')\\\\", "2150-12-31"},
        {noonBefore1900, "\\\\FDTM(V, 'yyyy-mm-dd hh:nn')\\\\", "1850-06-01 12:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        Options options;
        options.variables["V"] = c.value;
        EXPECT_EQ(RenderBody(c.field, {}, options), c.expected);
    }
}

TEST(ReportApi, RowsOfEveryKindAndNulls) {
    Rows rows("R", {{"S", Kind::String},
                    {"I", Kind::Integer},
                    {"N", Kind::Number},
                    {"D", Kind::Decimal},
                    {"T", Kind::Date},
                    {"B", Kind::Bool}});
    rows.Add({"a", std::int64_t{9223372036854775807}, 2, Decimal{"12345678901234567890.25"},
              Date(1899y / 12 / 29), false});
    rows.Add({Value(), Value(), Value(), Value(), Value(), Value()});
    Data data;
    data.Add(std::move(rows));
    EXPECT_EQ(RenderBody("\\\\SCAN(R)\\\\[\\\\R.S\\\\|\\\\R.I\\\\|\\\\R.N\\\\|\\\\R.D\\\\|"
                         "\\\\FDTM(R.T, 'dd.mm.yyyy')\\\\|\\\\FBOOL(R.B)\\\\]\\\\ENDSCAN\\\\",
                         data),
              "[a|9223372036854775807|2|12345678901234567890.25|29.12.1899|False][|||||]");
}

TEST(ReportApi, RowsRefuseRecordsThatDoNotFit) {
    Rows rows("R", {{"S", Kind::String}, {"N", Kind::Number}});
    const auto message = [&](std::vector<Value> record) {
        try {
            rows.Add(std::move(record));
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message({"a"}), "R: a record of 1 values for 2 columns");
    EXPECT_EQ(message({"a", "b"}), "R: record 1, column N: the value is not of the column's kind");
    EXPECT_EQ(message({"a", 3}), "no error");  // an integer is a number
}

TEST(ReportApi, FunctionsAsLambdas) {
    Functions functions;
    functions.Add("TWICE", 1,
                  [](std::span<const Value> args) -> Value { return args[0].AsNumber() * 2; });
    functions.Add("JOIN", 1, 3, [](std::span<const Value> args) -> Value {
        std::string text;
        for (const Value& v : args) text += v.IsNull() ? "-" : v.AsString();
        return text;
    });
    functions.Add("FAIL", 0, [](std::span<const Value>) -> Value {
        throw std::runtime_error("no rate for EUR");
    });
    Rows rows("R", {{"N", Kind::Integer}, {"S", Kind::String}});
    rows.Add({21, "x"}).Add({5, Value()});
    Data data;
    data.Add(std::move(rows));
    Options options;
    options.functions = &functions;
    EXPECT_EQ(RenderBody("\\\\SCAN(R)\\\\\\\\TWICE(R.N)\\\\ \\\\JOIN(R.S, 'y')\\\\;\\\\ENDSCAN\\\\",
                         data, options),
              "42 xy;10 -y;");

    struct Mistake {
        std::string body;
        std::string message;
        std::string field;
    };
    const Mistake mistakes[] = {
        {"\\\\FAIL()\\\\", "no rate for EUR", "FAIL()"},
        {"\\\\TWICE(1, 2)\\\\",
         "Illegal function use: TWICE(1,2) - number of arguments is more than maximum allowed",
         "TWICE(1, 2)"},
        {"\\\\JOIN()\\\\",
         "Illegal function use: JOIN() - number of arguments is less than minimum required",
         "JOIN()"},
    };
    for (const Mistake& m : mistakes) {
        SCOPED_TRACE(m.body);
        try {
            RenderBody(m.body, data, options);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), m.message);
            ASSERT_TRUE(e.GetPosition().has_value()) << e.what();
            EXPECT_EQ(e.GetPosition()->field, m.field);
            EXPECT_EQ(e.GetPosition()->line, 1);
        }
    }
}

TEST(ReportApi, ErrorsNameTheFieldAndRecord) {
    Rows rows("R", {{"N", Kind::Integer}});
    rows.Add({2}).Add({0});
    Data data;
    data.Add(std::move(rows));
    try {
        RenderBody("\\\\SCAN(R)\\\\\\\\10 / R.N\\\\\\\\ENDSCAN\\\\", data);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Division by zero. Operation \"/\", expression 10/R.N");
        ASSERT_TRUE(e.GetPosition().has_value());
        EXPECT_EQ(e.GetPosition()->field, "10 / R.N");
        EXPECT_EQ(e.Records(), (std::vector<RecordPlace>{{"R", 2}}));
    }
    EXPECT_THROW(Template::FromFile("/nonexistent/letter.rtf"), Error);
}

TEST(ReportApi, WarningsStrictAndCheck) {
    Rows rows("R", {{"N", Kind::Integer}});
    rows.Add({1});
    Data data;
    data.Add(std::move(rows));
    const Template tpl = Template::FromString(Doc("\\\\SCAN(R)\\\\\\\\R.NAM\\\\\\\\ENDSCAN\\\\"));
    const std::vector<Warning> expected = {
        {Position{1, 51, "R.NAM"}, "dataset R has no field NAM"}};
    std::ostringstream out;
    // The second render replays the first one's compilation and still
    // reports its warnings.
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Render(tpl, data, out).warnings, expected);
    }
    EXPECT_EQ(tpl.Check(data), expected);
    Options strict;
    strict.strict = true;
    EXPECT_THROW(Render(tpl, data, out, strict), Error);
}

TEST(ReportApi, ProgressCancelsAndFilesAppearWholeOrNotAtAll) {
    Rows rows("R", {{"N", Kind::Integer}});
    for (int i = 0; i < 100; ++i) rows.Add({i});
    Data data;
    data.Add(std::move(rows));
    const Template tpl = Template::FromString(Doc("\\\\SCAN(R)\\\\\\\\R.N\\\\ \\\\ENDSCAN\\\\"));
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "qxrtf-api-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "out.rtf").string();

    Options options;
    std::int64_t seen = 0;
    options.progress = [&seen](std::int64_t records) {
        seen = records;
        return records < 10;
    };
    try {
        RenderToFile(tpl, data, file, options);
        ADD_FAILURE() << "not cancelled";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cancelled");
    }
    EXPECT_EQ(seen, 10);
    EXPECT_TRUE(std::filesystem::is_empty(dir)) << "a cancelled render left a file";

    RenderToFile(tpl, data, file);
    std::ifstream in(file, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(written.find("98 99 "), std::string::npos);
    std::filesystem::remove_all(dir);
}

TEST(ReportApi, OneTemplateRenderedByEightThreadsAtOnce) {
    Functions functions;
    functions.Add("TWICE", 1,
                  [](std::span<const Value> args) -> Value { return args[0].AsInteger() * 2; });
    const Template tpl = Template::FromString(
        Doc("\\\\SCAN(R)\\\\\\\\R.NAME\\\\: \\\\FNUM(TWICE(R.N), 10:2)\\\\\\par "
            "\\\\ENDSCAN\\\\\\\\SUM_N\\\\"));
    const auto dataFor = [](int thread) {
        Rows rows("R", {{"NAME", Kind::String}, {"N", Kind::Integer}});
        for (int i = 0; i < 200; ++i) rows.Add({"name" + std::to_string(thread), i * 1000});
        Data data;
        data.Add(std::move(rows));
        return data;
    };
    Options options;
    options.functions = &functions;
    options.variables["SUM_N"] = "end";
    std::vector<std::string> expected;
    for (int t = 0; t < 8; ++t) expected.push_back(RenderToString(tpl, dataFor(t), options));
    std::vector<std::string> results(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            try {
                for (int round = 0; round < 5; ++round) {
                    std::string out = RenderToString(tpl, dataFor(t), options);
                    if (out != expected[t]) {
                        results[t] = out;
                        return;
                    }
                }
                results[t] = expected[t];
            } catch (const Error& e) {
                results[t] = e.what();
            }
        });
    for (std::thread& t : threads) t.join();
    for (int t = 0; t < 8; ++t) {
        SCOPED_TRACE(t);
        EXPECT_TRUE(results[t] == expected[t]) << results[t].substr(0, 200);
        EXPECT_NE(expected[t].find("name" + std::to_string(t) + ": 398,000.00"), std::string::npos);
    }
}

TEST(ReportApi, VersionIsThePackagesVersion) {
    EXPECT_EQ(Version(), QXRTF_TEST_PROJECT_VERSION);
}
