#!/usr/bin/env bash
# What the session record costs a frame: the real stimulus on the headless
# backend, with and without --record and --timing (files in a scratch
# folder), one right after the other in alternating order, for ROUNDS
# rounds; prints the median frame rate of each and the median per-round
# ratio (recording / plain), with the spread of the ratios.
#
#   bench/record_cost.sh BUILD_DIR [ROUNDS [FRAMES]]     (defaults: 12 rounds, 3000 frames)
set -u
build=${1:?usage: bench/record_cost.sh BUILD_DIR [ROUNDS [FRAMES]]}
rounds=${2:-12}
frames=${3:-3000}
bench=$build/bench/frame_bench_headless
[ -x "$bench" ] || { echo "missing $bench (build the project first)"; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fps() { "$@" 2>/dev/null | sed -n 's/^RESULT fps=\([0-9.]*\).*/\1/p'; }

plain=() recorded=() ratios=()
for round in $(seq "$rounds"); do
  rm -f "$work/record.csv" "$work/timing.csv"
  if [ $((round % 2)) = 1 ]; then
    p=$(fps "$bench" --frames "$frames")
    r=$(fps "$bench" --frames "$frames" --record-into "$work")
  else
    r=$(fps "$bench" --frames "$frames" --record-into "$work")
    p=$(fps "$bench" --frames "$frames")
  fi
  [ -n "$p" ] && [ -n "$r" ] || { echo "round $round: a run failed"; exit 1; }
  plain+=("$p") recorded+=("$r") ratios+=("$(awk -v r="$r" -v p="$p" 'BEGIN {print r / p}')")
  printf 'round %2d: plain %8.1f fps, recording %8.1f fps\n' "$round" "$p" "$r"
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
rows=$(grep -c '^[0-9]' "$work/timing.csv")
printf 'median: plain %.1f fps, recording %.1f fps; ratio %.3f (range %.3f to %.3f); last timing file %d rows\n' \
  "$(median "${plain[@]}")" "$(median "${recorded[@]}")" "$(median "${ratios[@]}")" \
  "$(printf '%s\n' "${ratios[@]}" | sort -g | head -1)" "$(printf '%s\n' "${ratios[@]}" | sort -g | tail -1)" "$rows"
