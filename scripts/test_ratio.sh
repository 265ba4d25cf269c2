#!/usr/bin/env bash
# Prints the C++ lines of the tests (tests/ and fuzz/) against those of the code (src/), as
# tracked by git: "tests/code: 4123 / 12034 = 0.34". Only prints; it never fails a build.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 0

cpp_lines() {
    git ls-files -z -- "$@" | grep -z -E '\.(cpp|cc|cxx|h|hpp|hxx)$' | xargs -0 -r cat | wc -l
}

tests=$(cpp_lines tests fuzz)
code=$(cpp_lines src)
if [ "${code:-0}" -gt 0 ]; then
    ratio=$(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.2f", t / c }')
else
    ratio="n/a"
fi
echo "tests/code: $tests / $code = $ratio"
