// DOCX, ODT, DOC and flat ODT templates written by LibreOffice (tests/data/office, made
// from letter.html by make-fixtures.sh) with fields split by formatting
// runs and by Word's spelling marks, curly quotes, a conditional paragraph,
// a table-row loop and a picture, rendered into RTF, DOCX, ODT and PDF and
// read back by LibreOffice (and pdftotext). Every LibreOffice start costs seconds,
// so one test does it all, and counts the starts through a launcher on
// PATH that logs each before running the real one.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "readers.h"
#include "tool/tool_runner.h"

using qxtest::RunCommand;
using qxtest::ToolResult;

namespace fs = std::filesystem;

namespace {

class OfficeRoundTrip : public qxtest::ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        const std::string real = RunCommand("command -v soffice").output;
        fs::create_directory(Path("bin"));
        qxtest::WriteFileBytes(Path("bin/soffice"),
                               "#!/bin/sh\necho start >> '" + Path("starts.log") + "'\nexec '" +
                                   real.substr(0, real.find('\n')) + "' \"$@\"\n");
        ::chmod(Path("bin/soffice").c_str(), 0755);
        qxtest::WriteFileBytes(Path("customers.json"),
                               R"([{"NAME": "Ann", "ORDERED": "2024-03-07", "TOTAL": 249.5},
                                   {"NAME": "Bob", "ORDERED": "2024-04-01", "TOTAL": 20}])");
        qxtest::WriteFileBytes(Path("items.csv"), "NAME,QTY\nPen,2\nInk,5\n");
    }
    // The tool with the counting launcher first on PATH.
    ToolResult Run(const std::string& args) {
        return RunCommand("PATH='" + Path("bin") + "':\"$PATH\" " + QXRTF_TOOL_PATH + " " + args +
                          " --cache '" + Path("cache") + "' --json CUSTOMERS='" +
                          Path("customers.json") + "' --type CUSTOMERS.ORDERED=date --csv ITEMS='" +
                          Path("items.csv") + "'");
    }
    int Starts() { return qxtest::LinesOf(Path("starts.log")); }
    static std::string Template(const char* extension) {
        return "'" + qxtest::DataPath(std::string("office/letter.") + extension) + "'";
    }
};

}  // namespace

TEST_F(OfficeRoundTrip, TemplatesFromWordProcessorsRenderIntoTheirFormats) {
    if (!qxtest::HaveCommand("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
    struct Case {
        const char* name;
        std::string args;
        int starts;  // LibreOffice starts it may take
    };
    const Case cases[] = {
        {"DOCX to DOCX: the template and the report converted",
         "render " + Template("docx") + " -o '" + Path("docx.docx") + "'", 2},
        {"ODT to ODT", "render " + Template("odt") + " -o '" + Path("odt.odt") + "'", 2},
        {"DOC to RTF", "render " + Template("doc") + " -o '" + Path("doc.rtf") + "'", 1},
        {"flat ODT to RTF", "render " + Template("fodt") + " -o '" + Path("fodt.rtf") + "'", 1},
        {"ODT again, to PDF by --to: only the report converted",
         "render " + Template("odt") + " -o '" + Path("odt.out") + "' --to pdf", 1},
        {"DOCX again, to RTF: the cached conversion, no LibreOffice",
         "render " + Template("docx") + " -o '" + Path("docx-again.rtf") + "'", 0},
        {"a batch of DOCX letters: one start for the group",
         "batch " + Template("docx") +
             " --master CUSTOMERS --name CUSTOMERS.NAME --to docx "
             "--out-dir '" +
             Path("letters") + "'",
         1},
        {"the batch again with --resume: every letter kept, no start",
         "batch " + Template("docx") +
             " --master CUSTOMERS --name CUSTOMERS.NAME --to docx "
             "--resume --out-dir '" +
             Path("letters") + "'",
         0},
        {"a batch in groups of one letter: a start for each",
         "batch " + Template("docx") +
             " --master CUSTOMERS --name CUSTOMERS.NAME --to odt --group 1 "
             "--out-dir '" +
             Path("odt-letters") + "'",
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = Starts();
        const ToolResult r = Run(c.args);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(Starts() - before, c.starts);
    }
    EXPECT_TRUE(TempFiles().empty());  // no LibreOffice profile or work folder stays

    // Read back as text and as HTML (for the tables). Every file has a stem
    // of its own: the reader names its output after the input's stem.
    const std::vector<std::string> files = {Path("docx-again.rtf"),   Path("docx.docx"),
                                            Path("odt.odt"),          Path("doc.rtf"),
                                            Path("fodt.rtf"),         Path("letters/Ann.docx"),
                                            Path("letters/Bob.docx"), Path("odt-letters/Bob.odt")};
    const std::vector<std::string> texts = qxtest::OfficeTexts(Path(""), files);
    ASSERT_EQ(texts.size(), 8u);
    const std::vector<std::string> pages = qxtest::OfficeConvert(Path(""), files, "html", "html");
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        ASSERT_FALSE(pages[i].empty());
        // The table-row loop made a row for each item under the header row.
        EXPECT_EQ(qxtest::HtmlTables(qxtest::ReadFileBytes(pages[i])),
                  (std::vector<std::vector<int>>{{2, 2, 2}}));
    }
    const std::string& ann = texts[0];
    for (const char* shown :
         {"Dear Ann, thank you for your order of 7 March 2024.", "Your total is 249.50 euro.",
          "A big order: thank you twice.", "Pen\n2\nInk\n5\n", "Kind regards"})
        EXPECT_NE(ann.find(shown), std::string::npos) << shown << " in\n" << ann;
    EXPECT_EQ(ann.find('\\'), std::string::npos) << ann;  // no field left as typed
    for (std::size_t i = 1; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(texts[i], ann);
    }
    // The picture beside "Kind regards" stays a picture in every format:
    // the entry names of the zip packages are stored as they are.
    const struct {
        const char* file;
        const char* picture;
    } pictures[] = {{"docx-again.rtf", "\\pngblip"},
                    {"docx.docx", "word/media/"},
                    {"odt.odt", "Pictures/"},
                    {"letters/Bob.docx", "word/media/"}};
    for (const auto& p : pictures)
        EXPECT_NE(qxtest::ReadFileBytes(Path(p.file)).find(p.picture), std::string::npos) << p.file;
    EXPECT_EQ(qxtest::ReadFileBytes(Path("odt.out")).rfind("%PDF-", 0), 0u);
    if (qxtest::HaveCommand("pdftotext")) {
        const ToolResult pdf = RunCommand("pdftotext -layout '" + Path("odt.out") + "' -");
        for (const char* shown : {"Dear Ann, thank you for your order of 7 March 2024.",
                                  "Your total is 249.50 euro.", "A big order: thank you twice."})
            EXPECT_NE(pdf.output.find(shown), std::string::npos) << shown << " in\n" << pdf.output;
        EXPECT_EQ(pdf.output.find('\\'), std::string::npos) << pdf.output;
    }
    for (const std::size_t i : {6, 7}) {
        SCOPED_TRACE(files[i]);
        const std::string& bob = texts[i];
        EXPECT_NE(bob.find("Dear Bob, thank you for your order of 1 April 2024."),
                  std::string::npos)
            << bob;
        EXPECT_EQ(bob.find("A big order"), std::string::npos) << bob;
    }
    EXPECT_EQ(texts[6], texts[7]);
}
