#!/usr/bin/env bash
# Where the display cannot sync swaps (Xvfb), the SDL2 backend paces them
# to the 60 Hz schedule: over 120 frames of the real program the mean
# swap-to-swap interval is one refresh period. A swap may come late (load
# only delays it) but never before its deadline, so the mean cannot fall
# below (N - 1) / N periods; a lost schedule (unpaced, or the wrong period)
# shows at once. Run under with_xvfb.sh with the pacing benchmark.
bench=${1:?usage: pacing_test.sh PACING_BENCH}
out=$("$bench" --frames 120 2>&1)
line=$(grep '^PACING' <<<"$out")
if [ -z "$line" ]; then
  echo "FAIL: no PACING line from the program"
  echo "$out"
  exit 1
fi
mean=${line#*mean_ms=}
mean=${mean%% *}
if ! awk -v m="$mean" 'BEGIN { exit !(m >= 16.5 && m <= 25) }'; then
  echo "FAIL: mean swap interval $mean ms, expected 16.667 (16.5 to 25 allowed)"
  echo "$line"
  exit 1
fi
echo "ok: $line"
