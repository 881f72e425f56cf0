#!/usr/bin/env bash
# One whole check (router log page, then the provider's update) by
# parlowen-check, side by side with inadyn, ddclient and a plain curl + grep
# script, all against parlowen-simulator in a private network namespace.
# Prints a Markdown table of median wall time (hyperfine), median CPU time
# (user + system, children included) and median peak RSS (the rusage that
# /usr/bin/time -v reports), then parlowen-check's CPU as a multiple of that
# of bench/qtreference, a plain Qt program making the same two loads.
#
#   bench/check-vs-inadyn.sh [--build-dir DIR] [--check FILE] [--simulator FILE] [--sizes "4K 1M 8M"] [--runs N]
#                            [--only-qt]
#
# --only-qt measures parlowen-check and the Qt reference alone.
#
# Needs root or user namespaces, hyperfine, curl and python3; inadyn and ddclient
# are measured when installed (Debian packages of those names). They resolve
# host names on their own, so they are only ever run inside the namespace,
# which has nothing but loopback.
set -euo pipefail
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
cd "$(dirname "$0")/.."
repo=$PWD

build_dir=build
check=''
simulator=''
sizes="4K 1M 8M"
runs=30
only_qt=''
while [ $# -gt 0 ]; do
    case "$1" in
    --build-dir) build_dir=$2; shift ;;
    --check) check=$2; shift ;;
    --simulator) simulator=$2; shift ;;
    --sizes) sizes=$2; shift ;;
    --runs) runs=$2; shift ;;
    --only-qt) only_qt=--only-qt ;;
    -h | --help) sed -n '2,/^set -e/s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "check-vs-inadyn: unknown option $1 (try --help)" >&2; exit 3 ;;
    esac
    shift
done
case "$build_dir" in /*) ;; *) build_dir=$repo/$build_dir ;; esac
check=${check:-$build_dir/bin/parlowen-check}
case "$check" in /*) ;; *) check=$repo/$check ;; esac
simulator=${simulator:-$build_dir/bin/parlowen-simulator}
case "$simulator" in /*) ;; *) simulator=$repo/$simulator ;; esac

fail() {
    echo "check-vs-inadyn: $*" >&2
    exit 1
}

# Into a namespace of our own first; never measure on the real network.
if [ -z "${PARLOWEN_BENCH_IN_NETNS:-}" ]; then
    if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
        ns=(unshare -n)
    elif unshare -rn true 2>/dev/null; then
        ns=(unshare -rn)
    else
        fail "cannot create a private network namespace (needs root or user namespaces); nothing was run."
    fi
    exec env -u http_proxy -u https_proxy -u HTTP_PROXY -u HTTPS_PROXY -u all_proxy -u ALL_PROXY \
        PARLOWEN_BENCH_IN_NETNS=1 "${ns[@]}" "$self" --build-dir "$build_dir" --check "$check" --simulator "$simulator" --sizes "$sizes" --runs "$runs" $only_qt
fi
ip link set lo up
# Belt and braces: if anything but loopback is here, this is not our namespace.
if ip -o link show | grep -qv ': lo:'; then
    fail "network interfaces other than lo are present; refusing to run clients that resolve names."
fi

for tool in hyperfine curl python3; do
    command -v "$tool" >/dev/null || fail "$tool is missing (apt-get install $tool)"
done
[ -x "$check" ] || fail "$check is missing; build the target parlowen-check"
reference=$build_dir/bench/qtreference
[ -x "$reference" ] || fail "$reference is missing; configure with -DPARLOWEN_BUILD_BENCHMARKS=ON and build qtreference"
[ -x "$simulator" ] || fail "$simulator is missing; build the target parlowen-simulator (BUILD_TESTING=ON)"

work=$(mktemp -d "${TMPDIR:-/tmp}/parlowen-bench.XXXXXX")
simulator_pid=''
stop_simulator() {
    [ -z "$simulator_pid" ] || { kill -TERM "$simulator_pid" 2>/dev/null; wait "$simulator_pid" 2>/dev/null || true; }
    simulator_pid=''
}
trap 'stop_simulator; rm -rf "$work"' EXIT

router_password='bench-router'
user=bench
password='bench-secret'
host=home.example.net
wan=203.0.113.7

cat >"$work/Settings.ini" <<INI
[Router settings]
Password=$router_password
IP=127.0.0.1
[DNS settings]
Service URL=http://127.0.0.1:8080/dyn.asp
User=$user
Password=$password
Host=$host
INI

# inadyn cannot log in to the router with its own checker; a checkip-command
# with curl reads the page instead.
cat >"$work/inadyn.conf" <<CONF
period = 600
custom simulator {
    ssl = false
    username = $user
    password = $password
    hostname = $host
    ddns-server = 127.0.0.1:8080
    ddns-path = "/dyn.asp?username=%u&password=%p&hostname=%h&myip=%i"
    ddns-response = "updated successfully"
    checkip-command = "curl -s -u admin:$router_password http://127.0.0.1/doc/syslog.htm | grep -m1 -o 'WAN IP is [0-9.]*'"
}
CONF

# ddclient reads the router page itself (use=fw) and speaks dyndns2: the
# account in Basic authentication, which the simulated provider also takes.
cat >"$work/ddclient.conf" <<CONF
daemon=0
ssl=no
use=fw
fw=127.0.0.1/doc/syslog.htm
fw-login=admin
fw-password=$router_password
fw-skip='WAN IP is'
protocol=dyndns2
server=127.0.0.1:8080
script=/dyn.asp
login=$user
password=$password
$host
CONF
chmod 600 "$work/ddclient.conf"

cat >"$work/curl-grep.sh" <<SH
#!/bin/sh
# The same two requests by the shortest route: no HTML parsing, no settings file.
ip=\$(curl -s -u 'admin:$router_password' http://127.0.0.1/doc/syslog.htm | grep -m1 -o 'WAN IP is [0-9.]*')
ip=\${ip#WAN IP is }
[ -n "\$ip" ] || exit 2
curl -s "http://127.0.0.1:8080/dyn.asp?username=$user&password=$password&hostname=$host&myip=\$ip" |
    grep -q 'updated successfully'
SH
chmod +x "$work/curl-grep.sh"

names=(parlowen-check "Qt reference")
commands=("$check --settings $work/Settings.ini"
    "$reference http://127.0.0.1/doc/syslog.htm admin $router_password http://127.0.0.1:8080/dyn.asp?username=$user&password=$password&hostname=$host")
if [ -n "$only_qt" ]; then
    :
elif command -v inadyn >/dev/null; then
    names+=("inadyn (curl checkip-command)")
    commands+=("inadyn --once --force --foreground --no-pidfile -l err -f $work/inadyn.conf --cache-dir $work/inadyn-cache")
else
    echo "check-vs-inadyn: inadyn not installed; left out" >&2
fi
if [ -n "$only_qt" ]; then
    :
elif command -v ddclient >/dev/null; then
    names+=("ddclient (use=fw)")
    commands+=("ddclient -daemon=0 -foreground -force -quiet -file $work/ddclient.conf -cache $work/ddclient.cache")
else
    echo "check-vs-inadyn: ddclient not installed; left out" >&2
fi
[ -n "$only_qt" ] || {
    names+=("curl + grep")
    commands+=("$work/curl-grep.sh")
}

updates() { grep -c 'updated successfully' "$work/simulator.log" || true; }

# One run of each must reach the provider with the right address, or its
# figures would measure a failure.
verify() {
    local before after
    before=$(updates)
    # A client that waits for something the simulator never sends would
    # otherwise hold the whole run up.
    local status=0
    timeout 20 $1 >"$work/verify.out" 2>&1 || status=$?
    if [ "$status" -eq 124 ]; then
        echo "check-vs-inadyn: '$2' was still running after 20 s; left out. Its output:" >&2
        cat "$work/verify.out" >&2
        return 1
    fi
    after=$(updates)
    if [ "$after" -ne $((before + 1)) ] || ! tail -n1 "$work/simulator.log" | grep -qE "myip=${wan//./\\.}[ &]"; then
        echo "check-vs-inadyn: '$2' did not make one accepted update; its output:" >&2
        cat "$work/verify.out" >&2
        return 1
    fi
}

# Median CPU seconds (user + system) and median peak RSS in KiB over several
# runs: the rusage that /usr/bin/time -v prints, read with wait4 because time
# rounds CPU to 10 ms. It covers the children each client waits for (inadyn's
# shell and curl); peak RSS is then that of the largest single process.
cpu_and_rss() {
    python3 - "$cpu_runs" "$1" <<'PY2'
import os, shlex, statistics, subprocess, sys
runs, command = int(sys.argv[1]), shlex.split(sys.argv[2])
cpu, rss = [], []
for _ in range(runs):
    with open(os.devnull, "wb") as null:
        child = subprocess.Popen(command, stdout=null, stderr=null)
        _, _, usage = os.wait4(child.pid, 0)
        child.returncode = 0
    cpu.append(usage.ru_utime + usage.ru_stime)
    rss.append(usage.ru_maxrss)
print(statistics.median(cpu), statistics.median(rss))
PY2
}
cpu_runs=$runs

results=$work/results.tsv
: >"$results"
for size in $sizes; do
    stop_simulator
    "$simulator" --page-size "$size" --router-password "$router_password" --user "$user" \
        --password "$password" --hostname "$host" --wan-address "$wan" 2>"$work/simulator.log" &
    simulator_pid=$!
    for _ in $(seq 100); do
        grep -q 'provider on' "$work/simulator.log" && break
        sleep 0.05
    done
    grep -q 'provider on' "$work/simulator.log" || fail "the simulator did not start: $(cat "$work/simulator.log")"

    for i in "${!names[@]}"; do
        verify "${commands[$i]}" "${names[$i]}" || continue
        hyperfine -N --style none --warmup 3 --runs "$runs" --export-json "$work/h.json" "${commands[$i]}" \
            >/dev/null 2>&1
        wall=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["median"])' \
            "$work/h.json")
        read -r cpu rss < <(cpu_and_rss "${commands[$i]}")
        printf '%s\t%s\t%s\t%s\t%s\n' "$size" "${names[$i]}" "$wall" "$cpu" "$rss" >>"$results"
        printf '%-4s %-32s wall %7.1f ms  cpu %7.1f ms  rss %6.1f MB\n' "$size" "${names[$i]}" \
            "$(python3 -c "print($wall*1000)")" "$(python3 -c "print($cpu*1000)")" \
            "$(python3 -c "print($rss/1024)")" >&2
    done
done
stop_simulator

python3 - "$results" <<'PY'
import sys
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1])]
print("| page | client | wall (median) | CPU user+sys (median) | peak RSS (median) |")
print("|------|--------|---------------|-----------------------|-------------------|")
for size, name, wall, cpu, rss in rows:
    print(f"| {size}iB | {name} | {float(wall)*1000:.1f} ms | {float(cpu)*1000:.1f} ms | {float(rss)/1024:.1f} MB |")
cpu = {(size, name): float(c) for size, name, _, c, _ in rows}
for size in dict.fromkeys(size for size, *_ in rows):
    if (size, "parlowen-check") in cpu and cpu.get((size, "Qt reference")):
        print(f"\n{size}iB: parlowen-check takes {cpu[(size, 'parlowen-check')] / cpu[(size, 'Qt reference')]:.2f}x "
              "the CPU of the Qt reference")
PY
