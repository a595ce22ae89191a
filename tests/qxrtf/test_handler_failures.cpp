// A run ends the same way whatever an application's handler throws: the
// failure is recorded, the datasets' controls are restored, no output or
// temporary file is left, and the caller gets the original exception.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "platform/mem_dataset.h"
#include "qxfunc/udf_list.h"
#include "qxrtf/qxrtf.h"
#include "test_support.h"

using namespace qx;

namespace {

class HandlerFailures : public qxtest::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        orders.AddField("NAME", ftString);
        orders.AppendRecord({std::string("first")});
        orders.AppendRecord({std::string("second")});
        TQxUDF* f = udfs.Functions().Add();
        f->SetName("BOOM");
        f->SetResultType(udfrTQxReportVariable);
        f->SetOnCalculate([this](TObject*, const TQxUDFArgs&, std::int32_t, TObject* result) {
            if (throwFromFunction) throwFromFunction();
            static_cast<TQxReportVariable*>(result)->SetAsString("ok");
        });
        report.SetUDFList(&udfs);
        const std::string doc =
            "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard "
            "\\\\SCAN(ORDERS)\\\\\\\\ORDERS.NAME\\\\ \\\\BOOM()\\\\\\par \\\\ENDSCAN\\\\\\par}";
        qxtest::WriteFileBytes(Path("in.rtf"), doc);
        report.SetInFile(Path("in.rtf"));
        report.SetOutFile(Path("out.rtf"));
    }

    TMemDataSet orders{"ORDERS"};
    TQxUDFList udfs;
    TQxRTF report;
    std::function<void()> throwFromFunction;
};

}  // namespace

TEST_F(HandlerFailures, AnyExceptionIsRecordedAndCleanedUp) {
    struct Case {
        const char* name;
        std::function<void()> thrower;
        bool fromScanEvent;  // else from the user function
        const char* message;
    };
    const Case cases[] = {
        {"std::runtime_error from OnScanRecord", [] { throw std::runtime_error("handler broke"); },
         true, "handler broke"},
        {"std::logic_error from OnCalculate", [] { throw std::logic_error("function broke"); },
         false, "function broke"},
        {"a non-exception from OnScanRecord", [] { throw 42; }, true,
         "Unknown exception raised during the report run."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        report.SetOnScanRecord(nullptr);
        throwFromFunction = nullptr;
        if (c.fromScanEvent)
            report.SetOnScanRecord([&](TQxScanInfo&) { c.thrower(); });
        else
            throwFromFunction = c.thrower;
        qxtest::WriteFileBytes(Path("out.rtf"), "yesterday's report");

        bool thrown = false;
        try {
            report.Execute({&orders});
        } catch (const std::exception& e) {
            thrown = true;
            EXPECT_STREQ(e.what(), c.message);  // the original exception, passed on
        } catch (int) {
            thrown = true;
        }
        EXPECT_TRUE(thrown);
        EXPECT_FALSE(report.ExecuteSuccessful());
        EXPECT_EQ(report.LastErrMsg(), c.message);
        EXPECT_FALSE(orders.ControlsDisabled());
        EXPECT_FALSE(std::filesystem::exists(Path("out.rtf")));
        EXPECT_TRUE(TempFiles().empty());
    }

    // The next good run resets the results and writes the whole report.
    report.SetOnScanRecord(nullptr);
    throwFromFunction = nullptr;
    report.Execute({&orders});
    EXPECT_TRUE(report.ExecuteSuccessful());
    EXPECT_EQ(report.LastErrMsg(), "No errors.");
    EXPECT_FALSE(orders.ControlsDisabled());
    const std::string out = qxtest::ReadFileBytes(Path("out.rtf"));
    EXPECT_NE(out.find("second"), std::string::npos) << out;
}

TEST_F(HandlerFailures, ThrowingImageFormatHandlerEndsTheRunCleanly) {
    report.CreateVar("PIC", qxtest::DataPath("pictures/quarters.png"));
    qxtest::WriteFileBytes(Path("pic.rtf"),
                           "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard "
                           "\\\\SCAN(ORDERS)\\\\\\\\FIMG(PIC)\\\\\\par \\\\ENDSCAN\\\\}");
    report.SetInFile(Path("pic.rtf"));
    report.SetOnImageFormat(
        [](int, TQxImageFormat&) { throw std::invalid_argument("no pictures today"); });
    EXPECT_THROW(report.Execute({&orders}), std::invalid_argument);
    EXPECT_FALSE(report.ExecuteSuccessful());
    EXPECT_EQ(report.LastErrMsg(), "no pictures today");
    EXPECT_FALSE(orders.ControlsDisabled());
    EXPECT_FALSE(std::filesystem::exists(Path("out.rtf")));
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(HandlerFailures, StreamRunFailureIsRecorded) {
    report.SetOnScanRecord([](TQxScanInfo&) { throw std::runtime_error("stop"); });
    TMemoryStream out;
    EXPECT_THROW(report.ExecuteStream({&orders}, &out), std::runtime_error);
    EXPECT_FALSE(report.ExecuteSuccessful());
    EXPECT_EQ(report.LastErrMsg(), "stop");
    EXPECT_FALSE(orders.ControlsDisabled());
    EXPECT_TRUE(TempFiles().empty());
}
