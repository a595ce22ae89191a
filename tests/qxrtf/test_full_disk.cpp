// A run whose output does not fit: on a small disk (a size-limited tmpfs the
// test mounts; skipped where mounting is not allowed) and into a folder that
// cannot be written. The run fails with the system's reason, and neither the
// report nor a temporary file is left behind.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "qxrtf/qxrtf.h"
#include "test_support.h"
#include "tool/tool_runner.h"

using namespace qx;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kDiskBytes = 128 * 1024;

class FullDisk : public qxtest::TempDirTest {
  protected:
    void TearDown() override {
        for (const std::string& m : mounts_) ::umount2(m.c_str(), MNT_DETACH);
        qxtest::TempDirTest::TearDown();
    }
    // Mounts a tmpfs with `options` on the folder `name`; false where the
    // system does not allow it (not root, no mount rights in a container).
    bool Mount(const std::string& name, const std::string& options, unsigned long flags = 0) {
        fs::create_directories(Path(name));
        if (::mount("tmpfs", Path(name).c_str(), "tmpfs", flags, options.c_str()) != 0) {
            reason_ = std::strerror(errno);
            return false;
        }
        mounts_.push_back(Path(name));
        return true;
    }
    // A template whose report is about `bytes` long.
    void WriteTemplate(std::int64_t bytes) {
        const std::string line(999, 'x');
        qxtest::WriteFileBytes(Path("t.rtf"), "{\\rtf1\\ansi \\\\SCAN(),WHILE(I<" +
                                                  std::to_string(bytes / 1000) +
                                                  "),SET(I,I+1)\\\\" + line + "\n\\\\ENDSCAN\\\\}");
    }
    // Runs the template into `out`; answers the error message ("" on success).
    std::string Run(const std::string& out) {
        TQxRTF report;
        report.CreateVar("I", 0.0);
        report.SetInFile(Path("t.rtf"));
        report.SetOutFile(out);
        try {
            report.Execute({});
        } catch (const EStreamError& e) {
            EXPECT_FALSE(report.ExecuteSuccessful());
            EXPECT_EQ(report.LastErrMsg(), e.what());
            return e.what();
        }
        return "";
    }
    static std::vector<std::string> FilesIn(const std::string& dir) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().string());
        return names;
    }

    std::string reason_;

  private:
    std::vector<std::string> mounts_;
};

TEST_F(FullDisk, AReportThatDoesNotFitFailsAndLeavesNothing) {
    if (!Mount("disk", "size=" + std::to_string(kDiskBytes)))
        GTEST_SKIP() << "cannot mount a tmpfs here: " << reason_;
    const std::string out = Path("disk") + "/out.rtf";
    // Far too large, and just too large: the last bytes stdio holds only
    // reach the disk when the file is closed.
    for (const std::int64_t size : {16 * kDiskBytes, kDiskBytes + 3000}) {
        SCOPED_TRACE(size);
        WriteTemplate(size);
        qxtest::WriteFileBytes(out, "an earlier report");
        EXPECT_EQ(Run(out), "Cannot write file \"" + out + "\". No space left on device");
        EXPECT_TRUE(FilesIn(Path("disk")).empty());
        EXPECT_TRUE(TempFiles().empty());
    }
    // The same report fits a disk with room for it.
    WriteTemplate(kDiskBytes + 3000);
    EXPECT_EQ(Run(Path("out.rtf")), "");
    EXPECT_GT(static_cast<std::int64_t>(fs::file_size(Path("out.rtf"))), kDiskBytes);
}

TEST_F(FullDisk, TemporaryFilesOnTheSmallDiskFailTheSameWay) {
    // With $TMPDIR on the small disk: a file run writes straight into its
    // output and never needs it, while a run into a caller's file stream is
    // built in a temporary file first, so that is where the disk fills.
    if (!Mount("tmp", "size=" + std::to_string(kDiskBytes)))
        GTEST_SKIP() << "cannot mount a tmpfs here: " << reason_;
    // Far too large, and just too large: then the last bytes reach the disk
    // only when the file is read back.
    for (const std::int64_t size : {16 * kDiskBytes, kDiskBytes + 3000}) {
        SCOPED_TRACE(size);
        WriteTemplate(size);
        EXPECT_EQ(Run(Path("out.rtf")), "");
        EXPECT_GT(static_cast<std::int64_t>(fs::file_size(Path("out.rtf"))), size - 1000);
        fs::remove(Path("out.rtf"));

        TQxRTF report;
        report.CreateVar("I", 0.0);
        report.SetInFile(Path("t.rtf"));
        std::string message;
        {
            TFileStream out(Path("out.rtf"), TFileMode::fmCreate);
            try {
                report.ExecuteStream({}, &out);
            } catch (const EStreamError& e) {
                message = e.what();
            }
            EXPECT_EQ(out.Size(), 0);
        }
        EXPECT_EQ(message.rfind("Cannot write file \"" + tmp_ + "/", 0), 0u) << message;
        EXPECT_TRUE(message.ends_with("\". No space left on device")) << message;
        EXPECT_TRUE(TempFiles().empty());
    }
}

TEST_F(FullDisk, TheToolSaysWhyAndLeavesNothing) {
    if (!Mount("disk", "size=" + std::to_string(kDiskBytes)))
        GTEST_SKIP() << "cannot mount a tmpfs here: " << reason_;
    WriteTemplate(16 * kDiskBytes);
    const std::string out = Path("disk") + "/out.rtf";
    const qxtest::ToolResult r =
        qxtest::RunTool("render '" + Path("t.rtf") + "' -o '" + out + "' --var I=0:number");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, "qxrtf: Cannot write file \"" + out + "\". No space left on device\n");
    EXPECT_TRUE(FilesIn(Path("disk")).empty());
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(FullDisk, AnOutputFolderThatCannotBeWrittenFailsAndLeavesNothing) {
    WriteTemplate(5000);
    struct Case {
        std::string folder;
        std::string reason;
    };
    std::vector<Case> cases = {{Path("none"), "No such file or directory"}};
    // Root may write into any folder whatever its mode: a read-only file
    // system stops everyone.
    if (Mount("readonly", "size=64k", MS_RDONLY))
        cases.push_back({Path("readonly"), "Read-only file system"});
    else
        std::cout << "read-only case skipped: cannot mount a tmpfs here: " << reason_ << "\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string out = c.folder + "/out.rtf";
        EXPECT_EQ(Run(out), "Cannot create file \"" + out + "\". " + c.reason);
        EXPECT_FALSE(fs::exists(out));
        EXPECT_TRUE(TempFiles().empty());
    }
}

}  // namespace
