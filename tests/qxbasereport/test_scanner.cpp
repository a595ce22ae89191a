// The template scanner: which fields it finds in raw RTF, what it passes
// through unsearched, and what it records in the command stream.
#include <gtest/gtest.h>

#include <sstream>

#include "qxbasereport/scan_probe.h"

using namespace qx;
using qxtest::PosOf;
using qxtest::ScanProbe;

namespace {

struct FieldCase {
    const char* name;
    std::string rtf;
    std::vector<std::string> fields;
    TQxRTFOptions options = {};
};

}  // namespace

TEST(Scanner, FindsTheFieldsOfRawRtf) {
    const std::string longBody9999(9999, 'x');
    const std::string longBody10000(10000, 'x');
    const FieldCase cases[] = {
        {"escaped backslashes", R"({\rtf1 A \\Name\\ B})", {"Name"}},
        {"hex backslashes, either case", R"({\rtf1 \'5cName\'5C})", {"Name"}},
        {"mixed delimiters", R"({\rtf1 \\Name\'5c})", {"Name"}},
        {"adjacent fields", R"({\rtf1 \\A\\\\B\\})", {"A", "B"}},
        {"lone backslash before \\par", R"({\rtf1 \\abc\par x \\Name\\})", {"Name"}},
        {"backslash-asterisk is text", R"({\rtf1 \\*abc \\Name\\})", {"Name"}},
        {"quoted inner backslash",
         R"({\rtf1 \\Format(\ldblquote a\\b\rdblquote)\\})",
         {R"(Format(\ldblquote a\\b\rdblquote))"}},
        {"quoted hex backslash", R"({\rtf1 \\F("a\'5cb")\\})", {R"(F("a\'5cb"))"}},
        {"\\par outside quotes abandons", R"({\rtf1 \\X(a\par b)\\})", {}},
        {"\\par inside quotes is kept", R"({\rtf1 \\X("a\par b")\\})", {R"(X("a\par b"))"}},
        {"longer words are no breaks",
         R"({\rtf1 \\a\cellx100 \pard\rowd b\\})",
         {R"(a\cellx100 \pard\rowd b)"}},
        {"guillemets", R"({\rtf1 \\X(\'abq\\r\'bb)\\})", {R"(X(\'abq\\r\'bb))"}},
        {"typographic bytes", "{\\rtf1 \\\\X(\x93q\\\\r\x94)\\\\}", {"X(\u201Cq\\\\r\u201D)"}},
        {"rquote closes an apostrophe", R"({\rtf1 \\X('a\\b\rquote )\\})", {R"(X('a\\b\rquote ))"}},
        {"an apostrophe never closed abandons", R"({\rtf1 \\O'Brien\\ x\par})", {}},
        {"9999 characters", "{\\rtf1 \\\\" + longBody9999 + "\\\\}", {longBody9999}},
        {"10000 characters abandon", "{\\rtf1 \\\\" + longBody10000 + "\\\\}", {}},
        {"end of template abandons", R"({\rtf1 \\Name)", {}},
        {"CR is passed over, LF kept", "{\\rtf1 \\\\Na\r\nme\\\\}", {"Na\nme"}},
        {"backslash before a line break is a paragraph", "{\\rtf1 a\\\n\\\\Name\\\\}", {"Name"}},
        {"a field cannot run over a line-break paragraph", "{\\rtf1 \\\\a\\\nb\\\\ c}", {}},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScanProbe probe(c.rtf, c.options);
        EXPECT_EQ(probe.AllFields(), c.fields);
    }
}

TEST(Scanner, BreakWordsAbandonAnOpenField) {
    for (const char* word :
         {"\\trowd", "\\row", "\\cell", "\\page", "\\sect", "\\line", "\\par", "\\par1", "\\PAR"}) {
        SCOPED_TRACE(word);
        // The abandoned opening delimiter is text; the closing one then
        // opens a field that runs to the end of the template.
        ScanProbe probe(std::string("{\\rtf1 \\\\a") + word + " b\\\\ c}");
        EXPECT_EQ(probe.AllFields(), std::vector<std::string>{});
    }
}

TEST(Scanner, PassesThroughGroupsUnsearched) {
    const FieldCase cases[] = {
        {"picture", R"({\rtf1 {\pict \\A\\}\\B\\})", {"B"}},
        {"object", R"({\rtf1 {\object {\\A\\}}\\B\\})", {"B"}},
        {"field instruction", R"({\rtf1 {\*\fldinst \\A\\}\\B\\})", {"B"}},
        {"shape result", R"({\rtf1 {\shprslt \\A\\}\\B\\})", {"B"}},
        {"binary data", R"({\rtf1 {\pict\bin6 }\\A\\}\\B\\})", {"B"}},
        {"escaped brace inside", R"({\rtf1 {\pict \}\\A\\}\\B\\})", {"B"}},
        {"form field", R"({\rtf1 {\field{\*\fldinst \\A\\}{\fldrslt \\B\\}}\\C\\})", {"C"}},
        {"form field processed",
         R"({\rtf1 {\field{\*\fldinst \\A\\}{\fldrslt \\B\\}}\\C\\})",
         {"B", "C"},
         TQxRTFOptions{eoProcessFormFields}},
        {"a prefix is no keyword", R"({\rtf1 {\pictx \\A\\}})", {"A"}},
        {"a field cannot run into a picture", R"({\rtf1 \\A{\pict x}B\\})", {}},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScanProbe probe(c.rtf, c.options);
        EXPECT_EQ(probe.AllFields(), c.fields);
    }
}

TEST(Scanner, PassedThroughGroupIsOneBalancedBloc) {
    const std::string rtf = R"({\rtf1 A{\pict\bin2 }{}B})";
    ScanProbe probe(rtf);
    probe.AllFields();
    const std::int32_t after = PosOf(rtf, "}B") + 1;
    EXPECT_EQ(probe.Dump(),
              "0 Begin @1\n"
              "16 Bloc @" +
                  std::to_string(PosOf(rtf, "{\\pict")) +
                  "\n"
                  "32 BalancedBloc @" +
                  std::to_string(after) +
                  "\n"
                  "48 Bloc @" +
                  std::to_string(rtf.size() + 1) +
                  "\n"
                  "64 End @" +
                  std::to_string(rtf.size() + 1) + "\n");
}

TEST(Scanner, FieldIsDeliveredWithItsPositions) {
    const std::string rtf = R"({\rtf1 Dear \\Name\\, hi})";
    ScanProbe probe(rtf);
    std::string field;
    ASSERT_TRUE(probe.GetNextReportField(field));
    EXPECT_EQ(field, "Name");
    EXPECT_EQ(probe.KwdPnt(), PosOf(rtf, "\\\\Name"));
    EXPECT_EQ(probe.Pnt(), PosOf(rtf, ", hi"));
    // The text before the field is one Bloc that ends at the delimiter.
    EXPECT_EQ(probe.Dump(), "0 Begin @1\n16 Bloc @" + std::to_string(probe.KwdPnt()) +
                                "\n32 End @" + std::to_string(probe.Pnt()) + "\n");
}

TEST(Scanner, AbandonedDelimiterBecomesTextAndScanningGoesOn) {
    const std::string rtf = R"({\rtf1 \\abc\par \\Name\\})";
    ScanProbe probe(rtf);
    std::string field;
    EXPECT_FALSE(probe.GetNextReportField(field));
    EXPECT_EQ(field, "");
    EXPECT_FALSE(probe.FileEof());
    const std::int32_t afterDelimiter = PosOf(rtf, "abc");
    EXPECT_EQ(probe.Pnt(), afterDelimiter);
    ASSERT_TRUE(probe.GetNextReportField(field));
    EXPECT_EQ(field, "Name");
    // The lone delimiter and the text after it are copied.
    EXPECT_EQ(probe.Dump(), "0 Begin @1\n16 Bloc @" + std::to_string(PosOf(rtf, "\\\\Name")) +
                                "\n32 End @" + std::to_string(probe.Pnt()) + "\n");
}

TEST(Scanner, TableRowsAreRecorded) {
    struct Case {
        const char* name;
        std::string rtf;
        std::vector<std::pair<std::string, std::string>>
            records;  // kind, text before which it stands
    };
    const Case cases[] = {
        {"row definition to row end",
         R"({\rtf1 A\trowd\cellx9 B\cell\row C})",
         {{"Bloc", "\\trowd"}, {"TableBegin", "\\trowd"}, {"Bloc", " C"}, {"TableEnd", " C"}}},
        {"\\rowd is no row end; \\pard closes an \\intbl region",
         R"({\rtf1 \intbl A\rowd B\pard C})",
         {{"Bloc", "\\intbl"}, {"TableBegin", "\\intbl"}, {"Bloc", " C"}, {"TableEnd", " C"}}},
        {"\\pardirnatural is a paragraph reset",
         R"({\rtf1 \intbl A\cell\pardirnatural C})",
         {{"Bloc", "\\intbl"}, {"TableBegin", "\\intbl"}, {"Bloc", " C"}, {"TableEnd", " C"}}},
        {"\\pard inside a row keeps the table",
         R"({\rtf1 \trowd\pard\intbl A\row})",
         {{"Bloc", "\\trowd"},
          {"TableBegin", "\\trowd"},
          {"Bloc", "\\intbl"},
          {"TableBegin", "\\intbl"},
          {"Bloc", "}"},
          {"TableEnd", "}"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScanProbe probe(c.rtf);
        probe.AllFields();
        std::string expected = "";
        for (const auto& [kind, before] : c.records)
            expected += kind + " @" + std::to_string(PosOf(c.rtf, before)) + "\n";
        expected += "Bloc @" + std::to_string(c.rtf.size() + 1) + "\n";
        // Offsets left out: the kinds and positions tell the layout.
        std::string dump = probe.Dump();
        std::string got;
        std::istringstream lines(dump);
        for (std::string line; std::getline(lines, line);) {
            const std::string rec = line.substr(line.find(' ') + 1);
            if (rec.rfind("Begin", 0) == 0 || rec.rfind("End", 0) == 0) continue;
            got += rec + "\n";
        }
        EXPECT_EQ(got, expected);
        EXPECT_FALSE(probe.InTable());
    }
}

TEST(Scanner, UnicodeSkipCountFollowsGroups) {
    struct Case {
        const char* name;
        std::string rtf;
        std::int32_t atField;
    };
    const Case cases[] = {
        {"default", R"({\rtf1 \\F\\})", 1},
        {"inside the group", R"({\rtf1 {\uc2 \\F\\}})", 2},
        {"restored at the closing brace", R"({\rtf1 {\uc2 x}\\F\\})", 1},
        {"upper case, many digits", R"({\rtf1 \UC12 \\F\\})", 12},
        {"escaped braces are text", R"({\rtf1 \{\uc3 \}\\F\\})", 3},
        {"unbalanced closing brace", R"({\rtf1 }}\\F\\})", 0},
        {"\\u is no skip count", R"({\rtf1 \u1076?\\F\\})", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScanProbe probe(c.rtf);
        std::string field;
        ASSERT_TRUE(probe.GetNextReportField(field));
        EXPECT_EQ(probe.SkipCount(), c.atField);
    }
}

TEST(Scanner, CharacterReading) {
    const std::string rtf = "ab\r\n\x01\tc";
    ScanProbe probe(rtf);
    EXPECT_EQ(probe.getns(7), std::string("ab\tc\x1a\x1a\x1a"));
    EXPECT_EQ(probe.getns(0), "");
    EXPECT_EQ(probe.ReadFb(), 'a');
    EXPECT_EQ(probe.ReadBack(), 'a');  // the mirror: back onto the byte just read
    EXPECT_EQ(probe.ReadBack(), 26);   // nothing before position 1
    EXPECT_EQ(probe.Pnt(), 1);
    std::string read;
    for (int i = 0; i < 6; ++i) read.push_back(static_cast<char>(probe.ReadFb()));
    EXPECT_EQ(read, std::string("ab\n\tc\x1a"));  // CR and 0x01 passed over, LF and TAB kept
    EXPECT_EQ(probe.Pnt(), static_cast<std::int32_t>(rtf.size()) + 1);
    EXPECT_EQ(probe.ReadBack(), 'c');
    EXPECT_EQ(probe.ReadBack(), '\t');
    EXPECT_EQ(probe.ReadBack(), '\n');  // 0x01 passed over
    EXPECT_EQ(probe.ReadBack(), 'b');
    probe.SetPnt(static_cast<std::int32_t>(rtf.size()) + 2);
    EXPECT_EQ(probe.ReadBack(), 26);  // past the end
}
