// Templates as word processors of every kind write them: a code page other
// than 1252, double-byte text, Mac documents, symbol fonts and a language
// set on the text around a field. What the author typed reads back as it
// was and the value as given, in both readers.
#include <gtest/gtest.h>

#include <functional>

#include "qxrtf/qxrtf.h"
#include "readers.h"
#include "test_support.h"

using namespace qx;

namespace {

const std::string kName = "Zoë Ørsted";

struct Template {
    const char* name;
    std::string rtf;
    std::string shown;  // the first line a reader shows
};

// The four templates of the report that the engine used to break, each
// with a field in the body.
const Template kTemplates[] = {
    {"cyrillic",
     R"({\rtf1\ansi\ansicpg1251\deff0{\fonttbl{\f0\fnil\fcharset204 Arial;}})"
     R"(\f0 \'cf\'f0\'e8\'e2\'e5\'f2 \\NAME\\\par})",
     "Привет " + kName},
    {"symbol",
     R"({\rtf1\ansi\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\froman\fcharset2 Symbol;}})"
     R"(\f0 alpha: {\f1 a} \\NAME\\\par})",
     // The office suite shows a symbol font's glyph as its private-use code.
     "alpha: \uF061 " + kName},
    {"japanese",
     R"({\rtf1\ansi\ansicpg932\deff0{\fonttbl{\f0\fnil\fcharset128 MS Mincho;}})"
     R"(\f0 \'94\'5c (R)\'95\'5c \\NAME\\\par})",
     "能 (R)表 " + kName},
    {"mac", R"({\rtf1\mac\deff0{\fonttbl{\f0 Helvetica;}}\f0 Name: \\NAME\\\par})",
     "Name: " + kName},
    {"chinese",
     R"({\rtf1\ansi\ansicpg936\deff0{\fonttbl{\f0\fnil\fcharset134\cpg936 SimSun;}})"
     R"(\f0 Name: \\NAME\\\par})",
     "Name: " + kName},
    {"german",
     R"({\rtf1\ansi\deff0{\fonttbl{\f0 Arial;}}\f0\lang1031 Sehr geehrte \\NAME\\ und )"
     R"(weiterer Text.\par Zweiter Absatz.\par})",
     "Sehr geehrte " + kName + " und weiterer Text."},
};

std::string Render(const std::string& rtf, const std::function<void(TQxRTF&)>& setup = nullptr) {
    TQxRTF report;
    report.CreateVar("NAME", kName);
    if (setup) setup(report);
    report.SetTemplateBuffer(std::vector<std::uint8_t>(rtf.begin(), rtf.end()));
    TStringStream out;
    report.ExecuteStream({}, &out);
    return out.DataString();
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

}  // namespace

// What the fonts keep: their own character sets unless the application
// forces one, never on a symbol font; names byte for byte.
TEST(AnyWriter, FontTablesKeepCharsetsAndNames) {
    struct Case {
        const char* name;
        std::string fonts;  // the template's font table
        int charset;        // the report's Charset (1: the default)
        std::string written;
    };
    const Case cases[] = {
        {"own sets kept", R"({\f0\fcharset204 A;}{\f1\froman\fcharset2 Symbol;})", 1,
         R"({\f0\fcharset204 A;}{\f1\froman\fcharset2 Symbol;})"},
        {"a font without a set is read in the document's code page", R"({\f0\fswiss Arial;})", 1,
         R"({\f0\fswiss Arial;})"},
        {"a forced set, but not on a symbol font",
         R"({\f0\fcharset204 A;}{\f1\fcharset2 Symbol;}{\f2 C;})", 238,
         R"({\f0\fcharset238 A;}{\f1\fcharset2 Symbol;}{\f2 C;})"},
        {"a name in another script, byte for byte",
         "{\\f0\\fcharset128 \x82\x6c\x82\x72 \\'96\\'be\x92\xa9;}", 1,
         R"({\f0\fcharset128 \'82l\'82r \'96\'be\'92\'a9;})"},
        {"loose fonts", R"(\f0 A;\f1\fcharset0 B;)", 1,
         R"({\f0 A;}{\f1\fcharset0 B;})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string rtf = "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl" + c.fonts + "}x}";
        EXPECT_EQ(Render(rtf, [&](TQxRTF& r) { r.SetCharset(static_cast<std::uint8_t>(c.charset)); }),
                  "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl" + c.written + "}x}");
    }
}

// The code page values are written in follows the template unless the
// application sets one; a value in a font of another script is written
// for that font.
TEST(AnyWriter, ValuesFollowTheDocumentsCodePage) {
    struct Case {
        const char* name;
        std::string header;  // after {\rtf1
        std::string fonts;
        int codePage;        // the report's, 0 when not set
        std::string value;   // how "Zoë Ørsted" is written
    };
    const Case cases[] = {
        {"windows latin", "\\ansi", "{\\f0 A;}", 0, "Zo\\'EB \\'D8rsted"},
        {"mac", "\\mac", "{\\f0 A;}", 0, "Zo\\'91 \\'AFrsted"},
        {"dos", "\\pc", "{\\f0 A;}", 0, "{\\uc1 Zo\\'89 \\u216 \\'3Frsted}"},
        {"dos latin", "\\pca", "{\\f0 A;}", 0, "Zo\\'89 \\'9Drsted"},
        {"cyrillic", "\\ansi\\ansicpg1251", "{\\f0 A;}", 0,
         "{\\uc1 Zo\\u235 \\'3F \\u216 \\'3Frsted}"},
        {"set by the application", "\\ansi", "{\\f0\\fcharset238 A;}", 1250,
         "{\\uc1 Zo\\'EB \\u216 \\'3Frsted}"},
        // A font without a set is read as Mac Roman: the value is written for it.
        {"set by the application, a mac font", "\\mac", "{\\f0 A;}", 1252, "Zo\\'91 \\'AFrsted"},
        {"a latin font under a cyrillic code page", "\\ansi", "{\\f0\\fcharset0 A;}", 1251,
         "Zo\\'EB \\'D8rsted"},
        {"a cyrillic font under a latin code page", "\\ansi", "{\\f0\\fcharset204 A;}", 1252,
         "{\\uc1 Zo\\u235 \\'3F \\u216 \\'3Frsted}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string rtf =
            "{\\rtf1" + c.header + "\\deff0{\\fonttbl" + c.fonts + "}\\f0 [\\\\NAME\\\\]\\par}";
        const std::string out = Render(rtf, [&](TQxRTF& r) {
            if (c.codePage != 0) r.SetCodePage(c.codePage);
        });
        const std::size_t open = out.find('[');
        ASSERT_NE(open, std::string::npos) << out;
        EXPECT_EQ(out.substr(open + 1, out.rfind(']') - open - 1), c.value) << out;
    }
}

// A trail byte 0x5C of a double-byte character is text, written raw or as
// \'5c, in the document's code page or a font's; only a typed backslash
// opens a field. The template passes through unchanged.
TEST(AnyWriter, DoubleByteTrailBytesAreText) {
    struct Case {
        const char* name;
        std::string rtf;
    };
    const Case cases[] = {
        {"escaped, document code page",
         R"({\rtf1\ansi\ansicpg932{\fonttbl{\f0\fcharset128 M;}}\f0 \'94\'5c (R)\'95\'5c\par})"},
        {"escaped, font code page",
         R"({\rtf1\ansi{\fonttbl{\f0\fcharset0 A;}{\f1\fcharset136 M;}}\f1 \'a5\'5c\'b3\'5c\par})"},
        {"raw", "{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0\\fcharset134 M;}}\\f0 \x81\\x \x81{y\\par}"},
        {"a unicode character's fallback",
         R"({\rtf1\ansi{\fonttbl{\f0\fcharset0 A;}}\f0\uc2 \u33021\'94\'5c a\'5cb\par})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Render(c.rtf), c.rtf);
    }
    // A field next to double-byte text is still a field.
    EXPECT_EQ(Render(R"({\rtf1\ansi\ansicpg932{\fonttbl{\f0\fcharset128 M;}}\f0 \'94\'5c\'5cNAME\'5c\par})"),
              R"({\rtf1\ansi\ansicpg932{\fonttbl{\f0\fcharset128 M;}}\f0 \'94\'5c{\uc1 Zo\u235 \'3F \u216 \'3Frsted}\par})");
}

// A value leaves the language (and any other formatting) of the text
// around it as the template has it; a language the application sets is
// the value's alone.
TEST(AnyWriter, AValueLeavesTheLanguageAroundIt) {
    const std::string rtf =
        R"({\rtf1\ansi{\fonttbl{\f0\fcharset0 A;}}\f0\lang1031 a \\NAME\\ b\par c\par})";
    EXPECT_EQ(Render(rtf),
              R"({\rtf1\ansi{\fonttbl{\f0\fcharset0 A;}}\f0\lang1031 a Zo\'EB \'D8rsted b\par c\par})");
    EXPECT_EQ(Render(rtf, [](TQxRTF& r) { r.SetLang(1036); }),
              R"({\rtf1\ansi{\fonttbl{\f0\fcharset0 A;}}\f0\lang1031 a {\lang1036 Zo\'EB \'D8rsted} b\par c\par})");
}

class AnyWriterReaders : public qxtest::TempDirTest {
  protected:
    // Writes every template's report into the test's directory.
    std::vector<std::string> RenderAll() {
        std::vector<std::string> files;
        for (const Template& t : kTemplates) {
            files.push_back(Path(std::string(t.name) + ".rtf"));
            qxtest::WriteFileBytes(files.back(), Render(t.rtf));
        }
        return files;
    }
};

TEST_F(AnyWriterReaders, TheOfficeSuiteShowsTextAndValue) {
    if (!qxtest::HasProgram("soffice")) GTEST_SKIP() << "soffice is not installed";
    const std::vector<std::string> files = RenderAll();
    const std::vector<std::string> texts = qxtest::OfficeTexts(dir_, files);
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(kTemplates[i].name);
        EXPECT_EQ(FirstLine(texts[i]), kTemplates[i].shown);
    }
}

TEST_F(AnyWriterReaders, AbiWordShowsTextAndValue) {
    if (!qxtest::HasProgram("abiword")) GTEST_SKIP() << "abiword is not installed";
    const std::vector<std::string> files = RenderAll();
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(kTemplates[i].name);
        std::string shown = kTemplates[i].shown;
        // AbiWord shows a symbol font's glyph by its byte, in that font.
        const std::string privateUse = "\uF061";
        if (const auto at = shown.find(privateUse); at != std::string::npos)
            shown.replace(at, privateUse.size(), "a");
        EXPECT_EQ(FirstLine(qxtest::AbiWordConvert(files[i], "txt")), shown);
    }
}

// The text after a value keeps the template's language, in both readers.
TEST_F(AnyWriterReaders, TheTextAroundAValueKeepsItsLanguage) {
    const Template& german = kTemplates[std::size(kTemplates) - 1];
    const std::string file = Path("german.rtf");
    qxtest::WriteFileBytes(file, Render(german.rtf));
    if (qxtest::HasProgram("soffice")) {
        const std::vector<std::string> xml = qxtest::OfficeConvert(dir_, {file}, "fodt", "fodt");
        ASSERT_FALSE(xml[0].empty());
        const auto runs = qxtest::OfficeTextRuns(qxtest::ReadFileBytes(xml[0]), "fo:language");
        EXPECT_FALSE(runs.empty());
        for (const auto& [text, language] : runs) EXPECT_EQ(language, "de") << text;
    }
    if (qxtest::HasProgram("abiword")) {
        const auto runs = qxtest::AbiWordTextRuns(qxtest::AbiWordConvert(file, "abw"));
        EXPECT_FALSE(runs.empty());
        for (const auto& [text, props] : runs)
            EXPECT_NE(props.find("lang:de-DE"), std::string::npos) << text;
    }
}
