#!/usr/bin/env bash
# Configures (once) and builds Quillorbane into build/ with CMake and Ninja.
# Warnings are errors when CI is set, as they are in CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILL_BUILD_DIR:-$root/build}"
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${QUILL_BUILD_TYPE:-RelWithDebInfo}" \
    -DQUILL_WERROR="$werror" >/dev/null
cmake --build "$build" -j "$(nproc)"
