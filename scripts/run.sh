#!/usr/bin/env bash
# `make run`: runs the program with the given options and says, in one
# sentence, how it ended unless it ended normally (the routine returned,
# --help or --version: 0; Escape: 128), which ends this quietly with 0.
#
#   scripts/run.sh PROGRAM [OPTION...]
set -uo pipefail
program=${1:?usage: scripts/run.sh PROGRAM [OPTION...]}
shift
"$program" "$@"
status=$?
case $status in
  0 | 128) exit 0 ;;
  2) echo "make run: the program refused its options (status 2); the reason is above." >&2 ;;
  3) echo "make run: the program ran, but a write to the record or timing file failed (status 3); see above." >&2 ;;
  15) echo "make run: the program ended on a failure it reported (status 15); README.md's Troubleshooting explains it." >&2 ;;
  129 | 13[0-9] | 14[0-9] | 15[0-9])
    echo "make run: the program was ended by signal $((status - 128)) (SIG$(kill -l $((status - 128))), status $status)." >&2 ;;
  *) echo "make run: the program ended with status $status." >&2 ;;
esac
exit "$status"
