// Templates saved by a word processor as DOCX, ODT, DOC or flat ODT are
// converted to RTF by the tool (with LibreOffice, once per content, kept in
// a cache), and reports are written as DOCX, ODT or PDF on request. These
// tests need no LibreOffice: a cache filled beforehand stands for the
// conversion, and a PATH without LibreOffice shows what a user without it
// is told.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tool/tool_runner.h"

using qxtest::RunCommand;
using qxtest::RunTool;
using qxtest::ToolResult;

namespace fs = std::filesystem;

namespace {

// The first bytes of each kind of document, enough to be recognised.
const std::string kDocx =
    std::string("PK\x03\x04", 4) + "....[Content_Types].xml....word/document.xml";
const std::string kOdt = std::string("PK\x03\x04", 4) + std::string(26, '.') +
                         "mimetypeapplication/vnd.oasis.opendocument.textPK";
const std::string kDoc = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "rest of it";
const std::string kFodt =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document "
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "office:mimetype=\"application/vnd.oasis.opendocument.text\"><office:body/></office:document>";

const std::string kNoOffice =
    " needs LibreOffice (soffice), which is not installed (install the libreoffice-writer "
    "package)";

class OfficeFormats : public qxtest::ToolTest {
  protected:
    std::string MakeFile(const std::string& name, const std::string& bytes) {
        fs::create_directories(fs::path(Path(name)).parent_path());
        qxtest::WriteFileBytes(Path(name), bytes);
        return Path(name);
    }
    // The tool run with a PATH that has no LibreOffice on it.
    ToolResult RunWithoutOffice(const std::string& args) {
        return RunCommand("PATH=/nonexistent " + std::string(QXRTF_TOOL_PATH) + " " + args);
    }
    // The name the cache keeps the conversion of `file` under.
    std::string CacheNameOf(const std::string& file) {
        const ToolResult sum = RunCommand("sha256sum '" + file + "'");
        return sum.output.substr(0, 64) + ".rtf";
    }
};

}  // namespace

TEST_F(OfficeFormats, AreRecognisedByContentAndNeedLibreOffice) {
    struct Case {
        const char* format;
        const std::string& bytes;
    };
    const Case cases[] = {{"DOCX", kDocx}, {"ODT", kOdt}, {"DOC", kDoc}, {"flat ODT", kFodt}};
    MakeFile("c.csv", "NAME\nAnn\n");
    for (const Case& c : cases) {
        // Named as nothing in particular: the content decides.
        MakeFile("letter.dat", c.bytes);
        const std::string needs =
            "The " + std::string(c.format) + " template " + Path("letter.dat") + kNoOffice;
        for (const std::string& command :
             {"render '" + Path("letter.dat") + "' -o '" + Path("out.rtf") + "'",
              "check '" + Path("letter.dat") + "'", "dump '" + Path("letter.dat") + "'"}) {
            SCOPED_TRACE(std::string(c.format) + ": " + command);
            const ToolResult r = RunWithoutOffice(command + " --cache '" + Path("cache") + "'");
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.output, "qxrtf: " + needs + "\n");
        }
        SCOPED_TRACE(std::string(c.format) + ": batch");
        const ToolResult batch = RunWithoutOffice(
            "batch '" + Path("letter.dat") + "' --master C --name C.NAME --csv C='" +
            Path("c.csv") + "' --out-dir '" + Path("out") + "' --cache '" + Path("cache") + "'");
        EXPECT_EQ(batch.exitCode, 1);
        EXPECT_EQ(batch.output, "qxrtf batch: " + needs + "\n");
        EXPECT_FALSE(fs::exists(Path("out.rtf")));
        EXPECT_FALSE(fs::exists(Path("out")));
        EXPECT_FALSE(fs::exists(Path("cache")));
    }
    // An RTF template named as a DOCX is still RTF.
    MakeFile("rtf.docx", "{\\rtf1 Hello}");
    const ToolResult rtf =
        RunWithoutOffice("render '" + Path("rtf.docx") + "' -o '" + Path("out.rtf") + "'");
    EXPECT_EQ(rtf.exitCode, 0) << rtf.output;
    EXPECT_EQ(qxtest::ReadFileBytes(Path("out.rtf")), "{\\rtf1 Hello}");
}

TEST_F(OfficeFormats, AConvertedTemplateIsTakenFromTheCacheByItsContent) {
    MakeFile("letter.docx", kDocx);
    MakeFile("c.csv", "NAME\nAnn\nBob\n");
    const std::string cached = CacheNameOf(Path("letter.docx"));
    const std::string rtf = "{\\rtf1 Dear \\\\C.NAME\\\\}";
    struct Case {
        const char* name;
        std::string environment;  // before the command
        std::string option;       // after it
        std::string cacheDir;     // where the conversion is looked for
    };
    const Case cases[] = {
        {"--cache", "", " --cache '" + Path("given") + "'", Path("given")},
        {"XDG_CACHE_HOME", "XDG_CACHE_HOME='" + Path("xdg") + "' ", "", Path("xdg/qxrtf")},
        {"HOME", "env -u XDG_CACHE_HOME HOME='" + Path("home") + "' ", "",
         Path("home/.cache/qxrtf")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeFile(fs::path(c.cacheDir).lexically_relative(Path("")).string() + "/" + cached, rtf);
        const ToolResult render =
            RunCommand(c.environment + "PATH=/nonexistent " + QXRTF_TOOL_PATH + " render '" +
                       Path("letter.docx") + "' -o '" + Path("out.rtf") + "' --csv C='" +
                       Path("c.csv") + "'" + c.option);
        ASSERT_EQ(render.exitCode, 0) << render.output;
        EXPECT_EQ(qxtest::ReadFileBytes(Path("out.rtf")), "{\\rtf1 Dear Ann}");
        const ToolResult batch =
            RunCommand(c.environment + "PATH=/nonexistent " + QXRTF_TOOL_PATH + " batch '" +
                       Path("letter.docx") + "' --master C --name C.NAME --csv C='" +
                       Path("c.csv") + "' --out-dir '" + Path("out") + "' --overwrite" + c.option);
        ASSERT_EQ(batch.exitCode, 0) << batch.output;
        EXPECT_EQ(qxtest::ReadFileBytes(Path("out/Bob.rtf")), "{\\rtf1 Dear Bob}");
        fs::remove_all(c.cacheDir);
    }
}

TEST_F(OfficeFormats, AConversionIsRedoneByAnotherLibreOfficeBuild) {
    // A LibreOffice that logs each start and "converts" by copying a
    // prepared RTF; its versionrc names its build, as a real one's does.
    fs::create_directory(Path("bin"));
    MakeFile("converted.rtf", "{\\rtf1 Dear \\\\C.NAME\\\\}");
    MakeFile("bin/soffice",
             "#!/bin/sh\necho start >> '" + Path("starts.log") +
                 "'\nwhile [ $# -gt 0 ]; do [ \"$1\" = --outdir ] && out=$2; shift; done\n"
                 "mkdir -p \"$out\" && cp '" +
                 Path("converted.rtf") + "' \"$out/template.rtf\"\n");
    fs::permissions(Path("bin/soffice"), fs::perms::owner_all);
    MakeFile("bin/versionrc", "[Version]\nbuildid=1\n");
    MakeFile("letter.docx", kDocx);
    MakeFile("c.csv", "NAME\nAnn\n");
    const auto starts = [&] { return qxtest::LinesOf(Path("starts.log")); };
    struct Step {
        const char* name;
        std::function<void()> before;
        int starts;  // LibreOffice starts the render takes
    };
    const std::string cached = Path("cache/" + CacheNameOf(Path("letter.docx")));
    const Step steps[] = {
        {"the first render converts", [] {}, 1},
        {"the second takes the cached conversion", [] {}, 0},
        {"another build converts again",
         [&] { MakeFile("bin/versionrc", "[Version]\nbuildid=2\n"); }, 1},
        {"and is kept for the next", [] {}, 0},
        {"a conversion kept without its maker converts again",
         [&] { fs::remove(fs::path(cached).replace_extension(".made-by")); }, 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.before();
        const int before = starts();
        const ToolResult r =
            RunCommand("PATH='" + Path("bin") + "':/usr/bin:/bin " + QXRTF_TOOL_PATH + " render '" +
                       Path("letter.docx") + "' -o '" + Path("out.rtf") + "' --csv C='" +
                       Path("c.csv") + "' --cache '" + Path("cache") + "'");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(qxtest::ReadFileBytes(Path("out.rtf")), "{\\rtf1 Dear Ann}");
        EXPECT_EQ(starts() - before, step.starts);
    }
}

TEST_F(OfficeFormats, AnErrorInAConvertedTemplateShowsItsParagraph) {
    MakeFile("letter.odt", kOdt);
    const std::string before =
        "{\\rtf1\\ansi\\deff0 \\pard\\plain {\\loch First}\\par\n\\pard\\plain ";
    const std::string paragraph =
        "{\\loch Total: }{\\b\\loch \\\\FNUM(1/0, 10:2)\\\\}{\\loch  caf\\u233\\'e9}";
    MakeFile("cache/" + CacheNameOf(Path("letter.odt")),
             before + paragraph + "\\par\n\\pard\\plain {\\loch Last}\\par}");
    const std::string cached = Path("cache/" + CacheNameOf(Path("letter.odt")));
    // The field is on the second line of the RTF.
    const std::size_t lineStart = before.find('\n') + 1;
    const std::string place =
        "2:" + std::to_string(before.size() - lineStart + paragraph.find("\\\\FNUM") + 1);
    // Without LibreOffice on PATH the conversion kept in the cache is used,
    // whatever made it.
    std::string err;
    const std::string path = std::getenv("PATH");
    setenv("PATH", "/nonexistent", 1);
    const ToolResult r = RunSplit("render '" + Path("letter.odt") + "' -o '" + Path("out.rtf") +
                                      "' --cache '" + Path("cache") + "'",
                                  err);
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(r.exitCode, 1);
    const std::string where = Path("letter.odt") + ":" + place + ": ";
    EXPECT_EQ(err.substr(0, where.size()), where) << err;
    EXPECT_NE(err.find("\n    \\FNUM(1/0, 10:2)\\\n    in the paragraph \"Total: \\FNUM(1/0, "
                       "10:2)\\ caf\xC3\xA9\" (" +
                       place + " of " + cached + ")\n"),
              std::string::npos)
        << err;
    EXPECT_FALSE(fs::exists(Path("out.rtf")));
}

TEST_F(OfficeFormats, AReportInAnotherFormatNeedsLibreOfficeBeforeItRuns) {
    MakeFile("t.rtf", "{\\rtf1 Hello}");
    struct Case {
        std::string args;
        int exitCode;
        std::string output;
    };
    const Case cases[] = {
        {"-o '" + Path("r.docx") + "'", 1, "qxrtf: -o " + Path("r.docx") + kNoOffice + "\n"},
        {"-o '" + Path("r.ODT") + "'", 1, "qxrtf: -o " + Path("r.ODT") + kNoOffice + "\n"},
        {"-o '" + Path("r.pdf") + "'", 1, "qxrtf: -o " + Path("r.pdf") + kNoOffice + "\n"},
        {"-o '" + Path("r.out") + "' --to pdf", 1, "qxrtf: -o " + Path("r.out") + kNoOffice + "\n"},
        {"-o '" + Path("r.docx") + "' --to xls", 2,
         "qxrtf: --to xls: not a report format (rtf, docx, odt, pdf)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolResult r = RunWithoutOffice("render '" + Path("t.rtf") + "' " + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.output, c.output);
        for (const char* name : {"r.docx", "r.ODT", "r.pdf", "r.out"})
            EXPECT_FALSE(fs::exists(Path(name))) << name;
    }
    // --to rtf writes RTF whatever the name says.
    const ToolResult rtf =
        RunWithoutOffice("render '" + Path("t.rtf") + "' -o '" + Path("r.docx") + "' --to rtf");
    EXPECT_EQ(rtf.exitCode, 0) << rtf.output;
    EXPECT_EQ(qxtest::ReadFileBytes(Path("r.docx")), "{\\rtf1 Hello}");
}

TEST_F(OfficeFormats, AnInterruptDuringAConversionEndsLibreOfficeAndLeavesNothing) {
    // A LibreOffice that never finishes, and says when it has started.
    fs::create_directory(Path("bin"));
    MakeFile("bin/soffice", "#!/bin/sh\necho $$ > '" + Path("started") + "'\nexec sleep 60\n");
    fs::permissions(Path("bin/soffice"), fs::perms::owner_all);
    MakeFile("t.rtf", "{\\rtf1 Dear \\\\C.NAME\\\\}");
    MakeFile("letter.docx", kDocx);
    MakeFile("c.csv", "NAME\nAnn\nBob\n");
    struct Case {
        const char* name;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"the report",
         {"render", Path("t.rtf"), "-o", Path("out/r.docx"), "--csv", "C=" + Path("c.csv")}},
        {"the template",
         {"render", Path("letter.docx"), "-o", Path("out/r.rtf"), "--cache", Path("out/cache")}},
        {"a batch's group",
         {"batch", Path("t.rtf"), "--master", "C", "--name", "C.NAME", "--to", "odt", "--csv",
          "C=" + Path("c.csv"), "--out-dir", Path("out")}},
    };
    const std::string path = std::getenv("PATH");
    setenv("PATH", (Path("bin") + ":" + path).c_str(), 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Path("out"));
        fs::remove(Path("started"));
        fs::create_directory(Path("out"));
        qxtest::ToolProcess tool(c.args, Path("log.txt"));
        ASSERT_TRUE(tool.Started());
        ASSERT_TRUE(qxtest::WaitFor(
            [&] { return fs::exists(Path("started")) && fs::file_size(Path("started")) > 0; }));
        tool.Signal(SIGTERM);
        ASSERT_TRUE(tool.Wait());
        EXPECT_EQ(tool.Result(), 128 + SIGTERM) << qxtest::ReadFileBytes(Path("log.txt"));
        const pid_t office = std::stoi(qxtest::ReadFileBytes(Path("started")));
        EXPECT_TRUE(qxtest::WaitFor([&] { return ::kill(office, 0) != 0; }))
            << "LibreOffice still runs";
        EXPECT_TRUE(fs::is_empty(Path("out")));
        EXPECT_TRUE(TempFiles().empty());
    }
    setenv("PATH", path.c_str(), 1);
}
