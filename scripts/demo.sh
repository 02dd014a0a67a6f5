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
. "$top/scripts/demo_env.sh"
build="$top/build/demo"
demo_build "$build" tavelkor tk_standins tk_auto tk_pilot tk_match tk_controller
tree="$top/build/demo-xplane"
prog="$(demo_tree "$tree")"

ports_file="$build/standins.ports"
standins_pid=""
clicker_pid=""
cleanup() {
  if [ -n "$clicker_pid" ]; then
    pkill -P "$clicker_pid" 2>/dev/null || true
    kill "$clicker_pid" 2>/dev/null || true
  fi
  demo_stop_standins
  wait 2>/dev/null || true
}
trap cleanup EXIT
# Ctrl-C is the client's to act on (its ordered quit); the script then cleans up.
trap ':' INT

demo_start_standins "$build" "$ports_file" || exit 1

export TK_AUTOMATION="${TK_AUTOMATION:-$tree/automation.sock}"
auto="$build/tk_auto"
pilot_log="$build/tk_pilot.log"

(
  # The session opens once the plug-in link is up; then "Servers ..." slot 0 and Connect.
  demo_wait_for_session "$auto" "$TK_AUTOMATION" || true
  if "$auto" "$TK_AUTOMATION" --wait-ms 20000 "command 7055 33000" "click 7055 7212" >/dev/null 2>&1; then
    echo "[demo] Connect clicked"
  else
    echo "[demo] could not click Connect" >&2
    exit 0
  fi
  # Logged in (the Connect button shows bitmap 7096): the pilot peer calls. His AI
  # aircraft shows in the plug-in stand-in's lines ("add DEMO02 model ...", "move
  # DEMO02 to ...", "remove DEMO02"); the frames he receives go to his log.
  demo_wait_for_login "$auto" "$TK_AUTOMATION" || true
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
