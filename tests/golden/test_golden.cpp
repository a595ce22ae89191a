// Golden tests: every folder here holds a template written by a word
// processor (template.rtf, made from source.html), the run's data
// (case.json), the exact expected output (expected.rtf) and the text a
// reader sees in it (expected.txt). One parameterised test renders each
// case and compares bytes; another opens every output in an office suite.
//
// case.json: {"datasets": [{"name": ..., "rows": [...]}], "variables":
// [{"name", "value", "type"}], "options": ["eoClearMissedFields"],
// "unicode": bool, "codepage": n, "charset": n, "error": "message expected instead",
// "tables": [[cells of each row] per table], "writer": "pandoc" when pandoc
// wrote the template (scripts/golden-template.sh remakes it)}.
// Set QXRTF_UPDATE_GOLDEN=1 to rewrite expected.rtf after a deliberate
// change (and read the diff before committing it).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/loaders/json_dataset.h"
#include "qxrtf/internal/compiled_template.h"
#include "qxrtf/internal/report_setup.h"
#include "qxrtf/qxrtf.h"
#include "readers.h"
#include "test_support.h"

using namespace qx;
namespace fs = std::filesystem;

namespace {

const fs::path kGoldenDir = fs::path(QXRTF_TEST_SOURCE_DIR) / "golden";

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kGoldenDir))
        if (entry.is_directory() && fs::exists(entry.path() / "case.json"))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A report set up as a case describes it, with the datasets it owns.
struct CaseRun {
    TQxRTF report;
    std::vector<std::unique_ptr<TDataSet>> owned;
    arrdataset datasets;
    nlohmann::json doc;

    explicit CaseRun(const fs::path& dir) {
        doc = nlohmann::json::parse(qxtest::ReadFileBytes((dir / "case.json").string()));
        for (const auto& d : doc.value("datasets", nlohmann::json::array())) {
            owned.push_back(DataSetFromJson(d.at("name").get<std::string>(), d.at("rows")));
            datasets.push_back(owned.back().get());
        }
        for (const auto& v : doc.value("variables", nlohmann::json::array()))
            DefineTypedVariable(report, v.at("name").get<std::string>(),
                                v.at("value").get<std::string>(), v.value("type", std::string()));
        TQxRTFOptions options = report.Options();
        for (const auto& o : doc.value("options", nlohmann::json::array())) {
            TQxRTFOption option{};
            if (!RTFOptionFromName(o.get<std::string>(), option))
                ADD_FAILURE() << "unknown option " << o;
            options.Include(option);
        }
        report.SetOptions(options);
        report.SetUnicodeByDefault(doc.value("unicode", false));
        report.SetCodePage(doc.value("codepage", 1252));
        report.SetCharset(static_cast<std::uint8_t>(doc.value("charset", 1)));
        report.SetInFile((dir / "template.rtf").string());
    }

    // For a case that expects an error: the run raises it.
    void ExpectError() {
        try {
            Render();
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.what(), doc["error"].get<std::string>());
        }
    }

    std::string Render() {
        TMemoryStream out;
        report.ExecuteStream(datasets, &out);
        return std::string(reinterpret_cast<const char*>(out.Memory()),
                           static_cast<std::size_t>(out.Size()));
    }
};

class GoldenTest : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(GoldenTest, RendersTheExpectedBytes) {
    const fs::path dir = kGoldenDir / GetParam();
    CaseRun run(dir);
    if (run.doc.contains("error")) {
        run.ExpectError();
        return;
    }
    const std::string got = run.Render();
    const fs::path expected = dir / "expected.rtf";
    if (std::getenv("QXRTF_UPDATE_GOLDEN") != nullptr)
        qxtest::WriteFileBytes(expected.string(), got);
    ASSERT_TRUE(fs::exists(expected)) << "no expected.rtf; render it with QXRTF_UPDATE_GOLDEN=1";
    EXPECT_EQ(got, qxtest::ReadFileBytes(expected.string()));
}

// A file run writes its output directly rather than through a temporary
// stream: the same bytes, and on error no file at all.
TEST_P(GoldenTest, AFileRunWritesTheSameBytes) {
    const fs::path dir = kGoldenDir / GetParam();
    CaseRun run(dir);
    const fs::path out = fs::temp_directory_path() /
                         ("qxrtf-golden-" + GetParam() + "-" + std::to_string(::getpid()) + ".rtf");
    run.report.SetOutFile(out.string());
    try {
        run.report.Execute(run.datasets);
        EXPECT_FALSE(run.doc.contains("error"));
        EXPECT_EQ(qxtest::ReadFileBytes(out.string()),
                  qxtest::ReadFileBytes((dir / "expected.rtf").string()));
    } catch (const Exception& e) {
        ASSERT_TRUE(run.doc.contains("error")) << e.what();
        EXPECT_EQ(e.what(), run.doc["error"].get<std::string>());
        EXPECT_FALSE(fs::exists(out));
    }
    fs::remove(out);
}

// The same case compiled once by one report and run by two others, each
// with datasets of its own: a compiled template holds everything a run
// needs from the compile, and a run changes nothing in it.
TEST_P(GoldenTest, ACompiledTemplateRendersTheSameInOtherReports) {
    const fs::path dir = kGoldenDir / GetParam();
    CaseRun compiler(dir);
    std::shared_ptr<const TQxCompiledTemplate> compiled;
    try {
        compiled = compiler.report.Compile(compiler.datasets);
    } catch (const Exception& e) {
        ASSERT_TRUE(compiler.doc.contains("error")) << e.what();
        EXPECT_EQ(e.what(), compiler.doc["error"].get<std::string>());
        return;
    }
    for (int reportNumber = 1; reportNumber <= 2; ++reportNumber) {
        SCOPED_TRACE(reportNumber);
        CaseRun run(dir);
        run.report.SetCompiledTemplate(compiled);
        if (run.doc.contains("error")) {
            run.ExpectError();
            continue;
        }
        EXPECT_EQ(run.Render(), qxtest::ReadFileBytes((dir / "expected.rtf").string()));
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenTest, ::testing::ValuesIn(CaseNames()),
                         [](const auto& info) { return info.param; });

// What a person sees: the office suite's text conversion of every expected
// output reads as expected.txt, line for line (blank lines included, so an
// empty paragraph that the template did not have shows), and its HTML
// conversion has the tables the case declares in "tables": one list per
// table with the number of cells of each row. Skipped where no office
// suite is installed.
class OfficeCheck : public qxtest::TempDirTest {};

namespace {

// Lines without surrounding blanks, a byte-order mark or trailing empty lines.
std::string NormalizedText(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        const auto b = line.find_first_not_of(" \t\r");
        const auto e = line.find_last_not_of(" \t\r");
        lines.push_back(b == std::string::npos ? std::string() : line.substr(b, e - b + 1));
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

}  // namespace

TEST_F(OfficeCheck, EveryGoldenOutputReadsAsExpected) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "soffice is not installed";
    std::vector<std::string> names;
    std::string files;
    for (const std::string& name : CaseNames()) {
        if (!fs::exists(kGoldenDir / name / "expected.txt")) continue;
        const std::string copy = dir_ + "/" + name + ".rtf";
        fs::copy_file(kGoldenDir / name / "expected.rtf", copy);
        files += " '" + copy + "'";
        names.push_back(name);
    }
    ASSERT_FALSE(names.empty());
    for (const char* format : {"txt:Text", "html"}) {
        const std::string command = "soffice -env:UserInstallation=file://" + dir_ +
                                    "/profile --headless --convert-to " + format + " --outdir '" +
                                    dir_ + "/out'" + files + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string txt = dir_ + "/out/" + name + ".txt";
        const std::string html = dir_ + "/out/" + name + ".html";
        ASSERT_TRUE(fs::exists(txt));
        ASSERT_TRUE(fs::exists(html));
        EXPECT_EQ(
            NormalizedText(qxtest::ReadFileBytes(txt)),
            NormalizedText(qxtest::ReadFileBytes((kGoldenDir / name / "expected.txt").string())));
        const auto doc = nlohmann::json::parse(
            qxtest::ReadFileBytes((kGoldenDir / name / "case.json").string()));
        const auto declared =
            doc.value("tables", nlohmann::json::array()).get<std::vector<std::vector<int>>>();
        EXPECT_EQ(qxtest::HtmlTables(qxtest::ReadFileBytes(html)), declared);
    }
}
