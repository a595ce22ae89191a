// A field's raw RTF split into text and markup, and the removal of the
// paragraph mark after a command alone in its paragraph.
#include <gtest/gtest.h>

#include "qxbasereport/scan_probe.h"

using namespace qx;
using qxtest::PosOf;
using qxtest::ScanProbe;

TEST(FieldText, SplitsTextFromMarkup) {
    struct Case {
        const char* raw;
        std::string text;
        std::string markup;
        std::int32_t skipCount = 1;
    };
    const Case cases[] = {
        {R"(Cust{\b omer}Name)", "CustomerName", R"({\b })"},
        {R"(\ldblquote Hello World\rdblquote)", "\u201CHello World\u201D", ""},
        {R"(\lquote x y\rquote )", "'x y'", ""},
        {" a + b ", "a+b", ""},
        {"[First Name]", "First Name", ""},
        {R"(F("a b", [c d]))", "F(\"a b\",c d)", ""},
        {R"(\u1076?)", "\u0434", ""},
        {R"(\u1076 ?x)", "\u0434x", ""},
        {R"(\u1076?)", "\u0434?", "", 0},
        {R"(\uc0\u1076?)", "\u0434?", R"(\uc0)"},
        {R"(\u1076\'e4x)", "\u0434x", "", 1},
        {R"(\u1076??x)", "\u0434x", "", 2},
        {R"(\u-28977?)", "\u8ECF", ""},
        {R"(\u-10179?\u-8704?)", "\U0001F600", ""},
        {R"(\'e4)", "\u00E4", ""},
        {R"(a\'00\'zzb)", "ab", ""},
        {"a^b", "ab", "^"},
        {R"(a\\b\{c\}d\~e)", "a\\b{c}de", ""},
        {R"(\b0abc)", "abc", R"(\b0)"},
        {"ORD}{\\loch\\i\\b\\loch\nERS.CL}{\\loch\\b\\loch\nERK", "ORDERS.CLERK",
         "}{\\loch\\i\\b\\loch\n}{\\loch\\b\\loch\n"},
        {R"(\fs-4 x\-y)", "xy", R"(\fs-4 \-)"},
        {R"({\*\pnseclvl1\pnucrm{\pntxta .}}Name)", "Name", R"({\*\pnseclvl1\pnucrm{\pntxta .}})"},
        {R"({\*\pn x)", "", R"({\*\pn x)"},
        {"\u20ACx", "x", "\u20AC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        ScanProbe probe("{\\rtf1 }");
        probe.SetSkipCount(c.skipCount);
        std::string text, markup;
        probe.CutRtString(c.raw, text, markup);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(markup, c.markup);
    }
}

TEST(FieldText, QuotedTextIsRecognised) {
    ScanProbe probe("{\\rtf1 }");
    std::string text, markup;
    probe.CutRtString(R"(\ldblquote Hello World\rdblquote)", text, markup);
    EXPECT_TRUE(probe.IsQuoted(text));
    probe.CutRtString(R"(\'93Hi\'94)", text, markup);
    EXPECT_EQ(text, "\u201CHi\u201D");
    EXPECT_TRUE(probe.IsQuoted(text));
}

TEST(FieldText, SkipStateFollowsTheMarkup) {
    struct Case {
        const char* raw;
        std::int32_t countAfter;
        std::size_t stackAfter;
    };
    const Case cases[] = {
        {R"({\uc2 x})", 1, 0},  // the group restores the count
        {R"({\uc2 x)", 2, 1},   // an open group keeps it
        {R"(\UC3 x)", 3, 0},    // the "uc" word in any case
        {R"(})", 0, 0},         // popping an empty stack gives 0
        {R"(\uc-1 x)", 1, 0},   // no negative counts
        {R"(\ucx x)", 1, 0},    // no number, no count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        ScanProbe probe("{\\rtf1 }");
        std::string text, markup;
        probe.CutRtString(c.raw, text, markup);
        EXPECT_EQ(probe.SkipCount(), c.countAfter);
        EXPECT_EQ(probe.UcStack().size(), c.stackAfter);
    }
}

TEST(FieldText, ByteEscapesDecodeThroughTheReportCodePage) {
    ScanProbe probe("{\\rtf1 }");
    probe.SetCodePage(1251);
    std::string text, markup;
    probe.CutRtString(R"(\'e4)", text, markup);
    EXPECT_EQ(text, "\u0434");
}

namespace {

// A command field read from `rtf` (the first field), then KillPar.
struct KillParResult {
    std::string markup;
    std::int32_t pnt;
    std::int32_t afterField;
    std::int32_t boundary;
};

KillParResult RunKillPar(const std::string& rtf, std::int32_t boundary) {
    ScanProbe probe(rtf);
    std::string field;
    EXPECT_TRUE(probe.GetNextReportField(field));
    probe.SetLastBoundaryPnt(boundary);
    KillParResult r;
    r.afterField = probe.Pnt();
    probe.KillPar(r.markup);
    r.pnt = probe.Pnt();
    r.boundary = probe.LastBoundaryPnt();
    return r;
}

}  // namespace

TEST(KillPar, RemovesTheParagraphMarkOfACommandAloneInItsParagraph) {
    const std::string rtf = R"({\rtf1 A\par \\SCAN(X)\\{\b0 } \par B})";
    const KillParResult r = RunKillPar(rtf, PosOf(rtf, "\\par"));
    EXPECT_EQ(r.markup, R"({\b0 })");
    EXPECT_EQ(r.pnt, PosOf(rtf, "B}"));  // past "par" and its space
    EXPECT_EQ(r.boundary, PosOf(rtf, "\\par B"));
}

TEST(KillPar, KeepsTheParagraphMarkWhenTheParagraphHasText) {
    struct Case {
        const char* name;
        std::string rtf;
        std::string boundaryAt;  // where the last boundary stands, empty for none
    };
    const Case cases[] = {
        {"text before", R"({\rtf1 A\par Hi \\ENDSCAN\\\par B})", "\\par"},
        {"text after", R"({\rtf1 \\IF(x)\\ more\par B})", ""},
        {"another field after", R"({\rtf1 \\IF(x)\\\\N\\\par B})", ""},
        {"no paragraph mark", R"({\rtf1 \\IF(x)\\\pard B})", ""},
        {"\\pard and \\par1 are no paragraph marks", R"({\rtf1 \\IF(x)\\\pard\par1 x})", ""},
        {"typed backslash before par", R"({\rtf1 \\IF(x)\\\\par.})", ""},
        {"the paragraph ends in a cell", R"({\rtf1 \\IF(x)\\\cell\par B})", ""},
        {"the paragraph ends in a row", R"({\rtf1 \\IF(x)\\\row\par B})", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::int32_t boundary = c.boundaryAt.empty() ? -1 : PosOf(c.rtf, c.boundaryAt);
        const KillParResult r = RunKillPar(c.rtf, boundary);
        EXPECT_EQ(r.markup, "");
        EXPECT_EQ(r.pnt, r.afterField);
        // A command with nothing visible before it is no text for the next
        // command of its paragraph: the text before that one starts after it.
        EXPECT_EQ(r.boundary, boundary == -1 ? r.afterField : boundary);
    }
}

TEST(KillPar, KeepsMarkupUpToTheParagraphMark) {
    const std::string rtf = R"({\rtf1 \\ENDIF\\\pard\plain\par})";
    const KillParResult r = RunKillPar(rtf, -1);
    EXPECT_EQ(r.markup, R"(\pard\plain)");
    EXPECT_EQ(r.pnt, static_cast<std::int32_t>(rtf.size()));
}

TEST(KillPar, LeavesTheSkipStateOfTextScannedAgain) {
    // The group closed before the paragraph mark is seen again by the
    // scanner when the mark stays; its brace must not be counted twice.
    const std::string rtf = R"({\rtf1 {\uc2 \\IF(x)\\} more\par})";
    ScanProbe probe(rtf);
    std::string field;
    ASSERT_TRUE(probe.GetNextReportField(field));
    ASSERT_EQ(probe.SkipCount(), 2);
    std::string markup;
    probe.KillPar(markup);
    EXPECT_EQ(markup, "");
    EXPECT_EQ(probe.SkipCount(), 2);
    EXPECT_EQ(probe.UcStack().size(), 2u);
    probe.AllFields();
    EXPECT_EQ(probe.SkipCount(), 1);
}

TEST(KillPar, EachCommandOfAParagraphGetsTheAnswerOfASearchOfItsOwn) {
    // The commands of one paragraph share the work of finding its mark and
    // of looking for text before and after them; whatever each is told must
    // be what a search from that command alone finds.
    const std::string run(3000, 'x');
    std::string words;
    for (int i = 0; i < 300; ++i) words += "lorem ipsum ";
    std::string chain;
    for (int i = 0; i < 100; ++i) chain += "\\\\IF(x)\\\\\\\\ENDIF\\\\";
    const std::string cases[] = {
        R"({\rtf1 \\IF(x)\\\\ENDIF\\\\IF(y)\\\\ENDIF\\\par B})",
        "{\\rtf1 \\\\IF(x)\\\\\\\\ENDIF\\\\" + run + "\\par B}",
        "{\\rtf1 \\\\IF(x)\\\\" + run + "\\\\ENDIF\\\\" + run + "\\par B}",
        "{\\rtf1 \\\\IF(x)\\\\\\\\ENDIF\\\\ " + words + "\\par B}",
        "{\\rtf1 \\\\IF(x)\\\\{\\*\\bkmkstart " + run + "}\\\\ENDIF\\\\{\\b0 }\\par B}",
        R"({\rtf1 \\IF(x)\\\\\\ENDIF\\\\\par\par B})",
        R"({\rtf1 \\IF(x)\\\{\\ENDIF\\\}\par B})",
        R"({\rtf1 \\IF(x)\\{\*\bkmkstart a}\\ENDIF\\{\*\bkmkend a}\par B})",
        R"({\rtf1 \\IF(x)\\\\ENDIF\\\cell\par B})",
        R"({\rtf1 \\IF(x)\\\\ENDIF\\ \\par. \\IF(y)\\\par B})",
        "{\\rtf1 " + chain + "text " + chain + "\\par B}",
        "{\\rtf1 text " + chain + run + chain + "\\par B}",
    };
    for (const std::string& rtf : cases) {
        SCOPED_TRACE(rtf.substr(0, 80));
        ScanProbe together(rtf);
        std::string field;
        for (int k = 0; !together.FileEof();) {
            if (!together.GetNextReportField(field)) continue;
            SCOPED_TRACE("command " + std::to_string(k) + ": " + field);
            const std::int32_t boundary = together.LastBoundaryPnt();
            std::string markup;
            together.KillPar(markup);

            ScanProbe alone(rtf);
            std::string same;
            for (int read = 0; read <= k && !alone.FileEof();)
                if (alone.GetNextReportField(same)) ++read;
            alone.SetLastBoundaryPnt(boundary);
            std::string aloneMarkup;
            alone.KillPar(aloneMarkup);
            EXPECT_EQ(markup, aloneMarkup);
            EXPECT_EQ(together.Pnt(), alone.Pnt());
            EXPECT_EQ(together.LastBoundaryPnt(), alone.LastBoundaryPnt());
            ++k;
        }
    }
}
