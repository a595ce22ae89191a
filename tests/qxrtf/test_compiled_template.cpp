// A template compiled once and run by other reports: the same output as a
// report that compiles it itself, also from several threads at once, and a
// clear refusal when the run does not fit what was compiled.
#include <gtest/gtest.h>

#include <thread>

#include "conscom/exceptions.h"
#include "platform/mem_dataset.h"
#include "qxfunc/udf_list.h"
#include "qxrtf/internal/compiled_template.h"
#include "qxrtf/qxrtf.h"

using namespace qx;

namespace {

// Blocks, aggregates, an if chain, a format and a variable: most of what a
// compile leaves for the run.
const std::string kTemplate =
    "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}{\\colortbl;\\red255\\green0\\blue0;}\\pard "
    "\\\\TITLE\\\\\\par "
    "\\\\SCAN(O), SUM(O.TOTAL, T)\\\\\\\\O.NAME\\\\ \\\\FFIX(O.TOTAL, 8:2)\\\\ "
    "\\\\IF(O.TOTAL > 10)\\\\big\\\\ELSE\\\\small\\\\ENDIF\\\\\\par "
    "\\\\ENDSCAN\\\\total \\\\T\\\\\\par "
    "\\\\SCAN(C)\\\\<\\\\C.CODE\\\\>\\\\ENDSCAN\\\\\\par}";

// The datasets of one run: orders and codes, their values set by `seed`.
struct RunData {
    TMemDataSet orders{"O"};
    TMemDataSet codes{"C"};

    explicit RunData(int seed) {
        orders.AddField("NAME", ftString);
        orders.AddField("TOTAL", ftFloat);
        for (int i = 0; i < 3 + seed % 4; ++i)
            orders.AppendRecord({"item " + std::to_string(seed) + "-" + std::to_string(i),
                                 static_cast<double>((seed * 7 + i * 5) % 23) + 0.25});
        codes.AddField("CODE", ftString);
        codes.AppendRecord({"c" + std::to_string(seed)});
    }
    arrdataset DataSets() { return {&orders, &codes}; }
};

void GiveTitle(TQxRTF& report) {
    report.CreateVar("TITLE", "Orders");
}

std::string Render(TQxRTF& report, const arrdataset& ds) {
    TMemoryStream out;
    report.ExecuteStream(ds, &out);
    return std::string(reinterpret_cast<const char*>(out.Memory()),
                       static_cast<std::size_t>(out.Size()));
}

// What a report that compiles the template itself writes for `seed`.
std::string Compiling(int seed) {
    RunData data(seed);
    TQxRTF report;
    GiveTitle(report);
    report.SetTemplateBuffer(std::vector<std::uint8_t>(kTemplate.begin(), kTemplate.end()));
    return Render(report, data.DataSets());
}

std::shared_ptr<const TQxCompiledTemplate> CompileOnce() {
    RunData data(0);
    TQxRTF report;
    GiveTitle(report);
    report.SetTemplateBuffer(std::vector<std::uint8_t>(kTemplate.begin(), kTemplate.end()));
    return report.Compile(data.DataSets());
}

}  // namespace

TEST(CompiledTemplate, OtherReportsRunItAsIfTheyHadCompiledIt) {
    const auto compiled = CompileOnce();
    EXPECT_EQ(compiled->DataSetNames(), (std::vector<std::string>{"O", "C"}));
    TQxRTF reused;
    GiveTitle(reused);
    reused.SetCompiledTemplate(compiled);
    EXPECT_EQ(reused.CompiledTemplate(), compiled);
    for (int seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        const std::string expected = Compiling(seed);
        ASSERT_NE(expected.find("total"), std::string::npos) << expected;
        RunData data(seed);
        // A fresh report, and one that ran it before with other data.
        TQxRTF fresh;
        GiveTitle(fresh);
        fresh.SetCompiledTemplate(compiled);
        EXPECT_EQ(Render(fresh, data.DataSets()), expected);
        RunData again(seed);
        EXPECT_EQ(Render(reused, again.DataSets()), expected);
        EXPECT_TRUE(reused.ExecuteSuccessful());
    }
}

TEST(CompiledTemplate, ThreadsRunOneCompiledTemplateAtOnce) {
    const auto compiled = CompileOnce();
    constexpr int kThreads = 4, kRuns = 25;
    std::vector<std::string> expected, got(kThreads * kRuns);
    for (int t = 0; t < kThreads; ++t) expected.push_back(Compiling(t + 10));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRuns; ++i) {
                RunData data(t + 10);
                TQxRTF report;
                GiveTitle(report);
                report.SetCompiledTemplate(compiled);
                got[t * kRuns + i] = Render(report, data.DataSets());
            }
        });
    for (std::thread& t : threads) t.join();
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kRuns; ++i) {
            SCOPED_TRACE(t * kRuns + i);
            ASSERT_EQ(got[t * kRuns + i], expected[t]);
        }
}

TEST(CompiledTemplate, ARunThatDoesNotFitIsRefused) {
    const auto compiled = CompileOnce();
    // A list of other functions than the compile had (another list of the
    // same functions, with handlers of its own, would fit).
    TQxUDFList functions;
    functions.Functions().Add()->SetName("EXTRA");
    struct Case {
        const char* what;
        std::function<void(TQxRTF&, arrdataset&)> change;
        std::string message;
    };
    const Case cases[] = {
        {"datasets in another order", [](TQxRTF&, arrdataset& ds) { std::swap(ds[0], ds[1]); },
         "The compiled template was compiled for the datasets O, C, not C, O"},
        {"a dataset less", [](TQxRTF&, arrdataset& ds) { ds.pop_back(); },
         "The compiled template was compiled for the datasets O, C, not O"},
        {"options",
         [](TQxRTF& r, arrdataset&) {
             TQxRTFOptions o = r.Options();
             o.Include(eoClearMissedFields);
             r.SetOptions(o);
         },
         "The compiled template was compiled with other options than this report's"},
        {"code page", [](TQxRTF& r, arrdataset&) { r.SetCodePage(1251); },
         "The compiled template was compiled with other code page than this report's"},
        {"charset", [](TQxRTF& r, arrdataset&) { r.SetCharset(204); },
         "The compiled template was compiled with other charset than this report's"},
        {"format settings",
         [](TQxRTF& r, arrdataset&) {
             TFormatSettings fs = r.FmtSettings();
             fs.ShortDateFormat = "dd.MM.yyyy";
             r.SetFmtSettings(fs);
         },
         "The compiled template was compiled with other format settings than this report's"},
        {"user functions", [&](TQxRTF& r, arrdataset&) { r.SetUDFList(&functions); },
         "The compiled template was compiled with other user function list than this report's"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunData data(1);
        arrdataset ds = data.DataSets();
        TQxRTF report;
        GiveTitle(report);
        report.SetCompiledTemplate(compiled);
        c.change(report, ds);
        try {
            Render(report, ds);
            ADD_FAILURE() << "no error";
        } catch (const EIOError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_FALSE(report.ExecuteSuccessful());
        EXPECT_EQ(report.LastErrMsg(), c.message);
    }
}

TEST(CompiledTemplate, ANewTemplateTakesItsPlace) {
    const auto compiled = CompileOnce();
    TQxRTF report;
    GiveTitle(report);
    report.SetCompiledTemplate(compiled);
    const std::string other = "{\\rtf1 other \\\\TITLE\\\\}";
    report.SetTemplateBuffer(std::vector<std::uint8_t>(other.begin(), other.end()));
    EXPECT_EQ(report.CompiledTemplate(), nullptr);
    RunData data(1);
    // Compiled afresh: the datasets need not be those of the compiled one.
    EXPECT_EQ(Render(report, {&data.orders}), "{\\rtf1 other Orders}");
    report.SetCompiledTemplate(compiled);
    EXPECT_EQ(Render(report, data.DataSets()), Compiling(1));
    // Without it the report compiles its template, which is the compiled one's.
    report.SetCompiledTemplate(nullptr);
    EXPECT_EQ(report.CompiledTemplate(), nullptr);
    EXPECT_EQ(Render(report, data.DataSets()), Compiling(1));
}

TEST(CompiledTemplate, ACompileErrorIsRaisedWithItsPlace) {
    const std::string bad = "{\\rtf1 a\n \\\\SCAN(O)\\\\ \\\\O.NAME\\\\}";
    RunData data(1);
    TQxRTF report;
    report.SetTemplateBuffer(std::vector<std::uint8_t>(bad.begin(), bad.end()));
    try {
        report.Compile(data.DataSets());
        ADD_FAILURE() << "no error";
    } catch (const EIllegalScanUse& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Nesting error - endscan expected, but end of document found");
        ASSERT_TRUE(e.Pos().has_value());
        EXPECT_EQ(e.Pos()->line, 2);
    }
}
