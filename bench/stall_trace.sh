#!/usr/bin/env bash
# What a stall was: the real program under Xvfb at --priority realtime
# beside BUSY busy-loop processes for SECONDS, with the scheduler traced
# over the whole run (perf sched, as root). Reports every interval of the
# timing file over 2 refresh periods; every sleep of the program's main
# thread over 2 periods in the trace, with how long it then waited to run;
# and every stretch over 20 ms in which a CPU recorded no scheduler event
# at all, not even the busy loop's tick: a CPU that the machine under the
# system stopped, as a hypervisor does to a virtual CPU, which nothing
# inside the system can prevent.
#
#   bench/stall_trace.sh BUILD_DIR [SECONDS [BUSY [OUT_DIR]]]
#       (defaults: 1200 s, 2 busy processes; OUT_DIR keeps the trace, the
#        timing file and the report: about 200 MB for 20 minutes)
set -u
build=${1:?usage: bench/stall_trace.sh BUILD_DIR [SECONDS [BUSY [OUT_DIR]]]}
seconds=${2:-1200}
load=${3:-2}
out=${4:-$(mktemp -d)}
program=$build/stimulus/stimulus
[ -x "$program" ] || { echo "missing $program (build the project first)"; exit 2; }
command -v perf >/dev/null || { echo "needs perf (Debian: linux-perf)"; exit 2; }
mkdir -p "$out"
busy=()
# shellcheck source=tests/e2e/x_servers.sh
. "$(dirname "$0")/../tests/e2e/x_servers.sh"
trap '[ ${#busy[@]} = 0 ] || kill "${busy[@]}" 2>/dev/null; stop_xvfb' EXIT
start_xvfb 1024x768x24 || exit 2
for _ in $(seq "$load"); do
  sh -c 'while :; do :; done' &
  busy+=($!)
done
"$program" --priority realtime --timing "$out/timing.csv" 2>"$out/stderr.txt" &
pid=$!
wait_for_window "Kestravon Main Window" || { echo "no canvas"; kill "$pid"; exit 1; }
ps -L -o tid,cls,rtprio,ni,comm -p "$pid" >"$out/threads.txt"
perf sched record -a -o "$out/perf.data" -- sleep "$seconds" 2>"$out/perf.log"
xdotool key --window "$(window_id "Kestravon Main Window")" Escape
wait "$pid"

{
  echo "# $(date -u '+%Y-%m-%d %H:%M UTC'); $(nproc) CPUs; Linux $(uname -r); $seconds s, $load busy processes"
  echo "# the program's threads:"
  sed 's/^/#   /' "$out/threads.txt"
  echo "# $(tail -1 "$out/stderr.txt")"
  echo
  echo "intervals over 2 periods (timing file: frame, interval_ms, onset_ms):"
  awk -F, '/^[0-9]+,[0-9]/ && $3 >= 2 { printf "  frame %s: %s ms at %s ms\n", $1, $2, $5 }' "$out/timing.csv"
  echo
  echo "the main thread's sleeps over 2 periods (trace time, sleep ms, scheduling delay ms):"
  perf sched timehist -i "$out/perf.data" -p "$pid" 2>/dev/null |
    awk -v tid="[$pid]" 'index($3, tid) && $4 > 33.4 { printf "  %s: asleep %s ms, then waited %s ms to run\n", $1, $4, $5 }'
  echo
  echo "CPUs that recorded nothing for over 20 ms (trace time it ended, CPU, ms):"
  perf sched script -i "$out/perf.data" 2>/dev/null |
    awk '{ cpu = $3; t = $4 + 0; if ((cpu in last) && t - last[cpu] > 0.020) printf "  %.6f: %s silent %.1f ms\n", t, cpu, (t - last[cpu]) * 1000; last[cpu] = t }'
} | tee "$out/report.txt"
echo "kept in $out"
