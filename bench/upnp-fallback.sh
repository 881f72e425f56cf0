#!/usr/bin/env bash
# What the UPnP fallback costs a whole parlowen-check run: a log page with
# the WAN line (UPnP not asked), one without it and a gateway that answers,
# and one without it on a network where nothing answers. Everything runs in
# a private network namespace whose loopback carries multicast: SSDP never
# reaches a real network. Prints a Markdown table of median wall time and
# median peak RSS of parlowen-check and the helper it runs.
#
#   bench/upnp-fallback.sh [--build-dir DIR] [--runs N]
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/lib/runs.sh
. bench/lib/runs.sh
build_dir=build
runs=10
while [ $# -gt 0 ]; do
    case "$1" in
    --build-dir) build_dir=$2; shift ;;
    --runs) runs=$2; shift ;;
    -h | --help) sed -n '2,/^set -e/s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "upnp-fallback: unknown option $1 (try --help)" >&2; exit 3 ;;
    esac
    shift
done

if [ -z "${PARLOWEN_BENCH_IN_NETNS:-}" ]; then
    unshare -n true 2>/dev/null || { echo "upnp-fallback: needs root for a private network namespace" >&2; exit 1; }
    exec unshare -n env PARLOWEN_BENCH_IN_NETNS=1 "$0" --build-dir "$build_dir" --runs "$runs"
fi
[ "$(ip -o link show | awk -F": " "{ print \$2 }")" = lo ] || { echo "upnp-fallback: the namespace has more than loopback" >&2; exit 1; }
ip link set lo up
ip link set lo multicast on
ip route add 224.0.0.0/4 dev lo

folder=$(mktemp -d)
trap 'kill "${simulator:-}" 2>/dev/null; rm -rf "$folder"' EXIT
printf '[Router settings]\nPassword=admin\nIP=127.0.0.1\n[DNS settings]\nService URL=http://127.0.0.1:8080/dyn.asp\nUser=u\nPassword=p\nHost=h.example.net\n' \
    >"$folder/Settings.ini"

echo "| router | exit | wall (s) | peak RSS (MB) |"
echo "|---|---|---|---|"
for scenario in "a log with the WAN line|" "no WAN line, a gateway answers|--no-wan-line --upnp address" \
    "no WAN line, nothing answers|--no-wan-line"; do
    name=${scenario%%|*}
    # A gateway remembered from the row before would be asked before any search.
    rm -f "$folder/parlowen-check.state"
    # shellcheck disable=SC2086
    "$build_dir/bin/parlowen-simulator" --quiet ${scenario#*|} 2>/dev/null &
    simulator=$!
    sleep 1
    time_runs "$runs" /dev/null true "$build_dir/bin/parlowen-check" --settings "$folder/Settings.ini"
    kill "$simulator"
    wait "$simulator" 2>/dev/null || true
    read -r wall rss < <(medians)
    printf '| %s | %s | %.3f | %s |\n' "$name" "$(statuses_seen)" "$wall" "$rss"
done
