#!/usr/bin/env bash
# Installs the build tree into a scratch prefix and checks what lands there: both programs run
# from it, the window's files validate, the man pages and the README's options table name every
# option of --help, and bash completion offers the options. Usage: check_install.sh BUILD SOURCE
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
scratch="$build/install-check"
prefix="$scratch/prefix"
rm -rf "$scratch"
mkdir -p "$scratch"
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log"

problems=0
problem() {
    echo "check_install: $*" >&2
    problems=$((problems + 1))
}
expect_file() {
    [ -f "$prefix/$1" ] || problem "not installed: $1"
}

# The command line.
expect_file bin/quillorbane-cli
expect_file share/man/man1/quillorbane-cli.1.gz
expect_file share/bash-completion/completions/quillorbane-cli
expect_file share/doc/quillorbane-cli/copyright
cli="$prefix/bin/quillorbane-cli"
"$cli" --version | grep -qE '^quillorbane-cli [0-9]+\.[0-9]+\.[0-9]+$' ||
    problem "quillorbane-cli --version from the prefix says: $("$cli" --version 2>&1 | head -n 1)"

# Every option of a program's --help is in its man page; the README's table and --help name the
# same options for the command line.
# The options are the first words of the indented lines that start with a dash.
options_of() {
    "$1" --help | grep -E '^ +-' | sed -E 's/^ +//; s/  .*//' | grep -oE -- '--?[a-z][a-z-]*' |
        sort -u
}
check_man_page() {
    local program=$1 page="$prefix/share/man/man1/$1.1.gz"
    [ -f "$page" ] || return 0
    local text
    text=$(gzip -dc "$page" | sed 's/\\-/-/g')
    for option in $(options_of "$prefix/bin/$program"); do
        grep -qF -- "$option" <<<"$text" || problem "$program's man page lacks $option"
    done
}
check_man_page quillorbane-cli
readme_options=$(grep -E '^\| `-' "$source_dir/README.md" | cut -d'|' -f2 |
    grep -oE -- '--?[a-z][a-z-]*' | sort -u)
if [ "$readme_options" != "$(options_of "$cli")" ]; then
    problem "README's options table and quillorbane-cli --help differ:" \
        "$(diff <(echo "$readme_options") <(options_of "$cli") | grep '^[<>]' | tr '\n' ' ')"
fi

# Bash completion offers the options of --help.
completion_base=/usr/share/bash-completion/bash_completion
if [ -f "$completion_base" ]; then
    offered=$(PATH="$prefix/bin:$PATH" bash -c '
        source "$1"; source "$2"
        COMP_WORDS=(quillorbane-cli --max); COMP_CWORD=1
        COMP_LINE="quillorbane-cli --max"; COMP_POINT=${#COMP_LINE}
        _quillorbane_cli quillorbane-cli --max quillorbane-cli
        printf "%s\n" "${COMPREPLY[@]}"' _ "$completion_base" \
        "$prefix/share/bash-completion/completions/quillorbane-cli")
    [ "$offered" = "--max-depth" ] || problem "completion of --max offers: $offered"
else
    problem "bash-completion is not installed, cannot check the completion"
fi

# The window, when built.
if [ -f "$prefix/bin/quillorbane" ]; then
    for file in share/quillorbane/QuillorbaneTips.txt share/applications/quillorbane.desktop \
        share/metainfo/quillorbane.metainfo.xml share/man/man1/quillorbane.1.gz \
        share/doc/quillorbane/copyright share/icons/hicolor/scalable/apps/quillorbane.svg \
        share/icons/hicolor/{16x16,32x32,64x64,256x256}/apps/quillorbane.png; do
        expect_file "$file"
    done
    [ ! -e "$prefix/bin/QuillorbaneTips.txt" ] || problem "the tips file is installed in bin/"
    window="$prefix/bin/quillorbane"
    "$window" --version | grep -qE '^quillorbane [0-9]+\.[0-9]+\.[0-9]+$' ||
        problem "quillorbane --version from the prefix says: $("$window" --version 2>&1 | head -n 1)"
    check_man_page quillorbane
    for bad in "--no-such-option" "http://a.test/ http://b.test/"; do
        status=0
        # shellcheck disable=SC2086 # two URLs are two arguments
        "$window" $bad 2>"$scratch/window.err" || status=$?
        [ "$status" -eq 2 ] && grep -q '^quillorbane: ' "$scratch/window.err" ||
            problem "quillorbane $bad: exit status $status, $(head -n 1 "$scratch/window.err")"
    done
    desktop-file-validate "$prefix/share/applications/quillorbane.desktop" ||
        problem "desktop-file-validate rejects quillorbane.desktop"
    # The id is the program's name, as the desktop entry's; no reverse domain is claimed.
    appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
        "$prefix/share/metainfo/quillorbane.metainfo.xml" >"$scratch/appstream.log" 2>&1 ||
        problem "appstreamcli rejects the metainfo: $(cat "$scratch/appstream.log")"
fi

if [ "$problems" -gt 0 ]; then
    echo "check_install: $problems problem(s) in $prefix" >&2
    exit 1
fi
echo "check_install: the installation in $prefix is complete"
