#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs="${ORBIQ_JOBS:-$(nproc)}"  # parallel build and test jobs
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBIQ_WERROR=$werror >/dev/null
cmake --build build-test -j"$jobs"
cd build-test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs" --timeout 300
