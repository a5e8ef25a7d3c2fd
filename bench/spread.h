#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

// The lowest and the highest of a benchmark's repetitions beside its median and mean: a run on
// a shared machine can differ by a third, and the spread says how far to trust a figure.
inline benchmark::internal::Benchmark *withSpread(benchmark::internal::Benchmark *benchmark) {
    return benchmark
        ->ComputeStatistics(
            "min",
            [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); })
        ->ComputeStatistics("max", [](const std::vector<double> &v) {
            return *std::max_element(v.begin(), v.end());
        });
}
