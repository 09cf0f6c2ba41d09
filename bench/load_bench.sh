#!/usr/bin/env bash
# Frames on time on a busy machine: the real program under Xvfb, idle and
# beside 2 busy-loop processes, at --priority normal and realtime, RUNS runs
# of SECONDS each, in one invocation. Prints, for every case, what each run
# obtained: the share of frames that missed a refresh period, the count of
# intervals over 2 periods (2 or more periods missed, by the timing file's
# rule: a stall the observer sees), the worst
# interval, and the early frames (under half a period); then the tail over
# the runs (the most over 2 periods in one run, the worst interval of all).
# A stall in one run of five is still a stall.
#
#   bench/load_bench.sh BUILD_DIR [RUNS [SECONDS [BUSY [PRIORITIES]]]]
#       (defaults: 5 runs, 12 s, BUSY "0 2", PRIORITIES "normal realtime";
#        the hour: bench/load_bench.sh build 1 3600 2 realtime)
#
# Realtime needs the privilege to have it granted (root, or the limits.d
# lines the program names); the table says what each run obtained.
set -u
build=${1:?usage: bench/load_bench.sh BUILD_DIR [RUNS [SECONDS [BUSY [PRIORITIES]]]]}
runs=${2:-5}
seconds=${3:-12}
loads=${4:-0 2}
priorities=${5:-normal realtime}
program=$build/stimulus/stimulus
[ -x "$program" ] || { echo "missing $program (build the project first)"; exit 2; }
work=$(mktemp -d)
busy=()
# shellcheck source=tests/e2e/x_servers.sh
. "$(dirname "$0")/../tests/e2e/x_servers.sh"
stop_busy() {
  [ ${#busy[@]} = 0 ] || kill "${busy[@]}" 2>/dev/null
  busy=()
}
trap 'stop_busy; stop_xvfb; rm -rf "$work"' EXIT
start_xvfb 1024x768x24 || exit 2

# One run: "late% over2 worst early obtained", tab-separated.
run_once() {
  local priority=$1 timing=$work/timing.csv pid
  rm -f "$timing"
  "$program" --priority "$priority" --timing "$timing" 2>/dev/null &
  pid=$!
  wait_for_window "Kestravon Main Window" || { echo "no canvas"; kill "$pid"; return 1; }
  sleep "$seconds"
  xdotool key --window "$(window_id "Kestravon Main Window")" Escape
  wait "$pid"
  awk -F, '
    /^# priority asked/ { sub(/.*obtained /, ""); split($0, words, ","); obtained = words[1] }
    /^[0-9]+,[0-9]/ { n++; if ($3 > 0) late++; if ($3 >= 2) over++; if ($2 > worst) worst = $2; early += $4 }
    END { printf "%.1f\t%d\t%.1f\t%d\t%s\n", 100 * late / n, over, worst, early, obtained }
  ' "$timing"
}

echo "# $(date -u '+%Y-%m-%d %H:%M UTC'); $(nproc) CPUs: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'); Linux $(uname -r)"
echo "# $runs runs of $seconds s each${LP_NUM_THREADS:+; LP_NUM_THREADS=$LP_NUM_THREADS}"
echo
echo "| busy processes | --priority | obtained | frames late, each run (%) | over 2 periods, each run | worst interval, each run (ms) | early frames | most over 2 periods in a run | worst of all (ms) |"
echo "|---|---|---|---|---|---|---|---|---|"
for load in $loads; do
  stop_busy
  for _ in $(seq "$load"); do
    sh -c 'while :; do :; done' &
    busy+=($!)
  done
  for priority in $priorities; do
    late=() over=() worst=() early=0 obtained=
    for _ in $(seq "$runs"); do
      IFS=$'\t' read -r l o w e obtained < <(run_once "$priority")
      late+=("$l") over+=("$o") worst+=("$w") early=$((early + e))
    done
    most=$(printf '%s\n' "${over[@]}" | sort -g | tail -1)
    all=$(printf '%s\n' "${worst[@]}" | sort -g | tail -1)
    printf '| %d | %s | %s | %s | %s | %s | %d | %s | %s |\n' "$load" "$priority" "$obtained" "${late[*]}" "${over[*]}" \
      "${worst[*]}" "$early" "$most" "$all"
  done
done
