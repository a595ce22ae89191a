// The command-line tool as a user runs it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "qxrtf/qxrtf.h"
#include "test_support.h"
#include "tool/tool_runner.h"

using namespace qxtest;

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
         "qxrtf: Template is not RTF file: " + Path("bad.rtf") + ".\n"},
        {"dump '" + Path("bad.rtf") + "'",
         "qxrtf: Template is not RTF file: " + Path("bad.rtf") + ".\n"},
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
        {"a+*b", 1, "qxrtf: Cannot process an expression: a+*b error after a \"*\" not expected\n"},
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
              "{\\rtf1 a=1.3;b=2.0; RigaOslo, N "
              "42 True 2024/03/07 []}");

    struct Case {
        std::string args;
        std::string message;
        int exitCode;
    };
    const Case cases[] = {
        {"--json X='" + Path("none.json") + "'",
         "qxrtf: Dataset X: cannot read " + Path("none.json") + "\n", 1},
        {"--var N=abc:number",
         "qxrtf: --var N=abc:number: 'abc' is not a valid floating point value\n", 2},
        {"--option eoNoSuchThing",
         "qxrtf: --option eoNoSuchThing: no such RTF option (the options are "
         "eoGraphicsWmfCompatible, eoGraphicsBinary, eoClearMissedFields, eoDotAsColon, "
         "eoNumericFormatClearZero, eoKeepFrtfPar, eoProcessFormFields)\n",
         2},
        {"--json Y", "qxrtf: Dataset 'Y' must be given as NAME=FILE\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolResult bad =
            RunTool("render '" + Path("t.rtf") + "' -o '" + Path("bad.rtf") + "' " + c.args);
        EXPECT_EQ(bad.exitCode, c.exitCode);
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
    EXPECT_EQ(qxtest::ReadFileBytes(Path("out.rtf")), "{\\rtf1 [{\\lang1049 5}] []}");
    qxtest::WriteFileBytes(Path("bad.json"), R"({"Options": ["eoWrong"]})");
    const ToolResult bad = RunTool("render '" + Path("t.rtf") + "' -o '" + Path("o2.rtf") +
                                   "' --settings '" + Path("bad.json") + "'");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.output, "qxrtf: Settings: unknown RTF option \"eoWrong\"\n");
}

TEST_F(ToolTest, ImageRootConfinesPictures) {
    std::filesystem::create_directory(Path("pics"));
    qxtest::WriteFileBytes(Path("pics/p.png"),
                           qxtest::ReadFileBytes(qxtest::DataPath("pictures/quarters.png")));
    qxtest::WriteFileBytes(Path("t.rtf"), "{\\rtf1 \\\\FIMG(F)\\\\}");
    const std::string render = "render '" + Path("t.rtf") + "' -o '" + Path("out.rtf") +
                               "' --image-root '" + Path("pics") + "' --var F=";
    const ToolResult inside = RunTool(render + "p.png");
    ASSERT_EQ(inside.exitCode, 0) << inside.output;
    EXPECT_NE(qxtest::ReadFileBytes(Path("out.rtf")).find("{\\pict"), std::string::npos);
    const ToolResult outside = RunTool(render + "../t.rtf");
    EXPECT_EQ(outside.exitCode, 1);
    EXPECT_EQ(outside.output, Path("t.rtf") +
                                  ":1:8: Picture file ../t.rtf is outside the image root " +
                                  Path("pics") + "\n    \\FIMG(F)\\\n");
    EXPECT_FALSE(std::filesystem::exists(Path("out.rtf")));
    const ToolResult missing = RunTool("render '" + Path("t.rtf") + "' -o '" + Path("out.rtf") +
                                       "' --image-root '" + Path("none") + "' --var F=p.png");
    EXPECT_EQ(missing.exitCode, 2) << missing.output;
}

TEST_F(ToolTest, ASettingsFileCannotLiftTheLimits) {
    qxtest::WriteFileBytes(Path("t.rtf"), "{\\rtf1 \\\\SCAN(),WHILE(1=1)\\\\x\\\\ENDSCAN\\\\}");
    qxtest::WriteFileBytes(Path("s.json"), R"({"MaxScanRepetitions": 0, "MaxOutputSize": 0})");
    const ToolResult r = RunTool("render '" + Path("t.rtf") + "' -o '" + Path("out.rtf") +
                                 "' --max-repetitions 50 --settings '" + Path("s.json") + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, Path("t.rtf") +
                            ":1:30: Scan SCAN(),WHILE(1=1) repeated more than 50 times\n"
                            "    \\ENDSCAN\\\n");
}

TEST_F(ToolTest, ExitCodesSayWhoseFaultItIs) {
    qxtest::WriteFileBytes(Path("t.rtf"), "{\\rtf1 hello}");
    const std::string t = "'" + Path("t.rtf") + "'";
    struct Case {
        std::string args;
        int exitCode;
    };
    const Case cases[] = {
        {"render " + t + " -o '" + Path("o.rtf") + "'", 0},
        {"check " + t, 0},
        {"render '" + Path("none.rtf") + "' -o '" + Path("o.rtf") + "'", 1},
        {"render " + t + " -o '" + Path("no/such/dir/o.rtf") + "'", 1},
        {"render " + t, 2},                                 // no output
        {"render " + t + " -o x.rtf --no-such-option", 2},  // unknown option
        {"frobnicate", 2},                                  // unknown command
        {"", 2},                                            // no command
        {"render " + t + " -o '" + Path("o.rtf") + "' --locale xx_NOWHERE", 2},
        {"check " + t + " --codepage many", 2},
        {"--help", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(RunTool(c.args).exitCode, c.exitCode);
    }
    const ToolResult help = RunTool("--help");
    EXPECT_NE(help.output.find("Examples:"), std::string::npos);
    EXPECT_NE(help.output.find("qxrtf check"), std::string::npos);
    EXPECT_NE(help.output.find("Exit codes: 0 success, 1"), std::string::npos);
    EXPECT_EQ(RunTool("render " + t + " -o x.rtf --locale xx_NOWHERE").output,
              "qxrtf: Locale 'xx_NOWHERE' is not available\n");
}

TEST_F(ToolTest, ErrorsPointIntoTheTemplate) {
    // Templates written by LibreOffice: a compile error and a run-time
    // error in the second record of a scan.
    const std::string compile = qxtest::DataPath("errors_compile.rtf");
    ToolResult r = RunTool("render '" + compile + "' -o '" + Path("o.rtf") +
                           "' --var CUSTOMER=Ann --var TOTAL=3:number");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, compile + ":32:17: Function not found: NOSUCH(TOTAL)\n" +
                            "    \\UPPER(NOSUCH(TOTAL))\\\n");
    EXPECT_FALSE(std::filesystem::exists(Path("o.rtf")));

    const std::string run = qxtest::DataPath("errors_run.rtf");
    qxtest::WriteFileBytes(Path("items.json"),
                           R"([{"NAME": "Bolts", "QTY": 4}, {"NAME": "Nuts", "QTY": 0}])");
    r = RunTool("render '" + run + "' -o '" + Path("o.rtf") + "' --json ITEMS='" +
                Path("items.json") + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, run + ":32:22: Division by zero. Operation \"/\", expression " +
                            "100/ITEMS.QTY (ITEMS record 2)\n    \\100 / ITEMS.QTY\\\n");
    // dump compiles too, and says where.
    r = RunTool("dump '" + compile + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output.rfind(compile + ":32:17: ", 0), 0u) << r.output;
}

TEST_F(ToolTest, CheckListsTheTemplateAndWarnsOfMissingNames) {
    qxtest::WriteFileBytes(Path("o.json"), R"([{"ID": 1, "TOTAL": 2.5}])");
    qxtest::WriteFileBytes(Path("good.rtf"),
                           "{\\rtf1\n\\\\SCAN(ORDERS)\\\\ \\\\ORDERS.ID\\\\ "
                           "\\\\FNUM(ORDERS.TOTAL, 10:2)\\\\\n\\\\ENDSCAN\\\\ "
                           "\\\\UPPER(NOTE)\\\\}");
    std::string err;
    const std::string data = " --json ORDERS='" + Path("o.json") + "'";
    ToolResult r = RunSplit("check '" + Path("good.rtf") + "'" + data + " --var NOTE=x", err);
    EXPECT_EQ(r.exitCode, 0) << err;
    EXPECT_EQ(err, "");
    const std::string t = Path("good.rtf");
    const auto at = [&](const char* lineCol) { return "  " + t + ":" + lineCol + ": "; };
    const std::string expected = "Fields:\n" + at("2:1") + "command \\SCAN(ORDERS)\\\n" +
                                 at("2:18") + "dataset field \\ORDERS.ID\\\n" + at("2:32") +
                                 "dataset field \\FNUM(ORDERS.TOTAL, 10:2)\\\n" + at("3:1") +
                                 "command \\ENDSCAN\\\n" + at("3:13") +
                                 "expression \\UPPER(NOTE)\\\n" + "Blocks:\n  1 scan ORDERS: " + t +
                                 ":2:1 to " + t + ":3:1\n" + "Functions:\n" + at("3:13") +
                                 "UPPER\n" + "5 fields, 1 block, 1 function call, 0 warnings\n";
    EXPECT_EQ(r.output, expected);

    // Without the variable: a warning on stderr, still exit 0.
    r = RunSplit("check '" + t + "'" + data, err);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(err, t + ":3:13: warning: variable NOTE is not defined\n    \\UPPER(NOTE)\\\n");
    EXPECT_NE(r.output.find("1 warning\n"), std::string::npos);

    // A faulty template: exit 1 with the position of the compile error.
    qxtest::WriteFileBytes(Path("bad.rtf"),
                           "{\\rtf1 \\\\SCAN(ORDERS)\\\\ x\n"
                           " \\\\ENDIF\\\\ \\\\ENDSCAN\\\\}");
    r = RunSplit("check '" + Path("bad.rtf") + "'" + data, err);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(err, Path("bad.rtf") +
                       ":2:2: Error: \"endif\" is not expected: ENDIF\n"
                       "    \\ENDIF\\\n");
}

TEST_F(ToolTest, LocaleSetsTheNumberAndDateFormats) {
    qxtest::WriteFileBytes(Path("t.rtf"),
                           "{\\rtf1 \\\\FNUM(X, 10:2)\\\\ \\\\FDTM(D, 'd mmmm yyyy')\\\\}");
    const std::string args = "render '" + Path("t.rtf") + "' -o '" + Path("out.rtf") +
                             "' --var X=1234.5:number --var D=2024-03-07:date";
    ASSERT_EQ(RunTool(args).exitCode, 0);
    EXPECT_EQ(qxtest::ReadFileBytes(Path("out.rtf")), "{\\rtf1 1,234.50 7 March 2024}");
    if (std::system("locale -a 2>/dev/null | grep -qix de_DE.utf8") != 0)
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    ASSERT_EQ(RunTool(args + " --locale de_DE.UTF-8").exitCode, 0);
    EXPECT_EQ(qxtest::ReadFileBytes(Path("out.rtf")), "{\\rtf1 1.234,50 7 M\\'E4rz 2024}");
}

TEST_F(ToolTest, PdfNeedsLibreOfficeAndSaysSo) {
    qxtest::WriteFileBytes(Path("t.rtf"), "{\\rtf1 Hello \\\\X\\\\}");
    const std::string render = "render '" + Path("t.rtf") + "' -o '" + Path("out.rtf") +
                               "' --var X=world --pdf '" + Path("out.pdf") + "'";
    // A PATH without LibreOffice on it.
    const ToolResult missing =
        RunCommand("PATH=/nonexistent " + std::string(QXRTF_TOOL_PATH) + " " + render);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.output,
              "qxrtf: --pdf needs LibreOffice (soffice), which is not installed (install the "
              "libreoffice-writer package); "
              "the report was written to " +
                  Path("out.rtf") + " only\n");
    EXPECT_TRUE(std::filesystem::exists(Path("out.rtf")));
    EXPECT_FALSE(std::filesystem::exists(Path("out.pdf")));
    if (!HaveCommand("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
    const ToolResult r = RunTool(render);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(qxtest::ReadFileBytes(Path("out.pdf")).rfind("%PDF-", 0), 0u);
    EXPECT_TRUE(TempFiles().empty());  // the private LibreOffice profile is gone
}

// A picture name that is no regular file is a picture that cannot be
// loaded, noted in the document as a missing one is: a named pipe no
// longer blocks the run for ever (the shell's timeout ends it if it does).
TEST_F(ToolTest, PicturesComeOnlyFromRegularFiles) {
    ASSERT_EQ(mkfifo(Path("pipe.png").c_str(), 0600), 0);
    std::filesystem::create_directory(Path("folder.png"));
    qxtest::WriteFileBytes(Path("t.rtf"), "{\\rtf1 \\\\FIMG(F)\\\\}");
    for (const std::string& name :
         {Path("pipe.png"), Path("folder.png"), std::string("/dev/zero")}) {
        SCOPED_TRACE(name);
        const ToolResult r =
            RunCommand("timeout 60 " + std::string(QXRTF_TOOL_PATH) + " render '" + Path("t.rtf") +
                       "' -o '" + Path("out.rtf") + "' --var F=" + name);
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(qxtest::ReadFileBytes(Path("out.rtf")), "{\\rtf1 #Can't load file " + name + "}");
    }
}
