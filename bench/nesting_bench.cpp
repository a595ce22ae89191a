// Long expressions and long lines of commands: both must cost time linear in
// their length (each token or command once), not in its square.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/streams.h"
#include "qxrtf/qxrtf.h"

namespace {

// An operator chain of `n` operators, converted to nested calls.
void ConvertChain(benchmark::State& state) {
    const auto n = static_cast<int>(state.range(0));
    std::string chain = "a";
    for (int i = 0; i < n; ++i) chain += "+b";
    qx::TQxRTF report;
    for (auto _ : state) {
        std::string expr = chain;
        benchmark::DoNotOptimize(report.ConvertExpression(expr, false));
    }
    state.SetComplexityN(n);
}
BENCHMARK(ConvertChain)->RangeMultiplier(4)->Range(1 << 10, 1 << 16)->Complexity();

// `n` IF blocks one after another on one line before its paragraph mark:
// every command looks for that mark.
void LineOfCommands(benchmark::State& state) {
    const auto n = static_cast<int>(state.range(0));
    std::string doc = "{\\rtf1\\ansi\\pard ";
    for (int i = 0; i < n; ++i) doc += "\\\\IF(1=1)\\\\x\\\\ENDIF\\\\";
    doc += "\\par}";
    qx::TQxRTF report;
    report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
    for (auto _ : state) {
        qx::TMemoryStream out;
        report.ExecuteStream({}, &out);
        benchmark::DoNotOptimize(out.Size());
    }
    state.SetComplexityN(n);
}
BENCHMARK(LineOfCommands)->RangeMultiplier(4)->Range(1 << 8, 1 << 14)->Complexity();

}  // namespace

BENCHMARK_MAIN();
