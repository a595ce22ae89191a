// A scanned table row of five fields over 100,000 in-memory records,
// rendered into memory; beside it, copying a template of the same size as
// the output without fields, for the raw copy speed.
#include <benchmark/benchmark.h>

#include "platform/mem_dataset.h"
#include "qxrtf/qxrtf.h"

namespace {

constexpr int kRecords = 100000;

const std::string kRowTemplate =
    "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard Orders\\par "
    "\\trowd\\cellx1000\\cellx2000\\cellx3000\\cellx4000\\cellx5000 "
    "\\pard\\intbl \\\\SCAN(ORDERS)\\\\\\\\ORDERS.ID\\\\\\cell \\\\ORDERS.NAME\\\\\\cell "
    "\\\\FNUM(ORDERS.TOTAL, 12:2)\\\\\\cell \\\\ORDERS.QTY\\\\\\cell \\\\ORDERS.CITY\\\\\\cell "
    "\\row "
    "\\pard \\\\ENDSCAN\\\\\\par End.\\par}";

qx::TMemDataSet& Orders() {
    static qx::TMemDataSet ds("ORDERS");
    static bool filled = false;
    if (!filled) {
        ds.AddField("ID", qx::ftLargeint);
        ds.AddField("NAME", qx::ftString);
        ds.AddField("TOTAL", qx::ftFloat);
        ds.AddField("QTY", qx::ftLargeint);
        ds.AddField("CITY", qx::ftString);
        for (int i = 0; i < kRecords; ++i)
            ds.AppendRecord({std::int64_t{i}, std::string("Customer ") + std::to_string(i),
                             i * 1.25, std::int64_t{i % 17}, std::string(i % 2 ? "Riga" : "Oslo")});
        filled = true;
    }
    return ds;
}

std::size_t lastOutputSize = 0;

void BM_ScannedRows(benchmark::State& state) {
    qx::TMemDataSet& ds = Orders();
    qx::TQxRTF report;
    report.SetTemplateBuffer(std::vector<std::uint8_t>(kRowTemplate.begin(), kRowTemplate.end()));
    for (auto _ : state) {
        qx::TMemoryStream out;
        report.ExecuteStream({&ds}, &out);
        lastOutputSize = static_cast<std::size_t>(out.Size());
    }
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(kRecords),
                                                     benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(lastOutputSize));
}
BENCHMARK(BM_ScannedRows)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same number of output bytes as plain template text, copied through a run.
void BM_CopySameSize(benchmark::State& state) {
    std::string doc = "{\\rtf1 ";
    const std::string line = "Lorem ipsum dolor sit amet, consectetur adipiscing elit.\\par\n";
    while (doc.size() < (lastOutputSize ? lastOutputSize : 12u << 20)) doc += line;
    doc += "}";
    qx::TQxRTF report;
    report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
    for (auto _ : state) {
        qx::TMemoryStream out;
        report.ExecuteStream({}, &out);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(doc.size()));
}
BENCHMARK(BM_CopySameSize)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
