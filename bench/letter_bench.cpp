// One document per record, as `qxrtf batch` renders them: the one-page
// letter of bench/batch, compiled for every document against compiled once
// and handed to each document's report.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>

#include "platform/mem_dataset.h"
#include "qxrtf/internal/compiled_template.h"
#include "qxrtf/qxrtf.h"

namespace {

qx::TQxTemplateBuffer Letter() {
    std::ifstream in(std::string(QXRTF_SOURCE_DIR) + "/bench/batch/letter.rtf", std::ios::binary);
    return std::make_shared<const std::vector<std::uint8_t>>(std::istreambuf_iterator<char>(in),
                                                             std::istreambuf_iterator<char>());
}

// A customer with three order lines.
struct LetterData {
    qx::TMemDataSet customer{"C"};
    qx::TMemDataSet lines{"O"};
    LetterData() {
        for (const char* f : {"NUMBER", "NAME", "STREET", "CITY"})
            customer.AddField(f, qx::ftString);
        customer.AddField("BALANCE", qx::ftFloat);
        customer.AppendRecord({std::string("C000417"), std::string("Grace O'Neill"),
                               std::string("12 Mill Lane"), std::string("Bristol"), 184.5});
        lines.AddField("ITEM", qx::ftString);
        lines.AddField("QTY", qx::ftLargeint);
        lines.AddField("PRICE", qx::ftFloat);
        lines.AddField("AMOUNT", qx::ftFloat);
        for (int i = 1; i <= 3; ++i)
            lines.AppendRecord({std::string("ring binder"), std::int64_t{i}, 2.5, i * 2.5});
    }
    qx::arrdataset DataSets() { return {&customer, &lines}; }
};

void Check(benchmark::State& state, qx::TMemoryStream& out) {
    if (out.Size() < 1000) state.SkipWithError("the letter did not render");
}

// A letter per iteration, by a fresh report that `prepare` gives its template.
template <class Prepare>
void RenderLetters(benchmark::State& state, Prepare prepare) {
    LetterData data;
    for (auto _ : state) {
        qx::TQxRTF report;
        prepare(report);
        qx::TMemoryStream out;
        report.ExecuteStream(data.DataSets(), &out);
        Check(state, out);
    }
    state.counters["documents/s"] =
        benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_LetterCompiledEachTime(benchmark::State& state) {
    const qx::TQxTemplateBuffer letter = Letter();
    RenderLetters(state, [&](qx::TQxRTF& report) {
        report.SetTemplateBuffer(letter, static_cast<std::int32_t>(letter->size()));
    });
}
BENCHMARK(BM_LetterCompiledEachTime)->Unit(benchmark::kMicrosecond);

void BM_LetterFromCompiled(benchmark::State& state) {
    const qx::TQxTemplateBuffer letter = Letter();
    LetterData data;
    qx::TQxRTF compiler;
    compiler.SetTemplateBuffer(letter, static_cast<std::int32_t>(letter->size()));
    const auto compiled = compiler.Compile(data.DataSets());
    RenderLetters(state, [&](qx::TQxRTF& report) { report.SetCompiledTemplate(compiled); });
}
BENCHMARK(BM_LetterFromCompiled)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
