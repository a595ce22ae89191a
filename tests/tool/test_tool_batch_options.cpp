// `qxrtf batch` takes the report options of `qxrtf render` with the same
// meaning: a batch document is the report render writes for that record.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "loaders/loader_fixture.h"
#include "tool/tool_runner.h"

using qxtest::RunTool;
using qxtest::ToolResult;

namespace fs = std::filesystem;

namespace {

class BatchOptions : public qxtest::LoaderTest {};

bool HaveGermanLocale() {
    return std::system("locale -a 2>/dev/null | grep -qix de_DE.utf8") == 0;
}

}  // namespace

TEST_F(BatchOptions, EachReportOptionMeansWhatItMeansToRender) {
    MakeFile("t.rtf",
             "{\\rtf1 \\\\C.NAME\\\\ \\\\FCUR(C.BAL)\\\\ \\\\FDTM(C.DAY, 'd mmmm yyyy')\\\\ "
             "\\\\X + 1\\\\ [\\\\MISSING\\\\] \\\\FIMG(F)\\\\}");
    MakeFile("c.csv",
             "ID,NAME,BAL,DAY\n1,\xD0\x96\xD0\xB0\xD0\xBD\xD0\xBD\xD0\xB0 M\xC3\xBCller,"
             "102.15,2024-03-07\n");
    MakeFile("p.png", qxtest::ReadFileBytes(qxtest::DataPath("pictures/quarters.png")));
    MakeFile("s.json", R"({"Lang": 1049, "Options": ["eoClearMissedFields"]})");
    fs::create_directory(Path("pics"));
    const std::string data =
        "--csv C='" + Path("c.csv") + "' --var X=41:number --var F='" + Path("p.png") + "' ";
    struct Case {
        std::string args;
        std::string error;  // what both report instead of a document, if anything
    };
    const Case cases[] = {
        {"", ""},
        {"--locale de_DE.UTF-8", ""},
        {"--settings '" + Path("s.json") + "'", ""},
        {"--option eoClearMissedFields", ""},
        {"--codepage 1251", ""},
        {"--unicode", ""},
        {"--image-root '" + Path("pics") + "'",
         "Picture file " + Path("p.png") + " is outside the image root " + Path("pics")},
        {"--max-output 100", "Report output larger than 100 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        if (c.args.find("de_DE") != std::string::npos && !HaveGermanLocale()) continue;
        fs::remove_all(Path("out"));
        fs::remove(Path("r.rtf"));
        const ToolResult render =
            RunTool("render '" + Path("t.rtf") + "' -o '" + Path("r.rtf") + "' " + data + c.args);
        const ToolResult batch = RunTool("batch '" + Path("t.rtf") + "' --master C --out-dir '" +
                                         Path("out") + "' --name C.ID " + data + c.args);
        if (c.error.empty()) {
            ASSERT_EQ(render.exitCode, 0) << render.output;
            ASSERT_EQ(batch.exitCode, 0) << batch.output;
            EXPECT_EQ(qxtest::ReadFileBytes(Path("out/1.rtf")),
                      qxtest::ReadFileBytes(Path("r.rtf")));
        } else {
            EXPECT_EQ(render.exitCode, 1);
            EXPECT_EQ(batch.exitCode, 1);
            EXPECT_NE(render.output.find(c.error), std::string::npos) << render.output;
            EXPECT_NE(batch.output.find("qxrtf batch: record 1: " + c.error), std::string::npos)
                << batch.output;
            EXPECT_FALSE(fs::exists(Path("out/1.rtf")));
        }
    }
    // The options change the documents: the German one has its own currency.
    if (HaveGermanLocale()) {
        ASSERT_EQ(RunTool("batch '" + Path("t.rtf") + "' --master C --out-dir '" + Path("de") +
                          "' --name C.ID --locale de_DE.UTF-8 " + data)
                      .exitCode,
                  0);
        EXPECT_NE(qxtest::ReadFileBytes(Path("de/1.rtf")).find("102,15 \\'80"), std::string::npos)
            << qxtest::ReadFileBytes(Path("de/1.rtf"));
    }
}

TEST_F(BatchOptions, PdfWritesACopyOfEachDocumentOrNothingWithoutLibreOffice) {
    MakeFile("t.rtf", "{\\rtf1 Hello \\\\C.NAME\\\\}");
    MakeFile("c.csv", "ID,NAME\n1,Ann\n2,Bob\n");
    const std::string batch = "batch '" + Path("t.rtf") + "' --master C --name C.NAME --csv C='" +
                              Path("c.csv") + "' --pdf --out-dir ";
    const ToolResult missing =
        qxtest::RunCommand("PATH=/nonexistent " + std::string(QXRTF_TOOL_PATH) + " " + batch + "'" +
                           Path("none") + "'");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.output,
              "qxrtf batch: --pdf needs LibreOffice (soffice), which is not installed (install "
              "the libreoffice-writer package)\n");
    EXPECT_FALSE(fs::exists(Path("none")));
    if (!qxtest::HaveCommand("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
    const ToolResult r = RunTool(batch + "'" + Path("out") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    for (const char* name : {"Ann", "Bob"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(fs::exists(Path("out/" + std::string(name) + ".rtf")));
        EXPECT_EQ(
            qxtest::ReadFileBytes(Path("out/" + std::string(name) + ".pdf")).rfind("%PDF-", 0), 0u);
    }
}
