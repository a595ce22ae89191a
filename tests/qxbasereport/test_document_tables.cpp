// The document tables: read from the template into the report's lists and
// written back into the output at their places, with what the run added.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "conscom/exceptions.h"
#include "qxbasereport/scan_probe.h"

using namespace qx;
using qxtest::ScanProbe;

namespace {

std::vector<std::string> Entries(const TStringList* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->Count(); ++i) out.push_back(list->Strings(i));
    return out;
}

// A report whose run pass can add fonts and colours, as pictures and
// inserted fragments do.
class TableReport : public TQxRTF {
  public:
    std::function<void(TableReport&)> duringRun;

  protected:
    void RunPass() override {
        TQxRTF::RunPass();
        if (duringRun) duringRun(*this);
    }
};

std::string Render(TableReport& report, const std::string& rtf) {
    report.SetTemplateBuffer(std::vector<std::uint8_t>(rtf.begin(), rtf.end()));
    TStringStream out;
    report.ExecuteStream({}, &out);
    return out.DataString();
}

std::string Render(const std::string& rtf, int charset = 1) {
    TableReport report;
    report.SetCharset(static_cast<std::uint8_t>(charset));
    return Render(report, rtf);
}

}  // namespace

// A Charset the application sets is forced on every font that has one.
TEST(DocumentTables, FontTableEntriesGetAForcedCharset) {
    struct Case {
        const char* name;
        std::string table;
        std::vector<std::string> fonts;
    };
    const Case cases[] = {
        {"one font",
         R"({\fonttbl{\f1\froman\fcharset204 Times;}})",
         {R"({\f1\froman\fcharset0 Times;})"}},
        {"nested groups, text between groups dropped",
         "{\\fonttbl{\\f0\\fcharset1 A{\\*\\falt B};}\r\n{\\f1 C;}}",
         {R"({\f0\fcharset0 A{\*\falt B};})", R"({\f1 C;})"}},
        {"fonts without braces of their own",
         "{\\fonttbl\\f0\\fswiss\\fcharset238 Arial;\r\n\\f1 Courier;}",
         {R"({\f0\fswiss\fcharset0 Arial;})", R"({\f1 Courier;})"}},
        {"empty table", R"({\fonttbl})", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScanProbe probe("{\\rtf1" + c.table + "x}");
        probe.SetCharset(0);
        probe.AllFields();
        EXPECT_EQ(Entries(probe.RTFFont()), c.fonts);
    }
    EXPECT_EQ(Render(R"({\rtf1{\fonttbl{\f1\froman\fcharset204 Times;}}x})", 0),
              R"({\rtf1{\fonttbl{\f1\froman\fcharset0 Times;}}x})");
}

// With the default Charset every font keeps its own character set (a symbol
// font always), whatever code page the report writes in.
TEST(DocumentTables, FontsKeepTheirCharsetsByDefault) {
    for (int codePage : {1252, 1251, 932, 10000}) {
        SCOPED_TRACE(codePage);
        TableReport report;
        report.SetCodePage(codePage);
        const std::string rtf =
            R"({\rtf1{\fonttbl{\f1\fcharset238 A;}{\f2\fcharset2 Symbol;}{\f3 C;}}x})";
        EXPECT_EQ(Render(report, rtf), rtf);
        report.SetCharset(204);
        EXPECT_EQ(Render(report, rtf),
                  R"({\rtf1{\fonttbl{\f1\fcharset204 A;}{\f2\fcharset2 Symbol;}{\f3 C;}}x})");
    }
}

TEST(DocumentTables, ColorTableEntriesAndValues) {
    ScanProbe probe(R"({\rtf1{\colortbl;\red255\green0\blue0;\red0\green0\blue255;}x})");
    probe.AllFields();
    EXPECT_EQ(Entries(probe.RTFColor()), (std::vector<std::string>{";", R"(\red255\green0\blue0;)",
                                                                   R"(\red0\green0\blue255;)"}));
    ASSERT_EQ(probe.DocColors().size(), 2u);
    EXPECT_EQ(probe.DocColorCount(), 2);
    EXPECT_EQ(probe.DocColors()[0].GetColor(), 0x0000FFu);
    EXPECT_EQ(probe.DocColors()[1].GetColor(), 0xFF0000u);

    // Tints and shades are not kept; the automatic colour stays first.
    EXPECT_EQ(Render(R"({\rtf1{\colortbl ;\ctint255\cshade255\red1\green2\blue3;}x})"),
              R"({\rtf1{\colortbl ;\red1\green2\blue3;}x})");
}

TEST(DocumentTables, StyleSheetAndInfoKeepTheirSubGroups) {
    const std::string rtf =
        "{\\rtf1{\\stylesheet{\\s0 Normal;}\n{\\s1 H;}}{\\info{\\title A\\}b}\n{\\author W}}x}";
    ScanProbe probe(rtf);
    probe.AllFields();
    EXPECT_EQ(Entries(probe.RTFStyle()),
              (std::vector<std::string>{R"({\s0 Normal;})", R"({\s1 H;})"}));
    EXPECT_EQ(Entries(probe.RTFDocInfo()),
              (std::vector<std::string>{R"({\title A\}b})", R"({\author W})"}));
}

TEST(DocumentTables, EveryTableIsWrittenWhereTheTemplateHadIt) {
    const std::string rtf =
        "{\\rtf1{\\fonttbl{\\f0\\fcharset204 A;}}{\\colortbl;\\red255\\green0\\blue0;}"
        "{\\stylesheet{\\s0 Normal;}\n{\\s1 H;}}{\\info{\\title T}\n{\\author W}}\n"
        "\\\\F\\\\ body{\\fonttbl{\\f9\\fcharset204 Z;}}}";
    // The second font table is ordinary text and keeps its charset.
    EXPECT_EQ(Render(rtf, 0),
              "{\\rtf1{\\fonttbl{\\f0\\fcharset0 A;}}{\\colortbl;\\red255\\green0\\blue0;}"
              "{\\stylesheet{\\s0 Normal;}{\\s1 H;}}{\\info{\\title T}{\\author W}}\n"
              "\\\\F\\\\ body{\\fonttbl{\\f9\\fcharset204 Z;}}}");
}

TEST(DocumentTables, EntriesAddedDuringTheRunAreInTheTables) {
    TableReport report;
    int colorIndex = -1;
    report.duringRun = [&](TableReport& r) {
        r.RTFFont()->Add(R"({\f1 Z;})");
        colorIndex = r.RTFColor()->UseColor(R"(\red1\green2\blue3;)");
        EXPECT_EQ(r.RTFColor()->UseColor(R"(\red9\green9\blue9;)"), 1);  // already there
    };
    EXPECT_EQ(
        Render(report, R"({\rtf1{\fonttbl{\f0 A;}}{\colortbl;\red9\green9\blue9;}B})"),
        R"({\rtf1{\fonttbl{\f0 A;}{\f1 Z;}}{\colortbl;\red9\green9\blue9;\red1\green2\blue3;}B})");
    EXPECT_EQ(colorIndex, 2);
}

TEST(DocumentTables, MissingColorTableIsCreatedAfterTheFontTable) {
    TableReport report;
    int colorIndex = -1;
    report.duringRun = [&](TableReport& r) {
        colorIndex = r.RTFColor()->UseColor(R"(\red1\green2\blue3;)");
    };
    EXPECT_EQ(Render(report, R"({\rtf1{\fonttbl{\f0 A;}}B})"),
              R"({\rtf1{\fonttbl{\f0 A;}}{\colortbl;\red1\green2\blue3;}B})");
    EXPECT_EQ(colorIndex, 1);
    // Without a colour in use none is written.
    EXPECT_EQ(Render(R"({\rtf1{\fonttbl{\f0 A;}}B})"), R"({\rtf1{\fonttbl{\f0 A;}}B})");
}

TEST(DocumentTables, MalformedTablesFailAtTheirPlace) {
    struct Case {
        const char* name;
        std::string rtf;
        std::string message;
        std::string at;    // the text the error's place starts
        std::string word;  // the field text the place names
    };
    const std::string noCharset =
        "Can't read font table from input file: \\fcharset without a number";
    const Case cases[] = {
        {"charset without a number", R"({\rtf1{\fonttbl{\f0\fcharset Arial;}}x})", noCharset,
         R"(\fcharset Arial)", "fcharset"},
        {"unbraced charset without a number", R"({\rtf1{\fonttbl\f0\fcharset Arial;}x})", noCharset,
         R"(\fcharset Arial)", "fcharset"},
        {"a later font's charset",
         "{\\rtf1\n{\\fonttbl{\\f0\\fcharset0 A;}\n{\\f1\\fcharset-1 B;}}x}", noCharset,
         "\\fcharset-1", "fcharset"},
        {"font group not closed", R"({\rtf1{\fonttbl{\f0 Arial;)",
         "Can't read font table from input file", R"({\fonttbl)", "fonttbl"},
        {"font table not closed", R"({\rtf1{\fonttbl{\f0 Arial;})",
         "Can't read font table from input file", R"({\fonttbl)", "fonttbl"},
        {"colour table not closed", R"({\rtf1{\colortbl;\red0\green0\blue0;)",
         "Can't read color table from input file", R"({\colortbl)", "colortbl"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TableReport report;
        try {
            Render(report, c.rtf);
            ADD_FAILURE() << "no exception";
        } catch (const EBadRtfFormat& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
            ASSERT_TRUE(e.Pos().has_value());
            const std::size_t at = c.rtf.find(c.at);
            EXPECT_EQ(e.Pos()->offset, static_cast<std::int64_t>(at));
            EXPECT_EQ(e.Pos()->line,
                      1 + static_cast<int>(std::count(c.rtf.begin(), c.rtf.begin() + at, '\n')));
            EXPECT_EQ(e.Pos()->fieldText, c.word);
        }
        EXPECT_FALSE(report.ExecuteSuccessful());
        EXPECT_EQ(report.LastErrMsg(), c.message);
    }
}

TEST(DocumentTables, ColourComponentsWithoutANumberFailAtTheirPlace) {
    struct Case {
        std::string rtf;
        std::string word;  // where the error is, and what it names
    };
    const Case cases[] = {
        {"{\\rtf1{\\colortbl;\\red-1\\green0\\blue0;}x}", "red-1"},
        {"{\\rtf1{\\colortbl;\\red\\green0\\blue0;}x}", "red"},
        {"{\\rtf1\n{\\colortbl;\\red1\\green2\\blue3;\n\\red4\\green5\\blue-6;}x}", "blue-6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rtf);
        TableReport report;
        try {
            Render(report, c.rtf);
            ADD_FAILURE() << "no exception";
        } catch (const EBadRtfFormat& e) {
            EXPECT_EQ(std::string(e.what()), "Can't read color table from input file: \\" + c.word +
                                                 " is no colour component from 0 to 255");
            ASSERT_TRUE(e.Pos().has_value());
            const std::size_t at = c.rtf.find("\\" + c.word);
            EXPECT_EQ(e.Pos()->offset, static_cast<std::int64_t>(at));
            const std::size_t lineStart = c.rtf.rfind('\n', at);
            const int line =
                1 + static_cast<int>(std::count(c.rtf.begin(), c.rtf.begin() + at, '\n'));
            EXPECT_EQ(e.Pos()->line, line);
            EXPECT_EQ(
                e.Pos()->column,
                static_cast<int>(at - (lineStart == std::string::npos ? 0 : lineStart + 1)) + 1);
            EXPECT_EQ(e.Pos()->fieldText, c.word);
        }
    }
}
