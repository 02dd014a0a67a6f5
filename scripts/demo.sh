#!/usr/bin/env bash
# Builds the client and runs it inside a generated demo X-Plane tree. Ctrl-C quits it.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/scripts/setup.sh"
build="$top/build/demo"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTK_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target tavelkor
prog="$(bash "$top/scripts/make_demo_tree.sh" "$top/build/demo-xplane")"
cd "$prog"
echo "Running tavelkor in $prog (Ctrl-C to quit)"
exec "$build/tavelkor"
