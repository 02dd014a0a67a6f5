#!/usr/bin/env bash
# Writes a picture of every dialog of the client, and of its main setup in each
# of its three languages, into a folder (build/snapshots unless given):
# <template>.png for each template of res/dialogs/, the main setup as
# 7005-en.png, 7005-fr.png and 7005-es.png.
#
# The client runs headless in a fresh demo tree against the stand-ins (as
# scripts/demo.sh does), logs in, and a scripted pilot peer (tk_pilot, DEMO02)
# talks on the radio and in private, so that the chat shows coloured traffic
# next to the program's own trace; then `snapshot <template> <file.png>`
# through the automation socket draws each window as it shows.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
. "$top/scripts/demo_env.sh"
out="$(realpath -m "${1:-$top/build/snapshots}")"
mkdir -p "$out"
build="$top/build/demo"
demo_build "$build" tavelkor tk_standins tk_auto tk_pilot
# A fresh tree each time: the same settings give the same pictures.
tree="$top/build/snapshots-xplane"
rm -rf "$tree"
prog="$(demo_tree "$tree")"

standins_pid=""
client_pid=""
pilot_pid=""
auto="$build/tk_auto"
export TK_HEADLESS=1
export TK_AUTOMATION="$tree/automation.sock"
cleanup() {
  if [ -n "$pilot_pid" ]; then kill "$pilot_pid" 2>/dev/null || true; fi
  if [ -n "$client_pid" ] && kill -0 "$client_pid" 2>/dev/null; then
    "$auto" "$TK_AUTOMATION" --wait-ms 5000 quit >/dev/null 2>&1 || true
    for _ in $(seq 100); do kill -0 "$client_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$client_pid" 2>/dev/null || true
  fi
  demo_stop_standins
  wait 2>/dev/null || true
}
trap cleanup EXIT

demo_start_standins "$build" "$tree/standins.ports" >"$tree/standins.log" 2>&1 || exit 1
(cd "$prog" && exec "$build/tavelkor") >"$tree/client.log" 2>&1 &
client_pid=$!

# One request; its answer (without the closing "ok") on stdout, or the script stops.
ask() {
  local answer
  answer="$("$auto" "$TK_AUTOMATION" --wait-ms 20000 "$1")" || { echo "[snapshots] no answer to: $1" >&2; exit 1; }
  if [ "$(printf '%s\n' "$answer" | tail -n 1)" != ok ]; then
    echo "[snapshots] $1: $(printf '%s\n' "$answer" | tail -n 1)" >&2
    exit 1
  fi
  printf '%s\n' "$answer" | sed '$d'
}
# Waits until the answer to a request holds a text.
wait_for() {
  for _ in $(seq 100); do
    "$auto" "$TK_AUTOMATION" --wait-ms 20000 "$1" 2>/dev/null | grep -qF -- "$2" && return 0
    sleep 0.2
  done
  echo "[snapshots] never saw \"$2\" in: $1" >&2
  exit 1
}

demo_wait_for_session "$auto" "$TK_AUTOMATION" || { echo "[snapshots] no session (see $tree/client.log)" >&2; exit 1; }
# The type chooser the first aircraft brings up, as the pilot sees it; then
# the main dialog back in its place.
wait_for dump "window 7033 visible=1"
ask "snapshot 7033 $out/7033.png"
ask "command 7033 2"
wait_for dump "window 7055 visible=1"

ask "command 7055 33000"
ask "click 7055 7212"
demo_wait_for_login "$auto" "$TK_AUTOMATION" || { echo "[snapshots] no login (see $tree/client.log)" >&2; exit 1; }
"$build/tk_pilot" --connect "$listen_port" --callsign DEMO02 --centre 49.02 2.60 --radius 0.02 \
    --altitude 3000 --seconds 60 --interval 1000 --end logout \
    --say 122.80 "DEMO02 on final runway 27, see you on the ground" \
    --say 121.50 "DEMO02 testing the guard frequency" \
    --private DEMO01 "Welcome aboard, DEMO01" >"$tree/tk_pilot.log" 2>&1 &
pilot_pid=$!
wait_for "runs 7057 7005" "[private] DEMO02 : Welcome aboard, DEMO01"
wait_for "runs 7057 7005" "on 122.80 Mhz : DEMO02 on final"

for template in "$top"/res/dialogs/*.dlg; do
  id="$(basename "$template" .dlg)"
  case "$id" in
    7033 | 7005 | 7060 | 7048 | 7049) ;;  # the type chooser above, the others shown below
    *) ask "snapshot $id $out/$id.png" ;;
  esac
done

# The rules dialogs fill their lists and paint their colours when shown.
for shown in "7048 32852" "7049 32854"; do
  read -r id command <<< "$shown"
  ask "command 7055 $command"
  wait_for dump "window $id visible=1"
  ask "snapshot $id $out/$id.png"
  ask "command 7055 $command"
done

# The main setup's language list changes its texts at once; nothing is saved.
ask "command 7055 32801"
wait_for dump "window 7005 visible=1"
index=0
for language in en fr es; do
  ask "select 7005 7102 $index"
  ask "snapshot 7005 $out/7005-$language.png"
  index=$((index + 1))
done
ask "select 7005 7102 0"
# The voice settings open from the main setup, their sliders drawn once shown.
ask "click 7005 7242"
wait_for dump "window 7060 visible=1"
ask "snapshot 7060 $out/7060.png"

echo "[snapshots] $(ls "$out" | wc -l) pictures in $out"
