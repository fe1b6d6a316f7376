#!/usr/bin/env bash
# The installed program with no build folder: `cmake --install` into a temporary prefix, then,
# in network and mount namespaces of its own (the site's fixed ports private to it, the build
# folder hidden under an empty file system), the program started through <prefix>/bin/orbiq
# from an unrelated folder under Xvfb takes the stand-in's catalogue into its own folder, lists
# its channels and plays one. Also: no file of the program names the build folder.
# Usage: test_installed.sh <cmake> <build dir> <orbiq-site> [sanitized] [screenshot folder]
set -euo pipefail
if [ -z "${ORBIQ_INSTALLED_TEST_NS:-}" ]; then
  ORBIQ_INSTALLED_TEST_NS=1 exec unshare --net --mount "$BASH" "$0" "$@"
fi
cmake=$1
build=$(realpath "$2")
site=$(realpath "$3")
sanitized=${4:-}
shots=${5:-}
dir=$(mktemp -d)
xvfb="" site_pid="" orbiq=""
cleanup() {
  [ -n "$orbiq" ] && kill "$orbiq" 2>/dev/null || true
  [ -n "$site_pid" ] && kill "$site_pid" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  sleep 0.2
  rm -rf "$dir"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ -f "$dir/orbiq.log" ] && tail -20 "$dir/orbiq.log" >&2
  exit 1
}
ip link set lo up

prefix=$dir/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$dir/install.log" || { cat "$dir/install.log" >&2; fail "cmake --install"; }
folder=$prefix/lib/orbiq
for f in orbiq orbiq_jet_reader liborbiq_web_view.so; do
  [ -f "$folder/$f" ] || fail "$f is not in the program folder"
done
[ "$(readlink -f "$prefix/bin/orbiq")" = "$(readlink -f "$folder/orbiq")" ] || fail "bin/orbiq does not lead to the program"

# What the files hold apart from their debugging information (which names the folders it was
# built from, as any -g build does). Under the sanitizers that names source files of the build
# folder too, so there only a path of the helpers counts.
for f in orbiq orbiq_jet_reader liborbiq_web_view.so; do
  objcopy --strip-debug "$folder/$f" "$dir/stripped"
  named=$(strings -a "$dir/stripped" | grep -F "$build" || true)
  [ -n "$sanitized" ] && named=$(grep -E 'orbiq_jet_reader|liborbiq_web_view' <<<"$named" || true)
  [ -z "$named" ] || fail "$f names the build folder: $(head -3 <<<"$named")"
done
echo "installed: $(cd "$prefix" && find . -mindepth 1 | sort | tr '\n' ' ')"

# The site reads its pictures and clips at start; then the build folder goes out of reach.
"$site" --log-requests >"$dir/site.log" 2>&1 &
site_pid=$!
for _ in $(seq 100); do
  grep -q '^orbiq-site: site' "$dir/site.log" && break
  kill -0 "$site_pid" 2>/dev/null || { cat "$dir/site.log" >&2; fail "the site did not start"; }
  sleep 0.1
done
grep -q '^orbiq-site: site' "$dir/site.log" || fail "the site did not answer"
mount -t tmpfs -o size=64k,mode=0755 orbiq-no-build "$build"
[ -z "$(ls -A "$build")" ] || fail "the build folder is still there"

source "$(dirname "$0")/own_xvfb.sh"
start_own_xvfb
export XDG_RUNTIME_DIR=$dir/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR" "$dir/elsewhere"
cd "$dir/elsewhere"
env QT_QPA_PLATFORM=xcb QTWEBENGINE_DISABLE_SANDBOX=1 "$prefix/bin/orbiq" >"$dir/orbiq.log" 2>&1 &
orbiq=$!

# The program's shown window of a size, as "x y" ("" until there is one).
window_at() {
  local id geometry
  for id in $(xdotool search --onlyvisible --pid "$orbiq" 2>/dev/null); do
    geometry=$(xwininfo -id "$id" 2>/dev/null) || continue
    if grep -q "Width: $1\$" <<<"$geometry" && grep -q "Height: $2\$" <<<"$geometry"; then
      echo "$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$geometry") $(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$geometry")"
      return
    fi
  done
}
wait_window() {  # width height [tenths of a second] -> "x y"
  local at=""
  for _ in $(seq "${3:-300}"); do
    kill -0 "$orbiq" 2>/dev/null || return
    at=$(window_at "$1" "$2")
    [ -n "$at" ] && { echo "$at"; return; }
    sleep 0.1
  done
}
shot() { [ -n "$shots" ] && import -window root "$shots/$1.png" || true; }
requested() { grep -qx "GET /$1" "$dir/site.log"; }

read -r ux uy <<<"$(wait_window 416 288)" || true
[ -n "${ux:-}" ] || fail "no update window"
sleep 0.5
shot installed-update
# Server one: its catalogue is downloaded into the program's folder, then the window closes.
# (A click the program did not take yet is given again: choosing anew restarts the download.)
for _ in 1 2 3; do
  xdotool mousemove $((ux + 20)) $((uy + 176)) click 1
  read -r mx my <<<"$(wait_window 794 544 100)" || true
  [ -n "${mx:-}" ] && break
done
[ -n "${mx:-}" ] || fail "no main window after choosing server one"
[ -s "$folder/iead.dll" ] || fail "no catalogue in the program's folder"
sleep 1
shot installed-main

# The first category, opened, and its first channel: the stand-in's test card.
xdotool mousemove $((mx + 576 + 60)) $((my + 62 + 10)) click 1
sleep 0.5
xdotool key Right
sleep 0.3
xdotool key Down
for _ in $(seq 300); do
  requested media/clip.mp4 && break
  sleep 0.1
done
requested media/clip.mp4 || { shot installed-no-channel; fail "the channel was not asked for"; }
# Playing: the video area shows the test card's colour bars (red, green, yellow, blue, magenta,
# cyan across its foot) and its clock moves on.
video() { import -window root -crop 566x376+$((mx + 2))+$((my + 40)) +repage "$dir/$1.png"; }
bars() {  # three digits a bar: whether its red, green and blue are lit
  local i hex out=""
  for i in 0 1 2 3 4 5; do
    hex=$(convert "$dir/$1.png" -crop 1x1+$(( (2 * i + 1) * 566 / 12 ))+357 -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}')
    out+=$(( 16#${hex:1:2} >= 128 ))$(( 16#${hex:3:2} >= 128 ))$(( 16#${hex:5:2} >= 128 ))" "
  done
  echo "$out"
}
card="100 010 110 001 101 011 "
seen=""
for _ in $(seq 150); do
  video a
  seen=$(bars a)
  [ "$seen" = "$card" ] && break
  sleep 0.2
done
shot installed-playing
[ "$seen" = "$card" ] || fail "no test card in the video area (bars $seen)"
sleep 1
video b
[ "$(compare -metric AE "$dir/a.png" "$dir/b.png" null: 2>&1 || true)" != 0 ] || fail "the picture stands still"
echo "catalogue in $folder, channel playing"
echo PASS
