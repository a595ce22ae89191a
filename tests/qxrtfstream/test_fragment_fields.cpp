// FRTF in a run: a report variable, memo and blob fields, and user
// functions whose result is an RTF text or an RTF document in a memory
// stream are merged into the report.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "conscom/exceptions.h"
#include "qxfunc/udf_list.h"
#include "qxrtf/engine_fixture.h"

using namespace qx;

namespace {

const std::string kFragment = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}{\\f1 Papyrus;}}\\f1 Hi\\par }";

class FrtfFields : public qxtest::EngineTest {
  protected:
    std::string Run(const std::string& body) {
        const std::string doc = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard " + body + "\\par}";
        report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
        TMemoryStream out;
        report.ExecuteStream(DataSets(), &out);
        return std::string(reinterpret_cast<const char*>(out.Memory()),
                           static_cast<std::size_t>(out.Size()));
    }
    std::string RunToFile(const std::string& body) {
        const std::string doc = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard " + body + "\\par}";
        report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
        const std::string path = (std::filesystem::temp_directory_path() /
                                  ("qxrtf-frtf-" + std::to_string(::getpid()) + ".rtf"))
                                     .string();
        report.SetOutFile(path);
        report.Execute(DataSets());
        std::ifstream in(path, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::filesystem::remove(path);
        return text;
    }
    TQxUDF* AddFunction(const std::string& name, TQxUDFResultType kind, std::string bytes) {
        TQxUDF* f = udfs.Functions().Add();
        f->SetName(name);
        f->SetResultType(kind);
        f->SetOnCalculate(
            [kind, bytes](TObject*, const TQxUDFArgs&, std::int32_t, TObject* result) {
                if (kind == udfrTMemoryStream)
                    static_cast<TMemoryStream*>(result)->WriteBuffer(
                        bytes.data(), static_cast<std::int64_t>(bytes.size()));
                else
                    static_cast<TQxReportVariable*>(result)->SetAsString(bytes);
            });
        return f;
    }
    TQxUDFList udfs;
};

TEST_F(FrtfFields, EveryKindOfValueIsMerged) {
    AddDataSet("D", {{"M", ftMemo}, {"B", ftBlob}}, {{kFragment, kFragment}});
    report.CreateVar("V", kFragment);
    AddFunction("TEXT", udfrTQxReportVariable, kFragment);
    AddFunction("DOC", udfrTMemoryStream, kFragment);
    AddFunction("RAW", udfrTMemoryStream, "{\\b raw}");
    report.SetUDFList(&udfs);
    const std::string merged = "{\\f1 Hi\r\r\r\r\r}";
    const std::string body =
        "1\\\\FRTF(D.M)\\\\2\\\\FRTF(D.B)\\\\3\\\\FRTF(V)\\\\4\\\\FRTF(TEXT())\\\\"
        "5\\\\DOC()\\\\6\\\\RAW()\\\\";
    const std::string streamed = Run(body);
    EXPECT_EQ(streamed, "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}{\\f1 Papyrus;}}\\pard 1" + merged +
                            "2" + merged + "3" + merged + "4" + merged + "5" + merged +
                            "6{\\b raw}\\par}");
    // A file run has written its font table when the fragments bring their
    // font: the table is written again, and the file matches the stream.
    EXPECT_EQ(RunToFile(body), streamed);

    TQxRTFOptions options = report.Options();
    options.Include(eoKeepFrtfPar);
    report.SetOptions(options);
    EXPECT_EQ(Run("<\\\\FRTF(D.M)\\\\>"),
              "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}{\\f1 Papyrus;}}\\pard <{\\f1 Hi\\par }>\\par}");
}

TEST_F(FrtfFields, FragmentsInsideATemplateTableLoseTheirTables) {
    AddDataSet("D", {{"M", ftMemo}},
               {{std::string("{\\rtf1\\trowd\\cellx99\\pard\\intbl A\\cell\\row}")}});
    EXPECT_EQ(Run("\\trowd\\cellx1000\\pard\\intbl <\\\\FRTF(D.M)\\\\>\\cell\\row\\pard "
                  "<\\\\FRTF(D.M)\\\\>"),
              "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard \\trowd\\cellx1000\\pard\\intbl "
              "<{\\pard\\intbl\rA\\line}>\\cell\\row\\pard "
              "<{\\trowd\\cellx99\\pard\\intbl A\\cell\\row}>\\par}");
}

TEST_F(FrtfFields, ParametersOutOfRangeDoNotFailTheRun) {
    // A reader takes a missing number as 0 and clamps one beyond 32 bits:
    // so does the merge, and the run goes on.
    AddDataSet("D", {{"M", ftMemo}},
               {{std::string("{\\rtf1\\f 1\\cf2147483648 2\\fs99999999999999999999 3}")}});
    EXPECT_EQ(Run("<\\\\FRTF(D.M)\\\\>"),
              "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard "
              "<{\\f0 1\\cf2147483647 2\\fs2147483647 3}>\\par}");
    EXPECT_TRUE(report.ExecuteSuccessful());
}

}  // namespace
