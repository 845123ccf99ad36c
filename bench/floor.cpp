// The floor of every query kind on its own (bench/floor.h); bench_query runs it beside KOMPA.
//
//   build/bin/bench_floor

#include "bench/floor.h"

BENCHMARK_MAIN();
