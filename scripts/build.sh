#!/usr/bin/env bash
# Installs what is missing, then configures and builds into ./build (or $QUILLBAY_BUILD_DIR).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLBAY_BUILD_DIR:-$repo/build}
"$repo/scripts/install_packages.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=(); command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j "$(nproc)" "$@"
