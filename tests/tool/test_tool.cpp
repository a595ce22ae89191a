// The command-line tool as a user runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>

#include "qxrtf/qxrtf.h"
#include "test_support.h"
#include "tool_runner.h"

namespace {

class ToolTest : public qxtest::TempDirTest {};

}  // namespace

TEST_F(ToolTest, RenderWritesWhatTheLibraryWrites) {
    const std::string in = qxtest::DataPath("lo_plain.rtf");
    const ToolResult r = RunTool("render '" + in + "' -o '" + Path("out.rtf") + "'");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    qx::TQxRTF report;
    report.SetInFile(in);
    report.SetOutFile(Path("lib.rtf"));
    report.Execute({});
    EXPECT_EQ(qxtest::ReadFileBytes(Path("out.rtf")), qxtest::ReadFileBytes(Path("lib.rtf")));
}

TEST_F(ToolTest, ErrorsGoToStderrWithExitCodeOne) {
    qxtest::WriteFileBytes(Path("bad.rtf"), "not rtf");
    struct Case {
        std::string args;
        std::string message;
    };
    const Case cases[] = {
        {"render '" + Path("missing.rtf") + "' -o '" + Path("o.rtf") + "'",
         "qxrtf: Can't read file " + Path("missing.rtf") + "\n"},
        {"render '" + Path("bad.rtf") + "' -o '" + Path("o.rtf") + "'",
         "qxrtf: Template is not RTF file.\n"},
        {"dump '" + Path("bad.rtf") + "'", "qxrtf: Template is not RTF file.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolResult r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.output, c.message);
    }
    EXPECT_NE(RunTool("render").exitCode, 0);  // the template is required
    const ToolResult help = RunTool("render --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("--output"), std::string::npos);
}

TEST_F(ToolTest, DumpListsTheCompiledStream) {
    qxtest::WriteFileBytes(Path("t.rtf"), "{\\rtf1 hello}");
    const ToolResult r = RunTool("dump '" + Path("t.rtf") + "'");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "0 Begin @1\n16 Bloc @14\n32 End @14\n");
}

TEST_F(ToolTest, ExprPrintsTheCallTextOrTheExactError) {
    struct Case {
        std::string expr;
        int exitCode;
        std::string output;
    };
    const Case cases[] = {
        {"a+b*2", 0, "SYS_ADD(SYS_MULT(2,b),a)\n"},
        {"a+*b", 1, "Cannot process an expression: a+*b error after a \"*\" not expected\n"},
        // A leading minus is the expression, not an option.
        {"-a", 0, "SYS_UMINUS(a)\n"},
        {"-a+b", 0, "SYS_ADD(b,SYS_UMINUS(a))\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expr);
        const ToolResult r = RunTool("expr '" + c.expr + "'");
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.output, c.output);
    }
    EXPECT_EQ(RunTool("expr -- -a").output, "SYS_UMINUS(a)\n");
    EXPECT_NE(RunTool("expr a --bogus").exitCode, 0);  // still an unknown option
}

TEST_F(ToolTest, RenderTakesDatasetsVariablesAndOptions) {
    qxtest::WriteFileBytes(
        Path("t.rtf"),
        "{\\rtf1 \\\\SCAN(ORDERS)\\\\\\\\ORDERS.NAME\\\\=\\\\FFIX(ORDERS.TOTAL, 10:1)\\\\;"
        "\\\\ENDSCAN\\\\ \\\\SCAN(B)\\\\\\\\B.CITY\\\\\\\\ENDSCAN\\\\ \\\\N + 1\\\\ \\\\F\\\\ "
        "\\\\FDTM(D, 'yyyy/mm/dd')\\\\ [\\\\MISSING\\\\]}");
    qxtest::WriteFileBytes(Path("o.json"),
                           R"([{"NAME": "a", "TOTAL": 1.25}, {"NAME": "b", "TOTAL": 2}])");
    qxtest::WriteFileBytes(Path("c.csv"), "CITY,ZIP\nRiga,1000\n\"Oslo, N\",2000\n");
    const ToolResult r =
        RunTool("render '" + Path("t.rtf") + "' -o '" + Path("out.rtf") + "' --json ORDERS='" +
                Path("o.json") + "' --csv CITIES='" + Path("c.csv") +
                "' --var N=41:number --var F=yes:boolean --var D=2024-03-07:date"
                " --option eoClearMissedFields");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(qxtest::ReadFileBytes(Path("out.rtf")),
              "{\\rtf1 \\lang0 a=\\lang0 1.3;\\lang0 b=\\lang0 2.0; \\lang0 Riga\\lang0 Oslo, N "
              "\\lang0 42 \\lang0 True \\lang0 2024/03/07 []}");

    struct Case {
        std::string args;
        std::string message;
    };
    const Case cases[] = {
        {"--json X='" + Path("none.json") + "'",
         "qxrtf: Dataset X: cannot read " + Path("none.json") + "\n"},
        {"--var N=abc:number", "qxrtf: 'abc' is not a valid floating point value\n"},
        {"--option eoNoSuchThing", "qxrtf: Unknown RTF option 'eoNoSuchThing'\n"},
        {"--json Y", "qxrtf: Dataset 'Y' must be given as NAME=FILE\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolResult bad =
            RunTool("render '" + Path("t.rtf") + "' -o '" + Path("bad.rtf") + "' " + c.args);
        EXPECT_EQ(bad.exitCode, 1);
        EXPECT_EQ(bad.output, c.message);
        EXPECT_FALSE(std::filesystem::exists(Path("bad.rtf")));
    }
}

TEST_F(ToolTest, SettingsFileSetsTheReportUp) {
    qxtest::WriteFileBytes(Path("t.rtf"), "{\\rtf1 [\\\\X\\\\] [\\\\MISSING\\\\]}");
    qxtest::WriteFileBytes(
        Path("s.json"), R"({"Lang": 1049, "Options": ["eoClearMissedFields"], "VarList": ["X=5"],)"
                        R"( "VarDataTypes": "0100000001000000"})");
    const ToolResult r = RunTool("render '" + Path("t.rtf") + "' -o '" + Path("out.rtf") +
                                 "' --settings '" + Path("s.json") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(qxtest::ReadFileBytes(Path("out.rtf")), "{\\rtf1 [\\lang1049 5] []}");
    qxtest::WriteFileBytes(Path("bad.json"), R"({"Options": ["eoWrong"]})");
    const ToolResult bad = RunTool("render '" + Path("t.rtf") + "' -o '" + Path("o2.rtf") +
                                   "' --settings '" + Path("bad.json") + "'");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.output, "qxrtf: Settings: unknown RTF option \"eoWrong\"\n");
}
