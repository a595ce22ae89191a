// Hostile fragments (FRTF) and hyperlink targets (FLNK), read back by
// LibreOffice: whatever a fragment's braces, binary data or parameters say,
// the report's own text keeps its place and formatting, and a link target
// stays one target, with no switch added to the field.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "qxrtf/qxrtf.h"
#include "qxrtfstream/fragment_fixture.h"
#include "test_support.h"

using namespace qx;

namespace {

struct HostileFragment {
    const char* name;
    std::string fragment;
};

// Each tries to close the report's groups from inside the fragment, or to
// make a reader do so. (Binary data kept in a picture would have to be a
// picture LibreOffice can decode, or it refuses the whole document: the data
// that stay are put into objects, which it passes over.)
const HostileFragment kFragments[] = {
    // A negative count is no binary data: the braces after it count.
    {"bin_negative_object",
     R"({\rtf1\ansi\pard A{\object\bin-2 }}}\b\fs96 INJECTED {\object\bin-2 {{}})"},
    {"bin_negative_pict", R"({\rtf1\ansi\pard A{\pict\bin-2 }}}\b\fs96 INJECTED {\pict\bin-2 {{}})"},
    {"bin_negative_destination", R"({\rtf1\ansi\pard A{\*\x\bin-5 }}}\b\fs96 INJECTED})"},
    {"bin_negative_body", R"({\rtf1\ansi\pard A\bin-2 }}}\b\fs96 INJECTED})"},
    {"bin_upper_case", R"({\rtf1\ansi\pard A{\object\BIN2 }}}\b\fs96 INJECTED})"},
    // Counts a 32-bit reader would wrap, or beyond any size.
    {"bin_wrapping", R"({\rtf1\ansi\pard A{\pict\bin4294967298 }}}\b\fs96 INJECTED}})"},
    {"bin_huge", R"({\rtf1\ansi\pard A{\pict\bin99999999999999999999 }}}\b\fs96 INJECTED})"},
    {"bin_leading_zeros", R"({\rtf1\ansi\pard A{\object\bin00002 }}}\b\fs96 INJECTED})"},
    // Binary data or braces in the tables the report takes over.
    {"font_table_bin", R"({\rtf1\ansi{\fonttbl{\f1\bin1 }Arial;}}\pard\f1 A})"},
    {"style_sheet_bin", R"({\rtf1\ansi{\stylesheet{\s1\bin2 ;}Heading;}}\pard\s1 A})"},
    {"colour_table_brace", R"({\rtf1\ansi{\colortbl;{\red1;}}\pard\cf1 A})"},
    // Parameters beyond 32 bits are clamped, not a failed run.
    {"parameters_beyond_32_bits",
     R"({\rtf1\ansi{\colortbl;\red255\green0\blue0;}\pard A\cf2147483648 B\cf99999999999999999999 C\f-99999999999 D\highlight4294967297 E})"},
    {"parameter_past_the_token_window",
     "{\\rtf1\\ansi\\pard A\\fs" + std::string(300, '9') + " B\\bin" + std::string(300, '7') +
         " }}}\\b\\fs96 INJECTED}"},
};

const char* const kFragmentTemplate =
    R"({\rtf1\ansi\pard{\i before [\\FRTF(X)\\] after}\par\pard Later.\par})";

struct HostileLink {
    const char* name;
    std::string value;  // target|shown
    std::string target;
};

// Absolute targets: LibreOffice writes a relative one relative to where the
// HTML goes.
const HostileLink kLinks[] = {
    {"switch_after_quote", R"(http://h/x" \o "tooltip|shown)", R"(http://h/x" \o "tooltip)"},
    {"escaped_quote", R"(http://h/a\" \o \"b|shown)", R"(http://h/a\" \o \"b)"},
    {"trailing_backslash", R"(http://h/x\|shown)", R"(http://h/x\)"},
    {"braces_and_query", R"(http://h/?q="x"&y={z}|shown)", R"(http://h/?q="x"&y={z})"},
    {"line_break", "http://h/x\n\\o \"t\"|shown", "http://h/x\n\\o \"t\""},
};

const char* const kLinkTemplate = R"({\rtf1\ansi\pard Link [\\FLNK(U)\\] end.\par})";

std::string Render(const char* templateText, const std::string& variable,
                   const std::string& value) {
    TQxRTF report;
    report.CreateVar(variable, value);
    const std::string doc = templateText;
    report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
    TMemoryStream out;
    report.ExecuteStream({}, &out);
    return std::string(reinterpret_cast<const char*>(out.Memory()),
                       static_cast<std::size_t>(out.Size()));
}

// Text of an HTML attribute: its entities and percent escapes undone.
std::string DecodedHref(const std::string& href) {
    std::string entities;
    for (std::size_t i = 0; i < href.size(); ++i) {
        bool replaced = false;
        for (const auto& [entity, c] : {std::pair<const char*, char>{"&amp;", '&'},
                                        {"&quot;", '"'},
                                        {"&lt;", '<'},
                                        {"&gt;", '>'}}) {
            const std::string e = entity;
            if (href.compare(i, e.size(), e) == 0) {
                entities += c;
                i += e.size() - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced) entities += href[i];
    }
    std::string out;
    for (std::size_t i = 0; i < entities.size(); ++i) {
        if (entities[i] == '%' && i + 2 < entities.size() &&
            std::isxdigit(static_cast<unsigned char>(entities[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(entities[i + 2]))) {
            out += static_cast<char>(std::stoi(entities.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += entities[i];
        }
    }
    return out;
}

class InjectionReadBack : public qxtest::TempDirTest {};

TEST_F(InjectionReadBack, FragmentsAndLinksStayInsideTheirPlace) {
    // Every document is written first: each keeps its braces balanced as
    // the merger counts them (binary data included).
    std::vector<std::string> files;
    for (const HostileFragment& c : kFragments) {
        SCOPED_TRACE(c.name);
        std::string rtf;
        ASSERT_NO_THROW(rtf = Render(kFragmentTemplate, "X", c.fragment));
        EXPECT_EQ(qxtest::BraceBalance(rtf), 0) << rtf;
        qxtest::WriteFileBytes(Path(std::string(c.name) + ".rtf"), rtf);
        files.push_back(c.name);
    }
    for (const HostileLink& c : kLinks) {
        SCOPED_TRACE(c.name);
        std::string rtf;
        ASSERT_NO_THROW(rtf = Render(kLinkTemplate, "U", c.value));
        qxtest::WriteFileBytes(Path(std::string("link_") + c.name + ".rtf"), rtf);
        files.push_back(std::string("link_") + c.name);
    }
    if (std::system("command -v soffice >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "soffice is not installed";
    // One LibreOffice start for all of them: it is slow to start.
    std::string command = "soffice -env:UserInstallation=file://" + dir_ +
                          "/profile --headless --convert-to html --outdir '" + dir_ + "/html'";
    for (const std::string& name : files) command += " '" + Path(name + ".rtf") + "'";
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;

    // The report's text as a reader shows it: "after" still italic and
    // nothing else, "Later." a paragraph of its own without any formatting.
    const std::regex before(R"(<i>before )");
    const std::regex after(R"((^|[\s>])after</i>\s*</p>)");
    const std::regex later(R"(<p[^>]*>\s*Later\.</p>)");
    for (const HostileFragment& c : kFragments) {
        SCOPED_TRACE(c.name);
        const std::string file = dir_ + "/html/" + c.name + ".html";
        ASSERT_TRUE(std::filesystem::exists(file)) << "LibreOffice refused the document";
        const std::string html = qxtest::ReadFileBytes(file);
        EXPECT_TRUE(std::regex_search(html, before)) << html;
        EXPECT_TRUE(std::regex_search(html, after)) << html;
        EXPECT_TRUE(std::regex_search(html, later)) << html;
    }
    // The link: one target, exactly the value's, and no other attribute.
    const std::regex anchor(R"re(<a href="([^"]*)">(?:<[^>]*>)*([^<]*))re");
    const std::regex around(R"(Link \[<a [^>]*>.*</a>\]\s+end\.</p>)");
    for (const HostileLink& c : kLinks) {
        SCOPED_TRACE(c.name);
        const std::string file = dir_ + "/html/link_" + c.name + ".html";
        ASSERT_TRUE(std::filesystem::exists(file)) << "LibreOffice refused the document";
        const std::string html = qxtest::ReadFileBytes(file);
        std::smatch m;
        ASSERT_TRUE(std::regex_search(html, m, anchor)) << html;
        EXPECT_EQ(DecodedHref(m[1]), c.target) << html;
        EXPECT_EQ(m[2], "shown");
        EXPECT_TRUE(std::regex_search(html, around)) << html;
    }
}

}  // namespace
