#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (GUI tests run headless).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "${QUILL_BUILD_DIR:-$root/build}"
status=0
ctest --output-on-failure -j "$(nproc)" --timeout 300 || status=$?
bash "$root/scripts/test_ratio.sh"
exit "$status"
