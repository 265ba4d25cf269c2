#!/usr/bin/env bash
# Crawls the sample site (examples/site) from the desktop window under a virtual X server and saves
# the window's picture as docs/window.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILL_BUILD_DIR:-$root/build}"
out="${1:-$root/docs/window.png}"

cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target quillorbane-screenshot quill_tips_file
tool=$(find "$build" -type f -name quillorbane-screenshot -perm -u+x | head -n 1)

# The site is crawled from a neutral place, so no path of this machine shows in the picture.
site=/tmp/quillorbane-sample
rm -rf "$site"
cp -r "$root/examples/site" "$site"
mkdir -p "$(dirname "$out")"
xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" \
    "$tool" "file://$site/index.html" "$out"
rm -rf "$site"
echo "Saved $out"
