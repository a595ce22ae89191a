// The report as a settings document, and the component palette.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/internal/registry.h"
#include "qxfunc/udf_list.h"
#include "qxrtf/qxrtf.h"

using namespace qx;

TEST(ReportSettings, OwnPropertiesRoundTrip) {
    TQxRTF source;
    source.SetName("Invoice");
    source.SetCharset(204);
    source.SetLang(1049);
    source.SetOptions({eoClearMissedFields, eoKeepFrtfPar});
    source.SetDisableControls(false);
    source.SetTrueValue("Yes");
    source.CreateVar("Total", 5.5);
    nlohmann::json doc;
    source.SaveSettings(doc);
    EXPECT_EQ(doc["Options"], nlohmann::json::array({"eoClearMissedFields", "eoKeepFrtfPar"}));

    TQxRTF copy;
    copy.LoadSettings(doc);
    EXPECT_EQ(copy.Name(), "Invoice");
    EXPECT_EQ(copy.Charset(), 204);
    EXPECT_EQ(copy.Lang(), 1049);
    EXPECT_EQ(copy.Options(), (TQxRTFOptions{eoClearMissedFields, eoKeepFrtfPar}));
    EXPECT_FALSE(copy.DisableControls());
    EXPECT_EQ(copy.TrueValue(), "Yes");
    EXPECT_EQ(copy.VarByName("Total").DataType(), qxdtNumber);
}

TEST(ReportSettings, BadDocumentsChangeNothing) {
    const char* bad[] = {
        R"({"Charset": 300})",
        R"({"Lang": -1})",
        R"({"Options": ["eoNoSuch"]})",
        R"({"Options": "eoDotAsColon"})",
        R"({"DisableControls": "no", "Charset": 0})",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        TQxRTF report;
        EXPECT_THROW(report.LoadSettings(nlohmann::json::parse(text)), Exception);
        EXPECT_EQ(report.Charset(), 1);
        EXPECT_EQ(report.Options(), (TQxRTFOptions{eoGraphicsBinary, eoDotAsColon}));
        EXPECT_TRUE(report.DisableControls());
    }
}

TEST(ComponentPalette, BothComponentsOnDataAccess) {
    Register();
    Register();  // registering again keeps one entry each
    EXPECT_EQ(RegisteredComponents("Data Access"),
              (std::vector<std::string>{"TQxRTF", "TQxUDFList"}));
    auto report = CreateComponent("TQxRTF");
    ASSERT_NE(dynamic_cast<TQxRTF*>(report.get()), nullptr);
    auto list = CreateComponent("TQxUDFList", report.get());
    ASSERT_NE(dynamic_cast<TQxUDFList*>(list.get()), nullptr);
    EXPECT_EQ(list->Owner(), report.get());
    EXPECT_EQ(CreateComponent("TNoSuch"), nullptr);
}
