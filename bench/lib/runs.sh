# shellcheck shell=bash
# Timing of whole processes, shared by the bench scripts that source it.
# Needs bash 5 (EPOCHREALTIME) and GNU time (/usr/bin/time, Debian's "time").

# Figures are written and read with a decimal point, whatever the locale.
export LC_NUMERIC=C

# The median of the numbers on standard input, one a line (the lower of the
# middle two for an even count).
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Microseconds since the epoch, whatever the locale's decimal sign.
now_us() {
    local now=${EPOCHREALTIME/[.,]/}
    echo "$((10#$now))"
}

# time_runs RUNS OUTPUT PREPARE COMMAND [ARG...]: runs COMMAND RUNS times,
# each after PREPARE (a command, `true` for none), which is not timed.
# Each run's standard output and error are appended to OUTPUT after a line
# "=== run N". Sets walls (seconds), rsses (peak RSS in KiB) and statuses
# (exit statuses), one entry a run. The wall time is taken around
# /usr/bin/time, which adds the start of one small program (well under a
# millisecond) but not the 10 ms rounding of its own %e.
time_runs() {
    local runs=$1 output=$2 prepare=$3 n start end status rss_file
    shift 3
    rss_file=$(mktemp)
    walls=() rsses=() statuses=()
    for n in $(seq "$runs"); do
        "$prepare"
        echo "=== run $n" >>"$output"
        status=0
        start=$(now_us)
        /usr/bin/time -o "$rss_file" -f '%M' "$@" >>"$output" 2>&1 || status=$?
        end=$(now_us)
        walls+=("$(awk -v us=$((end - start)) 'BEGIN { printf "%.4f", us / 1e6 }')")
        rsses+=("$(tail -n 1 "$rss_file")") # after any "Command exited with ..." line
        statuses+=("$status")
    done
    rm -f "$rss_file"
}

# The different exit statuses of the last time_runs, in the order first met,
# joined by "/".
statuses_seen() {
    printf '%s\n' "${statuses[@]}" | awk '!seen[$1]++' | paste -sd/
}

# The median wall time in seconds and the median peak RSS in MB of the last
# time_runs, on one line.
medians() {
    printf '%s %s\n' "$(printf '%s\n' "${walls[@]}" | median)" \
        "$(printf '%s\n' "${rsses[@]}" | median | awk '{ printf "%.1f", $1 / 1024 }')"
}
