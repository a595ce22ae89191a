// One run from the call to the clean-up: output targets, temporary files,
// error recording, shell-open results, dataset controls and UDFList links.
#include <gtest/gtest.h>

#include <filesystem>

#include "conscom/exceptions.h"
#include "qxfunc/udf_list.h"
#include "qxrtf/qxrtf.h"
#include "test_support.h"

using namespace qx;
using qxtest::ReadFileBytes;
using qxtest::WriteFileBytes;

namespace {

// A dataset without records: the run frame only touches its controls.
class EmptyDataSet : public TDataSet {
  public:
    explicit EmptyDataSet(const std::string& name) { SetName(name); }
    bool Active() const override { return true; }
    void First() override {}
    void Next() override {}
    void Prior() override {}
    void Last() override {}
    bool Eof() const override { return true; }
    bool Bof() const override { return true; }
    int FieldCount() const override { return 0; }
    TField* Fields(int) const override { return nullptr; }
    TBookmark GetBookmark() const override { return {}; }
    void GotoBookmark(const TBookmark&) override {}
};

// Records what the run asked of the operating system.
class ProbeReport : public TQxRTF {
  public:
    std::uintptr_t shellResult = 42;
    std::string shellFile;
    std::vector<std::string> tempNames;
    std::function<void()> duringRun;

    std::uintptr_t ShellOpenFile(const std::string& fileName, std::int32_t) override {
        shellFile = fileName;
        return shellResult;
    }
    std::string CreateTmpFileName(const std::string& prefix) override {
        tempNames.push_back(TQxRTF::CreateTmpFileName(prefix));
        return tempNames.back();
    }
    bool Executing() const { return FExecute; }

  protected:
    void RunPass() override {
        if (duringRun) duringRun();
        TQxRTF::RunPass();
    }
};

class ReportRunTest : public qxtest::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        templateBytes = ReadFileBytes(qxtest::DataPath("lo_plain.rtf"));
        ASSERT_GT(templateBytes.size(), 1000u);
        report.SetInFile(qxtest::DataPath("lo_plain.rtf"));
        report.SetOutFile(Path("reference.rtf"));
        report.Execute({});
        reference = ReadFileBytes(Path("reference.rtf"));
        report.SetOutFile(Path("out.rtf"));
    }
    std::string templateBytes;
    std::string reference;  // the template through a plain file run
    ProbeReport report;
};

}  // namespace

TEST_F(ReportRunTest, TemplateWithoutFieldsComesOutAsWrittenToFile) {
    report.tempNames.clear();
    report.Execute({});
    EXPECT_EQ(ReadFileBytes(Path("out.rtf")), reference);
    // Only the forced charsets and the breaks between table groups differ.
    EXPECT_NE(reference, templateBytes);
    EXPECT_EQ(qxtest::WithoutCharsetsAndLineBreaks(reference),
              qxtest::WithoutCharsetsAndLineBreaks(templateBytes));
    EXPECT_TRUE(report.ExecuteSuccessful());
    EXPECT_EQ(report.LastErrMsg(), "No errors.");
    // A file run writes its output directly, without a temporary file.
    EXPECT_TRUE(report.tempNames.empty());
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_FALSE(report.Executing());
}

TEST_F(ReportRunTest, StreamIntoMemoryMakesNoTemporaryFileAndRewinds) {
    TMemoryStream out;
    const std::string tail(reference.size() + 50, 'Z');
    out.WriteBuffer(tail.data(), static_cast<std::int64_t>(tail.size()));
    report.tempNames.clear();
    report.ExecuteStream({}, &out);
    EXPECT_TRUE(report.tempNames.empty());
    EXPECT_EQ(out.Position(), 0);
    const std::string got(reinterpret_cast<const char*>(out.Memory()), out.Size());
    // The stream is not truncated: what lay beyond the document stays.
    EXPECT_EQ(got, reference + std::string(50, 'Z'));
}

TEST_F(ReportRunTest, StreamIntoFileUsesATemporaryFileThatIsGoneAfterwards) {
    report.tempNames.clear();
    {
        TFileStream out(Path("stream.rtf"), TFileMode::fmCreate);
        report.ExecuteStream({}, &out);
        EXPECT_EQ(out.Position(), 0);
    }
    EXPECT_EQ(ReadFileBytes(Path("stream.rtf")), reference);
    ASSERT_EQ(report.tempNames.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(report.tempNames[0]));
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(ReportRunTest, StreamRunStillDeletesAnExistingOutFile) {
    WriteFileBytes(Path("out.rtf"), "old report");
    TMemoryStream out;
    report.ExecuteStream({}, &out);
    EXPECT_FALSE(std::filesystem::exists(Path("out.rtf")));
}

TEST_F(ReportRunTest, TemplateBufferIsUsedUntilInFileChanges) {
    const std::string doc = "{\\rtf1 buffer template}";
    report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
    EXPECT_EQ(report.InFile(), "");
    report.Execute({});
    EXPECT_EQ(ReadFileBytes(Path("out.rtf")), doc);
    report.SetInFile("");  // the same name: the buffer stays
    report.Execute({});
    EXPECT_EQ(ReadFileBytes(Path("out.rtf")), doc);
    report.SetInFile(qxtest::DataPath("lo_plain.rtf"));
    report.Execute({});
    EXPECT_EQ(ReadFileBytes(Path("out.rtf")), reference);

    // Only the first Size bytes are the template.
    auto shared = std::make_shared<const std::vector<std::uint8_t>>(doc.begin(), doc.end());
    report.SetTemplateBuffer(shared, 10);
    report.Execute({});
    EXPECT_EQ(ReadFileBytes(Path("out.rtf")), doc.substr(0, 10));
    report.SetTemplateBuffer(shared, 1 << 20);  // never beyond the buffer
    report.Execute({});
    EXPECT_EQ(ReadFileBytes(Path("out.rtf")), doc);
}

TEST_F(ReportRunTest, FailuresAreRecordedAndLeaveNothingBehind) {
    struct Case {
        std::string templateText;  // empty: the template file is missing
        std::string message;
    };
    const Case cases[] = {
        {"", "Can't read file " + Path("missing.rtf")},
        // A template file is named.
        {"{\\rt", "Template is not RTF file: " + Path("t.rtf") + "."},
        {"plain text, no header", "Template is not RTF file: " + Path("t.rtf") + "."},
        {"{\\RTF1 upper case}", "Template is not RTF file: " + Path("t.rtf") + "."},
        // A word processor's own format gets the advice to save it as RTF.
        {std::string("PK\x03\x04", 4) + "....[Content_Types].xml....word/document.xml",
         "Template is not RTF file: " + Path("t.rtf") +
             ". It is a Word document (DOCX): open it in the word processor and save it as Rich "
             "Text Format (.rtf)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message + " / " + c.templateText);
        const std::string in = c.templateText.empty() ? Path("missing.rtf") : Path("t.rtf");
        if (!c.templateText.empty()) WriteFileBytes(in, c.templateText);
        WriteFileBytes(Path("out.rtf"), "previous report");
        report.SetInFile(in);
        try {
            report.Execute({});
            ADD_FAILURE() << "no exception";
        } catch (const EIOError& e) {
            EXPECT_EQ(e.what(), c.message);
            EXPECT_TRUE(c.templateText.empty());
        } catch (const EBadRtfFormat& e) {
            EXPECT_EQ(e.what(), c.message);
        }
        EXPECT_FALSE(report.ExecuteSuccessful());
        EXPECT_EQ(report.LastErrMsg(), c.message);
        // The check comes before the old output is deleted.
        EXPECT_EQ(ReadFileBytes(Path("out.rtf")), "previous report");
        EXPECT_TRUE(TempFiles().empty());
        EXPECT_FALSE(report.Executing());
    }
    // The next good run resets the results.
    report.SetInFile(qxtest::DataPath("lo_plain.rtf"));
    report.Execute({});
    EXPECT_TRUE(report.ExecuteSuccessful());
    EXPECT_EQ(report.LastErrMsg(), "No errors.");
}

TEST_F(ReportRunTest, UnwritableOutputFailsWithoutTemporaryFiles) {
    report.SetOutFile(Path("no/such/dir/out.rtf"));
    EXPECT_THROW(report.Execute({}), Exception);
    EXPECT_FALSE(report.ExecuteSuccessful());
    EXPECT_NE(report.LastErrMsg().find("no/such/dir/out.rtf"), std::string::npos);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(ReportRunTest, ShellOpenResultsMapToSuccessOrMessage) {
    struct Case {
        std::uintptr_t result;
        bool ok;
        std::string text;
    };
    const Case cases[] = {
        {31, false, "There is no application associated with the given filename extension."},
        {32, false, "The specified dynamic-link library was not found."},
        {2, false, "The specified file was not found."},
        {7, false, "Reason unknown."},
        {33, true, ""},
        {42, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        report.shellResult = c.result;
        int finished = 0;
        report.SetOnFinished([&](TComponent* sender) {
            EXPECT_EQ(sender, &report);
            ++finished;
        });
        if (c.ok) {
            report.ExecuteOpen({}, 1);
            EXPECT_TRUE(report.ExecuteSuccessful());
            EXPECT_EQ(finished, 1);
        } else {
            try {
                report.ExecuteOpen({}, 1);
                ADD_FAILURE() << "no exception";
            } catch (const EIOError& e) {
                EXPECT_EQ(e.what(), "Failed to open report results. Error message: " + c.text);
            }
            EXPECT_FALSE(report.ExecuteSuccessful());
            EXPECT_EQ(report.LastErrMsg(),
                      "Failed to open report results. Error message: " + c.text);
            EXPECT_EQ(finished, 0);
        }
        EXPECT_EQ(report.shellFile, Path("out.rtf"));
        // The report itself is complete either way.
        EXPECT_EQ(ReadFileBytes(Path("out.rtf")), reference);
    }
}

TEST_F(ReportRunTest, DatasetControlsEndAsTheyBegan) {
    EmptyDataSet a("A"), b("Orders");
    b.DisableControls();  // the application had already disabled this one
    bool seenDisabled = false;
    report.SetOnFinished(
        [&](TComponent*) { seenDisabled = a.ControlsDisabled() && b.ControlsDisabled(); });
    report.Execute({&a, &b});
    EXPECT_TRUE(seenDisabled);
    EXPECT_FALSE(a.ControlsDisabled());
    EXPECT_TRUE(b.ControlsDisabled());
    b.EnableControls();
    EXPECT_FALSE(b.ControlsDisabled());  // exactly one level, not two

    // Failure paths restore exactly once too (ExecuteOpen restores before
    // it raises, and the frame must not restore again).
    b.DisableControls();
    report.shellResult = 31;
    EXPECT_THROW(report.ExecuteOpen({&a, &b}, 1), EIOError);
    EXPECT_FALSE(a.ControlsDisabled());
    EXPECT_TRUE(b.ControlsDisabled());
    b.EnableControls();
    EXPECT_FALSE(b.ControlsDisabled());

    report.SetInFile(Path("missing.rtf"));
    EXPECT_THROW(report.Execute({&a}), EIOError);
    EXPECT_FALSE(a.ControlsDisabled());
}

TEST_F(ReportRunTest, ControlsUntouchedWhenDisablingIsOff) {
    EmptyDataSet a("A");
    report.SetDisableControls(false);
    bool seenDisabled = true;
    report.SetOnFinished([&](TComponent*) { seenDisabled = a.ControlsDisabled(); });
    report.Execute({&a});
    EXPECT_FALSE(seenDisabled);
}

TEST_F(ReportRunTest, TemplateAndUdfListAreLockedDuringARun) {
    TQxUDFList udfs;
    report.duringRun = [&] {
        EXPECT_TRUE(report.Executing());
        try {
            report.SetTemplateBuffer(std::vector<std::uint8_t>{'{'});
            ADD_FAILURE() << "template changed during a run";
        } catch (const EIOError& e) {
            EXPECT_STREQ(e.what(), "Can't set template while executing report");
        }
        try {
            report.SetUDFList(&udfs);
            ADD_FAILURE() << "UDFList changed during a run";
        } catch (const EIllegalFunctionUse& e) {
            EXPECT_STREQ(e.what(), "Can't set UDFList while executing report");
        }
    };
    report.Execute({});
    EXPECT_EQ(report.UDFList(), nullptr);
    EXPECT_EQ(ReadFileBytes(Path("out.rtf")), reference);
}

TEST(UdfListLink, VersionCheckAndFreeNotification) {
    struct OldList : TQxUDFList {
        int Version() const override { return 311; }
    };
    TQxRTF report;
    OldList old;
    try {
        report.SetUDFList(&old);
        ADD_FAILURE() << "accepted another version";
    } catch (const EIllegalFunctionUse& e) {
        EXPECT_STREQ(e.what(), "TQxRTF version 312 doesn't equal TQxUDFList version 311");
    }
    EXPECT_EQ(report.UDFList(), nullptr);
    {
        TQxUDFList list;
        report.SetUDFList(&list);
        EXPECT_EQ(report.UDFList(), &list);
    }
    EXPECT_EQ(report.UDFList(), nullptr);  // the list told the report it died

    // A report destroyed first leaves nothing dangling in the list.
    TQxUDFList survivor;
    {
        TQxRTF shortLived;
        shortLived.SetUDFList(&survivor);
    }
}

TEST(CharacterUtilities, ZeroOutAndLetters) {
    struct Case {
        std::string text;
        bool zero;
    };
    const Case cases[] = {{"", true},      {"0,00", true}, {"-0.0", true}, {"000", true},
                          {"0.01", false}, {"10", false},  {"abc", true},  {"(9)", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TQxBaseReport::ZeroOut(c.text), c.zero);
    }
    EXPECT_TRUE(TQxBaseReport::Letter('q'));
    EXPECT_FALSE(TQxBaseReport::Letter(U'ж'));
    EXPECT_FALSE(TQxBaseReport::Digit(U'٣'));
}

TEST(ReportDefaults, ConstructorValues) {
    TQxRTF report;
    EXPECT_FALSE(report.ExecuteSuccessful());
    EXPECT_EQ(report.LastErrMsg(), "No errors.");
    EXPECT_TRUE(report.DisableControls());
    EXPECT_EQ(report.OutFile(), "outfile.doc");
    EXPECT_EQ(report.TrueValue(), "True");
    EXPECT_EQ(report.FalseValue(), "False");
    EXPECT_EQ(report.Charset(), 1);
    EXPECT_EQ(report.Lang(), 0);
    EXPECT_EQ(report.Options(), (TQxRTFOptions{eoDotAsColon}));  // pictures in hex
    EXPECT_EQ(report.ColorCount(), 16);
    EXPECT_EQ(report.ColorTable()[15].GetColor(), 0xC0C0C0u);
    EXPECT_EQ(report.ColorTable()[1].GetColor(), 0xFF0000u);  // blue, as 0x00BBGGRR
}

TEST_F(ReportRunTest, StreamRunWithoutAStreamFails) {
    try {
        report.ExecuteStream({}, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const EIOError& e) {
        EXPECT_STREQ(e.what(), "Output stream is not assigned");
    }
    EXPECT_EQ(report.LastErrMsg(), "Output stream is not assigned");
}

TEST_F(ReportRunTest, OnlyRegularFilesAreEverDeleted) {
    // The run deletes an old report before writing the new one; a device
    // named as the output must survive that.
    EXPECT_FALSE(IsRegularFile("/dev/null"));
    EXPECT_FALSE(IsRegularFile(dir_));
    WriteFileBytes(Path("old.rtf"), "x");
    EXPECT_TRUE(IsRegularFile(Path("old.rtf")));
}
