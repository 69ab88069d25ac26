// The registry of benchmarks outside bench_dataset.cpp: each file registers
// its entries with a static TBenchRegistrar; the main program runs them all
// after its own. An entry prints its "ratio NAME VALUE" / "ms NAME VALUE"
// lines and returns 0, or non-zero on failure.
#pragma once

#include <functional>

struct TBenchRegistrar {
    TBenchRegistrar(const char* name, std::function<int(bool verbose)> run);
};

int RunRegisteredBenchmarks(bool verbose);
