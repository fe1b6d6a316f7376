#!/usr/bin/env bash
# Shows one of the small windows under Xvfb with a window manager and saves a screenshot.
# Not run by ctest. Usage: xvfb_shot.sh <build dir> <report|about|sponsor> [output png]
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
which=${2:-report}
out=$(realpath -m "${3:-$which.png}")
here=$(dirname "$0")
"$here/with_window_manager.sh" bash -c "
  '$build/tests/player/small_window_show' '$which' 4 &
  show=\$!
  sleep 2.5
  import -window root '$out'
  wait \$show"
echo "$out"
