#!/usr/bin/env bash
# Installs the Debian packages Quillorbane needs to build, test and run, skipping those already
# present, then configures the build tree. Safe to run again; used by run.sh and test.sh.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libcurl4-openssl-dev libgumbo-dev
    qt6-base-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth fonts-dejavu-core
)

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
