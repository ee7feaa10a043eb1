// The trend plot's store over an 8-hour run: one sample per 60 ms poll tick (more than the
// one per pass the program stores, so an upper bound), then the full view redrawn at 1000 pixel
// columns for the nine curves, and the memory it holds.
// Run: build/bench/bench_plot_store
#include "record/plot_store.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

constexpr int kSamples = 8 * 3600 * 1000 / 60;

const PlotStore& EightHours()
{
    static PlotStore store = [] {
        PlotStore s;
        for (int i = 0; i < kSamples; ++i) {
            PlotStore::Sample sample;
            for (int c = 0; c < PlotStore::kCurves; ++c)
                sample[c] = static_cast<float>(230.0 + 10.0 * std::sin(i * 0.001 + c));
            s.Append(i * 0.060, sample);
        }
        return s;
    }();
    return store;
}

void FillEightHours(benchmark::State& state)
{
    for (auto _ : state) {
        PlotStore s;
        PlotStore::Sample sample{};
        for (int i = 0; i < kSamples; ++i)
            s.Append(i * 0.060, sample);
        benchmark::DoNotOptimize(s.Size());
    }
    state.counters["samples"] = kSamples;
}
BENCHMARK(FillEightHours)->Unit(benchmark::kMillisecond);

void RedrawFullView(benchmark::State& state)
{
    const PlotStore& store = EightHours();
    for (auto _ : state)
        for (int c = 0; c < PlotStore::kCurves; ++c)
            benchmark::DoNotOptimize(store.Decimated(c, 0.0, store.LastSeconds(), 1000));
    state.counters["MiB"] = static_cast<double>(store.MemoryBytes()) / (1024.0 * 1024.0);
    state.counters["bytes/sample"] = static_cast<double>(store.MemoryBytes()) / kSamples;
}
BENCHMARK(RedrawFullView)->Unit(benchmark::kMillisecond);

void RedrawLastTenMinutes(benchmark::State& state)
{
    const PlotStore& store = EightHours();
    for (auto _ : state)
        for (int c = 0; c < PlotStore::kCurves; ++c)
            benchmark::DoNotOptimize(
                store.Decimated(c, store.LastSeconds() - 600.0, store.LastSeconds(), 1000));
}
BENCHMARK(RedrawLastTenMinutes)->Unit(benchmark::kMicrosecond);

} // namespace
