#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, in build/fuzz) and runs one target or all of
# them, two at a time, each for the budget given (20 s unless told).
# Fails when a run finds anything: a crash, a failed check, a leak, a timeout
# or undefined behaviour; the input is kept under build/fuzz/artifacts/.
#   fuzz.sh [target[,target...]|all] [seconds]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
which="${1:-all}"
seconds="${2:-20}"
build="$top/build/fuzz"

bash "$top/scripts/setup.sh"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTK_FUZZ=ON -DTK_TESTS=OFF \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j "${TK_FUZZ_BUILD_JOBS:-3}" --target fuzz_all >/dev/null

# Inputs stay small so that every target runs fast; the sizes hold each
# format's largest record or a few of its lines.
declare -A max_len=(
  [fuzz_frames]=4096 [fuzz_way]=4096 [fuzz_addon]=4096 [fuzz_lz77]=4096 [fuzz_plugin_link]=4096
  [fuzz_web_page]=4096 [fuzz_automation]=4096 [fuzz_ini]=2048 [fuzz_rules]=4096
  [fuzz_data_files]=4096 [fuzz_flight_plan]=4096 [fuzz_offsets]=2048
)
all_targets=(fuzz_frames fuzz_way fuzz_addon fuzz_lz77 fuzz_plugin_link fuzz_web_page fuzz_automation fuzz_ini fuzz_rules
             fuzz_data_files fuzz_flight_plan fuzz_offsets)
if [ "$which" = all ]; then
  targets=("${all_targets[@]}")
else
  IFS=, read -r -a targets <<<"$which"
  for target in "${targets[@]}"; do
    if [ -z "${max_len[$target]:-}" ]; then
      echo "fuzz.sh: no target $target (targets: ${all_targets[*]})" >&2
      exit 2
    fi
  done
fi

# Seeds from the stand-ins' writers, written afresh; the corpus each target
# grows is kept between runs.
rm -rf "$build/seeds"
"$build/fuzz/make_corpus" "$build/seeds" "$top/res/data"
mkdir -p "$build/corpus" "$build/artifacts" "$build/logs"

run_one() {
  local target="$1"
  local corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  local seeds=("$build/seeds/$target")
  [ -d "$top/fuzz/corpus/$target" ] && seeds+=("$top/fuzz/corpus/$target")
  # The process's own exit status says whether it found anything.
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=10 \
      -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$corpus" "${seeds[@]}" >"$build/logs/$target.log" 2>&1
}

summary() {
  local target="$1" status="$2" log="$build/logs/$1.log"
  local execs rate cov ft
  execs="$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)"
  rate="$(grep -oE 'stat::average_exec_per_sec: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)"
  cov="$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1 || true)"
  local verdict="ok"
  [ "$status" -ne 0 ] && verdict="FINDING (see $log)"
  printf '%-18s execs %-10s execs/s %-7s %-22s %s\n' "$target" "${execs:-?}" "${rate:-?}" "${cov:-cov: ?}" "$verdict"
}

failed=0
declare -A pids=()
start=$SECONDS
next=0
while [ "$next" -lt "${#targets[@]}" ] || [ "${#pids[@]}" -gt 0 ]; do
  # At most two targets at a time: the machine is shared.
  while [ "$next" -lt "${#targets[@]}" ] && [ "${#pids[@]}" -lt 2 ]; do
    target="${targets[$next]}"
    run_one "$target" &
    pids[$!]="$target"
    next=$((next + 1))
  done
  set +e
  wait -n -p done_pid "${!pids[@]}"
  status=$?
  set -e
  target="${pids[$done_pid]}"
  unset "pids[$done_pid]"
  summary "$target" "$status"
  [ "$status" -ne 0 ] && failed=1
done
echo "fuzz.sh: ${#targets[@]} target(s), ${seconds} s each, $((SECONDS - start)) s in all"
if [ "$failed" -ne 0 ]; then
  echo "fuzz.sh: a target found a fault; its input is under $build/artifacts/" >&2
  for target in "${targets[@]}"; do
    grep -E -m 5 'ERROR: |FUZZ CHECK FAILED|SUMMARY: ' "$build/logs/$target.log" >&2 || true
  done
  exit 1
fi
