// Curly single quotes, however a word processor stored them, delimit a
// string constant exactly as straight ones do.
#include <gtest/gtest.h>

#include "qxrtf/engine_fixture.h"

using namespace qx;

namespace {

class CurlyQuotes : public qxtest::EngineTest {
  protected:
    void SetUp() override {
        report.CreateVar("D", EncodeDate(2024, 3, 7), true);
        report.CreateVar("X", 2.0);
    }
};

struct QuoteCase {
    const char* name;
    std::string body;
    std::string output;
};

}  // namespace

TEST_F(CurlyQuotes, DelimitStringsInEveryStoredForm) {
    const std::string date = "7 March 2024";
    const QuoteCase cases[] = {
        {"LibreOffice: \\u8216 and \\u8217 with 1252 fallbacks",
         R"(\\FDTM(D, \u8216\'91d mmmm yyyy\u8217\'92)\\)", date},
        {"Word: \\lquote and \\rquote", R"(\\FDTM(D, \lquote d mmmm yyyy\rquote )\\)", date},
        {"hex bytes of code page 1252", R"(\\FDTM(D, \'91d mmmm yyyy\'92)\\)", date},
        {"raw bytes of code page 1252",
         "\\\\FDTM(D, \x91"
         "d mmmm yyyy\x92)\\\\",
         date},
        {"German low and high, LibreOffice", R"(\\FDTM(D, \u8218\'82d mmmm yyyy\u8216\'91)\\)",
         date},
        {"German low and high, Word", R"(\\FDTM(D, \'82d mmmm yyyy\lquote )\\)", date},
        {"Swedish right and right", R"(\\FDTM(D, \u8217\'92d mmmm yyyy\u8217\'92)\\)", date},
        {"no fallback after \\uc0", R"({\uc0 \\FDTM(D, \u8216 d mmmm yyyy\u8217 )\\})",
         "{\\uc0 " + date + "}"},
        {"a question mark as fallback", R"(\\FDTM(D, \u8216?d mmmm yyyy\u8217?)\\)", date},
        {"IIF with curly single and double quotes",
         R"(\\IIF(X > 1, \u8216\'91big one\u8217\'92, \ldblquote small\rdblquote )\\)",
         "big one"},
        {"a string constant alone", R"(\\\u8216\'91a b\u8217\'92\\)", "a b"},
        {"a straight apostrophe closes a curly quote", R"(\\IIF(X > 1, \u8216\'91ok', 'no')\\)",
         "ok"},
        // Inside the quotes a typed backslash and a paragraph mark are text,
        // as in straight quotes.
        {"a typed backslash inside", R"(\\IIF(X > 1, \u8216\'91a\\b\u8217\'92, 'c')\\)",
         "a\\\\b"},
        {"a paragraph mark inside", R"(\\UPPER(\u8216\'91a\par b\u8217\'92)\\)",
         "AB\\par "},
    };
    for (const QuoteCase& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            EXPECT_EQ(Render(c.body), c.output);
        } catch (const Exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

TEST_F(CurlyQuotes, CodePageBytesAreQuotesOnlyWhereTheyStandForOne) {
    // In a double-byte code page 0x91 is a lead byte, not a quote: the
    // field keeps its blanks only inside real quotes.
    report.SetCodePage(932);
    EXPECT_EQ(Render(R"(\\FDTM(D, 'd mmmm yyyy')\\)"), "7 March 2024");
    EXPECT_THROW(Render(R"(\\FDTM(D, \'91d mmmm yyyy\'92)\\)"), Exception);
}
