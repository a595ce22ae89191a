// Data can never become RTF: any string from a dataset or a variable,
// written without FRTF, reads back from the document as exactly that text.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "platform/internal/unicode.h"
#include "qxrtf/engine_fixture.h"
#include "rtf_text.h"

using namespace qx;

namespace {

// What a reader shows for `value`: bad UTF-8 as U+FFFD, a line feed, a
// carriage return and the pair of both as one line break (\v); characters
// beyond 16 bits as their UTF-16 halves (written as \u whether or not the
// report writes Unicode by default, since code page 1252 lacks them).
std::u32string ShownText(const std::string& value) {
    std::u32string out;
    const std::u32string cps = Utf8ToUtf32(value);
    for (std::size_t i = 0; i < cps.size(); ++i) {
        const char32_t cp = cps[i];
        if (cp == '\r' || cp == '\n') {
            if (cp == '\r' && i + 1 < cps.size() && cps[i + 1] == '\n') ++i;
            out.push_back('\v');
        } else if (cp > 0xFFFF) {
            out.push_back(0xD800 + ((cp - 0x10000) >> 10));
            out.push_back(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out.push_back(cp);
        }
    }
    return out;
}

// A dataset's text fields lose their trailing blanks and control
// characters, as fixed-width fields of a database do.
std::string TrimmedRight(std::string value) {
    while (!value.empty() && static_cast<unsigned char>(value.back()) <= ' ') value.pop_back();
    return value;
}

// Pieces that RTF gives a meaning to, control bytes, characters of every
// UTF-8 length and broken UTF-8.
std::string RandomValue(std::mt19937& rng) {
    static const std::string kPieces[] = {
        "{", "}", "\\", "\\par ", "\\'41", "\\u65 ", "{\\*\\x}", "\\\\", "}}}", "a", "Z", " ", ";",
        "\t", "\r", "\n", "\f", "\v", std::string(1, '\0'), "\x01", "\x1B", "\x1F", "\x7F",
        "\xC3\xA9", "\xE2\x82\xAC", "\xE6\x97\xA5", "\xF0\x9F\x98\x80",
        // Second bytes 0x5C, 0x7B, 0x7D in code page 932.
        "\xE3\x82\xBD", "\xE3\x83\x9C", "\xE3\x83\x9E", "\xFF", "\xC3", "\x80", "\xE2\x82",
        "\xED\xA0\x80", "\xC0\xAF"};
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) - 1);
    std::string value;
    for (int n = length(rng); n > 0; --n) value += kPieces[pick(rng)];
    return value;
}

class NoInjection : public qxtest::EngineTest {};

TEST_F(NoInjection, RandomValuesReadBackAsTheirText) {
    std::mt19937 rng(20240917);
    report.CreateVar("T", std::string());
    // A double-byte code page too: there the second byte of a character may
    // be a backslash or a brace.
    for (const int codePage : {1252, 932}) {
        report.SetCodePage(codePage);
        std::function<std::u32string(const std::string&)> decode;
        if (codePage == 932)
            decode = [](const std::string& bytes) { return qxtest::IconvDecode("CP932", bytes); };
        for (const bool unicode : {true, false}) {
            report.SetUnicodeByDefault(unicode);
            for (int round = 0; round < 300; ++round) {
                const std::string value = RandomValue(rng);
                SCOPED_TRACE(::testing::PrintToString(value) + (unicode ? " unicode" : "") +
                             " code page " + std::to_string(codePage));
                datasets.clear();
                AddDataSet("A", {{"S", ftString}}, {{value}});
                report.VarByName("T").SetAsString(value);
                // The document declares the code page its text is in, as
                // readers decode a font without a character set through it.
                const std::string doc = "{\\rtf1\\ansi\\ansicpg" + std::to_string(codePage) +
                                        "{\\fonttbl{\\f0 Times;}}\\pard [\\\\A.S\\\\|\\\\T\\\\]\\par}";
                report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
                TMemoryStream out;
                report.ExecuteStream(DataSets(), &out);
                const std::string rtf(reinterpret_cast<const char*>(out.Memory()),
                                      static_cast<std::size_t>(out.Size()));
                const std::u32string expected =
                    U"[" + ShownText(TrimmedRight(value)) + U"|" + ShownText(value) + U"]\r";
                std::u32string shown;
                ASSERT_NO_THROW(shown = qxtest::RtfText(rtf, decode)) << rtf;
                if (!unicode && codePage == 1252) {
                    // The code page writes the euro sign as byte 0x80.
                    for (char32_t& c : shown)
                        if (c == 0x80) c = 0x20AC;
                }
                EXPECT_EQ(Utf32ToUtf8(shown), Utf32ToUtf8(expected)) << rtf;
            }
        }
    }
}

}  // namespace
