#!/usr/bin/env bash
# Frames on time on a busy machine: the real program under Xvfb with 0, 1
# and 2 busy-loop processes beside it, at --priority normal and realtime,
# RUNS runs of SECONDS each; prints, per case, the medians over the runs of
# the refresh periods missed (and their share of the frames), the interval
# SD and the worst interval, from the program's own timing file.
#
#   bench/load_bench.sh BUILD_DIR [RUNS [SECONDS]]     (defaults: 3 runs, 15 s)
#
# Realtime needs the privilege to have it granted (root, or the limits.d
# lines the program names); the table says what each run obtained.
set -u
build=${1:?usage: bench/load_bench.sh BUILD_DIR [RUNS [SECONDS]]}
runs=${2:-3}
seconds=${3:-15}
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

# One run: missed, frames, SD, worst and what was obtained, tab-separated.
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
    /^[0-9]+,[0-9]/ {
      n++; missed += $3; s += $2; ss += $2 * $2; if ($2 > worst) worst = $2
    }
    END { mean = s / n; printf "%d\t%d\t%.2f\t%.1f\t%s\n", missed, n, sqrt((ss - n * mean * mean) / (n - 1)), worst, obtained }
  ' "$timing"
}

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

echo "# $(date -u '+%Y-%m-%d %H:%M UTC'); $(nproc) CPUs: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo "# $runs runs of $seconds s each; medians over the runs"
echo
echo "| busy processes | --priority | obtained | refresh periods missed | share of frames | interval SD (ms) | worst interval (ms) |"
echo "|---|---|---|---|---|---|---|"
for load in 0 1 2; do
  stop_busy
  for _ in $(seq "$load"); do
    sh -c 'while :; do :; done' &
    busy+=($!)
  done
  for priority in normal realtime; do
    missed=() share=() sd=() worst=() obtained=
    for _ in $(seq "$runs"); do
      IFS=$'\t' read -r m n s w obtained < <(run_once "$priority")
      missed+=("$m") share+=("$(awk -v m="$m" -v n="$n" 'BEGIN { print 100 * m / n }')") sd+=("$s") worst+=("$w")
    done
    printf '| %d | %s | %s | %s | %.1f %% | %s | %s |\n' "$load" "$priority" "$obtained" "$(median "${missed[@]}")" \
      "$(median "${share[@]}")" "$(median "${sd[@]}")" "$(median "${worst[@]}")"
  done
done
