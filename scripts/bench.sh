#!/usr/bin/env bash
# Builds the benchmarks under bench/ in Release and runs them: the LZ77 coder
# against zlib (about 30 s), then the idle client's wake-ups and CPU (about a
# minute: the real client runs logged in to the stand-ins, 10 s measured per
# case). Arguments go to both programs (Google Benchmark options, e.g.
# --benchmark_filter=text).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/scripts/setup.sh"
build="$top/build/bench"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTK_TESTS=OFF -DTK_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target tk_bench_codec tk_bench_idle
"$build/bench/tk_bench_codec" "$@"
"$build/bench/tk_bench_idle" "$@"
