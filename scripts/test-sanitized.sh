#!/usr/bin/env bash
# Builds everything with a sanitizer in build-<kind>/ and runs every test under it.
#   bash scripts/test-sanitized.sh [address|thread]   (address: ASan + UBSan, the default)
set -euo pipefail
cd "$(dirname "$0")/.."
kind="${1:-address}"
case "$kind" in address|thread) ;; *) echo "usage: $0 [address|thread]" >&2; exit 2 ;; esac
bash scripts/install-deps.sh
jobs="${ORBIQ_JOBS:-$(nproc)}"  # parallel build and test jobs
werror=OFF
[ -n "${CI:-}" ] && werror=ON
source scripts/sanitizer-env.sh
cmake -S . -B "build-$kind" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBIQ_WERROR=$werror -DORBIQ_SANITIZE="$kind" >/dev/null
cmake --build "build-$kind" -j"$jobs"
cd "build-$kind"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs" --timeout 600
