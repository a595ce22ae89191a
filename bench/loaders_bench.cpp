// The dataset readers alone: the invoice workload's items opened from CSV,
// JSON and SQLite and walked record by record, every field's value read as
// a report reads it (text as a string, numbers as floats). Beside the
// walks, opening alone, which for CSV and JSON reads the whole file.
//
//   loaders_bench [--rows=N] [--data=DIR] [benchmark flags]
//
// The items are those of bench/workload/gen_data.py, which writes them into
// DIR (default $TMPDIR/qxrtf-loaders-bench) when they are not there yet.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "platform/loaders/column_types.h"
#include "platform/loaders/csv_dataset.h"
#include "platform/loaders/json_dataset.h"
#include "platform/loaders/sqlite_dataset.h"

namespace {

namespace fs = std::filesystem;

std::int64_t rows = 100000;
fs::path dataDir;

std::string DataFile(const char* extension) {
    return (dataDir / ("items-" + std::to_string(rows) + "." + extension)).string();
}

bool MakeData() {
    if (fs::exists(DataFile("csv")) && fs::exists(DataFile("json")) &&
        fs::exists(DataFile("sqlite")))
        return true;
    const std::string command = "python3 '" QXRTF_SOURCE_DIR "/bench/workload/gen_data.py' " +
                                std::to_string(rows) + " '" + dataDir.string() + "'";
    return std::system(command.c_str()) == 0;
}

// Every value of every record, as the report's fields ask for them; the
// sums keep the compiler from dropping the reads.
void Walk(qx::TDataSet& ds, benchmark::State& state) {
    std::size_t textBytes = 0;
    double numbers = 0;
    std::int64_t records = 0;
    for (ds.First(); !ds.Eof(); ds.Next(), ++records)
        for (int f = 0; f < ds.FieldCount(); ++f) {
            const qx::TField* field = ds.Fields(f);
            if (qx::IsTextType(field->DataType()))
                textBytes += field->AsString().size();
            else
                numbers += field->AsFloat();
        }
    benchmark::DoNotOptimize(textBytes);
    benchmark::DoNotOptimize(numbers);
    if (records != rows) state.SkipWithError("not every record was read");
}

void SetRate(benchmark::State& state) {
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(rows),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

std::unique_ptr<qx::TDataSet> OpenCsv() {
    return std::make_unique<qx::TCsvDataSet>("ITEMS", DataFile("csv"));
}
std::unique_ptr<qx::TDataSet> OpenJson() {
    return qx::TJsonDataSet::Open("ITEMS", DataFile("json"));
}
std::unique_ptr<qx::TDataSet> OpenSqlite() {
    auto db = std::make_shared<qx::TSqliteDatabase>(DataFile("sqlite"), "ITEMS");
    return std::make_unique<qx::TSqliteDataSet>("ITEMS", db,
                                                "SELECT NAME, QTY, PRICE FROM items ORDER BY id");
}

template <std::unique_ptr<qx::TDataSet> (*Open)()>
void BM_Open(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Open());
    SetRate(state);
}

template <std::unique_ptr<qx::TDataSet> (*Open)()>
void BM_OpenAndWalk(benchmark::State& state) {
    for (auto _ : state) Walk(*Open(), state);
    SetRate(state);
}

BENCHMARK(BM_Open<OpenCsv>)->Name("Csv/Open")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenAndWalk<OpenCsv>)->Name("Csv/Walk")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Open<OpenJson>)->Name("Json/Open")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenAndWalk<OpenJson>)
    ->Name("Json/Walk")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_OpenAndWalk<OpenSqlite>)
    ->Name("Sqlite/Walk")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A header of `columns` columns (or an object of as many keys) over two
// records: opening it should take time linear in its width.
std::string WideFile(const char* extension, int columns) {
    const fs::path path = dataDir / ("wide-" + std::to_string(columns) + "." + extension);
    if (fs::exists(path)) return path.string();
    std::string text;
    if (std::string(extension) == "csv") {
        for (int c = 0; c < columns; ++c) text += (c ? ",C" : "C") + std::to_string(c);
        text += "\n";
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < columns; ++c) text += (c ? ",v" : "v") + std::to_string(c);
            text += "\n";
        }
    } else {
        std::string object = "{";
        for (int c = 0; c < columns; ++c)
            object += (c ? ",\"K" : "\"K") + std::to_string(c) + "\":" + std::to_string(c);
        text = "[" + object + "}," + object + "}]";
    }
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

void BM_WideCsv(benchmark::State& state) {
    const std::string file = WideFile("csv", static_cast<int>(state.range(0)));
    for (auto _ : state) qx::TCsvDataSet ds("WIDE", file);
    state.SetComplexityN(state.range(0));
}
void BM_WideJson(benchmark::State& state) {
    const std::string file = WideFile("json", static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(qx::TJsonDataSet::Open("WIDE", file));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_WideCsv)
    ->Name("Csv/WideHeader")
    ->RangeMultiplier(4)
    ->Range(3125, 50000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_WideJson)
    ->Name("Json/WideObject")
    ->RangeMultiplier(4)
    ->Range(3125, 50000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const char* tmp = std::getenv("TMPDIR");
    dataDir = fs::path(tmp != nullptr ? tmp : "/tmp") / "qxrtf-loaders-bench";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.starts_with("--rows="))
            rows = std::stoll(arg.substr(7));
        else if (arg.starts_with("--data="))
            dataDir = arg.substr(7);
        else {
            std::cerr << "unknown argument " << arg << "\n";
            return 2;
        }
    }
    if (!MakeData()) {
        std::cerr << "cannot write the items into " << dataDir << "\n";
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
