// The limits that stop a runaway template: scan repetitions and output size.
#include <gtest/gtest.h>

#include <filesystem>

#include "conscom/exceptions.h"
#include "qxrtf/engine_fixture.h"
#include "test_support.h"

using namespace qx;

namespace {

class RunLimits : public qxtest::EngineTest {
  protected:
    void SetUp() override {
        AddDataSet("A", {{"X", ftInteger}}, {{1}, {2}, {3}});
        report.CreateVar("I", 0.0);
    }
    // The error text of rendering `body`, or "" when it renders.
    std::string ScanError(const std::string& body) {
        try {
            Render(body);
        } catch (const EIllegalScanUse& e) {
            EXPECT_FALSE(report.ExecuteSuccessful());
            EXPECT_EQ(report.LastErrMsg(), e.what());
            return e.what();
        }
        return "";
    }
};

TEST_F(RunLimits, OffByDefault) {
    EXPECT_EQ(report.MaxScanRepetitions(), 0);
    EXPECT_EQ(report.MaxOutputSize(), 0);
    // 20,000 passes and no limit in the way.
    EXPECT_EQ(ScanError("\\\\SCAN(),WHILE(I<20000),SET(I,I+1)\\\\.\\\\ENDSCAN\\\\"), "");
}

TEST_F(RunLimits, RepetitionsEndTheRunWithTheScanNamed) {
    struct Case {
        std::int64_t limit;
        std::string body;
        std::string message;  // "" when the run succeeds
    };
    const Case cases[] = {
        {1000, "\\\\SCAN(),WHILE(1=1)\\\\x\\\\ENDSCAN\\\\",
         "Scan SCAN(),WHILE(1=1) repeated more than 1000 times"},
        // A dataset of exactly the limit's records runs; one more fails.
        {3, "\\\\SCAN(A)\\\\\\\\A.X\\\\\\\\ENDSCAN\\\\", ""},
        {2, "\\\\SCAN(A)\\\\\\\\A.X\\\\\\\\ENDSCAN\\\\", "Scan SCAN(A) repeated more than 2 times"},
        // The count is per run of a scan: an inner scan starts again at
        // every outer record, the outer one is named when it runs away.
        {3, "\\\\SCAN(A)\\\\\\\\SCAN(A),NOEOF\\\\\\\\ENDSCAN\\\\\\\\ENDSCAN\\\\x", ""},
        {5,
         "\\\\SCAN(), WHILE(I < 100), SET(I, "
         "I+1)\\\\{\\\\SCAN(A)\\\\\\\\ENDSCAN\\\\}\\\\ENDSCAN\\\\",
         "Scan SCAN(),WHILE(I<100),SET(I,I+1) repeated more than 5 times"},
        // Inside an if block, the scan is still the one named.
        {10, "\\\\SCAN(),WHILE(1=1)\\\\\\\\IF(1=1)\\\\y\\\\ENDIF\\\\\\\\ENDSCAN\\\\",
         "Scan SCAN(),WHILE(1=1) repeated more than 10 times"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        report.VarByName("I").SetAsFloat(0);
        report.SetMaxScanRepetitions(c.limit);
        EXPECT_EQ(ScanError(c.body), c.message);
    }
}

TEST_F(RunLimits, OutputSizeEndsTheRun) {
    report.SetMaxOutputSize(10000);
    EXPECT_EQ(ScanError("\\\\SCAN(),WHILE(1=1)\\\\abcdefgh\\\\ENDSCAN\\\\"),
              "Scan SCAN(),WHILE(1=1) wrote more than the 10000 bytes a report may have");
    // Outside any scan the limit is an output error.
    report.SetMaxOutputSize(20);
    try {
        Render(std::string(100, 'z'));
        ADD_FAILURE() << "no error";
    } catch (const EIOError& e) {
        EXPECT_STREQ(e.what(), "Report output larger than 20 bytes");
    }
    // A report within the limit is untouched by it.
    report.SetMaxOutputSize(0);
    const std::string unlimited = Render("\\\\SCAN(A)\\\\\\\\A.X\\\\\\\\ENDSCAN\\\\");
    report.SetMaxOutputSize(1000);
    EXPECT_EQ(Render("\\\\SCAN(A)\\\\\\\\A.X\\\\\\\\ENDSCAN\\\\"), unlimited);
}

class RunLimitsFile : public qxtest::TempDirTest {};

TEST_F(RunLimitsFile, AFailedRunLeavesNoOutputFile) {
    qxtest::WriteFileBytes(Path("t.rtf"), "{\\rtf1 \\\\SCAN(),WHILE(1=1)\\\\x\\\\ENDSCAN\\\\}");
    qxtest::WriteFileBytes(Path("out.rtf"), "an earlier report");
    TQxRTF report;
    report.SetInFile(Path("t.rtf"));
    report.SetOutFile(Path("out.rtf"));
    report.SetMaxScanRepetitions(100);
    EXPECT_THROW(report.Execute({}), EIllegalScanUse);
    EXPECT_FALSE(std::filesystem::exists(Path("out.rtf")));
    EXPECT_TRUE(TempFiles().empty());
}

}  // namespace
