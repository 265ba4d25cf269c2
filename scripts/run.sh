#!/usr/bin/env bash
# Installs what is missing, builds, and checks the sample site in examples/site with the command
# line, printing the results and writing a report file into the build directory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILL_BUILD_DIR:-$root/build}"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

report="$build/Quillorbane-sample.csv"
# A path is accepted as the start: quillorbane-cli turns it into its file: URL.
start="$root/examples/site/index.html"
echo
echo "Checking the sample site: quillorbane-cli --report $report $start"
echo
status=0
"$build/src/cli/quillorbane-cli" --report "$report" "$start" || status=$?

echo
case "$status" in
    0) echo "No broken links found." ;;
    1) echo "Broken links found, as expected: the sample site has some on purpose" \
            "(quillorbane-cli exits with 1 when it finds any)." ;;
    *) echo "quillorbane-cli failed with exit status $status." >&2
       exit "$status" ;;
esac
echo "The report file is $report"
