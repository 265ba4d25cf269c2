#!/usr/bin/env bash
# Installs what is missing, builds, and makes the two Debian packages in build/packages/:
# quillorbane-cli (the command line; no Qt) and quillorbane (the window). Install them with
#   sudo apt-get install ./build/packages/*.deb
# (apt-get takes a file for a package when its name holds a slash).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILL_BUILD_DIR:-$root/build}"

bash "$root/scripts/setup.sh" --package
bash "$root/scripts/build.sh"
cpack --config "$build/CPackConfig.cmake" -B "$build/packages" >"$build/cpack.log" ||
    { cat "$build/cpack.log" >&2; exit 1; }
echo "Packages:"
ls -1 "$build/packages/"*.deb
echo "Install them with: sudo apt-get install $build/packages/*.deb"
