#!/usr/bin/env bash
# Writes every owner-drawn control in each of its states (the shaded and bitmap
# buttons, the owner-drawn menu in both looks, the gradient slider) as PNG files
# into a folder, by running the picture tests of the controls.
#   control_pictures.sh [folder]      (default: build/control-pictures)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$top/build/control-pictures}")"
bash "$top/scripts/setup.sh"
build="$top/build/test"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTK_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target tests_controls
mkdir -p "$out"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$top/tests/lsan.supp:print_suppressions=0}"
TK_PICTURES_OUT="$out" "$build/tests/tests_controls" --gtest_filter='*Reference*' --gtest_brief=1
echo "pictures written to $out:"
ls "$out"
