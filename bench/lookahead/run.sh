#!/usr/bin/env bash
# Times quillorbane-cli on generated loopback sites (quill-bench-site), with and without the
# look-ahead, against the network bound and against linkinator as a reference checker, and checks
# each run's broken URLs against the ground truth. In one run: the 1,000-page site at 20 ms against
# linkinator, the big sites at 5 ms (20,000 and 100,000 pages), a chain of pages on disk each
# linking only to the next (100,000 deep), and a page with 20 links to a loopback port that never
# answers and 10 to refused ports (--timeout 5). Each row: wall time, peak RSS, requests, the
# network bound (requests x latency / connections per host) and the broken URLs against the truth.
#
#   bench/lookahead/run.sh [--quick] [--latency MS] [--seed S] [--large N] [--small N]
#                          [--big "N ..."] [--chain N] [--build-dir DIR] [--no-build] [--cli PATH]
#                          [--no-linkinator]
#
#   --quick          a few minutes: big sites of 2,000 and 10,000 pages, a chain 10,000 deep, and
#                    no sequential (no look-ahead) run on the small site, which takes minutes:
#                    every request that has not answered at the first reading of its wait costs a
#                    whole second
#   --latency MS     latency the site adds to every request of the 1,000 and small sites
#                    (default 20)
#   --seed S         seed of the generated sites (default 1)
#   --large N        pages of the site timed against linkinator (default 1000)
#   --small N        pages of the small site (default 100)
#   --big "N ..."    pages of the big sites, at 5 ms (default "20000 100000"; "" for none)
#   --chain N        depth of the chain on disk (default 100000; 0 for none)
#   --build-dir DIR  Release build tree (default build-bench in the repository)
#   --no-build       use the binaries already in the build tree
#   --cli PATH       time this quillorbane-cli instead of the one built here (e.g. an older build)
#   --no-linkinator  do not install or run the reference checker
#
# Results (reports, logs, truth files, differences) go to <build-dir>/bench-lookahead/.
# Every request goes to 127.0.0.1; proxies are switched off for the runs.
set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$script_dir/../.." && pwd)

quick=0
latency=20
seed=1
large_pages=1000
small_pages=100
big_sizes="20000 100000"
big_latency=5
chain_depth=100000
dead_timeout=5
build_dir="$repo/build-bench"
do_build=1
use_linkinator=1
cli_override=""
# Requests linkinator keeps in flight.
linkinator_concurrency=128
# Look-ahead limits passed to quillorbane-cli. All requests of a run go to one host, so the
# per-host limit is what bounds the concurrency: it is linkinator's, so that both checkers keep as
# many requests in flight (quillorbane-cli's own default is 32 a host).
connections=128
connections_per_host=$linkinator_concurrency
# linkinator 7 needs node 20; 6.1 runs on node 18 and also checks fragments.
linkinator_version_node20=7.6.1
linkinator_version_node18=6.1.4

usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }

need_value() {
    if [ $# -lt 2 ] || [ -z "$2" ]; then
        echo "run.sh: $1 needs a value" >&2
        exit 2
    fi
}
need_number() {
    if ! [[ $2 =~ ^[0-9]+$ ]]; then
        echo "run.sh: $1 needs a whole number, got '$2'" >&2
        exit 2
    fi
}

while [ $# -gt 0 ]; do
    case "$1" in
        --quick) quick=1; big_sizes="2000 10000"; chain_depth=10000 ;;
        --big) need_value "$@"; big_sizes=$2; shift ;;
        --chain) need_value "$@"; need_number "$1" "$2"; chain_depth=$2; shift ;;
        --latency) need_value "$@"; need_number "$1" "$2"; latency=$2; shift ;;
        --seed) need_value "$@"; need_number "$1" "$2"; seed=$2; shift ;;
        --large) need_value "$@"; need_number "$1" "$2"; large_pages=$2; shift ;;
        --small) need_value "$@"; need_number "$1" "$2"; small_pages=$2; shift ;;
        --build-dir) need_value "$@"; build_dir=$2; shift ;;
        --no-build) do_build=0 ;;
        --cli) need_value "$@"; cli_override=$2; shift ;;
        --no-linkinator) use_linkinator=0 ;;
        -h|--help) usage; exit 0 ;;
        *) echo "run.sh: unknown option '$1' (see --help)" >&2; exit 2 ;;
    esac
    shift
done

mkdir -p "$build_dir"
build_dir=$(cd "$build_dir" && pwd)
results="$build_dir/bench-lookahead"
rm -rf "$results"
mkdir -p "$results"

# Only loopback is ever reached: no proxy may redirect a request elsewhere.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost

say() { printf '%s\n' "$*" >&2; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        return 1
    fi
}

apt_install() {
    say "== installing $* (Debian)"
    export DEBIAN_FRONTEND=noninteractive
    as_root apt-get update -q >/dev/null && as_root apt-get install -y -q --no-install-recommends "$@" >/dev/null
}

# ---------------------------------------------------------------------------------------------
# Tools

command -v curl >/dev/null || apt_install curl || { say "run.sh: curl is needed"; exit 1; }

# Peak memory comes from GNU time; without it, from polling VmHWM in /proc.
gnu_time=""
if [ ! -x /usr/bin/time ]; then
    apt_install time || true
fi
if /usr/bin/time -f '%M' -o /dev/null true 2>/dev/null; then
    gnu_time=/usr/bin/time
else
    say "run.sh: GNU time not available; peak memory is sampled from /proc"
fi

site_bin="$build_dir/bench/lookahead/quill-bench-site"
cli_bin="$build_dir/src/cli/quillorbane-cli"

if [ "$do_build" -eq 1 ]; then
    say "== building Release in $build_dir"
    cmake -S "$repo" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >"$results/cmake.log" 2>&1 ||
        { say "run.sh: cmake failed, see $results/cmake.log"; exit 1; }
    cmake --build "$build_dir" --target quill-bench-site -j2 >"$results/build-site.log" 2>&1 ||
        { say "run.sh: quill-bench-site did not build, see $results/build-site.log"; exit 1; }
    if [ -z "$cli_override" ] &&
        ! cmake --build "$build_dir" --target quillorbane-cli -j2 >"$results/build-cli.log" 2>&1; then
        say "run.sh: quillorbane-cli did not build (see $results/build-cli.log); its runs are skipped"
        rm -f "$cli_bin"
    fi
fi
[ -x "$site_bin" ] || { say "run.sh: no $site_bin"; exit 1; }
if [ -n "$cli_override" ]; then
    [ -x "$cli_override" ] || { say "run.sh: --cli $cli_override is not an executable"; exit 2; }
    cli_bin=$cli_override
fi

have_cli=0
have_lookahead=0
if [ -x "$cli_bin" ]; then
    have_cli=1
    # Read to the end: a grep that stops at the first match closes the pipe under pipefail.
    if "$cli_bin" --help 2>/dev/null | grep -- --no-lookahead >/dev/null; then
        have_lookahead=1
    fi
fi

linkinator=""
if [ "$use_linkinator" -eq 1 ]; then
    if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
        apt_install nodejs npm || true
    fi
    if command -v node >/dev/null && command -v npm >/dev/null; then
        node_major=$(node -p 'process.versions.node.split(".")[0]')
        if [ "$node_major" -ge 20 ]; then
            want=$linkinator_version_node20
        else
            want=$linkinator_version_node18
        fi
        npm_dir="$build_dir/npm"
        have=$(node -p "require('$npm_dir/node_modules/linkinator/package.json').version" 2>/dev/null || true)
        if [ "$have" != "$want" ]; then
            say "== installing linkinator@$want from the npm registry into $npm_dir"
            mkdir -p "$npm_dir"
            npm install --prefix "$npm_dir" --no-audit --no-fund --loglevel=error \
                "linkinator@$want" >"$results/npm.log" 2>&1 ||
                say "run.sh: npm install failed (see $results/npm.log)"
        fi
        if [ -x "$npm_dir/node_modules/.bin/linkinator" ]; then
            linkinator="$npm_dir/node_modules/.bin/linkinator"
        fi
    fi
    [ -n "$linkinator" ] || say "run.sh: linkinator not available; its runs are skipped"
fi

# ---------------------------------------------------------------------------------------------
# The site

site_pid=""
site_port=""
stop_site() {
    if [ -n "$site_pid" ]; then
        kill "$site_pid" 2>/dev/null || true
        wait "$site_pid" 2>/dev/null || true
        site_pid=""
    fi
}
trap stop_site EXIT

# start_site NAME PAGES [LATENCY]: a fresh server per run, so each run's counts and peaks are its
# own.
start_site() {
    local name=$1 pages=$2 tries
    run_latency=${3:-$latency}
    stop_site
    rm -f "$results/$name.port"
    "$site_bin" --pages "$pages" --latency "$run_latency" --seed "$seed" \
        --truth "$results/$name.truth" --manifest "$results/$name.manifest" \
        --port-file "$results/$name.port" >/dev/null 2>"$results/$name.site.log" &
    site_pid=$!
    for ((tries = 0; tries < 300; tries++)); do
        [ -s "$results/$name.port" ] && break
        kill -0 "$site_pid" 2>/dev/null || { say "run.sh: the site did not start:"; cat "$results/$name.site.log" >&2; exit 1; }
        sleep 0.1
    done
    [ -s "$results/$name.port" ] || { say "run.sh: the site did not report its port"; exit 1; }
    site_port=$(cat "$results/$name.port")
}

# stat_value FILE KEY
stat_value() { awk -v k="$2" '$1 == k { print $2 }' "$1"; }
fetch_stats() {
    curl -s --noproxy '*' --max-time 10 "http://127.0.0.1:$site_port/__stats" >"$1"
}

# ---------------------------------------------------------------------------------------------
# Measuring and comparing

rows=()
# Each run's figures by its name, for the goals.
declare -A run_wall run_peak_mb run_equal
note_run() {
    run_wall[$1]=$wall
    run_peak_mb[$1]=$((peak_kb / 1024))
    run_equal[$1]=$([[ $verdict == equal* && $verdict != *exit* ]] && echo 1 || echo 0)
}

# measure NAME CMD...: runs CMD, leaves wall seconds and peak KB in $wall and $peak_kb, and the
# exit status in $status.
measure() {
    local name=$1
    shift
    local timing="$results/$name.time"
    if [ -n "$gnu_time" ]; then
        set +e
        "$gnu_time" -f '%e %M' -o "$timing" "$@"
        status=$?
        set -e
        read -r wall peak_kb < <(tail -n 1 "$timing")
    else
        local start end hwm=0 pid v
        start=$(date +%s.%N)
        "$@" &
        pid=$!
        while kill -0 "$pid" 2>/dev/null; do
            v=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
            if [ -n "$v" ] && [ "$v" -gt "$hwm" ]; then
                hwm=$v
            fi
            sleep 0.2
        done
        set +e
        wait "$pid"
        status=$?
        set -e
        end=$(date +%s.%N)
        wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
        peak_kb="$hwm"
    fi
}

# compare_broken NAME FOUND TRUTH MANIFEST: sets $verdict; writes NAME.missed / NAME.extra.
compare_broken() {
    local name=$1 found=$2 truth=$3 manifest=$4
    sort -u "$found" -o "$found"
    sort -u "$truth" -o "$truth"
    comm -13 "$found" "$truth" >"$results/$name.missed"
    comm -23 "$found" "$truth" >"$results/$name.extra"
    local missed extra
    missed=$(wc -l <"$results/$name.missed")
    extra=$(wc -l <"$results/$name.extra")
    if [ "$missed" -eq 0 ] && [ "$extra" -eq 0 ]; then
        verdict="equal ($(wc -l <"$truth"))"
    else
        verdict="differs: $missed missed, $extra extra"
        if [ "$missed" -gt 0 ]; then
            say "   missed, by kind: $(awk -F'\t' 'NR == FNR { kind[$2] = $1; next } { n[kind[$0] == "" ? "?" : kind[$0]]++ } END { for (k in n) printf "%s %d  ", k, n[k] }' "$manifest" "$results/$name.missed")"
            head -n 3 "$results/$name.missed" | sed 's/^/     e.g. /' >&2
        fi
        if [ "$extra" -gt 0 ]; then
            head -n 3 "$results/$name.extra" | sed 's/^/   extra: /' >&2
        fi
    fi
}

# network_bound REQUESTS CONNECTIONS: seconds the requests need at least, latency alone.
network_bound() { awk -v r="$1" -v l="${3:-$latency}" -v c="$2" 'BEGIN { printf "%.1f", r * l / 1000 / c }'; }

# add_row RUN PAGES NAME CONNS
add_row() {
    local run=$1 pages=$2 name=$3 conns=$4
    local s="$results/$name.stats"
    local get head total bound
    note_run "$name"
    get=$(stat_value "$s" GET)
    head=$(stat_value "$s" HEAD)
    total=$(stat_value "$s" requests)
    bound=$(network_bound "$total" "$conns" "$run_latency")
    say "   wall ${wall} s, peak $((peak_kb / 1024)) MB, requests $total (GET $get, HEAD $head)," \
        "connections $(stat_value "$s" connections), peak in flight $(stat_value "$s" in_flight_peak)," \
        "network bound ${bound} s at $conns connection(s); broken URLs vs truth: $verdict"
    rows+=("$(printf '%-28s|%6s|%8s|%8s|%9s|%6s|%6s|%7s|%8s|%s' "$run" "$pages" "$wall" \
        "$((peak_kb / 1024))" "$total" "$get" "$head" "$(stat_value "$s" in_flight_peak)" \
        "$bound" "$verdict")")
}

# run_quillorbane NAME PAGES MODE(lookahead|sequential) [LATENCY]
run_quillorbane() {
    local name=$1 pages=$2 mode=$3 site_latency=${4:-$latency}
    local args=(--no-external --report "$results/$name.report")
    local conns=1 label
    if [ "$mode" = lookahead ]; then
        args+=(--connections "$connections" --connections-per-host "$connections_per_host")
        conns=$((connections < connections_per_host ? connections : connections_per_host))
        label="quillorbane look-ahead"
    else
        if [ "$have_lookahead" -eq 1 ]; then
            args+=(--no-lookahead)
        fi
        label="quillorbane sequential"
    fi
    start_site "$name" "$pages" "$site_latency"
    label="$label, $site_latency ms"
    say "== $label, $pages pages: quillorbane-cli ${args[*]} http://127.0.0.1:$site_port/"
    fetch_stats "$results/$name.stats.before"
    measure "$name" "$cli_bin" "${args[@]}" "http://127.0.0.1:$site_port/" \
        >"$results/$name.out" 2>"$results/$name.err"
    fetch_stats "$results/$name.stats"
    stop_site
    if [ "$status" -ne 0 ] && [ "$status" -ne 1 ]; then
        say "   quillorbane-cli exited with $status (see $results/$name.err)"
    fi
    tr -d '\r' <"$results/$name.report" 2>/dev/null |
        sed -n 's/^"broken",-\{0,1\}[0-9]*,"\([^"]*\)",.*$/\1/p' >"$results/$name.broken" || true
    compare_broken "$name" "$results/$name.broken" "$results/$name.truth" "$results/$name.manifest"
    if [ "$status" -ne 0 ] && [ "$status" -ne 1 ]; then
        verdict="$verdict; exit $status"
    fi
    add_row "$label" "$pages" "$name" "$conns"
}

# run_linkinator NAME PAGES
run_linkinator() {
    local name=$1 pages=$2
    start_site "$name" "$pages" "$latency"
    local args=("http://127.0.0.1:$site_port/" --recurse --check-fragments --format json
                --concurrency "$linkinator_concurrency" --skip '^(?!http://127\.0\.0\.1:)')
    say "== linkinator, $pages pages: linkinator ${args[*]}"
    fetch_stats "$results/$name.stats.before"
    measure "$name" "$linkinator" "${args[@]}" >"$results/$name.json" 2>"$results/$name.err"
    fetch_stats "$results/$name.stats"
    stop_site
    # linkinator exits 1 when it found broken links.
    node -e '
        const links = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8")).links;
        const broken = new Set(links.filter(l => l.state === "BROKEN").map(l => l.url));
        process.stdout.write([...broken].join("\n") + (broken.size ? "\n" : ""));
    ' "$results/$name.json" >"$results/$name.broken" ||
        say "   linkinator wrote no JSON (exit $status, see $results/$name.err)"
    # linkinator names a link to a fragment of a missing page by the page alone; the truth names it
    # with its fragment. Only that reporting difference is normalised.
    awk -F'\t' '{ url = $2; if ($1 == "fragment-of-missing-page") sub(/#.*/, "", url); print url }' \
        "$results/$name.manifest" | sort -u >"$results/$name.truth-normalised"
    awk -F'\t' '{ url = $2; if ($1 == "fragment-of-missing-page") { sub(/#.*/, "", url); $1 = "missing-page" } print $1 "\t" url }' \
        OFS='\t' "$results/$name.manifest" >"$results/$name.manifest-normalised"
    compare_broken "$name" "$results/$name.broken" "$results/$name.truth-normalised" \
        "$results/$name.manifest-normalised"
    add_row "linkinator, $latency ms" "$pages" "$name" "$linkinator_concurrency"
}

# add_plain_row RUN PAGES REQUESTS BOUND NAME: a row for a run without the site's counts.
add_plain_row() {
    note_run "$5"
    say "   wall ${wall} s, peak $((peak_kb / 1024)) MB, requests $3, network bound $4; broken URLs vs truth: $verdict"
    rows+=("$(printf '%-28s|%6s|%8s|%8s|%9s|%6s|%6s|%7s|%8s|%s' "$1" "$2" "$wall" \
        "$((peak_kb / 1024))" "$3" "" "" "" "$4" "$verdict")")
}

# report_broken NAME: the broken URLs of NAME.report into NAME.broken.
report_broken() {
    tr -d '\r' <"$results/$1.report" 2>/dev/null |
        sed -n 's/^"broken",-\{0,1\}[0-9]*,"\([^"]*\)",.*$/\1/p' >"$results/$1.broken" || true
}

# run_chain DEPTH: pages on disk, each linking only to the next; the last links to one missing.
run_chain() {
    local depth=$1 name=chain
    local dir="$results/chain"
    mkdir -p "$dir"
    awk -v n="$depth" -v d="$dir" 'BEGIN {
        for (i = 1; i <= n; i++) { f = d "/p" i ".html"; printf "<a href=p%d.html>next</a>\n", i + 1 > f; close(f) }
    }'
    printf 'file://%s/p%d.html\n' "$dir" $((depth + 1)) >"$results/$name.truth"
    say "== quillorbane look-ahead, chain $depth deep on disk: quillorbane-cli --report ... $dir/p1.html"
    measure "$name" "$cli_bin" --report "$results/$name.report" "$dir/p1.html" \
        >"$results/$name.out" 2>"$results/$name.err"
    report_broken "$name"
    compare_broken "$name" "$results/$name.broken" "$results/$name.truth" /dev/null
    [ "$status" -le 1 ] || verdict="$verdict; exit $status"
    add_plain_row "quillorbane chain on disk" "$depth" "$(tr -d '\r' <"$results/$name.report" 2>/dev/null | grep -c '^"' || true)" "disk" "$name"
    rm -rf "$dir"
}

# run_dead: one page on disk with 20 links to a loopback port that accepts and never answers and
# 10 to ports where nothing listens, checked with --timeout $dead_timeout.
run_dead() {
    local name=dead dir="$results/dead" i port
    mkdir -p "$dir"
    python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(128)
print(s.getsockname()[1], flush=True)
held = []
while True:
    held.append(s.accept()[0])
' >"$results/$name.port" &
    local silent_pid=$!
    for ((i = 0; i < 50; i++)); do [ -s "$results/$name.port" ] && break; sleep 0.1; done
    local silent_port
    silent_port=$(head -n 1 "$results/$name.port")
    : >"$results/$name.truth"
    {
        echo "<title>Dead links</title>"
        for ((i = 1; i <= 20; i++)); do
            echo "<a href=http://127.0.0.1:$silent_port/silent$i.html>silent</a>"
            echo "http://127.0.0.1:$silent_port/silent$i.html" >>"$results/$name.truth"
        done
        local refused=0
        for ((port = 20000 + RANDOM % 20000; refused < 10; port++)); do
            if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
                echo "<a href=http://127.0.0.1:$port/refused.html>refused</a>"
                echo "http://127.0.0.1:$port/refused.html" >>"$results/$name.truth"
                refused=$((refused + 1))
            fi
        done
    } >"$dir/index.html"
    say "== quillorbane look-ahead, 30 dead links: quillorbane-cli --timeout $dead_timeout --report ... $dir/index.html"
    measure "$name" "$cli_bin" --timeout "$dead_timeout" --report "$results/$name.report" \
        "$dir/index.html" >"$results/$name.out" 2>"$results/$name.err"
    kill "$silent_pid" 2>/dev/null || true
    wait "$silent_pid" 2>/dev/null || true
    report_broken "$name"
    compare_broken "$name" "$results/$name.broken" "$results/$name.truth" /dev/null
    [ "$status" -le 1 ] || verdict="$verdict; exit $status"
    add_plain_row "quillorbane 30 dead links" 1 30 "time-out ${dead_timeout} s" "$name"
}

# same_verdicts A B: whether two reports hold the same records, times aside.
same_verdicts() {
    local a="$results/$1.report" b="$results/$2.report"
    [ -s "$a" ] && [ -s "$b" ] || { echo "n/a"; return; }
    # Each run had its own server, so the port is set aside too.
    local strip='s/^\("[a-z]*"\),-\{0,1\}[0-9]*,/\1,/; s|http://127\.0\.0\.1:[0-9]*/|ORIGIN/|g'
    if cmp -s <(tr -d '\r' <"$a" | sed "$strip") <(tr -d '\r' <"$b" | sed "$strip"); then
        echo "identical records in the same order"
    elif cmp -s <(tr -d '\r' <"$a" | sed "$strip" | sort) <(tr -d '\r' <"$b" | sed "$strip" | sort); then
        echo "same records, in another order"
    else
        echo "DIFFERENT records (diff $a $b)"
    fi
}

# ---------------------------------------------------------------------------------------------
# The runs

say "== latency $latency ms, seed $seed; quillorbane-cli: $([ $have_cli -eq 1 ] && echo built || echo missing)," \
    "look-ahead: $([ $have_lookahead -eq 1 ] && echo yes || echo no); linkinator: ${linkinator:-none}"

if [ "$have_cli" -eq 1 ] && [ "$have_lookahead" -eq 1 ]; then
    run_quillorbane large-lookahead "$large_pages" lookahead
elif [ "$have_cli" -eq 1 ]; then
    say "== quillorbane-cli has no look-ahead yet: the $large_pages-page run is skipped"
fi
if [ -n "$linkinator" ]; then
    run_linkinator large-linkinator "$large_pages"
fi

if [ "$have_cli" -eq 1 ] && [ "$have_lookahead" -eq 1 ]; then
    for pages in $big_sizes; do
        run_quillorbane "big-$pages" "$pages" lookahead "$big_latency"
    done
    if [ "$chain_depth" -gt 0 ]; then
        run_chain "$chain_depth"
    fi
    run_dead
    run_quillorbane small-lookahead "$small_pages" lookahead
fi
if [ "$have_cli" -eq 1 ]; then
    if [ "$quick" -eq 1 ]; then
        say "== --quick: the sequential quillorbane run on $small_pages pages is skipped"
    else
        run_quillorbane small-sequential "$small_pages" sequential
    fi
fi
if [ -n "$linkinator" ]; then
    run_linkinator small-linkinator "$small_pages"
fi

echo
echo "latency $latency ms per request, seed $seed; results in $results"
printf '%-28s|%6s|%8s|%8s|%9s|%6s|%6s|%7s|%8s|%s\n' run pages "wall s" "peak MB" requests GET HEAD \
    "in fl." "bound s" "broken URLs vs truth"
printf '%s\n' "----------------------------+------+--------+--------+---------+------+------+-------+--------+---------------------"
for row in "${rows[@]}"; do
    echo "$row"
done
big_first=${big_sizes%% *}
big_last=${big_sizes##* }
if [ -n "$big_sizes" ] && [ "$big_first" != "$big_last" ] &&
    [ -s "$results/big-$big_first.time" ] && [ -s "$results/big-$big_last.time" ]; then
    # GNU time puts "Command exited with non-zero status" above the figures when links are broken.
    echo "time per page at $big_last pages / at $big_first pages: $(awk -v a="$(tail -n 1 "$results/big-$big_first.time" | cut -d' ' -f1)" \
        -v b="$(tail -n 1 "$results/big-$big_last.time" | cut -d' ' -f1)" -v m="$big_first" -v n="$big_last" \
        'BEGIN { printf "%.2f", (b / n) / (a / m) }')"
fi
if [ -s "$results/small-lookahead.report" ] && [ -s "$results/small-sequential.report" ]; then
    echo "look-ahead vs sequential report, $small_pages pages: $(same_verdicts small-lookahead small-sequential)"
fi
# The issue's goals, for the runs that were made at the sizes they name.
at_most() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }
goal() {
    local text=$1 figures=$2
    shift 2
    if "$@"; then
        printf '  met      %s (%s)\n' "$text" "$figures"
    else
        printf '  NOT MET  %s (%s)\n' "$text" "$figures"
    fi
}
big_goal() {
    local pages=$1 limit=$2 name="big-$1"
    [ -n "${run_wall[$name]:-}" ] || return 0
    goal "$pages pages: complete, broken URLs equal the truth, at most $limit MB" \
        "${run_wall[$name]} s, ${run_peak_mb[$name]} MB" \
        test "${run_equal[$name]}" -eq 1 -a "${run_peak_mb[$name]}" -le "$limit"
}
echo
echo "goals:"
big_goal 20000 300
big_goal 100000 400
if [ -n "${run_wall[big-20000]:-}" ] && [ -n "${run_wall[big-100000]:-}" ]; then
    ratio=$(awk -v a="${run_wall[big-20000]}" -v b="${run_wall[big-100000]}" 'BEGIN { printf "%.2f", (b / 100000) / (a / 20000) }')
    goal "time per page at 100,000 pages at most 1.25 times that at 20,000" "$ratio" at_most "$ratio" 1.25
fi
if [ "$chain_depth" -ge 100000 ] && [ -n "${run_wall[chain]:-}" ]; then
    goal "chain $chain_depth deep: under 30 s, at most 256 MB" "${run_wall[chain]} s, ${run_peak_mb[chain]} MB" \
        test "${run_equal[chain]}" -eq 1 -a "${run_peak_mb[chain]}" -le 256 -a "${run_wall[chain]%.*}" -lt 30
fi
if [ -n "${run_wall[large-lookahead]:-}" ] && [ -n "${run_wall[large-linkinator]:-}" ]; then
    half=$(awk -v l="${run_wall[large-linkinator]}" 'BEGIN { printf "%.2f", l / 2 }')
    goal "$large_pages pages at $latency ms: at most half linkinator's time, under 100 MB" \
        "${run_wall[large-lookahead]} s against ${run_wall[large-linkinator]} s, ${run_peak_mb[large-lookahead]} MB" \
        eval 'at_most "${run_wall[large-lookahead]}" "$half" && [ "${run_equal[large-lookahead]}" -eq 1 ] && [ "${run_peak_mb[large-lookahead]}" -lt 100 ]'
fi
if [ -n "${run_wall[dead]:-}" ]; then
    goal "30 dead links, --timeout $dead_timeout: within 15 s" "${run_wall[dead]} s" \
        eval 'at_most "${run_wall[dead]}" 15 && [ "${run_equal[dead]}" -eq 1 ]'
fi
echo
echo "bound s = requests x latency / connections (look-ahead: min(--connections $connections," \
    "--connections-per-host $connections_per_host), one host; sequential: 1; linkinator: --concurrency $linkinator_concurrency)."
echo "in fl. = most requests the site served at once. linkinator's truth is normalised only in naming a"
echo "link to a fragment of a missing page by the page alone, as linkinator reports it."
