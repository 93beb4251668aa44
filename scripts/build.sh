#!/usr/bin/env bash
# Installs what is missing, then configures and builds into ./build (or $QUILLBAY_BUILD_DIR).
# With --with-tests (first) it also installs the test toolchain and builds the tests;
# further arguments go to `cmake --build`, e.g. --target quillbay.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLBAY_BUILD_DIR:-$repo/build}
tests=()
if [ "${1:-}" = --with-tests ]; then
  tests=(--with-tests)
  shift
fi
"$repo/scripts/install_packages.sh" "${tests[@]}"

# A build folder configured before GoogleTest was installed is configured again.
if [ ! -f "$build/CMakeCache.txt" ] ||
   { [ ${#tests[@]} -gt 0 ] && ! grep -q '^QUILLBAY_TESTS_BUILT:INTERNAL=ON$' "$build/CMakeCache.txt"; }; then
  launcher=(); command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  echo "Configuring $build"
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j "$(nproc)" "$@"
