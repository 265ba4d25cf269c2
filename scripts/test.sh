#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (GUI tests run headless), including the
# checks of an installation into a scratch prefix and of the two Debian packages.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh" --test
bash "$root/scripts/build.sh" --tests
export QT_QPA_PLATFORM=offscreen
cd "${QUILL_BUILD_DIR:-$root/build}"
status=0
ctest --output-on-failure -j "$(nproc)" --timeout 300 || status=$?
bash "$root/scripts/test_ratio.sh"
exit "$status"
