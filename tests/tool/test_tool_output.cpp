// Where `qxrtf render` puts its report: under OUT only once it is complete,
// whatever ends the run, and never over the template.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>

#include "test_support.h"
#include "tool/tool_runner.h"

using namespace qxtest;
namespace fs = std::filesystem;

namespace {

// A report of `lines` lines of about 100 bytes, made by a loop.
std::string LoopTemplate(long lines) {
    return "{\\rtf1\\ansi\\pard \\\\SCAN(),VAR(I),WHILE(I<" + std::to_string(lines) +
           ")\\\\\\\\I := I + 1\\\\Line \\\\I\\\\ of a long report that goes on and on "
           "and on.\\par \\\\ENDSCAN\\\\}";
}

std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

// Bytes of the report being written in `dir`'s temporary folder, -1 while
// there is none.
std::intmax_t PendingReportSize(const std::string& dir) {
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().filename().string().rfind(".qxrtf-", 0) != 0) continue;
        std::error_code ec;
        const auto size = fs::file_size(e.path() / "report.rtf", ec);
        if (!ec) return static_cast<std::intmax_t>(size);
    }
    return -1;
}

}  // namespace

// The render is stopped once a megabyte of its report is on the disk,
// long before it could end (a billion lines would take minutes; the output
// limit ends it after 200 MB if the signal never comes).
TEST_F(ToolTest, AnInterruptedRenderLeavesNoReportAndNoTemporaryFile) {
    WriteFileBytes(Path("endless.rtf"), LoopTemplate(1'000'000'000));
    WriteFileBytes(Path("short.rtf"), LoopTemplate(20'000));
    struct Case {
        const char* what;
        int signal;  // 0: none, the short report is let finish
        int result;  // the exit code, or minus the signal that ended the tool
    };
    const Case cases[] = {
        {"SIGTERM", SIGTERM, 128 + SIGTERM}, {"SIGINT", SIGINT, 128 + SIGINT},
        {"SIGHUP", SIGHUP, 128 + SIGHUP},    {"SIGKILL", SIGKILL, -SIGKILL},
        {"no signal", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = Path(c.what), out = dir + "/out";
        fs::create_directories(out);
        WriteFileBytes(out + "/report.rtf", "the report of an earlier run");
        ToolProcess tool({"render", Path(c.signal == 0 ? "short.rtf" : "endless.rtf"), "-o",
                          out + "/report.rtf", "--var", "I=0:number", "--max-output", "200000000"},
                         dir + "/log.txt");
        ASSERT_TRUE(tool.Started());
        if (c.signal != 0) {
            ASSERT_TRUE(WaitFor([&] { return PendingReportSize(out) >= (1 << 20); }))
                << ReadFileBytes(dir + "/log.txt");
            EXPECT_FALSE(fs::exists(out + "/report.rtf")) << "the earlier report is still there";
            tool.Signal(c.signal);
        }
        ASSERT_TRUE(tool.Wait());
        EXPECT_EQ(tool.Result(), c.result) << ReadFileBytes(dir + "/log.txt");

        const std::set<std::string> left = Names(out);
        if (c.signal == 0) {
            EXPECT_EQ(left, std::set<std::string>{"report.rtf"});
            const std::string report = ReadFileBytes(out + "/report.rtf");
            EXPECT_TRUE(report.ends_with("Line 20000 of a long report that goes on and on "
                                         "and on.\\par }"))
                << report.substr(report.size() - 100);
        } else if (c.signal == SIGKILL) {
            // Nothing can clean up after SIGKILL: the report is not there,
            // only the folder it was being written in.
            ASSERT_EQ(left.size(), 1u);
            EXPECT_EQ(left.begin()->rfind(".qxrtf-", 0), 0u) << *left.begin();
        } else {
            EXPECT_TRUE(left.empty()) << *left.begin();
        }
    }
}

TEST_F(ToolTest, AFailedWriteNamesTheReportAndLeavesNothing) {
    WriteFileBytes(Path("t.rtf"), LoopTemplate(20'000));
    fs::create_directories(Path("out"));
    const std::string report = Path("out/report.rtf");
    // A file size limit of 32 KB makes the writes of the report fail.
    const ToolResult r = RunCommand("trap '' XFSZ; ulimit -f 64; exec " +
                                    std::string(QXRTF_TOOL_PATH) + " render '" + Path("t.rtf") +
                                    "' -o '" + report + "' --var I=0:number");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, "qxrtf: Cannot write file \"" + report + "\". File too large\n");
    EXPECT_TRUE(Names(Path("out")).empty());
}

TEST_F(ToolTest, AnOutputThatIsTheTemplateIsAUsageError) {
    const std::string templ = Path("t.rtf");
    const std::string original = "{\\rtf1 the template}";
    WriteFileBytes(templ, original);
    fs::create_directories(Path("sub"));
    fs::create_symlink(templ, Path("link.rtf"));
    fs::create_hard_link(templ, Path("hard.rtf"));
    struct Case {
        std::string args;
        std::string message;
    };
    const std::string overwrites = " would overwrite the template " + templ + "\n";
    const Case cases[] = {
        {"-o " + templ, "qxrtf: -o " + templ + overwrites},
        {"-o " + Path("sub/../t.rtf"), "qxrtf: -o " + Path("sub/../t.rtf") + overwrites},
        {"-o " + Path("link.rtf"), "qxrtf: -o " + Path("link.rtf") + overwrites},
        {"-o " + Path("hard.rtf"), "qxrtf: -o " + Path("hard.rtf") + overwrites},
        {"-o " + Path("o.rtf") + " --pdf " + Path("link.rtf"),
         "qxrtf: --pdf " + Path("link.rtf") + overwrites},
        // Neither exists yet: the names are compared.
        {"-o " + Path("o.rtf") + " --pdf " + Path("sub/../o.rtf"),
         "qxrtf: --pdf " + Path("sub/../o.rtf") + " would overwrite the report " + Path("o.rtf") +
             "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolResult r = RunTool("render " + templ + " " + c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.output, c.message);
        EXPECT_EQ(ReadFileBytes(templ), original);
        EXPECT_FALSE(fs::exists(Path("o.rtf")));
    }
}

TEST_F(ToolTest, AReportIntoADeviceIsWrittenStraightThrough) {
    WriteFileBytes(Path("t.rtf"), "{\\rtf1 hello}");
    const ToolResult r = RunShell(std::string(QXRTF_TOOL_PATH) + " render '" + Path("t.rtf") +
                                  "' -o /dev/stdout");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "{\\rtf1 hello}");
    const ToolResult folder = RunTool("render '" + Path("t.rtf") + "' -o '" + dir_ + "'");
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_EQ(folder.output, "qxrtf: Cannot create file \"" + dir_ + "\". Is a directory\n");
}
