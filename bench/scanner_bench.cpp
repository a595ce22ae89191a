// The template scanner on a large template: about 50 MB of word-processor
// RTF (document tables, formatted paragraphs, table rows) holding 100,000
// fields, scanned in place from a buffer handed to the report.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "qxrtf/qxrtf.h"

namespace {

constexpr int kFields = 100000;
constexpr std::size_t kTargetSize = 50u * 1024 * 1024;

std::shared_ptr<const std::vector<std::uint8_t>> MakeTemplate() {
    std::string rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman\\fprq2\\fcharset0 Times New Roman;}"
        "{\\f1\\fswiss\\fprq2\\fcharset0 Arial;}}\r\n"
        "{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\r\n"
        "{\\stylesheet{\\s0\\snext0 Normal;}{\\s1\\snext0 Heading 1;}}\r\n"
        "{\\info{\\title Benchmark}{\\author Bench}}\r\n";
    const std::string filler =
        "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
        "incididunt ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud "
        "exercitation ullamco laboris nisi ut aliquip ex ea commodo consequat. ";
    const std::size_t perField = kTargetSize / kFields;
    for (int i = 0; i < kFields; ++i) {
        const std::size_t start = rtf.size();
        const std::string name = "ORDERS.FIELD" + std::to_string(i);
        if (i % 10 == 0) {
            rtf += "\\trowd\\trgaph108\\cellx4000\\cellx8000\\pard\\intbl{\\loch\\f1 ";
            rtf += "\\\\" + name + "\\\\}\\cell\\pard\\intbl caf\\'e9 \\u1076?\\cell\\row\r\n";
        } else {
            rtf += "\\pard\\plain\\s0\\ql\\f0\\fs24{\\loch\\b Dear }{\\loch\\i \\\\" + name +
                   "\\\\}, ";
        }
        while (rtf.size() - start + 6 < perField) {
            rtf += "{\\loch\\cf2 ";
            rtf += filler.substr(0, std::min(filler.size(), perField - (rtf.size() - start)));
            rtf += "}";
        }
        rtf += "\\par\r\n";
    }
    rtf += "}";
    return std::make_shared<const std::vector<std::uint8_t>>(rtf.begin(), rtf.end());
}

const std::shared_ptr<const std::vector<std::uint8_t>>& Template() {
    static const auto buffer = MakeTemplate();
    return buffer;
}

// Exposes the scanner loop of the compile pass.
class ScanningReport : public qx::TQxRTF {
  public:
    int CountFields() {
        ReadFileBody();
        CreateCmStream();
        CmSaveBegin();
        CreateDocumentLists();
        ResetScanner();
        int count = 0;
        std::string field;
        while (!FileEof())
            if (GetNextReportField(field)) ++count;
        FreeCmStream();
        FreeDocumentLists();
        return count;
    }
};

void SetBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(Template()->size()));
}

// The scanner alone: every field of the template delivered.
void BM_ScanFields(benchmark::State& state) {
    ScanningReport report;
    report.SetTemplateBuffer(Template(), static_cast<std::int32_t>(Template()->size()));
    for (auto _ : state) {
        const int count = report.CountFields();
        if (count != kFields) {
            state.SkipWithError("wrong number of fields");
            break;
        }
        benchmark::DoNotOptimize(count);
    }
    SetBytes(state);
}
BENCHMARK(BM_ScanFields)->Unit(benchmark::kMillisecond);

// The whole compilation of a run: header check, document tables, scanner,
// command stream.
void BM_CompileTemplate(benchmark::State& state) {
    qx::TQxRTF report;
    report.SetTemplateBuffer(Template(), static_cast<std::int32_t>(Template()->size()));
    for (auto _ : state) benchmark::DoNotOptimize(report.DumpCompiled());
    SetBytes(state);
}
BENCHMARK(BM_CompileTemplate)->Unit(benchmark::kMillisecond);

// A whole run into memory: compile, replay and assembly with the tables.
void BM_ExecuteStream(benchmark::State& state) {
    qx::TQxRTF report;
    report.SetTemplateBuffer(Template(), static_cast<std::int32_t>(Template()->size()));
    for (auto _ : state) {
        qx::TMemoryStream out;
        report.ExecuteStream({}, &out);
        benchmark::DoNotOptimize(out.Size());
    }
    SetBytes(state);
}
BENCHMARK(BM_ExecuteStream)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
