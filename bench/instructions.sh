#!/usr/bin/env bash
# Instructions a frame, library against floor, on the headless backend,
# counted by valgrind's callgrind: unlike frame rates these do not move
# with the machine's load, so small differences can be seen.
#
#   bench/instructions.sh BUILD_DIR [FROM [TO]]     (defaults: 250 and 450 frames)
#
# Each program runs twice, for FROM and for TO measured frames; the
# difference divided by TO - FROM is the cost of one frame of the loop,
# without start-up, the console key presses and the shaders Mesa compiles
# the first time a state is drawn. Mesa's rasteriser runs on the calling
# thread (LP_NUM_THREADS=0), so its work is counted too.
set -u
build=${1:?usage: bench/instructions.sh BUILD_DIR [FROM [TO]]}
from=${2:-250}
to=${3:-450}
bin=$build/bench
command -v valgrind >/dev/null || { echo "valgrind is needed"; exit 2; }
for program in frame_bench_headless floor_bench_headless; do
  [ -x "$bin/$program" ] || { echo "missing $bin/$program (build the project first)"; exit 2; }
done

# instructions PROGRAM FRAMES ARGS...: the total instruction count of a run.
instructions() {
  local program=$1 frames=$2
  shift 2
  LP_NUM_THREADS=0 valgrind --tool=callgrind --callgrind-out-file=/dev/null --smc-check=all-non-file \
    "$bin/$program" --frames "$frames" "$@" 2>&1 | awk '/I +refs:/ { gsub(",", "", $NF); print $NF }'
}

echo "# $(date -u '+%Y-%m-%d %H:%M UTC'); instructions a frame over frames $from to $to"
echo "| variant (w, SOA) | library | floor | library / floor |"
echo "|---|---|---|---|"
for variant in "default 6 2" "heavy 3 1"; do
  read -r name w soa <<<"$variant"
  declare -A perFrame=()
  for program in frame_bench_headless floor_bench_headless; do
    a=$(instructions "$program" "$from" --w "$w" --soa "$soa")
    b=$(instructions "$program" "$to" --w "$w" --soa "$soa")
    if [ -z "$a" ] || [ -z "$b" ]; then
      echo "no instruction count from $program --w $w --soa $soa" >&2
      exit 1
    fi
    perFrame[$program]=$(awk -v a="$a" -v b="$b" -v n=$((to - from)) 'BEGIN { printf "%.0f", (b - a) / n }')
  done
  l=${perFrame[frame_bench_headless]}
  f=${perFrame[floor_bench_headless]}
  printf '| %s (%s, %s) | %s | %s | %s |\n' "$name" "$w" "$soa" "$l" "$f" \
    "$(awk -v l="$l" -v f="$f" 'BEGIN { printf "%.3f", l / f }')"
done
