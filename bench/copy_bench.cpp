// Copy speed of a template without fields through a whole run (compile,
// replay into the temporary file, assemble the output file), beside a
// plain file copy of the same size for reference.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "qxrtf/qxrtf.h"

namespace {

std::string MakeTemplate(std::size_t size) {
    std::string doc = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times;}}\n";
    const std::string line =
        "\\pard Lorem ipsum dolor sit amet, consectetur adipiscing elit.\\par\n";
    while (doc.size() + line.size() + 1 < size) doc += line;
    return doc + "}";
}

const std::string& TemplatePath() {
    static const std::string path = [] {
        const std::string p =
            (std::filesystem::temp_directory_path() / "qxr_bench_50mb.rtf").string();
        std::ofstream(p, std::ios::binary) << MakeTemplate(50u << 20);
        return p;
    }();
    return path;
}

void BM_ExecuteFileToFile(benchmark::State& state) {
    const std::string in = TemplatePath();
    const std::string out = in + ".out";
    qx::TQxRTF report;
    report.SetInFile(in);
    report.SetOutFile(out);
    for (auto _ : state) report.Execute({});
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(in)));
    std::remove(out.c_str());
}
BENCHMARK(BM_ExecuteFileToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainFileCopy(benchmark::State& state) {
    const std::string in = TemplatePath();
    const std::string out = in + ".copy";
    for (auto _ : state)
        std::filesystem::copy_file(in, out, std::filesystem::copy_options::overwrite_existing);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(in)));
    std::remove(out.c_str());
}
BENCHMARK(BM_PlainFileCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
