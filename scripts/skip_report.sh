#!/usr/bin/env bash
# After a CTest run: how many tests were skipped, and why (the reason each
# printed: GoogleTest's message after "Skipped", or a script's "SKIPPED:").
#
#   scripts/skip_report.sh BUILD_DIR
set -euo pipefail
log=${1:?usage: scripts/skip_report.sh BUILD_DIR}/Testing/Temporary/LastTest.log
[ -e "$log" ] || { echo "no test log at $log"; exit 0; }
awk '
  /^[0-9]+\/[0-9]+ Testing: / { name = substr($0, index($0, ": ") + 2); reason = ""; next_is_reason = 0; next }
  next_is_reason { reason = $0; next_is_reason = 0 }
  /: Skipped$/ { next_is_reason = 1 }
  /^SKIPPED: / && reason == "" { reason = substr($0, 10) }
  /^Skip regular expression found/ { skipped[++n] = name ": " (reason == "" ? "(no reason given)" : reason) }
  END {
    printf "%d test%s skipped\n", n, n == 1 ? "" : "s"
    for (i = 1; i <= n; ++i) print "  skipped " skipped[i]
  }
' "$log"
