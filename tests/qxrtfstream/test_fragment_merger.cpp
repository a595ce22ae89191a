// The fragment merger on small hand-made fragments: tokens, keyword
// lookup, and what each kind of keyword and group leaves in the report.
#include <gtest/gtest.h>

#include "platform/exceptions.h"
#include "qxrtfstream/fragment_fixture.h"

using namespace qx;
using qxtest::Entries;
using qxtest::FragmentReport;
using qxtest::Merge;

namespace {

TEST(FragmentTokens, ReaderSplitsTheSourceIntoTokens) {
    const struct {
        std::string source;
        TQXkwType kind;
        const char *read, *key, *param, *delimiter;
    } cases[] = {
        {"{x", kwOpen, "{", "", "", ""},
        {"}x", kwClose, "}", "", "", ""},
        {"\\*\\foo", kwKeyDest, "\\*", "", "", ""},
        {"\\fs24 x", kwKeyWord, "\\fs24 ", "\\fs", "24", " "},
        {"\\li-360\\ri", kwKeyWord, "\\li-360", "\\li", "-360", ""},
        {"\\b-x", kwKeyWord, "\\b", "\\b", "", ""},
        {"\\PAR;", kwKeyWord, "\\PAR", "\\PAR", "", ""},
        {"\\~x", kwKeyChar, "\\~", "", "", ""},
        {"\\{", kwKeyChar, "\\{", "", "", ""},
        {"\\'e9x", kwHexChar, "\\'e9", "", "", ""},
        {"\\'e", kwNone, "\\'", "", "", ""},   // cut short
        {"\\'zz", kwNone, "\\'", "", "", ""},  // no hex digits
        {"\\|", kwNone, "\\|", "", "", ""},
        {"\\", kwNone, "\\", "", "", ""},
        {std::string("\0a", 2), kwNone, "", "", "", ""},
        {"a\\", kwChar, "a", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        FragmentReport report;
        TStringStream source(c.source);
        TQxStream merger(report, source);
        EXPECT_EQ(merger.ReadNext(), c.kind);
        EXPECT_EQ(merger.LastRead(), c.read);
        EXPECT_EQ(merger.LastKey(), c.key);
        EXPECT_EQ(merger.LastParam(), c.param);
        EXPECT_EQ(merger.LastDelimeter(), c.delimiter);
        EXPECT_EQ(source.Position(), static_cast<std::int64_t>(std::string(c.read).size()));
    }
}

TEST(FragmentTokens, EveryKeywordOfTheTableIsFoundAndOthersAreNot) {
    FragmentReport report;
    for (std::size_t i = 0; i < kwtable.size(); ++i) {
        const std::string key(kwtable[i].n);
        SCOPED_TRACE(key);
        std::string upper = key;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        TStringStream source(upper + "1 ");
        TQxStream merger(report, source);
        ASSERT_EQ(merger.ReadNext(), kwKeyWord);
        const int row = merger.FindKeyWord();
        ASSERT_GE(row, 0);
        EXPECT_EQ(kwtable[static_cast<std::size_t>(row)].n, key);
        EXPECT_EQ(kwtable[static_cast<std::size_t>(row)].a, kwtable[i].a);
    }
    for (const char* unknown : {"\\aaa", "\\zzzz", "\\fontt", "\\pardx", "\\af"}) {
        SCOPED_TRACE(unknown);
        TStringStream source(unknown);
        TQxStream merger(report, source);
        merger.ReadNext();
        EXPECT_EQ(merger.FindKeyWord(), -1);
    }
}

TEST(FragmentTokens, KeywordRowsCarryTheirActions) {
    const struct {
        const char* key;
        TQXkwActionMethod action;
        std::uint16_t proc;
    } cases[] = {
        {"\\absh", amSave, 0},
        {"\\zwnj", amSave, 0},
        {"\\fonttbl", amReadBlockRun, KwProc::FontTable},
        {"\\colortbl", amReadBlockRun, KwProc::ColorTable},
        {"\\stylesheet", amReadBlockRun, KwProc::StyleSheet},
        {"\\clcfpat", amSaveChange, KwProc::CellColour},
        {"\\ts", amSaveChange, KwProc::TableStyle},
        {"\\bin", amSaveRun, KwProc::Bin},
        {"\\deff", amSkipRun, KwProc::Deff},
        {"\\hsv", amSaveBlock, 0},
        {"\\xmlopen", amSkipBlock, 0},
        {"\\trwwidthb", amSkipInTable, 0},
        {"\\xmlsdttunknown", amSkip, 0},
        {"\\charscalex", amSave, 0},
        {"\\mdefjc", amSave, 0},
    };
    FragmentReport report;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        TStringStream source(c.key);
        TQxStream merger(report, source);
        merger.ReadNext();
        const int row = merger.FindKeyWord();
        ASSERT_GE(row, 0);
        EXPECT_EQ(kwtable[static_cast<std::size_t>(row)].a, c.action);
        EXPECT_EQ(kwtable[static_cast<std::size_t>(row)].proc, c.proc);
    }
}

TEST(FragmentGroups, SeekStrFindsTextAcrossReadWindows) {
    FragmentReport report;
    std::string data(2500, 'x');
    data.replace(998, 5, "match");  // across the first window's end
    data.replace(2400, 3, "end");
    TStringStream source(data);
    TQxStream merger(report, source);
    EXPECT_TRUE(merger.SeekStr("match"));
    EXPECT_EQ(source.Position(), 998);
    EXPECT_TRUE(merger.SeekStr("end"));
    EXPECT_EQ(source.Position(), 2400);
    source.SetPosition(10);
    EXPECT_FALSE(merger.SeekStr("absent"));
    EXPECT_EQ(source.Position(), 10);
    EXPECT_FALSE(merger.SeekStr(""));
    EXPECT_FALSE(merger.SeekStr(std::string(2501, 'x')));
}

TEST(FragmentGroups, GroupsEndAtTheirOwnClosingBrace) {
    FragmentReport report;
    // Escaped braces, an escaped backslash before a real brace, and binary
    // data holding braces.
    const std::string group = "{a\\}b{c}\\\\{\\bin3 }}{d}}";
    TStringStream source(group + "tail");
    TQxStream merger(report, source);
    std::unique_ptr<TQxGetMem> mem;
    std::int64_t size = 0;
    ASSERT_TRUE(merger.ReadGroup(mem, size));
    EXPECT_EQ(size, static_cast<std::int64_t>(group.size()));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(mem->Mem())), group);
    EXPECT_EQ(source.Position(), size);
    source.SetPosition(0);
    EXPECT_TRUE(merger.SkipGroup());
    EXPECT_EQ(source.Position(), size);

    TStringStream open("{never {closed}");
    TQxStream unclosed(report, open);
    EXPECT_FALSE(unclosed.ReadGroup(mem, size));
    EXPECT_FALSE(unclosed.SkipGroup());
    EXPECT_EQ(open.Position(), 0);
}

class Fragments : public ::testing::Test {
  protected:
    FragmentReport report;
};

TEST_F(Fragments, FontReferencesTakeTheReportsNumbers) {
    report.SetTables({"{\\f0\\froman Times;}", "{\\f1\\fswiss Arial;}", "{\\f5\\fmodern Courier;}"},
                     {}, {});
    const std::string out = Merge(
        report,
        "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}{\\f2\\froman Times;}{\\f3\\fnil Papyrus;}}"
        "\\f2 a\\f0 b\\f3 c{\\pnf3 d}}");
    EXPECT_EQ(out, "{\\f0 a\\f1 b\\f6 c{\\pnf6 d}}");
    EXPECT_EQ(Entries(*report.RTFFont()),
              (std::vector<std::string>{"{\\f0\\froman Times;}", "{\\f1\\fswiss Arial;}",
                                        "{\\f5\\fmodern Courier;}", "{\\f6\\fnil Papyrus;}"}));
}

TEST_F(Fragments, ColourReferencesTakeTheReportsNumbers) {
    report.SetTables(
        {},
        {";", "\\red255\\green0\\blue0;", "\\red0\\green128\\blue0;", "\\red0\\green0\\blue255;"},
        {});
    const std::string out = Merge(report,
                                  "{\\rtf1{\\colortbl;\\red0\\green0\\blue255;\r\n"
                                  "\\red9\\green9\\blue9;}\\cf1 a\\cb2 b\\highlight1 c"
                                  "\\chcbpat2\\ulc0\\brdrcf1 d}");
    EXPECT_EQ(out, "{\\cf3 a\\cb4 b\\highlight3 c\\chcbpat4\\ulc0\\brdrcf3 d}");
    EXPECT_EQ(Entries(*report.RTFColor()).back(), "\\red9\\green9\\blue9;");
}

TEST_F(Fragments, TableInsideAReportCellLosesItsRowsAndCells) {
    const std::string table =
        "{\\rtf1\\trowd\\trgaph108\\clcbpat1\\cellx2000\\cellx4000"
        "\\pard\\intbl A\\cell B\\cell\\row\\pard after}";
    report.SetInTable(true);
    // Dropped words ended by a space leave a carriage return, so that
    // "\pard\intbl" does not run into the text.
    EXPECT_EQ(Merge(report, table), "{\\pard\\intbl\rA\rB\\line\\pard\\intbl after}");
    EXPECT_EQ(Merge(report, "{\\intbl A\\cell B\\cell\\row}"), "{\rA\rB\\line}");
    report.SetInTable(false);
    EXPECT_EQ(Merge(report, table),
              "{\\trowd\\trgaph108\\clcbpat1\\cellx2000\\cellx4000"
              "\\pard\\intbl A\\cell B\\cell\\row\\pard after}");
}

TEST_F(Fragments, HeaderGroupsVanishAndPicturesAreCopiedByteForByte) {
    const std::string pict = "{\\*\\shppict{\\pict\\pngblip\\picw2\\pich2 89504e47\r\n0d0a}}";
    const std::string object = "{\\object\\objemb{\\*\\objdata 0105}{\\result{\\f9 R}}}";
    const std::string bin = "{\\pict\\wmetafile8\\bin4 {}\\}}";
    const std::string out =
        Merge(report,
              "{\\rtf1{\\header H}{\\footer F}{\\info{\\title T}}{\\*\\listtable{\\list L}}"
              "{\\*\\generator G;}Text" +
                  pict + object + bin + "{\\footerl{\\pict x}}}");
    EXPECT_EQ(out, "{Text" + pict + object + bin + "}");
}

TEST_F(Fragments, DestinationsAndUnknownWords) {
    const struct {
        std::string fragment;
        std::string expected;
    } cases[] = {
        // An unknown word ended by a space becomes one carriage return.
        {"{\\b\\foo text}", "{\\b\rtext}"},
        {"{\\b\\foo;}", "{\\b;}"},
        {"{\\rtf1 \\ansi A}", "{\r\rA}"},
        // Ignorable destinations: kept when the merger knows the word,
        // gone with their text when it does not.
        {"{a{\\*\\bkmkstart m}b}", "{a{\\*\\bkmkstart m}b}"},
        {"{a{\\*\\userprops{\\propname x}}b}", "{ab}"},
        {"{a{\\*\\rsid 5 x}b}", "{ab}"},
        {"{a{\\*}b}", "{a{}b}"},
        // Control symbols the merger does not know stay; cut-short escapes go.
        {"{a\\|b\\\nc}", "{a\\|b\\\nc}"},
        {"{a\\'4}", "{a4}"},
        {std::string("{a\0b}", 5), "{ab}"},
        // \binN: its data bytes are copied, never more than there are.
        {"{\\bin3 }{x}", "{\\bin3 }{x}"},
        {"{\\bin99999999999999999999 ab", "{\\bin2 ab}"},
        // Broken braces: a stray "}" is dropped, open groups are closed, and
        // text outside any group is put into one.
        {"}a}{b", "{a{b}}"},
        {"{\\pict 0102", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fragment);
        EXPECT_EQ(Merge(report, c.fragment), c.expected);
    }
}

TEST_F(Fragments, FinalParagraphMarkIsBlankedUnlessKept) {
    const std::string fragment = "{\\rtf1 Text\\par }";
    EXPECT_EQ(Merge(report, fragment), "{\rText\\par }");
    EXPECT_EQ(Merge(report, fragment, true), "{\rText\r\r\r\r\r}");
    EXPECT_EQ(Merge(report, "{One\\par{Two\\par}}", true), "{One\\par{Two\r\r\r\r}}");
    // Text after the last mark: it ends no final paragraph, and stays.
    EXPECT_EQ(Merge(report, "{One\\par Two}", true), "{One\\par Two}");
    // The mark is found in place even when a group brace was pending.
    EXPECT_EQ(Merge(report, "{A{\\par}}", true), "{A{\r\r\r\r}}");
}

TEST_F(Fragments, PlainNamesTheFragmentsDefaultFont) {
    report.SetTables({"{\\f0 Times;}", "{\\f1 Arial;}"}, {}, {});
    EXPECT_EQ(Merge(report, "{\\rtf1{\\fonttbl{\\f0 Papyrus;}{\\f1 Times;}}\\plain a}"),
              "{\\plain\\f2 a}");
    EXPECT_EQ(Merge(report, "{\\rtf1\\deff1{\\fonttbl{\\f0 Papyrus;}{\\f1 Arial;}}\\plain a}"),
              "{\\plain\\f1 a}");
    // Without a font table there is no number to give.
    EXPECT_EQ(Merge(report, "{\\rtf1\\plain a\\plain\\b}"), "{\\plain\\f a\\plain\\f\\b}");
}

TEST_F(Fragments, StyleReferencesTakeTheMergedNumbers) {
    std::vector<std::string> reportStyles;
    for (int i = 0; i <= 15; ++i)
        reportStyles.push_back("{\\s" + std::to_string(i) + " Style " + std::to_string(i) + ";}");
    report.SetTables({"{\\f0 Times;}"}, {";"}, reportStyles);
    const std::string out =
        Merge(report,
              "{\\rtf1{\\fonttbl{\\f0 Times;}{\\f1 Papyrus;}}{\\colortbl;\\red1\\green2\\blue3;}"
              "{\\stylesheet{\\s0 Style 4;}{\\*\\cs1\\f1\\cf1 Loud;}"
              "{\\s2\\sbasedon0\\snext2 Quote;}}"
              "\\pard\\s0 a{\\cs1 b}\\s2 c\\ts3 d\\ds1 e}");
    EXPECT_EQ(out, "{\\pard\\s4 a{\\cs16 b}\\s17 c\\ts3 d\\ds16 e}");
    const std::vector<std::string> styles = Entries(*report.RTFStyle());
    ASSERT_EQ(styles.size(), 18u);
    EXPECT_EQ(styles[16], "{\\*\\cs16\\f1\\cf1 Loud;}");
    EXPECT_EQ(styles[17], "{\\s17\\sbasedon4\\snext17 Quote;}");
}

TEST_F(Fragments, StyleReferencesBeyondAnyNumberAreKeptAsWritten) {
    // Far more digits than any number has: the style is no copy of a
    // report style, and its references stay as the fragment wrote them.
    const std::string digits(25, '9');
    report.SetTables({"{\\f0 Times;}"}, {";"}, {"{\\s0 Normal;}"});
    const std::string out = Merge(report, "{\\rtf1{\\stylesheet{\\s1\\sbasedon" + digits +
                                              "\\snext" + digits + " Quote;}}\\pard\\s1 c}");
    EXPECT_EQ(out, "{\\pard\\s1 c}");
    EXPECT_EQ(Entries(*report.RTFStyle()),
              (std::vector<std::string>{
                  "{\\s0 Normal;}", "{\\s1\\sbasedon" + digits + "\\snext" + digits + " Quote;}"}));
}

TEST_F(Fragments, ReportEntriesOfAnotherShapeAreKept) {
    report.SetTables({"{\\fonttbl-like}", "{\\f0 Times;}"}, {";", "odd", "\\red1\\green1\\blue1;"},
                     {"{\\s0 Normal}"});
    Merge(report, "{\\rtf1{\\colortbl;\\red1\\green1\\blue1;}\\cf1 a}");
    EXPECT_EQ(Entries(*report.RTFFont()),
              (std::vector<std::string>{"{\\fonttbl-like}", "{\\f0 Times;}"}));
    // Colour numbers are places in the list: nothing moves.
    EXPECT_EQ(Entries(*report.RTFColor()),
              (std::vector<std::string>{";", "odd", "\\red1\\green1\\blue1;"}));
    EXPECT_EQ(Entries(*report.RTFStyle()), (std::vector<std::string>{"{\\s0 Normal}"}));
}

TEST_F(Fragments, ParametersAreTakenAsAReaderTakesThem) {
    report.SetTables({"{\\f0 Times;}"}, {";", "\\red1\\green1\\blue1;"}, {});
    const struct {
        std::string fragment;
        std::string expected;
    } cases[] = {
        // No number is 0; a number beyond 32 bits is the nearest that fits.
        {"{\\cf a}", "{\\cf0 a}"},
        {"{\\s}", "{\\s0}"},
        {"{\\cf2147483648 a}", "{\\cf2147483647 a}"},
        {"{\\f99999999999 a}", "{\\f2147483647 a}"},
        {"{\\f-99999999999 a}", "{\\f-2147483648 a}"},
        {"{\\fs4294967298 a}", "{\\fs2147483647 a}"},
        {"{\\u-3 a}", "{\\u-3 a}"},
        // Digits past the token window still belong to the parameter.
        {"{\\fs" + std::string(250, '1') + " a}", "{\\fs2147483647 a}"},
        {"{\\b" + std::string(250, '0') + " a}", "{\\b0 a}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fragment.substr(0, 40));
        EXPECT_EQ(Merge(report, c.fragment), c.expected);
    }
}

TEST_F(Fragments, BinaryDataNeverHidesOrRevealsBraces) {
    const struct {
        std::string fragment;
        std::string expected;
    } cases[] = {
        // A negative count is no data, in the body and in a copied group,
        // and an empty \\bin is left out;
        // what follows the fragment's last brace goes into a group of its own.
        {"{A\\bin-2 }}}\\b X}", "{A\r}{\\b X}"},
        {"{A{\\object\\bin-2 }}}\\b X}", "{A{\\object\r}}{\\b X}"},
        {"{A{\\*\\x\\bin-5 }}}\\b X}", "{A}{\\b X}"},
        // A copied group writes every count as the one passed over.
        {"{A{\\pict\\BIN2 }}}\\b X}", "{A{\\pict\\bin2 }}}\\b X}"},
        {"{A{\\pict\\bin00002 }}}\\b X}", "{A{\\pict\\bin2 }}}\\b X}"},
        {"{A{\\pict\\bin2}}}\\b X}", "{A{\\pict\\bin2 }}}\\b X}"},
        {"{A{\\pict\\bin0 x\\bin1 {}}", "{A{\\pict\rx\\bin1 {}}"},
        // More than the fragment holds: the group never closes and goes.
        {"{A{\\pict\\bin4294967298 }}}\\b X}", "{A}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fragment);
        const std::string out = Merge(report, c.fragment);
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(qxtest::BraceBalance(out), 0);
    }
}

TEST_F(Fragments, TableEntriesWithBinaryDataOrBracesAreLeftOut) {
    report.SetTables({"{\\f0 Times;}"}, {";"}, {"{\\s0 Normal;}"});
    Merge(report,
          "{\\rtf1{\\fonttbl{\\f1\\bin1 }Arial;}{\\f2 Courier;}}"
          "{\\colortbl;{\\red1;}\\red3\\bin1 ;;\\red4;}"
          "{\\stylesheet{\\s1\\bin2 ;}Heading;}{\\s2 Quote;}}\\pard A}");
    EXPECT_EQ(Entries(*report.RTFFont()),
              (std::vector<std::string>{"{\\f0 Times;}", "{\\f1 Courier;}"}));
    EXPECT_EQ(Entries(*report.RTFColor()), (std::vector<std::string>{";", "\\red4;"}));
    EXPECT_EQ(Entries(*report.RTFStyle()),
              (std::vector<std::string>{"{\\s0 Normal;}", "{\\s1 Quote;}"}));
}

}  // namespace
