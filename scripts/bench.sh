#!/usr/bin/env bash
# Builds the benchmarks under bench/ in Release and runs each of them; every
# figure is printed beside its goal. The idle benchmark runs the real client
# logged in to the stand-ins (10 s measured per case), also shown on a virtual
# X screen (Xvfb). Arguments go to every program (Google Benchmark options,
# e.g. --benchmark_filter=login).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/scripts/setup.sh"
build="$top/build/bench"
programs=(bench_codec bench_idle bench_traffic bench_title_matcher bench_model_scan bench_model_choice bench_voice bench_combo_fill bench_combo_show)
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTK_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${programs[@]}"
for program in "${programs[@]}"; do
  echo "== $program"
  "$build/bench/$program" "$@"
done
