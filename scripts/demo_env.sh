# The pieces that scripts/demo.sh and scripts/snapshots.sh share: the build,
# the demo X-Plane tree with its settings, and the stand-ins of the network's
# web page, a node and the X-Plane plug-in. Sourced, not run.

# Builds the given targets into the folder $1 (a release build without the tests).
demo_build() {
  local build="$1"
  shift
  bash "$top/scripts/setup.sh"
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTK_TESTS=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)" --target "$@"
}

# Lays out the demo tree at $1 and prints its program folder; the demo's
# network login is written once, the ports stay the program's defaults.
demo_tree() {
  local prog ini
  prog="$(bash "$top/scripts/make_demo_tree.sh" "$1")"
  ini="$prog/Tavelkor.ini"
  if ! grep -qi '^\[NETWORK\.0\]' "$ini" 2>/dev/null; then
    printf '%s\r\n' "[NETWORK.0]" "Website=localhost" "PagePath=/h.php" "PilotID=demo" "PilotPW=demo" >> "$ini"
  fi
  if ! grep -qi '^\[FLIGHT PLAN\]' "$ini" 2>/dev/null; then
    printf '%s\r\n' "[FLIGHT PLAN]" "CallSign=DEMO01" >> "$ini"
  fi
  echo "$prog"
}

# Starts tk_standins of the build $1, writing its ports to $2, in a session of
# its own (so that Ctrl-C reaches the client only); sets standins_pid,
# web_field, node_field, plugin_field, then TK_PORTMAP (ours first: the first
# pair for a port wins) and listen_port, the port the client listens on for
# pilot peers (55009 unless TK_PORTMAP moves it).
demo_start_standins() {
  local build="$1" ports_file="$2"
  rm -f "$ports_file"
  if command -v setsid >/dev/null; then
    setsid "$build/tk_standins" --ports-file "$ports_file" &
  else
    "$build/tk_standins" --ports-file "$ports_file" &
  fi
  standins_pid=$!
  for _ in $(seq 200); do
    [ -s "$ports_file" ] && break
    kill -0 "$standins_pid" 2>/dev/null || { echo "[demo] tk_standins did not start" >&2; return 1; }
    sleep 0.1
  done
  [ -s "$ports_file" ] || { echo "[demo] tk_standins wrote no ports file" >&2; return 1; }
  read -r web_field node_field plugin_field < "$ports_file"
  local web_port="${web_field#web=}" plugin_port="${plugin_field#plugin=}"
  export TK_PORTMAP="80=$web_port,55007=$plugin_port${TK_PORTMAP:+,$TK_PORTMAP}"
  listen_port=55009
  local pair port_pairs
  IFS=',' read -r -a port_pairs <<< "$TK_PORTMAP"
  for pair in "${port_pairs[@]}"; do
    if [ "${pair%%=*}" = 55009 ]; then listen_port="${pair#*=}"; break; fi
  done
}

# Ends the stand-ins started above: asked first, killed when they linger.
demo_stop_standins() {
  if [ -n "${standins_pid:-}" ] && kill -0 "$standins_pid" 2>/dev/null; then
    kill -TERM "$standins_pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$standins_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$standins_pid" 2>/dev/null || true
  fi
}

# Waits until the client's session with the plug-in stand-in is open.
demo_wait_for_session() {
  local auto="$1" socket="$2"
  for _ in $(seq 60); do
    if "$auto" "$socket" --wait-ms 20000 dump 2>/dev/null | grep -q 'Connecting to XPlane ...Ok'; then
      return 0
    fi
    sleep 0.5
  done
  return 1
}

# Waits until the client is logged in (the Connect button shows bitmap 7096).
demo_wait_for_login() {
  local auto="$1" socket="$2"
  for _ in $(seq 60); do
    "$auto" "$socket" --wait-ms 20000 dump 2>/dev/null | grep -q 'image 7096' && return 0
    sleep 0.5
  done
  return 1
}
