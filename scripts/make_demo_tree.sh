#!/usr/bin/env bash
# Lays out a small X-Plane folder tree for the demo:
#   <root>/X-Plane.exe, <root>/Aircraft/, <root>/Resources/plugins/Tavelkor/ (the program folder).
set -euo pipefail
root="${1:?usage: make_demo_tree.sh <root>}"
top="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$root/Aircraft" "$root/Resources/plugins/Tavelkor"
[ -f "$root/X-Plane.exe" ] || : > "$root/X-Plane.exe"
# A few installed models, so that the client's scan of Aircraft finds some.
for model in "Heavy Metal/B738/B738.acf" "Laminar Research/Cessna 172SP/Cessna_172SP.acf" \
             "Laminar Research/KingAir C90/C90B.acf" "Airliners/A320neo/A320.acf" \
             "Airliners/MD-82/MD82.acf" "Helicopters/Robinson R22/R22.acf"; do
  mkdir -p "$root/Aircraft/$(dirname "$model")"
  [ -f "$root/Aircraft/$model" ] || : > "$root/Aircraft/$model"
done
prog="$root/Resources/plugins/Tavelkor"
if [ -d "$top/res/data" ]; then
  cp -n "$top"/res/data/* "$prog"/ 2>/dev/null || true
fi
echo "$prog"
