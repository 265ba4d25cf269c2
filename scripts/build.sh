#!/usr/bin/env bash
# Configures and builds Quillorbane into build/ with CMake and Ninja. With --tests the test suite
# is built too (it needs the test packages: setup.sh --test); without it, a new build tree leaves
# the tests out and an existing one keeps its choice. Warnings are errors when CI is set, as they
# are in CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILL_BUILD_DIR:-$root/build}"
werror=OFF
[ -n "${CI:-}" ] && werror=ON
tests=()
if [ "${1:-}" = "--tests" ]; then
    tests=(-DQUILL_BUILD_TESTS=ON)
elif [ ! -f "$build/CMakeCache.txt" ]; then
    tests=(-DQUILL_BUILD_TESTS=OFF)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${QUILL_BUILD_TYPE:-RelWithDebInfo}" \
    -DQUILL_WERROR="$werror" "${tests[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
