// Fragments saved by two real word processors (tests/data/fragment.html
// and fragment.md: a heading, a coloured bold run, a table and a picture),
// merged into a template saved by one (fragment_template.html: the same
// field in a paragraph and in a table cell). Regenerate with
//   soffice --headless --convert-to 'rtf:Rich Text Format' fragment.html
//   soffice --headless --convert-to 'rtf:Rich Text Format' fragment_template.html
//   pandoc -s -o fragment_pandoc.rtf fragment.md
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/exceptions.h"
#include "platform/mem_dataset.h"
#include "qxrtfstream/fragment_fixture.h"
#include "test_support.h"

using namespace qx;
using qxtest::BraceBalance;
using qxtest::FragmentReport;

namespace {

const char* const kFragments[] = {"fragment_lo.rtf", "fragment_pandoc.rtf"};

// The texts of the fragment, in order, as a reader of the report sees them.
const char* const kFragmentTexts[] = {
    "Delivery notes", "fragile goods", "Apples", "12", "Pears", "7", "Stamp of the depot"};

class RealFragments : public qxtest::TempDirTest {
  protected:
    // Runs the template with `fragment` as the memo DOCS.BODY into a file.
    std::string RunTemplate(const std::string& fragment, const std::string& name) {
        TMemDataSet docs("DOCS");
        docs.AddField("BODY", ftMemo);
        docs.AppendRecord({fragment});
        TQxRTF report;
        report.SetInFile(qxtest::DataPath("fragment_template.rtf"));
        report.SetOutFile(Path(name));
        report.Execute({&docs});
        return qxtest::ReadFileBytes(Path(name));
    }
};

TEST_F(RealFragments, MergedDocumentsKeepTheirBracesAndTables) {
    for (const char* file : kFragments) {
        SCOPED_TRACE(file);
        const std::string fragment = qxtest::ReadFileBytes(qxtest::DataPath(file));
        const std::string out = RunTemplate(fragment, std::string(file) + ".out.rtf");
        EXPECT_EQ(BraceBalance(out), 0);
        // The fragment's header is gone, its picture is there byte for byte.
        EXPECT_EQ(out.find("{\\rtf1", 1), std::string::npos);
        EXPECT_EQ(out.find("\\fonttbl", out.find("\\fonttbl") + 1), std::string::npos);
        const std::size_t pict = fragment.find("{\\pict");
        ASSERT_NE(pict, std::string::npos);
        const std::string picture = fragment.substr(pict, fragment.find('}', pict) - pict + 1);
        EXPECT_NE(out.find(picture), std::string::npos);
        // Outside the cell the fragment's table rows stay; inside they are lines.
        EXPECT_NE(out.find("\\line"), std::string::npos);
    }
}

TEST_F(RealFragments, LibreOfficeReadsTheFragmentsTextInPlace) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "soffice is not installed";
    std::string command = "soffice -env:UserInstallation=file://" + dir_ +
                          "/profile --headless --convert-to txt:Text --outdir '" + dir_ + "/txt'";
    for (const char* file : kFragments) {
        RunTemplate(qxtest::ReadFileBytes(qxtest::DataPath(file)), std::string(file) + ".out.rtf");
        command += " '" + Path(std::string(file) + ".out.rtf") + "'";
    }
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
    for (const char* file : kFragments) {
        SCOPED_TRACE(file);
        const std::string txt = dir_ + "/txt/" + file + ".out.txt";
        ASSERT_TRUE(std::filesystem::exists(txt));
        const std::string text = qxtest::ReadFileBytes(txt);
        // The template's own text around both copies, the fragment's inside.
        std::size_t at = 0;
        for (const char* expected : {"Depot report", "Before the notes."}) {
            at = text.find(expected, at);
            ASSERT_NE(at, std::string::npos) << expected << "\n" << text;
        }
        for (const char* fragmentText : kFragmentTexts) {
            at = text.find(fragmentText, at);
            ASSERT_NE(at, std::string::npos) << fragmentText << "\n" << text;
        }
        for (const char* expected :
             {"After the notes.", "Cell before", "Delivery notes", "fragile goods", "Apples",
              "Pears", "Stamp of the depot", "Next row", "Last cell", "The end."}) {
            at = text.find(expected, at);
            ASSERT_NE(at, std::string::npos) << expected << "\n" << text;
        }
    }
}

// Every cut of a real fragment, and fragments with a brace taken out or
// added, either merge into balanced RTF or fail with the engine's error.
TEST(FragmentRobustness, CutAndBrokenFragmentsMergeOrFailCleanly) {
    for (const char* file : kFragments) {
        SCOPED_TRACE(file);
        const std::string fragment = qxtest::ReadFileBytes(qxtest::DataPath(file));
        std::vector<std::string> inputs;
        for (std::size_t n = 0; n <= fragment.size(); ++n) inputs.push_back(fragment.substr(0, n));
        for (std::size_t i = 0; i < fragment.size(); ++i) {
            if (fragment[i] != '{' && fragment[i] != '}') continue;
            inputs.push_back(fragment.substr(0, i) + fragment.substr(i + 1));
            inputs.push_back(fragment.substr(0, i) + "}" + fragment.substr(i));
        }
        int merged = 0;
        for (const std::string& input : inputs) {
            FragmentReport report;
            report.SetTables({"{\\f0\\froman Times;}"}, {";", "\\red255\\green0\\blue0;"},
                             {"{\\s0 Normal;}"});
            for (const bool inTable : {false, true}) {
                report.SetInTable(inTable);
                try {
                    const std::string out = qxtest::Merge(report, input, inTable);
                    ASSERT_EQ(BraceBalance(out), 0) << input.size() << " bytes:\n" << out;
                    ++merged;
                } catch (const qx::Exception&) {
                }
            }
        }
        EXPECT_GT(merged, 0);
    }
}

}  // namespace
