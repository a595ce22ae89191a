// Formats one million numbers and one million dates per iteration and
// counts heap allocations per call: the formatters allocate nothing but the
// result string (which short results keep inline).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "platform/sysutils.h"

namespace {

std::atomic<long long> g_allocations{0};

}  // namespace

// The replacements pair malloc with free; all kept out of line so that the
// compiler does not take the pairing for a new/free mismatch once inlined.
[[gnu::noinline]] void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr int kCount = 1000000;

const std::vector<double>& Numbers() {
    static const std::vector<double> values = [] {
        std::mt19937_64 rng(42);
        std::uniform_real_distribution<double> dist(-1e7, 1e7);
        std::vector<double> v(kCount);
        for (double& x : v) x = dist(rng);
        return v;
    }();
    return values;
}

const std::vector<double>& Dates() {
    static const std::vector<double> values = [] {
        std::mt19937_64 rng(7);
        std::uniform_real_distribution<double> dist(-100000, 100000);
        std::vector<double> v(kCount);
        for (double& x : v) x = dist(rng);
        return v;
    }();
    return values;
}

// Runs format(value) over the values and reports allocations per call.
template <class F>
void Run(benchmark::State& state, const std::vector<double>& values, F format) {
    long long allocations = 0;
    for (auto _ : state) {
        const long long before = g_allocations.load(std::memory_order_relaxed);
        for (double v : values) {
            std::string s = format(v);
            benchmark::DoNotOptimize(s.data());
        }
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
    }
    const double calls =
        static_cast<double>(state.iterations()) * static_cast<double>(values.size());
    state.counters["allocs_per_call"] = static_cast<double>(allocations) / calls;
    state.SetItemsProcessed(static_cast<int64_t>(calls));
}

void BM_FloatToStrF_Number(benchmark::State& state) {
    const qx::TFormatSettings fs;
    Run(state, Numbers(), [&](double v) { return qx::FloatToStrF(v, qx::ffNumber, 18, 2, fs); });
}

void BM_FloatToStrF_Currency(benchmark::State& state) {
    qx::TFormatSettings fs;
    fs.CurrencyString = "EUR";  // results beyond the inline string size
    fs.CurrencyFormat = 3;
    Run(state, Numbers(), [&](double v) { return qx::FloatToStrF(v, qx::ffCurrency, 18, 2, fs); });
}

void BM_FloatToStr(benchmark::State& state) {
    const qx::TFormatSettings fs;
    Run(state, Numbers(), [&](double v) { return qx::FloatToStr(v, fs); });
}

void BM_FormatFloat(benchmark::State& state) {
    const qx::TFormatSettings fs;
    const std::string pattern = "#,##0.00;(#,##0.00);Zero";
    Run(state, Numbers(), [&](double v) { return qx::FormatFloat(pattern, v, fs); });
}

void BM_FormatDateTime(benchmark::State& state) {
    const qx::TFormatSettings fs;
    const std::string pattern = "dd.mm.yyyy hh:nn:ss.zzz";
    Run(state, Dates(), [&](double v) { return qx::FormatDateTime(pattern, v, fs); });
}

void BM_FormatDateTime_Names(benchmark::State& state) {
    const qx::TFormatSettings fs;
    const std::string pattern = "dddd, mmmm d, yyyy h:nn am/pm";
    Run(state, Dates(), [&](double v) { return qx::FormatDateTime(pattern, v, fs); });
}

BENCHMARK(BM_FloatToStrF_Number)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloatToStrF_Currency)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloatToStr)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatFloat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatDateTime)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatDateTime_Names)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
