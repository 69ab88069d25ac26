// What the benchmark files share: the registry of benchmarks outside
// bench_dataset.cpp (each file registers its entries with a static
// TBenchRegistrar; the main program runs them all after its own; an entry
// prints its "ratio NAME VALUE" / "ms NAME VALUE" lines and returns 0, or
// non-zero on failure) and wall-clock timing.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

struct TBenchRegistrar {
    TBenchRegistrar(const char* name, std::function<int(bool verbose)> run);
};

int RunRegisteredBenchmarks(bool verbose);

// Wall-clock time of work in milliseconds.
inline double WallMillis(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
