// The limits that stop a runaway template: scan repetitions and output size.
#include <gtest/gtest.h>

#include <algorithm>
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
        // The count is per run: an inner scan's passes for every record of
        // the outer one add up, so an inner loop inside an endless outer
        // one is stopped, and the outer one is named when it runs away.
        {3, "\\\\SCAN(A)\\\\\\\\SCAN(A),NOEOF\\\\\\\\ENDSCAN\\\\\\\\ENDSCAN\\\\x", ""},
        {8,
         "\\\\SCAN(), WHILE(I < 2), SET(I, "
         "I+1)\\\\{\\\\SCAN(A)\\\\\\\\ENDSCAN\\\\}\\\\ENDSCAN\\\\",
         ""},
        {5,
         "\\\\SCAN(), WHILE(I < 2), SET(I, "
         "I+1)\\\\{\\\\SCAN(A)\\\\\\\\ENDSCAN\\\\}\\\\ENDSCAN\\\\",
         "Scan SCAN(A) repeated more than 5 times"},
        {5, "\\\\SCAN(), WHILE(I < 100), SET(I, I+1)\\\\x\\\\ENDSCAN\\\\",
         "Scan SCAN(),WHILE(I<100),SET(I,I+1) repeated more than 5 times"},
        {1000,
         "\\\\SCAN(),WHILE(1=1)\\\\\\\\I := 0\\\\\\\\SCAN(),WHILE(I<900)\\\\"
         "\\\\I := I + 1\\\\\\\\ENDSCAN\\\\\\\\ENDSCAN\\\\",
         "Scan SCAN(),WHILE(I<900) repeated more than 1000 times"},
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

TEST_F(RunLimits, MergedFragmentsCount) {
    // A fragment of about 5,000 bytes: the merger writes it into the output
    // itself, past the writer that counts.
    report.CreateVar(
        "R", "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard " + std::string(5000, 'f') + "\\par}");
    const std::string body = "\\\\FRTF(R)\\\\";
    const std::size_t size = Render(body).size();
    EXPECT_GT(size, 5000u);
    report.SetMaxOutputSize(4000);
    try {
        Render(body);
        ADD_FAILURE() << "no error";
    } catch (const EIOError& e) {
        EXPECT_STREQ(e.what(), "Report output larger than 4000 bytes");
    }
    EXPECT_EQ(ScanError("\\\\SCAN(A)\\\\" + body + "\\\\ENDSCAN\\\\"),
              "Scan SCAN(A) wrote more than the 4000 bytes a report may have");
    // Room for the whole report: no error.
    report.SetMaxOutputSize(static_cast<std::int64_t>(size) + 100);
    EXPECT_EQ(Render(body).size(), size);
}

// A memory stream that takes at most `capacity` bytes, like a device that
// fills up.
class CappedStream : public TMemoryStream {
  public:
    explicit CappedStream(std::int64_t capacity) : capacity_(capacity) {}
    std::int64_t Write(const void* buffer, std::int64_t count) override {
        return TMemoryStream::Write(
            buffer, std::min(count, std::max<std::int64_t>(capacity_ - FPosition, 0)));
    }

  private:
    std::int64_t capacity_;
};

TEST_F(RunLimits, AFailedStreamRunLeavesTheCallersStreamAsItWas) {
    const std::string before = "the caller's own bytes";
    struct Case {
        const char* what;
        std::int64_t capacity;     // of the caller's stream
        std::int64_t maxOutput;    // of the report
        std::int64_t repetitions;  // most passes of a scan
        bool contentKept;          // the run failed before writing the stream
    };
    // The body alone is 30 bytes; the document tables, written last, add
    // more: with a limit between the two the run fails while assembling.
    const std::string body = "\\\\SCAN(A)\\\\<\\\\A.X\\\\>\\\\ENDSCAN\\\\";
    const Case cases[] = {
        {"a scan that runs away", 1 << 20, 0, 2, true},
        {"the output limit reached in the document tables", 1 << 20, 40, 0, true},
        {"a stream that fills up", 50, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CappedStream out(c.capacity);
        out.WriteBuffer(before.data(), static_cast<std::int64_t>(before.size()));
        out.SetPosition(9);
        report.SetMaxOutputSize(c.maxOutput);
        report.SetMaxScanRepetitions(c.repetitions);
        const std::string doc = qxtest::Doc(body);
        report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
        EXPECT_ANY_THROW(report.ExecuteStream(DataSets(), &out));
        EXPECT_FALSE(report.ExecuteSuccessful());
        EXPECT_EQ(out.Position(), 9);
        EXPECT_EQ(out.Size(), static_cast<std::int64_t>(before.size()));
        if (c.contentKept) {
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.Memory()), before.size()),
                      before);
        }
    }
    // A run that succeeds writes from the start and leaves the stream there.
    report.SetMaxOutputSize(0);
    report.SetMaxScanRepetitions(0);
    TMemoryStream out;
    out.WriteBuffer(before.data(), static_cast<std::int64_t>(before.size()));
    report.ExecuteStream(DataSets(), &out);
    EXPECT_EQ(out.Position(), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.Memory()), 6), "{\\rtf1");
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
