// The merge tables: the report's entries keep their numbers, the
// fragment's are matched or appended, and each fragment number maps to
// its merged number.
#include <gtest/gtest.h>

#include "qxrtfstream/fragment_fixture.h"

using namespace qx;
using qxtest::FragmentReport;

namespace {

class MergeTables : public ::testing::Test {
  protected:
    FragmentReport report;
    TStringStream source{""};
    TQxStream merger{report, source};
};

TEST_F(MergeTables, ReplacementTableAnswersUnknownNumbersWithThemselves) {
    TQXReplTable& t = merger.FontTable();
    EXPECT_EQ(t.Old2New(7), 7);  // no cells at all
    // Cells out of order are found after the automatic sort.
    for (const auto& [o, n] : std::vector<std::pair<int, int>>{{9, 1}, {2, 5}, {40, 3}, {0, 8}})
        t.AddRepl(o, n);
    EXPECT_EQ(t.Old2New(2), 5);
    EXPECT_EQ(t.Old2New(40), 3);
    EXPECT_EQ(t.Old2New(0), 8);
    EXPECT_EQ(t.Old2New(9), 1);
    EXPECT_EQ(t.Old2New(3), 3);  // never defined by the fragment
    t.AddRepl(1, 6);             // added after a lookup: sorted again
    EXPECT_EQ(t.Old2New(1), 6);
}

TEST_F(MergeTables, FragmentFontsShareEqualFontsAndOtherwiseFollowTheHighest) {
    TQXFontStrings& fonts = merger.FontTable();
    EXPECT_TRUE(fonts.Add("{\\f0\\froman Times;}"));
    EXPECT_TRUE(fonts.Add("{\\f7\\fswiss Arial;}"));
    // Not a font's shape: refused.
    for (const char* bad : {"{\\fx Times;}", "{\\f1 A;", "\\f1 Times;}", "{\\f}"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(fonts.Add(bad));
    }
    EXPECT_TRUE(fonts.AddNew("{\\f2\\fswiss Arial;}"));  // same text after the number
    EXPECT_TRUE(fonts.AddNew("{\\f0\\fnil Papyrus;}"));
    // Differs only in its charset: a font of its own.
    EXPECT_TRUE(fonts.AddNew("{\\f1\\froman\\fcharset0 Times;}"));
    EXPECT_EQ(fonts.Old2New(2), 7);
    EXPECT_EQ(fonts.Old2New(0), 8);  // the next after the highest, though 1 to 6 are free
    EXPECT_EQ(fonts.Old2New(1), 9);
    EXPECT_EQ(fonts.HighNumber(), 9);
    EXPECT_EQ(fonts.GetString(2), "{\\f8\\fnil Papyrus;}");
    EXPECT_EQ(fonts.GetString(4), "");
    EXPECT_EQ(fonts.FindNumber("\\fswiss Arial;}"), 1);
}

TEST_F(MergeTables, ColoursMatchOnlyIdenticalEntries) {
    TQXColorStrings& colours = merger.ColorTable();
    for (const char* c :
         {";", "\\red255\\green0\\blue0;", "\\red0\\green128\\blue0;", "\\red0\\green0\\blue255;"})
        colours.Add(c);
    EXPECT_TRUE(colours.AddNew(0, ";"));
    EXPECT_TRUE(colours.AddNew(1, "\\red0\\green0\\blue255;"));
    EXPECT_TRUE(colours.AddNew(2, "\\red0\\green0\\blue255 ;"));  // a blank makes it another
    EXPECT_FALSE(colours.AddNew(3, "\\red1\\green1\\blue1"));
    EXPECT_EQ(colours.Old2New(0), 0);
    EXPECT_EQ(colours.Old2New(1), 3);
    EXPECT_EQ(colours.Old2New(2), 4);
    EXPECT_EQ(colours.Count(), 5);
    EXPECT_EQ(colours.GetString(4), "\\red0\\green0\\blue255 ;");
}

TEST_F(MergeTables, StyleGroupsAreSplitByKind) {
    const struct {
        const char* group;
        TQXStyleKind kind;
        const char* number;
        const char* rest;
    } cases[] = {
        {"{\\s3\\ql Body;}", skParagraph, "3", "\\ql Body;}"},
        {"{\\*\\cs10 Strong;}", skCharacter, "10", " Strong;}"},
        {"{\\*\\ds2 Section;}", skSection, "2", " Section;}"},
        {"{\\*\\ts11\\tsrowd Grid;}", skTable, "11", "\\tsrowd Grid;}"},
        {"{\\cs12 Plain char;}", skCharacter, "12", " Plain char;}"},
        {"{\\ds4 Sect;}", skSection, "4", " Sect;}"},
        {"{\\ts5 Table;}", skTable, "5", " Table;}"},
        {"{\\ql Normal;}", skParagraph, "0", "\\ql Normal;}"},
        {"{\\sa120 Spaced;}", skParagraph, "0", "\\sa120 Spaced;}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.group);
        std::string s = c.group, number;
        EXPECT_EQ(TQXStyleStrings::CutNumber(s, number), c.kind);
        EXPECT_EQ(number, c.number);
        EXPECT_EQ(s, c.rest);
    }
    TQXStyleStrings& styles = merger.StyleTable();
    EXPECT_TRUE(styles.Add("{\\*\\cs10 Strong;}"));
    EXPECT_TRUE(styles.Add("{\\ql\r\n Normal;}"));  // control bytes dropped
    EXPECT_FALSE(styles.Add("{\\s1 Heading}"));
    EXPECT_EQ(styles.GetString(0), "{\\*\\cs10 Strong;}");
    EXPECT_EQ(styles.GetString(1), "{\\s0\\ql Normal;}");
}

TEST_F(MergeTables, FragmentStylesAreMatchedOrAppendedAndTheirReferencesRenumbered) {
    merger.FontTable().Add("{\\f0 Times;}");
    merger.FontTable().AddNew("{\\f4 Papyrus;}");  // fragment font 4 becomes 1
    merger.ColorTable().Add(";");
    merger.ColorTable().AddNew(2, "\\red1\\green2\\blue3;");  // fragment colour 2 becomes 1
    TQXStyleStrings& styles = merger.StyleTable();
    for (int i = 0; i <= 15; ++i)
        styles.Add("{\\s" + std::to_string(i) + " Report style " + std::to_string(i) + ";}");
    styles.Add("{\\s20\\snext20 Quote;}");
    styles.Add("{\\s21 Plain quote;}");

    EXPECT_TRUE(styles.AddNew("{\\s0 Report style 3;}"));  // self-contained and equal
    // \snext naming itself is no reference; the clause is ignored in the
    // comparison, but both must have one.
    EXPECT_TRUE(styles.AddNew("{\\s5\\snext5 Quote;}"));
    EXPECT_TRUE(styles.AddNew("{\\s6\\snext6 Plain quote;}"));
    EXPECT_TRUE(styles.AddNew("{\\*\\cs7 Emphasis;}"));
    // Based on a fragment style: appended even though a report style reads
    // the same, its base in the merged numbering.
    EXPECT_TRUE(styles.AddNew("{\\s8\\sbasedon7\\snext8\\f4\\cf2\\fs20 Report style 3;}"));
    styles.CorrectNewStyles();

    EXPECT_EQ(styles.Old2New(0), 3);
    EXPECT_EQ(styles.Old2New(5), 20);
    EXPECT_EQ(styles.Old2New(6), 22);
    EXPECT_EQ(styles.Old2New(7), 23);  // one counter for every kind of style
    EXPECT_EQ(styles.Old2New(8), 24);
    EXPECT_EQ(styles.GetString(styles.Count() - 3), "{\\s22\\snext22 Plain quote;}");
    EXPECT_EQ(styles.GetString(styles.Count() - 2), "{\\*\\cs23 Emphasis;}");
    EXPECT_EQ(styles.GetString(styles.Count() - 1),
              "{\\s24\\sbasedon23\\snext24\\f1\\cf1\\fs20 Report style 3;}");
}

}  // namespace
