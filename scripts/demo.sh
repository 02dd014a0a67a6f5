#!/usr/bin/env bash
# Builds the client and runs it inside a generated demo X-Plane tree. Ctrl-C quits it.
# On a desktop (DISPLAY or WAYLAND_DISPLAY set) the client shows its windows there.
#
# Next to it run the stand-ins of the network's web page, a node and the X-Plane
# plug-in (tk_standins, lines marked "[stand-ins ...]"); the client reaches them
# through TK_PORTMAP (port 80 to the web page, 55007 to the plug-in). A few seconds
# after start the Connect button is clicked through the automation socket (tk_auto);
# once logged in, a scripted pilot peer (tk_pilot, DEMO02) calls the client's
# listening port and flies one circuit near the demo's flight, then logs out.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/scripts/setup.sh"
build="$top/build/demo"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTK_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target tavelkor tk_standins tk_auto tk_pilot tk_match tk_controller
tree="$top/build/demo-xplane"
prog="$(bash "$top/scripts/make_demo_tree.sh" "$tree")"

# The demo's network login, written once; the ports stay the program's defaults.
ini="$prog/Tavelkor.ini"
crlf() { printf '%s\r\n' "$@"; }
if ! grep -qi '^\[NETWORK\.0\]' "$ini" 2>/dev/null; then
  crlf "[NETWORK.0]" "Website=localhost" "PagePath=/h.php" "PilotID=demo" "PilotPW=demo" >> "$ini"
fi
if ! grep -qi '^\[FLIGHT PLAN\]' "$ini" 2>/dev/null; then
  crlf "[FLIGHT PLAN]" "CallSign=DEMO01" >> "$ini"
fi

ports_file="$build/standins.ports"
rm -f "$ports_file"
standins_pid=""
clicker_pid=""
cleanup() {
  if [ -n "$clicker_pid" ]; then
    pkill -P "$clicker_pid" 2>/dev/null || true
    kill "$clicker_pid" 2>/dev/null || true
  fi
  if [ -n "$standins_pid" ] && kill -0 "$standins_pid" 2>/dev/null; then
    kill -TERM "$standins_pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$standins_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$standins_pid" 2>/dev/null || true
  fi
  wait 2>/dev/null || true
}
trap cleanup EXIT
# Ctrl-C is the client's to act on (its ordered quit); the script then cleans up.
trap ':' INT

# In a session of its own, so that Ctrl-C reaches the client only and the
# stand-ins stay up until the client has quit.
if command -v setsid >/dev/null; then
  setsid "$build/tk_standins" --ports-file "$ports_file" &
else
  "$build/tk_standins" --ports-file "$ports_file" &
fi
standins_pid=$!
for _ in $(seq 200); do
  [ -s "$ports_file" ] && break
  kill -0 "$standins_pid" 2>/dev/null || { echo "[demo] tk_standins did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$ports_file" ] || { echo "[demo] tk_standins wrote no ports file" >&2; exit 1; }
read -r web_field node_field plugin_field < "$ports_file"
web_port="${web_field#web=}"
plugin_port="${plugin_field#plugin=}"

export TK_AUTOMATION="${TK_AUTOMATION:-$tree/automation.sock}"
# Ours first: the first pair for a port wins.
export TK_PORTMAP="80=$web_port,55007=$plugin_port${TK_PORTMAP:+,$TK_PORTMAP}"
auto="$build/tk_auto"
# The port the client listens on for pilot peers: 55009, unless TK_PORTMAP moves it.
listen_port=55009
IFS=',' read -r -a port_pairs <<< "$TK_PORTMAP"
for pair in "${port_pairs[@]}"; do
  if [ "${pair%%=*}" = 55009 ]; then listen_port="${pair#*=}"; break; fi
done
pilot_log="$build/tk_pilot.log"

(
  # The session opens once the plug-in link is up; then "Servers ..." slot 0 and Connect.
  for _ in $(seq 60); do
    if "$auto" "$TK_AUTOMATION" --wait-ms 20000 dump 2>/dev/null | grep -q 'Connecting to XPlane ...Ok'; then
      break
    fi
    sleep 0.5
  done
  if "$auto" "$TK_AUTOMATION" --wait-ms 20000 "command 7055 33000" "click 7055 7212" >/dev/null 2>&1; then
    echo "[demo] Connect clicked"
  else
    echo "[demo] could not click Connect" >&2
    exit 0
  fi
  # Logged in (the Connect button shows bitmap 7096): the pilot peer calls. His AI
  # aircraft shows in the plug-in stand-in's lines ("add DEMO02 model ...", "move
  # DEMO02 to ...", "remove DEMO02"); the frames he receives go to his log.
  for _ in $(seq 60); do
    "$auto" "$TK_AUTOMATION" --wait-ms 20000 dump 2>/dev/null | grep -q 'image 7096' && break
    sleep 0.5
  done
  echo "[demo] pilot peer DEMO02 calls port $listen_port (frames received: $pilot_log)"
  # His exit status tells how his flight ended (tk_pilot --help).
  pilot_status=0
  "$build/tk_pilot" --connect "$listen_port" --callsign DEMO02 --centre 49.02 2.60 --radius 0.02 \
      --altitude 3000 --circuit 120 --seconds 120 --interval 1000 --end logout > "$pilot_log" 2>&1 || pilot_status=$?
  case "$pilot_status" in
    0) echo "[demo] pilot peer DEMO02 flew his circuit and logged out" ;;
    3) echo "[demo] pilot peer DEMO02: the client closed his link before his circuit ended (see $pilot_log)" >&2 ;;
    *) echo "[demo] pilot peer DEMO02 could not fly, status $pilot_status (see $pilot_log)" >&2 ;;
  esac
) &
clicker_pid=$!

echo "[demo] stand-ins: $web_field $node_field $plugin_field (TK_PORTMAP=$TK_PORTMAP)"
echo "[demo] automation: $auto $TK_AUTOMATION dump   (or \"boxes\", \"quit\")"
echo "[demo] Running tavelkor in $prog (Ctrl-C to quit)"
cd "$prog"
status=0
"$build/tavelkor" || status=$?
exit "$status"
