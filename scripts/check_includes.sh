#!/usr/bin/env bash
# Fails when a source file of the program includes a header of a folder above
# its own in the order of the README's layout table, or a header of testbed/,
# tests/, bench/ or fuzz/, which stand outside that order, or when a file of a
# folder above win/ includes a Qt header (<QImage>, <QtGui/...>): Qt stays
# inside the platform layer.
#   check_includes.sh [source-root]     (default: the repository holding this script)
set -euo pipefail

root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
# Bottom up: a folder may include its own headers and those of the folders before it.
order=(win base controls core net sim voice dialogs app)
outside=(testbed tests bench fuzz)

folders=()
for folder in "${order[@]}"; do
  [ -d "$root/$folder" ] && folders+=("$root/$folder")
done
if [ ${#folders[@]} -eq 0 ]; then
  echo "check_includes: no program folder under $root" >&2
  exit 2
fi

mapfile -t files < <(find "${folders[@]}" -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
if [ ${#files[@]} -eq 0 ]; then
  echo "check_includes: no source file under $root" >&2
  exit 2
fi

for file in "${files[@]}"; do
  printf '%s\n' "${file#"$root"/}"
done | awk -v root="$root" -v order="${order[*]}" -v outside="${outside[*]}" '
  BEGIN {
    n = split(order, names, " ")
    for (i = 1; i <= n; ++i) { rank[names[i]] = i; below[i] = (i == 1 ? "" : below[i - 1] " ") names[i] "/" }
    m = split(outside, others, " ")
    for (i = 1; i <= m; ++i) excluded[others[i]] = 1
    bad = 0
  }
  # "a/./b/../c" -> "a/c"; a path that climbs above the root keeps its "..".
  function normalise(path,    parts, k, count, out, i, depth) {
    count = split(path, parts, "/")
    depth = 0
    for (i = 1; i <= count; ++i) {
      if (parts[i] == "" || parts[i] == ".") continue
      if (parts[i] == ".." && depth > 0 && out[depth] != "..") { --depth; continue }
      out[++depth] = parts[i]
    }
    path = ""
    for (i = 1; i <= depth; ++i) path = path (i > 1 ? "/" : "") out[i]
    return path
  }
  function exists(path,    probe, status) {
    status = (getline probe < path)
    close(path)
    return status >= 0
  }
  {
    source = $0
    folder = substr(source, 1, index(source, "/") - 1)
    directory = source
    sub(/\/[^\/]*$/, "", directory)
    line = 0
    while ((getline text < (root "/" source)) > 0) {
      ++line
      if (text ~ /^[ \t]*#[ \t]*include[ \t]*"/) {
        target = text
        sub(/^[ \t]*#[ \t]*include[ \t]*"/, "", target)
        sub(/".*$/, "", target)
        # Without a folder, or written relative, the name is taken from the including file.
        if (target !~ /\// || target ~ /^\.\.?\//) target = normalise(directory "/" target)
        top = target
        sub(/\/.*$/, "", top)
      } else if (text ~ /^[ \t]*#[ \t]*include[ \t]*</) {
        # Angle brackets name the project'"'"'s headers too (<app/x.h>); a system header
        # that shares a folder name (<net/if.h>) is not a file of the tree.
        target = text
        sub(/^[ \t]*#[ \t]*include[ \t]*</, "", target)
        sub(/>.*$/, "", target)
        target = normalise(target)
        top = target
        sub(/\/.*$/, "", top)
        if (folder != "win" && (target ~ /^Q[A-Za-z0-9_]*$/ || target ~ /^Qt[A-Za-z0-9_]*\//)) {
          printf "%s:%d: includes <%s>: Qt stays inside win/\n", source, line, target
          bad = 1
          continue
        }
        if (target !~ /\// || !((top in rank) || (top in excluded)) || !exists(root "/" target)) continue
      } else {
        continue
      }
      if (top in excluded) {
        printf "%s:%d: includes \"%s\": no folder of the program includes %s/\n", source, line, target, top
        bad = 1
      } else if ((top in rank) && rank[top] > rank[folder]) {
        printf "%s:%d: includes \"%s\": %s/ is above %s/; %s/ may include %s\n", source, line, target, top, folder,
               folder, below[rank[folder]]
        bad = 1
      } else if (top == "..") {
        printf "%s:%d: includes \"%s\": outside the source tree\n", source, line, target
        bad = 1
      }
    }
    close(root "/" source)
  }
  END { exit bad }
'
