// Pictures from the tool: file names in a CSV column, sizes from
// --picture and the settings document, pictures fitted to the page and to
// their cell, read back from LibreOffice's PDF.
#include <gtest/gtest.h>

#include "pdf_images.h"
#include "platform/picture.h"
#include "test_support.h"
#include "tool/tool_runner.h"

using namespace qxtest;

namespace {

class ToolPictures : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        // A photo-sized picture (1600 x 1200, 423 mm wide at 96 pixels per
        // inch) that is still small as a file.
        qx::TBitmap big(1600, 1200);
        for (int y = 0; y < 1200; y += 2) big.Row(y)[3 * (y % 1600)] = 0;
        WriteFileBytes(Path("big.png"), qx::EncodePng(big));
        WriteFileBytes(Path("products.csv"), "NAME,IMAGE\nSmall, " +
                                                 DataPath("pictures/quarters.png") + " \nBig," +
                                                 Path("big.png") + "\n");
    }
    // A4 with 2 cm margins: the small picture at format 1, the big one
    // without a size on the page and in a 60 mm cell.
    std::string Template() const {
        return "{\\rtf1\\ansi\\paperw11906\\paperh16838\\margl1134\\margr1134"
               "{\\fonttbl{\\f0 Times;}}\\pard "
               "\\\\SCAN(P)\\\\\\\\IF(P.NAME = 'Small')\\\\\\\\FIMG(P.IMAGE, 1)\\\\"
               "\\\\ELSE\\\\\\\\FIMG(P.IMAGE, 2)\\\\\\\\ENDIF\\\\\\par \\\\ENDSCAN\\\\"
               "\\trowd\\trgaph108\\cellx3402\\cellx9000\\pard\\intbl "
               "\\\\FIMG(BIG, 2)\\\\\\cell b\\cell\\row\\pard\\par}";
    }
    std::string Render(const std::string& options) {
        WriteFileBytes(Path("t.rtf"), Template());
        const ToolResult r = RunTool("render '" + Path("t.rtf") + "' -o '" + Path("out.rtf") +
                                     "' --csv P='" + Path("products.csv") + "' --var BIG='" +
                                     Path("big.png") + "' " + options);
        EXPECT_EQ(r.exitCode, 0) << r.output;
        return ReadFileBytes(Path("out.rtf"));
    }
};

}  // namespace

TEST_F(ToolPictures, SizesFromTheCommandLineAndFitsReadBackFromThePdf) {
    if (!HaveCommand("soffice") || !HaveCommand("pdfimages"))
        GTEST_SKIP() << "LibreOffice or pdfimages is not installed";
    const std::string rtf = Render("--picture 1=40mm --pdf '" + Path("out.pdf") + "'");
    EXPECT_EQ(rtf.find("Can't load"), std::string::npos);
    const std::vector<ShownImage> shown = ImagesOf(Path("out.pdf"));
    ASSERT_EQ(shown.size(), 3u);
    struct Want {
        const char* what;
        double widthMm, heightMm;
    };
    const Want wants[] = {
        {"40 mm asked, aspect kept", 40, 20},
        {"fitted to 170 mm of text", 170, 127.5},
        {"fitted to its cell", 60 - 2 * 108 / 56.69, (60 - 2 * 108 / 56.69) * 0.75},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(wants[i].what);
        EXPECT_NEAR(shown[i].widthInches * 25.4, wants[i].widthMm, wants[i].widthMm * 0.02);
        EXPECT_NEAR(shown[i].heightInches * 25.4, wants[i].heightMm, wants[i].heightMm * 0.02);
    }
}

TEST_F(ToolPictures, FormAndSizesFromOptionsAndSettings) {
    std::string rtf = Render("");
    EXPECT_NE(rtf.find("\\pngblip"), std::string::npos);
    EXPECT_EQ(rtf.find("\\emfblip"), std::string::npos);
    rtf = Render("--pictures metafile");
    EXPECT_EQ(rtf.find("\\pngblip"), std::string::npos);
    EXPECT_NE(rtf.find("\\emfblip"), std::string::npos);
    // The same size from the settings document and from the command line.
    WriteFileBytes(Path("s.json"), R"({"Pictures": {"1": "25mm,border=single:1pt"}})");
    const std::string fromSettings = Render("--settings '" + Path("s.json") + "'");
    EXPECT_NE(fromSettings.find("\\brdrs\\brdrw20"), std::string::npos);
    EXPECT_EQ(fromSettings, Render("--picture '1=25mm,border=single:1pt'"));
    EXPECT_NE(fromSettings, rtf);
}

TEST_F(ToolPictures, MistakesInThePictureOptionsAreUsageErrors) {
    const std::pair<const char*, std::string> cases[] = {
        {"--picture 1", "qxrtf: --picture 1: a picture format is N=SIZE (for example 1=40mm)\n"},
        {"--picture x=40mm",
         "qxrtf: --picture x=40mm: \"x\" is not a picture format index (0 or more)\n"},
        {"--picture 1=40qq",
         "qxrtf: --picture 1=40qq: Picture format \"40qq\": \"40qq\" is not a size (a number "
         "with mm, cm, in or pt), a scale (a number with %), width=, height= or border=\n"},
    };
    WriteFileBytes(Path("t.rtf"), "{\\rtf1 x}");
    for (const auto& [option, message] : cases) {
        SCOPED_TRACE(option);
        const ToolResult r =
            RunTool("render '" + Path("t.rtf") + "' -o '" + Path("o.rtf") + "' " + option);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.output, message);
    }
    EXPECT_EQ(RunTool("render '" + Path("t.rtf") + "' -o '" + Path("o.rtf") + "' --pictures gif")
                  .exitCode,
              2);
}
