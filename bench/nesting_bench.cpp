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

// Runs the template `body` (the text of one paragraph) for every
// iteration, `report` set up by the caller.
void RunBody(benchmark::State& state, qx::TQxRTF& report, const std::string& body) {
    const std::string doc = "{\\rtf1\\ansi\\pard " + body + "\\par}";
    report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
    for (auto _ : state) {
        qx::TMemoryStream out;
        report.ExecuteStream({}, &out);
        benchmark::DoNotOptimize(out.Size());
    }
    state.SetComplexityN(state.range(0));
}

// 100 fields of one `n`-operator chain each, compiled and run: each chain
// nests `n` calls, at most 1000, so the length of a field is what grows.
void CompileChainFields(benchmark::State& state) {
    const auto n = static_cast<int>(state.range(0));
    std::string field = "\\\\A";
    for (int i = 0; i < n; ++i) field += "+A";
    field += "\\\\ ";
    std::string body;
    for (int i = 0; i < 100; ++i) body += field;
    qx::TQxRTF report;
    report.CreateVar("A", 1.0);
    RunBody(state, report, body);
}
BENCHMARK(CompileChainFields)
    ->Arg(125)
    ->Arg(250)
    ->Arg(500)
    ->Arg(999)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

// `n` IF blocks one after another on one line before its paragraph mark:
// every command looks for that mark.
void LineOfCommands(benchmark::State& state) {
    const auto n = static_cast<int>(state.range(0));
    std::string body;
    for (int i = 0; i < n; ++i) body += "\\\\IF(1=1)\\\\x\\\\ENDIF\\\\";
    qx::TQxRTF report;
    RunBody(state, report, body);
}
BENCHMARK(LineOfCommands)->RangeMultiplier(4)->Range(1 << 8, 1 << 14)->Complexity();

}  // namespace

BENCHMARK_MAIN();
