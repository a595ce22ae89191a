// Pictures and hyperlinks in a report: the picture group's header numbers,
// the OnImageFormat event, borders and their colours, the picture sources
// (files, blobs, picture functions) and their failures, and the hyperlink
// field.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>

#include "conscom/exceptions.h"
#include "platform/picture.h"
#include "qxfunc/udf_list.h"
#include "qxrtf/engine_fixture.h"
#include "qxrtf/pict_group.h"
#include "test_support.h"

using namespace qx;
using qxtest::kCrop;
using qxtest::PictGroup;
using qxtest::SplitPict;

namespace {

const std::string kHead = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}";
const std::string kColors = "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}";

// The header of a picture in the enhanced-metafile form: scales, size in
// twips, and the unscaled size as the goal.
std::string EmfHeader(int scale, int picw, int pich, int goalw, int goalh) {
    const std::string sc = std::to_string(scale);
    return "{\\pict\\picscalex" + sc + "\\picscaley" + sc + kCrop + "\\picw" +
           std::to_string(picw) + "\\pich" + std::to_string(pich) + "\\emfblip\\picwgoal" +
           std::to_string(goalw) + "\\pichgoal" + std::to_string(goalh);
}

class PictureOutput : public qxtest::EngineTest {
  protected:
    void SetUp() override {
        qxtest::AddBlankPictureFunction(udfs, pictureSize);
        report.SetUDFList(&udfs);
        report.SetOptions({});  // hex data unless a test asks for \bin
        // These cases are about the metafile form; test_picture_native.cpp
        // has the native one.
        report.SetPictureForm(TQxPictureForm::Metafile);
    }
    // The whole output of a document made of the head, `tables` and `body`.
    std::string RenderDoc(const std::string& tables, const std::string& body) {
        const std::string doc = kHead + tables + "\\pard " + body + "\\par}";
        report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
        TMemoryStream out;
        report.ExecuteStream(DataSets(), &out);
        return std::string(reinterpret_cast<const char*>(out.Memory()),
                           static_cast<std::size_t>(out.Size()));
    }
    void SetOption(TQxRTFOption o) {
        TQxRTFOptions options = report.Options();
        options.Include(o);
        report.SetOptions(options);
    }

    TQxUDFList udfs;
    std::pair<int, int> pictureSize{200, 100};
};

}  // namespace

TEST_F(PictureOutput, EnhancedMetafileHeaderOfA200By100Bitmap) {
    const PictGroup g = SplitPict(Render("\\\\PIC()\\\\x"));
    EXPECT_EQ(g.header, EmfHeader(100, 3000, 1500, 3000, 1500));
    EXPECT_EQ(g.after, "x");
    const auto meta = ReadMetafile(g.data);
    EXPECT_TRUE(meta->Enhanced());
    EXPECT_EQ(meta->MMWidth(), 5292);  // 52.919... mm
    EXPECT_EQ(meta->MMHeight(), 2646);
}

TEST_F(PictureOutput, WindowsMetafileHeaderOfA200By100Bitmap) {
    SetOption(eoGraphicsWmfCompatible);
    const PictGroup g = SplitPict(Render("\\\\PIC()\\\\"));
    EXPECT_EQ(g.header,
              "{\\pict\\picscalex100\\picscaley100" + kCrop + "\\picw5292\\pich2646\\wmetafile8");
    const auto meta = ReadMetafile(g.data);
    EXPECT_FALSE(meta->Enhanced());
    EXPECT_EQ(meta->Width(), 200);
    EXPECT_EQ(meta->Height(), 100);
}

TEST_F(PictureOutput, BinaryDataIsCountedAndRaw) {
    SetOption(eoGraphicsBinary);
    const std::string out = Render("\\\\PIC()\\\\");
    const PictGroup g = SplitPict(out);
    EXPECT_NE(out.find("\\pichgoal1500\\bin"), std::string::npos);
    EXPECT_EQ(ReadMetafile(g.data)->MMWidth(), 5292);
    SetOption(eoGraphicsWmfCompatible);
    EXPECT_EQ(ReadMetafile(SplitPict(Render("\\\\PIC()\\\\")).data)->Width(), 200);
}

TEST_F(PictureOutput, HandlerScalesTheProportionalFormat) {
    std::vector<int> indexes;
    report.SetOnImageFormat([&](int index, TQxImageFormat& f) {
        indexes.push_back(index);
        f.SetScaleX(50);
    });
    EXPECT_EQ(SplitPict(Render("\\\\FIMG(PIC(), 3)\\\\")).header,
              EmfHeader(50, 1500, 750, 3000, 1500));
    SetOption(eoGraphicsWmfCompatible);
    EXPECT_EQ(SplitPict(Render("\\\\PIC()\\\\")).header,
              "{\\pict\\picscalex100\\picscaley100" + kCrop + "\\picw2646\\pich1323\\wmetafile8");
    // The picture index is FIMG's argument, 0 without one.
    EXPECT_EQ(indexes, (std::vector<int>{3, 0}));
}

TEST_F(PictureOutput, HandlerMayPutAnotherFormatInPlace) {
    TQxImageFormat mine(40, 20);
    mine.SetBorderType(ibtSingle, 1, 0);
    report.SetOnImageFormat([&](int, TQxImageFormat& f) { f = mine; });
    const PictGroup g = SplitPict(RenderDoc(kColors, "\\\\PIC()\\\\"));
    EXPECT_EQ(g.header, EmfHeader(100, 600, 300, 600, 300) + "\\brdrs\\brdrw20\\brdrcf1");
    EXPECT_EQ(ReadMetafile(g.data)->MMWidth(), 1058);
}

TEST_F(PictureOutput, Borders) {
    struct Case {
        TQxImageBorderType type;
        float width;
        std::uint16_t color;
        std::string words;
    };
    const Case cases[] = {
        {ibtDouble, 10, 0, "\\brdrdb\\brdrw70\\brdrcf1"},
        {ibtSingle, 0, 0, ""},
        {ibtThick, 1, 1, "\\brdrth\\brdrw20\\brdrcf2"},   // the template's blue
        {ibtShadow, 1, 2, "\\brdrsh\\brdrw20\\brdrcf1"},  // no colour 2: colour 0
        {ibtDotted, 2, 500, "\\brdrdot\\brdrw40\\brdrcf1"},
        {ibtHairline, 0.5f, 1, "\\brdrhair\\brdrw10\\brdrcf2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words);
        report.SetOnImageFormat(
            [&](int, TQxImageFormat& f) { f.SetBorderType(c.type, c.width, c.color); });
        const std::string out = RenderDoc(kColors, "\\\\PIC()\\\\");
        EXPECT_EQ(SplitPict(out).header, EmfHeader(100, 3000, 1500, 3000, 1500) + c.words);
        // The template's colours were enough: its table is unchanged.
        EXPECT_NE(out.find(kColors), std::string::npos);
    }
}

TEST_F(PictureOutput, BorderInATemplateWithoutColoursIsBlack) {
    report.SetOnImageFormat([](int, TQxImageFormat& f) { f.SetBorderType(ibtSingle, 1, 0); });
    const std::string out = RenderDoc("", "\\\\PIC()\\\\");
    EXPECT_NE(out.find("\\pichgoal1500\\brdrs\\brdrw20\\brdrcf1 "), std::string::npos);
    EXPECT_NE(out.find("{\\colortbl;\\red0\\green0\\blue0;}"), std::string::npos)
        << out.substr(0, 80);
}

TEST_F(PictureOutput, ColoursAddedAfterTheTablesWereWrittenReachAFileReport) {
    // A file run has written the tables when a border comes to need a colour:
    // they are written again, and the file has the bytes a stream run gets.
    report.SetOnImageFormat([](int, TQxImageFormat& f) { f.SetBorderType(ibtSingle, 1, 0); });
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("qxrtf-border-" + std::to_string(::getpid()) + ".rtf"))
                                 .string();
    for (const std::string& tables : {std::string(), kColors}) {
        SCOPED_TRACE(tables);
        const std::string expected = RenderDoc(tables, "a\\\\PIC()\\\\b\\\\PIC()\\\\");
        report.SetOutFile(path);
        report.Execute(DataSets());
        EXPECT_EQ(qxtest::ReadFileBytes(path), expected);
    }
    std::filesystem::remove(path);
}

TEST_F(PictureOutput, EmptyPictureWritesOnlyTheMarkup) {
    pictureSize = {0, 0};
    bool called = false;
    report.SetOnImageFormat([&](int, TQxImageFormat&) { called = true; });
    EXPECT_EQ(Render("a\\\\PIC()\\\\b"), "ab");
    EXPECT_FALSE(called);
}

// Adds a private directory for picture files.
class PictureSources : public PictureOutput {
  protected:
    void SetUp() override {
        PictureOutput::SetUp();
        std::string pattern = (std::filesystem::temp_directory_path() / "qxpicXXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::string dir_;
    static std::string Picture(const char* name) {
        return qxtest::ReadFileBytes(qxtest::DataPath(std::string("pictures/") + name));
    }
};

TEST_F(PictureSources, FilesOfEveryKind) {
    struct Case {
        const char* file;
        int picw, pich;  // twips of the picture's pixels at 96 per inch
    };
    const Case cases[] = {
        {"quarters.png", 1800, 900},
        {"quarters.jpg", 1350, 900},
        {"quarters.gif", 960, 480},
        {"quarters.bmp", 750, 600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        report.CreateVar("F", qxtest::DataPath(std::string("pictures/") + c.file));
        const PictGroup g = SplitPict(Render("\\\\FIMG(F)\\\\"));
        EXPECT_EQ(g.header, EmfHeader(100, c.picw, c.pich, c.picw, c.pich));
        report.VarList()->Clear();
    }
}

TEST_F(PictureSources, FilesThatDoNotLoadAreNamedInTheDocument) {
    const std::string png = Picture("quarters.png"), jpg = Picture("quarters.jpg"),
                      gif = Picture("quarters.gif");
    const std::pair<const char*, std::string> files[] = {
        {"cut.png", png.substr(0, png.size() / 2)},
        {"cut.jpg", jpg.substr(0, jpg.size() - 100)},
        {"cut.gif", gif.substr(0, gif.size() / 2)},
        {"noise.jpg", "\xFF\xD8\xFF\xE0" + std::string(300, 'j')},
        {"text.png", "not a picture"},
        {"empty.gif", ""},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        qxtest::WriteFileBytes(Path(name), bytes);
        report.CreateVar("F", Path(name));
        EXPECT_EQ(Render("\\\\FIMG(F)\\\\m"), "#Can't load file " + Path(name) + "m");
        EXPECT_TRUE(report.ExecuteSuccessful());
        report.VarList()->Clear();
    }
    report.CreateVar("F", Path("missing{1}.png"));
    EXPECT_EQ(Render("\\\\FIMG(F)\\\\"), "#Can't load file " + Path("missing\\{1\\}.png"));
    report.VarList()->Clear();
    report.CreateVar("F", dir_);  // a directory
    EXPECT_EQ(Render("\\\\FIMG(F)\\\\"), "#Can't load file " + dir_);
}

TEST_F(PictureSources, BlobFields) {
    const std::string png = Picture("quarters.png"), jpg = Picture("quarters.jpg"),
                      gif = Picture("quarters.gif"), bmp = Picture("quarters.bmp");
    AddDataSet("D", {{"G", ftGraphic}, {"B", ftBlob}, {"S", ftString}},
               {{png, jpg, std::string("x")},
                {gif, bmp, std::string("x")},
                {std::string(20, 'z'), std::string("JFIF"), std::string("x")},
                {std::monostate{}, std::monostate{}, std::string("x")}});
    std::vector<int> indexes;
    report.SetOnImageFormat([&](int index, TQxImageFormat&) { indexes.push_back(index); });
    const std::string out =
        Render("\\\\SCAN(D)\\\\[\\\\D.G\\\\|\\\\FIMG(D.B, 2)\\\\]\\\\ENDSCAN\\\\");
    // Four pictures in the first two records; the 20-byte, short and null
    // blobs write nothing but their markup.
    std::size_t count = 0;
    for (auto at = out.find("{\\pict"); at != std::string::npos; at = out.find("{\\pict", at + 1))
        ++count;
    EXPECT_EQ(count, 4u);
    EXPECT_NE(out.find("][|][|]"), std::string::npos) << out.substr(out.size() - 40);
    EXPECT_EQ(indexes, (std::vector<int>{0, 2, 0, 2}));
    EXPECT_NE(out.find(EmfHeader(100, 1800, 900, 1800, 900)), std::string::npos);  // the PNG
    EXPECT_NE(out.find(EmfHeader(100, 750, 600, 750, 600)), std::string::npos);    // the BMP
}

TEST_F(PictureSources, TextFieldsNameTheFile) {
    const std::string png = qxtest::DataPath("pictures/quarters.png");
    AddDataSet("D", {{"S", ftString}},
               {{"  " + png + " "}, {std::string("   ")}, {std::monostate{}}, {Path("none.png")}});
    std::vector<int> indexes;
    report.SetOnImageFormat([&](int index, TQxImageFormat&) { indexes.push_back(index); });
    const std::string out = Render("\\\\SCAN(D)\\\\[\\\\FIMG(D.S, 3)\\\\]\\\\ENDSCAN\\\\");
    // The padded name loads; a blank or null name is a record without a
    // picture; a name of no file is reported in the document.
    const PictGroup g = SplitPict(out);
    EXPECT_EQ(g.header.substr(0, 6), "{\\pict");
    EXPECT_EQ(g.after, "][][][#Can't load file " + Path("none.png") + "]");
    EXPECT_EQ(indexes, std::vector<int>{3});
    // A variable and an expression name a file the same way.
    report.CreateVar("F", png + "  ");
    EXPECT_EQ(SplitPict(Render("\\\\FIMG(F)\\\\")).header, g.header);
    EXPECT_EQ(SplitPict(Render("\\\\FIMG(F + '')\\\\")).header, g.header);
}

TEST_F(PictureSources, BrokenBlobsEndTheRunWithTheDecodersMessage) {
    const std::string jpg = Picture("quarters.jpg"), gif = Picture("quarters.gif"),
                      png = Picture("quarters.png");
    const std::pair<std::string, std::string> cases[] = {
        {jpg.substr(0, jpg.size() / 2), "Premature end of JPEG file"},
        {"\xFF\xD8\xFF\xE0\x00\x10JFIF" + std::string(100, '\x01'), ""},
        {gif.substr(0, gif.size() / 2), "Failed to read from given file"},
        {"xxGIF89a" + std::string(40, '\x02'), ""},  // names GIF, is none
        {png.substr(0, png.size() / 2), ""},
        {std::string(40, 'q'), "Unknown picture format"},
    };
    for (const auto& [blob, message] : cases) {
        SCOPED_TRACE(message);
        datasets.clear();
        AddDataSet("D", {{"G", ftGraphic}}, {{blob}});
        try {
            Render("\\\\D.G\\\\");
            ADD_FAILURE() << "no error";
        } catch (const EInvalidGraphic& e) {
            if (!message.empty()) {
                EXPECT_EQ(e.what(), message);
            }
            EXPECT_EQ(report.LastErrMsg(), e.what());
        }
        EXPECT_FALSE(report.ExecuteSuccessful());
    }
}

TEST_F(PictureSources, MetafileFilesKeepTheirOwnKind) {
    TBitmap bm(200, 100);
    qxtest::WriteFileBytes(Path("p.emf"), WriteEnhancedMetafile(bm, 5292, 2646));
    std::string placeable;
    for (int v : {0xD7, 0xCD, 0xC6, 0x9A, 0,    0, 0, 0, 0, 0, 0xB8,
                  0x0B, 0xDC, 0x05, 0xA0, 0x05, 0, 0, 0, 0, 0, 0})
        placeable += static_cast<char>(v);  // 3000 x 1500 at 1440 per inch
    const std::string wmf = WriteWindowsMetafile(bm);
    qxtest::WriteFileBytes(Path("p.wmf"), placeable + wmf);
    report.CreateVar("E", Path("p.emf"));
    report.CreateVar("W", Path("p.wmf"));
    report.SetOnImageFormat([](int, TQxImageFormat& f) { f.SetScaleX(50); });
    for (bool wmfForm : {false, true}) {
        SCOPED_TRACE(wmfForm);
        if (wmfForm) SetOption(eoGraphicsWmfCompatible);
        const PictGroup e = SplitPict(Render("\\\\FIMG(E)\\\\"));
        EXPECT_EQ(e.header, EmfHeader(50, 1500, 750, 3000, 1500));
        EXPECT_EQ(ReadMetafile(e.data)->MMWidth(), 2646);  // the frame follows the scale
        const PictGroup w = SplitPict(Render("\\\\FIMG(W)\\\\"));
        EXPECT_EQ(w.header, "{\\pict\\picscalex100\\picscaley100" + kCrop +
                                "\\picw2646\\pich1323\\wmetafile8");
        EXPECT_EQ(w.data, wmf);  // without the placeable header
    }
}

TEST_F(PictureOutput, Hyperlinks) {
    report.SetLang(1033);
    const std::pair<const char*, std::string> cases[] = {
        {"site|Click here", "site\" }}{\\fldrslt \\lang1033 Click here}}"},
        {"site", "site\" }}{\\fldrslt \\lang1033 site}}"},
        {"site|", "site\" }}{\\fldrslt \\lang1033 site}}"},
        {"|shown", "\" }}{\\fldrslt \\lang1033 }}"},
        {"a|b|c", "a\" }}{\\fldrslt \\lang1033 b|c}}"},
        {"x{y}|\\z", "x\\{y\\}\" }}{\\fldrslt \\lang1033 \\\\z}}"},
    };
    for (const auto& [value, tail] : cases) {
        SCOPED_TRACE(value);
        report.VarList()->Clear();
        report.CreateVar("L", std::string(value));
        EXPECT_EQ(Render("\\\\FLNK(L)\\\\m"),
                  "{\\field{\\*\\fldinst {\\lang1033 HYPERLINK \"" + tail + "m");
    }
    AddDataSet("D", {{"U", ftString}}, {{std::string("http://example.org/|Example  ")}});
    EXPECT_EQ(Render("\\\\FLNK(D.U)\\\\"),
              "{\\field{\\*\\fldinst {\\lang1033 HYPERLINK \"http://example.org/\" }}"
              "{\\fldrslt \\lang1033 Example}}");
}
