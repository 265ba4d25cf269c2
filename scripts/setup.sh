#!/usr/bin/env bash
# Installs the Debian packages Quillorbane needs, skipping those already present. Safe to run
# again; used by run.sh, test.sh and package.sh.
#   setup.sh            what building and running need
#   setup.sh --test     that, and what the tests, benchmarks and install checks need
#   setup.sh --package  that, and what building the Debian packages needs
set -euo pipefail

# Building and running: compiler and build tools, libcurl, zlib, gumbo, nlohmann-json, Qt (with its
# platform plugins), and help2man, which writes the man pages from each program's --help.
packages=(
    cmake ninja-build g++ pkg-config
    libcurl4-openssl-dev zlib1g-dev libgumbo-dev nlohmann-json3-dev
    qt6-base-dev
    help2man
)
# The Debian packages: dpkg-shlibdeps (dpkg-dev) and file find the libraries the programs link.
package_packages=(dpkg-dev file)
# The tests: GoogleTest, Google Benchmark, a virtual X server and a font for the window's
# pictures, and the validators and tools of the install and package checks.
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth fonts-dejavu-core
    desktop-file-utils appstream bash-completion
    "${package_packages[@]}"
)

case "${1:-}" in
    "") ;;
    --test) packages+=("${test_packages[@]}") ;;
    --package) packages+=("${package_packages[@]}") ;;
    *) echo "usage: setup.sh [--test | --package]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
