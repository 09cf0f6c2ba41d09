#!/usr/bin/env bash
# Runs the benchmarks side by side and prints the figures of bench/README.md:
# the library against the floor (default and heavy variants, headless and
# SDL2 under Xvfb), then the pacing precision.
#
#   bench/run.sh BUILD_DIR [ROUNDS [FRAMES]]     (defaults: 12 rounds, 3000 frames)
#
# Each round runs every pair once, library and floor one right after the
# other (in alternating order), so that a change in machine load hits both;
# the table shows the median over the rounds of each figure and of the
# per-round ratio, and the spread of those ratios.
set -u
build=${1:?usage: bench/run.sh BUILD_DIR [ROUNDS [FRAMES]]}
rounds=${2:-12}
frames=${3:-3000}
bin=$build/bench
for program in frame_bench_headless floor_bench_headless frame_bench_sdl2 floor_bench_sdl2 pacing_bench; do
  [ -x "$bin/$program" ] || { echo "missing $bin/$program (build the project first)"; exit 2; }
done

# A private 1024x768x24 X server, started as the end-to-end tests start it
# (a display of its own choosing, no reset between the programs).
# shellcheck source=tests/e2e/x_servers.sh
. "$(dirname "$0")/../tests/e2e/x_servers.sh"
start_xvfb 1024x768x24 || exit 2
trap stop_xvfb EXIT

echo "# $(date -u '+%Y-%m-%d %H:%M UTC'); $(nproc) CPUs: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo "# load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$bin/frame_bench_headless" --frames 10 | grep '^# GL_'

# wait_idle: waits (up to two minutes) until the CPUs were at least 90 %
# idle over one second, so that the pairs run on a machine at rest as far
# as possible; counts the pairs that had to start on a busy one.
busy=0
cpu_idle() {
  local a b
  read -ra a < /proc/stat
  sleep 1
  read -ra b < /proc/stat
  local total=0 i
  for i in 1 2 3 4 5 6 7 8; do total=$((total + b[i] - a[i])); done
  echo $(((b[4] - a[4]) * 100 / (total > 0 ? total : 1)))
}
wait_idle() {
  for _ in $(seq 60); do
    [ "$(cpu_idle)" -ge 90 ] && return
    sleep 1
  done
  busy=$((busy + 1))
}

# result PROGRAM ARGS...: the RESULT line's fps (the SDL2 programs end with
# the Escape status 128).
result() {
  local out
  out=$("$@" 2>&1)
  local line
  line=$(printf '%s\n' "$out" | grep '^RESULT')
  if [ -z "$line" ]; then
    echo "no RESULT from $*:" >&2
    printf '%s\n' "$out" >&2
    echo "nan"
    return
  fi
  line=${line#*fps=}
  echo "${line%% *}"
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A lib floor ratio
variants="default:6:2 heavy:3:1"
for round in $(seq "$rounds"); do
  for backend in headless sdl2; do
    for variant in $variants; do
      IFS=: read -r name w soa <<<"$variant"
      args=(--frames "$frames" --w "$w" --soa "$soa")
      wait_idle
      if [ $((round % 2)) = 1 ]; then
        l=$(result "$bin/frame_bench_$backend" "${args[@]}")
        f=$(result "$bin/floor_bench_$backend" "${args[@]}")
      else
        f=$(result "$bin/floor_bench_$backend" "${args[@]}")
        l=$(result "$bin/frame_bench_$backend" "${args[@]}")
      fi
      key="$backend $name"
      lib[$key]="${lib[$key]:-} $l"
      floor[$key]="${floor[$key]:-} $f"
      ratio[$key]="${ratio[$key]:-} $(awk -v l="$l" -v f="$f" 'BEGIN { printf "%.4f", l / f }')"
      echo "round $round $key: library $l fps, floor $f fps"
    done
  done
done

echo
echo "| backend | variant (w, SOA) | library fps | floor fps | library / floor | pair ratios, min to max |"
echo "|---|---|---|---|---|---|"
for backend in headless sdl2; do
  for variant in $variants; do
    IFS=: read -r name w soa <<<"$variant"
    key="$backend $name"
    printf '| %s | %s (%s, %s) | %s | %s | %s | %s to %s |\n' "$backend" "$name" "$w" "$soa" \
      "$(tr ' ' '\n' <<<"${lib[$key]}" | grep . | median)" \
      "$(tr ' ' '\n' <<<"${floor[$key]}" | grep . | median)" \
      "$(tr ' ' '\n' <<<"${ratio[$key]}" | grep . | median)" \
      "$(tr ' ' '\n' <<<"${ratio[$key]}" | grep . | sort -g | head -1)" \
      "$(tr ' ' '\n' <<<"${ratio[$key]}" | grep . | sort -g | tail -1)"
  done
done

echo "# pairs started on a busy machine: $busy of $((rounds * 4))"

echo
for round in $(seq 3); do
  wait_idle
  "$bin/pacing_bench" | grep -v '^# pacing'
done
echo "# load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
