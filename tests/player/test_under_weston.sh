#!/usr/bin/env bash
# The program on a Wayland desktop: weston (its X11 back-end, nested in an Xvfb display that
# gives it a seat) with Xwayland, started as a desktop session starts programs. The update
# window opens centred; after Esc the main window opens centred and the user drags it by its
# title strip. Usage: test_under_weston.sh <orbiq> [screenshot folder]
set -euo pipefail
program=$(realpath "$1")
shots=${2:-}
dir=$(mktemp -d)
xvfb=""
weston_pid=""
orbiq=""
cleanup() {
  [ -n "$orbiq" ] && kill "$orbiq" 2>/dev/null || true
  [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  sleep 0.2
  rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$dir/weston.log" ] && tail -5 "$dir/weston.log" >&2; exit 1; }

source "$(dirname "$0")/own_xvfb.sh"
start_own_xvfb
host=$DISPLAY
width=1024 height=768

export XDG_RUNTIME_DIR=$dir/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
socket=orbiq-weston-$$
weston --backend=x11-backend.so --width=$width --height=$height --socket="$socket" --xwayland \
  --idle-time=0 --log="$dir/weston.log" >/dev/null 2>&1 &
weston_pid=$!
# Xwayland's display is the one weston announces (it starts the server on the first client).
xdisplay=""
for _ in $(seq 400); do
  kill -0 "$weston_pid" 2>/dev/null || fail "weston ended"
  # weston may not have written its log yet
  xdisplay=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$dir/weston.log" 2>/dev/null | head -1) || true
  [ -n "$xdisplay" ] && [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
  sleep 0.05
done
[ -n "$xdisplay" ] || fail "weston announced no Xwayland display"

# The session's environment: Wayland, with Xwayland beside it; the program chooses.
mkdir "$dir/program"
cp "$program" "$dir/program/orbiq"
cp "$(dirname "$program")"/{orbiq_jet_reader,liborbiq_web_view.so} "$dir/program/"  # its helpers, beside it
(cd "$dir/program" && env -u QT_QPA_PLATFORM WAYLAND_DISPLAY="$socket" XDG_SESSION_TYPE=wayland DISPLAY="$xdisplay" \
  QTWEBENGINE_DISABLE_SANDBOX=1 ./orbiq >"$dir/orbiq.log" 2>&1) &
orbiq=$!

# The program's shown window of a size, as "x y" on the screen ("" until there is one).
window_at() {
  local id geometry
  for id in $(DISPLAY=$xdisplay xdotool search --onlyvisible --pid "$(pgrep -P "$orbiq" -x orbiq || echo 0)" 2>/dev/null); do
    geometry=$(DISPLAY=$xdisplay xwininfo -id "$id" 2>/dev/null) || continue
    if grep -q "Width: $1\$" <<<"$geometry" && grep -q "Height: $2\$" <<<"$geometry"; then
      echo "$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$geometry") $(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$geometry")"
      return
    fi
  done
}
wait_window() {  # width height -> "x y", once it stays there (the compositor maps, then places)
  local at="" before=""
  for _ in $(seq 150); do
    at=$(window_at "$1" "$2")
    [ -n "$at" ] && [ "$at" = "$before" ] && { echo "$at"; return; }
    before=$at
    sleep 0.2
  done
}
centred() {  # what x y width height -> fails unless within a pixel of the screen's centre
  local x=$2 y=$3 dx dy
  dx=$(( x - (width - $4) / 2 )); dy=$(( y - (height - $5) / 2 ))
  [ "${dx#-}" -le 1 ] && [ "${dy#-}" -le 1 ] || fail "$1 at $x,$y, not centred"
  echo "$1 at $x,$y: centred"
}
shot() { [ -n "$shots" ] && DISPLAY=$host import -window root "$shots/$1.png" || true; }

read -r ux uy <<<"$(wait_window 416 288)" || true
[ -n "${ux:-}" ] || fail "no update window on Xwayland's display (the program did not choose it)"
centred "update window" "$ux" "$uy" 416 288
sleep 0.5
shot weston-update

# Esc as the user presses it: weston gives the new window the keyboard.
DISPLAY=$host xdotool key Escape
read -r mx my <<<"$(wait_window 794 544)" || true
[ -n "${mx:-}" ] || fail "no main window after Esc"
centred "main window" "$mx" "$my" 794 544
sleep 0.5
shot weston-main

# Drag by the title strip (right of the heading, left of the buttons): 100 right, 80 down.
sx=$((mx + 500)) sy=$((my + 15))
DISPLAY=$host xdotool mousemove "$sx" "$sy"
sleep 0.3
DISPLAY=$host xdotool mousedown 1
sleep 0.3
for i in $(seq 1 10); do
  DISPLAY=$host xdotool mousemove $((sx + i * 10)) $((sy + i * 8))
  sleep 0.05
done
sleep 0.3
DISPLAY=$host xdotool mouseup 1
moved=""
for _ in $(seq 100); do
  read -r nx ny <<<"$(window_at 794 544)" || true
  [ "${nx:-}" = $((mx + 100)) ] && [ "${ny:-}" = $((my + 80)) ] && { moved=1; break; }
  sleep 0.05
done
shot weston-dragged
[ -n "$moved" ] || fail "main window at ${nx:-?},${ny:-?} after the drag, expected $((mx + 100)),$((my + 80))"
echo "main window dragged to $nx,$ny"
echo PASS
