// The image root: with it set, FIMG reads picture files only from inside
// that folder, whichever way a name tries to leave it.
#include <gtest/gtest.h>

#include <filesystem>

#include "conscom/exceptions.h"
#include "qxrtf/engine_fixture.h"
#include "test_support.h"

using namespace qx;
namespace fs = std::filesystem;

namespace {

// root/      pic.png, sub/pic.png, link_in -> sub, link_out -> ../outside,
//            pic_out.png -> ../outside/pic.png, up -> ..
// root2/     pic.png (a sibling whose name starts like the root's)
// outside/   pic.png
class ImageRoot : public qxtest::EngineTest {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qximgrootXXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        const std::string png = qxtest::ReadFileBytes(qxtest::DataPath("pictures/quarters.png"));
        for (const char* folder : {"root/sub", "root2", "outside"}) {
            fs::create_directories(Path(folder));
            qxtest::WriteFileBytes(Path(folder) + "/pic.png", png);
        }
        qxtest::WriteFileBytes(Path("root/pic.png"), png);
        fs::create_directory_symlink("sub", Path("root/link_in"));
        fs::create_directory_symlink("../outside", Path("root/link_out"));
        fs::create_symlink("../outside/pic.png", Path("root/pic_out.png"));
        fs::create_directory_symlink("..", Path("root/up"));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // What FIMG makes of `name`: "picture", the document's note on a file
    // that does not load, or the message the run ended with.
    std::string Outcome(const std::string& name) {
        report.VarList()->Clear();
        report.CreateVar("F", name);
        try {
            const std::string out = Render("\\\\FIMG(F)\\\\");
            return out.rfind("{\\pict", 0) == 0 ? "picture" : out;
        } catch (const EIOError& e) {
            EXPECT_FALSE(report.ExecuteSuccessful());
            return e.what();
        }
    }

    std::string dir_;
};

TEST_F(ImageRoot, NamesInsideLoadAndNamesLeadingOutEndTheRun) {
    report.SetImageRoot(Path("root"));
    const std::string outside = " is outside the image root " + Path("root");
    struct Case {
        std::string name;
        std::string outcome;
    };
    const Case cases[] = {
        {"pic.png", "picture"},  // relative names are taken inside the root
        {"sub/pic.png", "picture"},
        {Path("root/sub/pic.png"), "picture"},
        {Path("root/sub/../pic.png"), "picture"},
        {"link_in/pic.png", "picture"},  // a link that stays inside
        {"sub/../link_in/./pic.png", "picture"},
        {"missing.png", "#Can't load file missing.png"},
        {"../outside/pic.png", "Picture file ../outside/pic.png" + outside},
        {"sub/../../outside/pic.png", "Picture file sub/../../outside/pic.png" + outside},
        {"../root2/pic.png", "Picture file ../root2/pic.png" + outside},
        {Path("outside/pic.png"), "Picture file " + Path("outside/pic.png") + outside},
        {"/etc/hostname", "Picture file /etc/hostname" + outside},
        {"link_out/pic.png", "Picture file link_out/pic.png" + outside},
        {"pic_out.png", "Picture file pic_out.png" + outside},
        {"up/outside/pic.png", "Picture file up/outside/pic.png" + outside},
        {"up/root/pic.png", "picture"},  // out and back in again
        {"nothing/../../outside/pic.png", "Picture file nothing/../../outside/pic.png" + outside},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Outcome(c.name), c.outcome);
    }
}

TEST_F(ImageRoot, TheRootItselfMayBeALinkOrRelative) {
    fs::create_directory_symlink(Path("root"), Path("root_link"));
    report.SetImageRoot(Path("root_link"));
    EXPECT_EQ(Outcome("sub/pic.png"), "picture");
    EXPECT_EQ(Outcome(Path("root/pic.png")), "picture");
    EXPECT_EQ(Outcome("../outside/pic.png"),
              "Picture file ../outside/pic.png is outside the image root " + Path("root_link"));
}

TEST_F(ImageRoot, ARootThatIsNoFolderEndsTheRun) {
    for (const std::string& root : {Path("none"), Path("root/pic.png")}) {
        SCOPED_TRACE(root);
        report.SetImageRoot(root);
        EXPECT_EQ(Outcome("pic.png"), "Image root " + root + " is not a folder");
    }
}

TEST_F(ImageRoot, WithoutARootEveryFileLoads) {
    EXPECT_EQ(report.ImageRoot(), "");
    EXPECT_EQ(Outcome(Path("outside/pic.png")), "picture");
    EXPECT_EQ(Outcome(Path("root/link_out/pic.png")), "picture");
}

}  // namespace
