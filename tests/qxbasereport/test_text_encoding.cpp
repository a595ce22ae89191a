#include <gtest/gtest.h>

#include "conscom/exceptions.h"
#include "qxrtf/qxrtf.h"
#include "test_support.h"

using namespace qx;

TEST(Txt2Rtf, EscapesAndLineStructure) {
    struct Case {
        std::string text;
        bool unicode;
        int codePage;
        std::string rtf;
    };
    const Case cases[] = {
        {"a\\b{c}d", false, 1252, "a\\\\b\\{c\\}d"},
        {"x\ty\vz\fw", false, 1252, "x\\tab y\\line z\\page w"},
        // LF, CR LF and CR each give one line break
        {"a\nb\r\nc\rd\n\ne", false, 1252, "a\\line b\\line c\\line d\\line \\line e"},
        {std::string("a\0b\x1B"
                     "c\x7F",
                     6),
         false, 1252, "a\\'00b\\'1Bc\x7F"},
        {"caf\xC3\xA9", false, 1252, "caf\\'E9"},
        {"caf\xC3\xA9", true, 1252, "caf\\'E9"},                // never wrapped without \u
        {"Жук", false, 1251, "\\'C6\\'F3\\'EA"},                // through the code page
        {"Zo\xC3\xAB", false, 1251, "{\\uc1 Zo\\u235 \\'3F}"},  // 1251 lacks it
        {"Zo\xC3\xAB", true, 1251, "{\\uc1 Zo\\u235 \\'3F}"},
        {"Ж", false, 1252, "{\\uc1 \\u1046 \\'3F}"},
        {"\xC3\x9F\xC3\x98", false, 1251, "{\\uc1 \\u223 \\'3F\\u216 \\'3F}"},
        {"a€b", false, 1252, "a\\'80b"},
        {"Ж", true, 1251, "{\\uc1 \\u1046 \\'C6}"},
        {"a€b", true, 1252, "{\\uc1 a\\u8364 \\'80b}"},
        {"日", true, 1252, "{\\uc1 \\u26085 \\'3F}"},  // 1252 lacks it: '?' fallback
        {"😀", true, 1252, "{\\uc1 \\u55357 \\'3F\\u56832 \\'3F}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TQxRTF report;
        report.SetUnicodeByDefault(c.unicode);
        report.SetCodePage(c.codePage);
        EXPECT_EQ(report.txt2rtf(c.text), c.rtf);
    }
}

class CreateFileNameTest : public qxtest::TempDirTest {};

TEST_F(CreateFileNameTest, ShapeExtensionAndMissingDirectory) {
    TQxRTF report;
    // dir/rep, 5 to 12 upper-case hex digits, .rtf
    const auto hasShape = [&](const std::string& name) {
        const std::string head = dir_ + "/rep";
        if (name.rfind(head, 0) != 0 || name.size() < head.size() + 4) return false;
        if (name.substr(name.size() - 4) != ".rtf") return false;
        const std::string hex = name.substr(head.size(), name.size() - head.size() - 4);
        return hex.size() >= 5 && hex.size() <= 12 &&
               hex.find_first_not_of("0123456789ABCDEF") == std::string::npos;
    };
    EXPECT_TRUE(hasShape(report.CreateFileName(dir_, "rep", "rtf")));
    EXPECT_TRUE(hasShape(report.CreateFileName(dir_ + "/", "rep", ".rtf")));
    EXPECT_EQ(report.CreateFileName(dir_, "rep").substr(dir_.size() + 1, 3), "rep");
    EXPECT_EQ(
        report.CreateFileName(dir_, "rep").substr(report.CreateFileName(dir_, "rep").size() - 4),
        ".doc");
    EXPECT_EQ(report.CreateFileName("", "x", "").find('/'), std::string::npos);
    EXPECT_NE(report.CreateFileName(dir_, "r"), report.CreateFileName(dir_, "r"));
    try {
        report.CreateFileName(dir_ + "/nope", "r");
        ADD_FAILURE() << "no exception";
    } catch (const EIOError& e) {
        EXPECT_EQ(e.what(), "CreateFileName: directory " + dir_ + "/nope does not exist");
    }
}
