#!/usr/bin/env bash
# Lays out a small X-Plane folder tree for the demo:
#   <root>/X-Plane.exe, <root>/Aircraft/, <root>/Resources/plugins/Tavelkor/ (the program folder).
set -euo pipefail
root="${1:?usage: make_demo_tree.sh <root>}"
top="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$root/Aircraft" "$root/Resources/plugins/Tavelkor"
[ -f "$root/X-Plane.exe" ] || : > "$root/X-Plane.exe"
prog="$root/Resources/plugins/Tavelkor"
if [ -d "$top/res/data" ]; then
  cp -n "$top"/res/data/* "$prog"/ 2>/dev/null || true
fi
echo "$prog"
