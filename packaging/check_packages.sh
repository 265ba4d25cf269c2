#!/usr/bin/env bash
# Builds the two Debian packages from the build tree into a scratch folder, unpacks them there and
# checks their files and declared dependencies: quillorbane-cli needs libcurl and gumbo, never Qt;
# quillorbane needs Qt and its platform plugins. Usage: check_packages.sh BUILD
set -euo pipefail
build=$(cd "$1" && pwd)
scratch="$build/package-check"
rm -rf "$scratch"
mkdir -p "$scratch/root"
if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch/debs" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    exit 1
fi

problems=0
problem() {
    echo "check_packages: $*" >&2
    problems=$((problems + 1))
}

# check_package NAME DEPENDS-PATTERN... -- FILE...: the package's Depends matches every pattern
# (a leading ! means must not match), and it holds every file.
check_package() {
    local name=$1
    shift
    local debs=("$scratch/debs/${name}_"*.deb)
    if [ ! -f "${debs[0]}" ]; then
        problem "no package $name among: $(ls "$scratch/debs")"
        return
    fi
    local deb=${debs[0]}
    [ "$(dpkg-deb -f "$deb" Package)" = "$name" ] || problem "$deb is not named $name"
    local depends
    depends=$(dpkg-deb -f "$deb" Depends)
    while [ "$1" != "--" ]; do
        case $1 in
            !*) ! grep -qE -- "${1#!}" <<<"$depends" || problem "$name depends on ${1#!}: $depends" ;;
            *) grep -qE -- "$1" <<<"$depends" || problem "$name lacks a dependency on $1: $depends" ;;
        esac
        shift
    done
    shift
    dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./||' >"$scratch/$name.files"
    for file in "$@"; do
        grep -qxF "$file" "$scratch/$name.files" || problem "$name lacks $file"
    done
    dpkg-deb -x "$deb" "$scratch/root"
}

check_package quillorbane-cli 'libcurl4' 'libgumbo' '!qt' -- \
    usr/bin/quillorbane-cli usr/share/man/man1/quillorbane-cli.1.gz \
    usr/share/bash-completion/completions/quillorbane-cli usr/share/doc/quillorbane-cli/copyright
"$scratch/root/usr/bin/quillorbane-cli" --version >/dev/null ||
    problem "the packaged quillorbane-cli does not run"

if grep -qE '^set\(CPACK_COMPONENTS_ALL .*window' "$build/CPackConfig.cmake"; then
    check_package quillorbane 'libqt6widgets6' 'qt6-qpa-plugins' 'libcurl4' -- \
        usr/bin/quillorbane usr/share/quillorbane/QuillorbaneTips.txt \
        usr/share/applications/quillorbane.desktop usr/share/metainfo/quillorbane.metainfo.xml \
        usr/share/icons/hicolor/256x256/apps/quillorbane.png usr/share/man/man1/quillorbane.1.gz \
        usr/share/doc/quillorbane/copyright
    # Both packages install side by side: no file in both.
    shared=$(comm -12 <(grep -v '/$' "$scratch/quillorbane-cli.files" | sort) \
        <(grep -v '/$' "$scratch/quillorbane.files" | sort))
    [ -z "$shared" ] || problem "files in both packages: $shared"
fi

if [ "$problems" -gt 0 ]; then
    echo "check_packages: $problems problem(s); packages in $scratch/debs" >&2
    exit 1
fi
echo "check_packages: $(cd "$scratch/debs" && echo *.deb) hold what they should"
