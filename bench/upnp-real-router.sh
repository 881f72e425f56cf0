#!/usr/bin/env bash
# What a whole parlowen-check run costs against real router software:
# Debian's miniupnpd, in the namespaces of tests/support/in-router-network,
# with parlowen-simulator in the router namespace as the log page (port 80)
# and the provider (port 8080). Four ways to the address, each against a
# router of its own:
#
#   the log has the WAN line   the helper is never run
#   NAT-PMP answers            no WAN line, no gateway remembered: the
#                              helper's first question
#   the remembered gateway     no WAN line, NAT-PMP off; the state file
#                              holds the gateway of a first, untimed run
#   the search                 no WAN line, NAT-PMP off, the state file
#                              deleted before each run: SSDP finds it
#
# Every run of a way must print that way's address line, or the script
# fails. Prints a Markdown table of the exit statuses, the median wall time
# and median peak RSS of parlowen-check (the helper is its child, and
# smaller), and each median as a multiple of the log line's; then whether
# the targets are met. Needs root, miniupnpd and a build with
# parlowen-check, parlowen-upnp, parlowen-simulator and parlowen-stun.
#
#   bench/upnp-real-router.sh [--build-dir DIR] [--runs N] [--keep DIR]
#
#   --keep DIR   leave each way's check output, miniupnpd log and simulator
#                log in DIR
set -euo pipefail
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
cd "$(dirname "$0")/.."
# shellcheck source=bench/lib/runs.sh
. bench/lib/runs.sh

readonly Wan=203.0.113.7
readonly LogLine="WAN address: \"$Wan\""
readonly NatPmpLine="NAT-PMP: WAN address \"$Wan\""
readonly RememberedLine="UPnP: WAN address \"$Wan\", from the gateway of last time"
readonly SearchLine="UPnP: WAN address \"$Wan\""

# In the client namespace (run there by in-router-network): times one way
# and writes "STATUSES WALL RSS" to RESULT.
#   --in-client BUILD_DIR RUNS FOLDER STATE LINE RESULT
# STATE: fresh (no state file), remembered (kept from the first run) or
# forgotten (deleted before each run).
if [ "${1:-}" = --in-client ]; then
    build_dir=$2 runs=$3 folder=$4 state=$5 line=$6 result=$7
    check=("$build_dir/bin/parlowen-check" --settings "$folder/Settings.ini")
    state_file=$folder/parlowen-check.state
    forget() { rm -f "$state_file"; }
    forget
    # The first run is not timed: it shows the way works, warms the caches
    # and, for the remembered gateway, writes it down.
    first=$folder/first.out
    "${check[@]}" >"$first" 2>&1 || { echo "upnp-real-router: the first check failed:" >&2; cat "$first" >&2; exit 1; }
    expected=$line
    [ "$state" != remembered ] || expected=$SearchLine
    grep -qFx -- "$expected" "$first" || { echo "upnp-real-router: the first check did not print '$expected':" >&2; cat "$first" >&2; exit 1; }
    if [ "$state" = remembered ]; then
        grep -q '^gateway=' "$state_file" || { echo "upnp-real-router: the first check remembered no gateway" >&2; exit 1; }
    fi
    prepare=true
    [ "$state" != forgotten ] || prepare=forget
    output=$folder/runs.out
    : >"$output"
    time_runs "$runs" "$output" "$prepare" "${check[@]}"
    found=$(grep -cFx -- "$line" "$output" || true)
    if [ "$found" -ne "$runs" ]; then
        echo "upnp-real-router: '$line' in $found of $runs runs; their output is in $output" >&2
        exit 1
    fi
    echo "$(statuses_seen) $(medians)" >"$result"
    exit 0
fi

build_dir=build
runs=15
keep=''
while [ $# -gt 0 ]; do
    case "$1" in
    --build-dir) build_dir=$2; shift ;;
    --runs) runs=$2; shift ;;
    --keep) keep=$2; shift ;;
    -h | --help) sed -n '2,/^set -e/s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "upnp-real-router: unknown option $1 (try --help)" >&2; exit 3 ;;
    esac
    shift
done
build_dir=$(cd "$build_dir" && pwd)
for program in parlowen-check parlowen-upnp parlowen-simulator parlowen-stun; do
    [ -x "$build_dir/bin/$program" ] || { echo "upnp-real-router: no $build_dir/bin/$program: build it first" >&2; exit 1; }
done
[ -z "$keep" ] || mkdir -p "$keep"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
router_network=$PWD/tests/support/in-router-network

# name|in-router-network options|simulator options|state|line
ways=(
    "the log has the WAN line|||fresh|$LogLine"
    "no WAN line, NAT-PMP answers||--no-wan-line|fresh|$NatPmpLine"
    "no WAN line, no NAT-PMP, the remembered gateway|--no-natpmp|--no-wan-line|remembered|$RememberedLine"
    "no WAN line, no NAT-PMP, the search|--no-natpmp|--no-wan-line|forgotten|$SearchLine"
)
rows=()
for i in "${!ways[@]}"; do
    IFS='|' read -r name options simulator_options state line <<<"${ways[$i]}"
    folder=$work/way-$((i + 1))
    mkdir -m 700 "$folder"
    printf '[Router settings]\nPassword=admin\nIP=192.168.77.1\n[DNS settings]\nService URL=http://192.168.77.1:8080/dyn.asp\nUser=u\nPassword=p\nHost=home.example.net\n' \
        >"$folder/Settings.ini"
    simulator="exec '$build_dir/bin/parlowen-simulator' --listen 192.168.77.1 --router-port 80 --quiet"
    simulator+=" $simulator_options 2>'$folder/simulator.log'"
    echo "upnp-real-router: $name, $runs runs" >&2
    # shellcheck disable=SC2086 # the options are words
    "$router_network" $options --stun "$build_dir/bin/parlowen-stun" --router-log "$folder/miniupnpd.log" \
        --in-router "$simulator" --await-port 80 --await-port 8080 \
        -- "$self" --in-client "$build_dir" "$runs" "$folder" "$state" "$line" "$folder/result" &
    network=$!
    status=0
    wait "$network" || status=$?
    # in-router-network names its namespaces after its process.
    if ip netns list | grep -q "^parlowen-$network-"; then
        echo "upnp-real-router: in-router-network left namespaces behind: $(ip netns list | grep "^parlowen-$network-")" >&2
        exit 1
    fi
    [ -z "$keep" ] || cp -r "$folder" "$keep/way-$((i + 1))"
    case "$status" in
    0) ;;
    77) echo "upnp-real-router: skipped, in-router-network cannot make its router here" >&2; exit 77 ;;
    *) echo "upnp-real-router: '$name' failed ($status)" >&2; exit 1 ;;
    esac
    rows+=("$name|$(cat "$folder/result")")
done

read -r _ base_wall base_rss <<<"${rows[0]#*|}"
echo "| way | exit | wall (s) | peak RSS (MB) | wall ÷ log line | RSS ÷ log line |"
echo "|---|---|---|---|---|---|"
walls=()
for row in "${rows[@]}"; do
    read -r statuses wall rss <<<"${row#*|}"
    walls+=("$wall")
    printf '| %s | %s | %.3f | %s | %.2f | %.2f |\n' "${row%%|*}" "$statuses" "$wall" "$rss" \
        "$(awk -v a="$wall" -v b="$base_wall" 'BEGIN { print a / b }')" \
        "$(awk -v a="$rss" -v b="$base_rss" 'BEGIN { print a / b }')"
done
verdict() { awk -v a="$1" -v b="$2" 'BEGIN { print (a <= b ? "met" : "missed") }'; }
limit=$(awk -v b="$base_wall" 'BEGIN { print 1.5 * b }')
echo
echo "NAT-PMP at most 1.5x the log line ($(printf '%.3f' "$limit") s): $(verdict "${walls[1]}" "$limit")."
echo "The remembered gateway at most 1.5x the log line: $(verdict "${walls[2]}" "$limit")."
echo "The search under 0.5 s: $(awk -v a="${walls[3]}" 'BEGIN { print (a < 0.5 ? "met" : "missed") }')."
