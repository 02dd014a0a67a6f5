#!/usr/bin/env bash
# A bounded soak of the client (built with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer in build/test) against the stand-ins, on
# 127.0.0.1 only, in a demo tree of its own under build/soak/. tk_soak drives
# it (pilots, a controller, node drops, a plug-in restart, hostile callers) and
# prints its figures; the exit status is tk_soak's: 0 when nothing was lost,
# memory stayed flat and no sanitizer reported.
#   soak.sh [minutes]   (2 unless told; TK_SOAK_SEED sets the seed, 21 unless told)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
minutes="${1:-2}"
build="$top/build/test"
bash "$top/scripts/setup.sh"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTK_SANITIZE=ON >/dev/null
cmake --build "$build" -j "${TK_SOAK_BUILD_JOBS:-3}" --target tavelkor tk_soak >/dev/null

# A verdict of LeakSanitizer needs a client built with it.
if ! ldd "$build/tavelkor" | grep -q libasan; then
  echo "[soak] $build/tavelkor is not built with AddressSanitizer" >&2
  exit 1
fi

work="$top/build/soak"
rm -rf "$work"
mkdir -p "$work"
prog="$(bash "$top/scripts/make_demo_tree.sh" "$work/xplane")"
printf '%s\r\n' "[NETWORK.0]" "Website=localhost" "PagePath=/h.php" "PilotID=soak" "PilotPW=soak" \
    "[FLIGHT PLAN]" "CallSign=SOAK01" > "$prog/Tavelkor.ini"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$top/tests/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
unset TK_PORTMAP TK_AUTOMATION
echo "[soak] client output, stand-in lines and automation socket in $work"
status=0
"$build/tk_soak" --client "$build/tavelkor" --program "$prog" --work "$work" --minutes "$minutes" \
    --seed "${TK_SOAK_SEED:-21}" --hostile "$top/fuzz/corpus" --plugin-hostile "$top/fuzz/corpus/fuzz_plugin_link" \
    || status=$?
exit "$status"
