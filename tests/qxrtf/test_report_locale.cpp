// A report's format settings govern every conversion of its runs, the
// built-ins included; the process-wide settings are never read, so two
// reports in one process can have two locales.
#include <gtest/gtest.h>

#include "platform/conv_test_util.h"
#include "qxrtf/engine_fixture.h"

using namespace qx;

namespace {

// Settings no report here uses: a run that read them would show it.
TFormatSettings Stray() {
    TFormatSettings fs;
    fs.DecimalSeparator = "#";
    fs.ThousandSeparator = "_";
    fs.ShortDateFormat = "yyyy|MM|dd";
    fs.DateSeparator = "|";
    fs.LongTimeFormat = "hh~nn~ss";
    fs.TimeSeparator = "~";
    return fs;
}

class ProcessSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        saved = FormatSettings();
        FormatSettings() = Stray();
    }
    void TearDown() override { FormatSettings() = saved; }
    TFormatSettings saved;
};

// A report of its own settings over one dataset with a date and an amount.
struct LocaleReport {
    explicit LocaleReport(const TFormatSettings& fs) : data("SALES") {
        report.SetFmtSettings(fs);
        data.AddField("DAY", ftDate);
        data.AddField("AMOUNT", ftFloat);
        // Numbers and a date held in text columns, as a column that had
        // one odd value is read.
        data.AddField("PRICE", ftString);
        data.AddField("CODE", ftString);
        data.AddField("WHEN", ftString);
        data.AppendRecord({EncodeDate(2024, 3, 7), 1234.5, "249,00", "12.50", "07.03.2024"});
        report.SetClock([] { return EncodeDate(2024, 3, 7) + EncodeTime(6, 0, 0, 0); });
    }
    std::string Render(const std::string& body) {
        const std::string doc = qxtest::Doc(body);
        report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
        TMemoryStream out;
        report.ExecuteStream({&data}, &out);
        return std::string(reinterpret_cast<const char*>(out.Memory()),
                           static_cast<std::size_t>(out.Size()));
    }
    TQxRTF report;
    TMemDataSet data;
};

}  // namespace

TEST_F(ProcessSettings, EveryConversionUsesTheReportsSettings) {
    struct Case {
        const char* field;
        std::string german;
        std::string defaults;
    };
    const Case cases[] = {
        {"DATETOSTR(SALES.DAY)", "07.03.2024", "3/7/2024"},
        {"TIMETOSTR(NOW())", "06:00:00", "6:00:00 AM"},
        {"DATETIMETOSTR(NOW())", "07.03.2024 06:00:00", "3/7/2024 6:00:00 AM"},
        {"FORMATFLOAT('#,##0.00', SALES.AMOUNT)", "1.234,50", "1,234.50"},
        {"DTOS(STRTODATE('07.03.2024'))", "20240307", ""},
        {"DTOS(STRTODATE('3/7/2024'))", "", "20240307"},
        {"DTOS(STRTODATETIME('07.03.2024 06:00'))", "20240307", ""},
        {"SALES.DAY", "07.03.2024", "3/7/2024"},
        {"SALES.AMOUNT", "1234,5", "1234.5"},
        {"FNUM(SALES.AMOUNT, 10:2)", "1.234,50", "1,234.50"},
        {"FCUR(SALES.AMOUNT)", "1.234,50 \\'80", "$1,234.50"},
        // A total of a column read as text reads its numbers in the
        // report's settings, then in the default ones.
        {R"(SCAN(SALES)\\\\SUM(SALES.PRICE, P)\\\\ENDSCAN\\\\P)", "249", ""},
        {R"(SCAN(SALES)\\\\SUM(SALES.CODE, C)\\\\ENDSCAN\\\\C)", "12,5", "12.5"},
    };
    // Both reports live at once and run in turn.
    LocaleReport german(qx::testing::CommaSettings());
    LocaleReport defaults{TFormatSettings()};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        const std::string body = std::string("\\\\") + c.field + "\\\\";
        for (auto [report, expected] :
             {std::pair{&german, c.german}, std::pair{&defaults, c.defaults}}) {
            if (expected.empty()) {
                // A date in the other locale's form is no date here.
                EXPECT_THROW(report->Render(body), EConvertError);
                continue;
            }
            EXPECT_NE(report->Render(body).find(expected + "\\par"), std::string::npos)
                << report->Render(body);
        }
    }
}
