// Text in the double-byte code pages (Japanese, simplified and traditional
// Chinese, Korean): the second byte of a character may be '\', '{' or '}'.
// Values and merged fragments must still read back as their text, with the
// document's groups intact, in the test reader and in LibreOffice.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/internal/unicode.h"
#include "qxrtf/qxrtf.h"
#include "rtf_text.h"
#include "test_support.h"

using namespace qx;

namespace {

// The characters each text is made of include ones whose second byte is
// 0x5C, 0x7B and 0x7D in that code page (none has such bytes in 949).
struct Language {
    int codePage;
    int charset;
    const char* iconvName;
    std::string text;
};

const Language kLanguages[] = {
    {932, 128, "CP932", "ソフト表示のボタンとマーク"},  // ソ 83 5C, ボ 83 7B, マ 83 7D
    {936, 134, "CP936", "乗客亄亇表"},                  // 乗 81 5C, 亄 81 7B, 亇 81 7D
    {950, 136, "CP950", "功能許可，確認並逛街"},  // 功 A5 5C, 許 B3 5C, 認 BB 7B, 逛 B3 7D
    {949, 129, "CP949", "한국어 보고서"},
};

std::string Fragment(const std::string& text) {
    return "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard " + text + "\\par}";
}

// The report of a value and of a merged fragment holding the same text.
std::string Render(const Language& lang) {
    TQxRTF report;
    report.SetCodePage(lang.codePage);
    report.SetCharset(static_cast<std::uint8_t>(lang.charset));
    report.CreateVar("T", lang.text);
    report.CreateVar("R", Fragment(lang.text));
    const std::string doc = "{\\rtf1\\ansi\\ansicpg" + std::to_string(lang.codePage) +
                            "{\\fonttbl{\\f0 Arial;}}\\pard [\\\\T\\\\|\\\\FRTF(R)\\\\]\\par}";
    report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
    TMemoryStream out;
    report.ExecuteStream({}, &out);
    return std::string(reinterpret_cast<const char*>(out.Memory()),
                       static_cast<std::size_t>(out.Size()));
}

TEST(DoubleByte, ValuesAndFragmentsReadBackAsTheirText) {
    for (const Language& lang : kLanguages) {
        SCOPED_TRACE(lang.codePage);
        const std::string rtf = Render(lang);
        std::u32string shown;
        ASSERT_NO_THROW(shown = qxtest::RtfText(rtf,
                                                [&](const std::string& bytes) {
                                                    return qxtest::IconvDecode(lang.iconvName,
                                                                               bytes);
                                                }))
            << rtf;
        EXPECT_EQ(Utf32ToUtf8(shown), "[" + lang.text + "|" + lang.text + "]\r") << rtf;
    }
}

class DoubleByteLibreOffice : public qxtest::TempDirTest {};

TEST_F(DoubleByteLibreOffice, ReadsTheTextBack) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "soffice is not installed";
    std::string command = "soffice -env:UserInstallation=file://" + dir_ +
                          "/profile --headless --convert-to 'txt:Text (encoded):UTF8' --outdir '" +
                          dir_ + "/txt'";
    for (const Language& lang : kLanguages) {
        const std::string name = Path("cp" + std::to_string(lang.codePage) + ".rtf");
        qxtest::WriteFileBytes(name, Render(lang));
        command += " '" + name + "'";
    }
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
    for (const Language& lang : kLanguages) {
        SCOPED_TRACE(lang.codePage);
        std::string text =
            qxtest::ReadFileBytes(dir_ + "/txt/cp" + std::to_string(lang.codePage) + ".txt");
        if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // the byte order mark
        EXPECT_EQ(text.substr(0, text.find_first_of("\r\n")),
                  "[" + lang.text + "|" + lang.text + "]");
    }
}

}  // namespace
