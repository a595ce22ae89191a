// The report as a settings document, and the component palette.
#include <gtest/gtest.h>

#include <filesystem>
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
        R"({"MaxOutputSize": -5, "Charset": 0})",
        R"({"MaxScanRepetitions": "many", "Charset": 0})",
        R"({"MaxScanRepetitions": 1.5, "Charset": 0})",
        R"({"ImageRoot": 7, "Charset": 0})",
        // Values of the wrong kind once escaped as the JSON library's own
        // errors, which no caller expects.
        R"({"VarDataTypes": [2, 1], "Charset": 0})",
        R"({"VarList": ["A=1", 2], "Charset": 0})",
        R"({"VarList": "A=1", "Charset": 0})",
        R"({"TrueValue": true, "Charset": 0})",
        R"({"UnicodeByDefault": 1, "Charset": 0})",
        R"({"CodePage": "1252", "Charset": 0})",
        R"({"CodePage": 99999999999, "Charset": 0})",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        TQxRTF report;
        EXPECT_THROW(report.LoadSettings(nlohmann::json::parse(text)), Exception);
        EXPECT_EQ(report.Charset(), 1);
        EXPECT_EQ(report.Options(), (TQxRTFOptions{eoDotAsColon}));
        EXPECT_TRUE(report.DisableControls());
    }
}

TEST(ReportSettings, LimitsRoundTripButADocumentCannotLiftThem) {
    TQxRTF source;
    source.SetMaxOutputSize(5000);
    source.SetMaxScanRepetitions(100);
    source.SetImageRoot("/srv/pictures");
    nlohmann::json doc;
    source.SaveSettings(doc);
    TQxRTF copy;
    copy.LoadSettings(doc);
    EXPECT_EQ(copy.MaxOutputSize(), 5000);
    EXPECT_EQ(copy.MaxScanRepetitions(), 100);
    EXPECT_EQ(copy.ImageRoot(), "/srv/pictures");

    struct Case {
        std::int64_t application, document, result;  // 0: no limit
    };
    const Case cases[] = {{0, 500, 500}, {1000, 500, 500}, {1000, 5000, 1000}, {1000, 0, 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.application) + " " + std::to_string(c.document));
        TQxRTF report;
        report.SetMaxOutputSize(c.application);
        report.SetMaxScanRepetitions(c.application);
        report.LoadSettings({{"MaxOutputSize", c.document}, {"MaxScanRepetitions", c.document}});
        EXPECT_EQ(report.MaxOutputSize(), c.result);
        EXPECT_EQ(report.MaxScanRepetitions(), c.result);
    }
}

TEST(ReportSettings, ADocumentMayOnlyNarrowTheImageRoot) {
    namespace fs = std::filesystem;
    std::string base = (fs::temp_directory_path() / "qxsetrootXXXXXX").string();
    ASSERT_NE(mkdtemp(base.data()), nullptr);
    fs::create_directories(base + "/root/sub");
    fs::create_directories(base + "/other");
    fs::create_directory_symlink("../other", base + "/root/out");
    struct Case {
        std::string application, document, result;
    };
    const std::string root = base + "/root";
    const Case cases[] = {
        {"", base + "/other", base + "/other"},  // no root yet: the document's
        {root, root + "/sub", root + "/sub"},
        {root, root, root},
        {root, base + "/other", root},
        {root, root + "/sub/../../other", root},
        {root, root + "/out", root},  // a link inside the root that leads out
        {root, "", root},
        {root, root + "/none", root},  // a folder that is not there
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.application + " <- " + c.document);
        TQxRTF report;
        report.SetImageRoot(c.application);
        report.LoadSettings({{"ImageRoot", c.document}});
        EXPECT_EQ(report.ImageRoot(), c.result);
    }
    fs::remove_all(base);
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
