#!/usr/bin/env bash
# The include check on small trees of its own: it passes a tree whose includes
# point down the order, and fails, naming the file and line, on each kind of
# include that points up or out.
#   check_includes_test.sh <check_includes.sh>
set -uo pipefail

checker="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

# A tree where every include points down or stays inside its folder.
make_tree() {
  local tree="$1"
  mkdir -p "$tree"/{win,base,core,net,sim,dialogs,app/main,testbed,tests/net,fuzz}
  printf '#pragma once\n' >"$tree/win/types.h"
  printf '#include "win/types.h"\n' >"$tree/base/thread.h"
  printf '#include "core/state.h"\n#include <vector>\n' >"$tree/core/state.cpp"
  printf '#pragma once\n#include "base/thread.h"\n' >"$tree/core/state.h"
  printf '#include "net/way.h"\n#include "way_helpers.h"\n  #  include "core/state.h"\n' >"$tree/net/way.cpp"
  # A system header that shares a folder name with the program is no include of that folder.
  printf '#pragma once\n#include <net/if.h>\n#include <sys/socket.h>\n' >"$tree/win/sockets.h"
  printf '#pragma once\n' >"$tree/net/way.h"
  # The platform layer draws with Qt.
  printf '#include <QImage>\n#include <QtGui/QPainter>\n' >"$tree/win/draw.cpp"
  printf '#pragma once\n' >"$tree/net/way_helpers.h"
  printf '// #include "app/main_dialog.h" once lived here\n#include "net/way.h"\n' >"$tree/sim/link.cpp"
  printf '#include "sim/link.h"\n#include "core/state.h"\n' >"$tree/dialogs/chat.cpp"
  printf '#include "app/client.h"\n#include "dialogs/chat.h"\n' >"$tree/app/main/program.cpp"
  # Outside the order: these may include anything.
  printf '#pragma once\n' >"$tree/app/client.h"
  printf '#include "app/client.h"\n' >"$tree/testbed/server.cpp"
  printf '#pragma once\n' >"$tree/testbed/server.h"
  printf '#include "app/client.h"\n#include "testbed/server.h"\n' >"$tree/tests/net/way_test.cpp"
  printf '#pragma once\n#include "net/way.h"\n#include "testbed/server.h"\n' >"$tree/fuzz/support.h"
}

# expect <name> <exit code> <text the output must hold, or ""> <tree>
expect() {
  local name="$1" code="$2" text="$3" tree="$4" output status
  output="$(bash "$checker" "$tree" 2>&1)"
  status=$?
  if [ "$status" -ne "$code" ]; then
    echo "FAIL $name: exit $status, expected $code"
    echo "$output"
    failures=$((failures + 1))
  elif [ -n "$text" ] && ! grep -qF -- "$text" <<<"$output"; then
    echo "FAIL $name: output lacks: $text"
    echo "$output"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

# plant <name> <file> <line>: a clean tree with one more line in one file.
plant() {
  local tree="$work/$1"
  make_tree "$tree"
  printf '%s\n' "$3" >>"$tree/$2"
  echo "$tree"
}

make_tree "$work/clean"
expect "a tree that includes downwards passes" 0 "" "$work/clean"

expect "net/ including app/ fails" 1 'net/way.cpp:4: includes "app/main_dialog.h": app/ is above net/' \
  "$(plant up "net/way.cpp" '#include "app/main_dialog.h"')"
expect "base/ including core/ from a header fails" 1 'base/thread.h:2: includes "core/state.h"' \
  "$(plant header "base/thread.h" '#include "core/state.h"')"
expect "an indented include is read" 1 'win/types.h:2: includes "net/way.h"' \
  "$(plant indented "win/types.h" '  # include "net/way.h"')"
expect "an angle include up the table fails" 1 'net/way.cpp:4: includes "app/client.h": app/ is above net/' \
  "$(plant angle "net/way.cpp" '#include <app/client.h>')"
expect "an angle include of the testbed fails" 1 'core/state.cpp:3: includes "testbed/server.h"' \
  "$(plant angletestbed "core/state.cpp" '#include <testbed/server.h>')"
expect "a relative include up the table fails" 1 'core/state.cpp:3: includes "sim/link.h"' \
  "$(plant relative "core/state.cpp" '#include "../sim/link.h"')"
expect "a folder below including the testbed fails" 1 'no folder of the program includes testbed/' \
  "$(plant testbed "app/main/program.cpp" '#include "testbed/server.h"')"
expect "app/ including a Qt header fails" 1 'app/main/program.cpp:3: includes <QImage>: Qt stays inside win/' \
  "$(plant qt "app/main/program.cpp" '#include <QImage>')"
expect "a Qt module header above win/ fails" 1 'base/thread.h:2: includes <QtGui/QPainter>: Qt stays inside win/' \
  "$(plant qtmodule "base/thread.h" '#include <QtGui/QPainter>')"
expect "a folder of the program including the fuzz targets fails" 1 'no folder of the program includes fuzz/' \
  "$(plant fuzz "net/way.cpp" '#include "fuzz/support.h"')"
expect "including out of the tree fails" 1 'outside the source tree' \
  "$(plant escape "dialogs/chat.cpp" '#include "../../elsewhere/x.h"')"

mkdir -p "$work/empty"
expect "a root without program folders is an error, not a pass" 2 "no program folder" "$work/empty"

[ "$failures" -eq 0 ]
