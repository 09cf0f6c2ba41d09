#!/usr/bin/env bash
# Every shell command in the README, run as a reader runs it: in a fresh
# clone of the checkout's last commit, from its top folder, in the README's
# order, on an X display of 1024x768 (Xvfb). Fails on a status, a file or
# an output that disagrees with what the README shows.
#
#   scripts/readme_check.sh [CHECKOUT]   (default: the one this script is in)
#
# Each ```sh block is preceded by a line saying how it is checked (a block
# without one fails the check, so no command goes unchecked by accident):
#
#   <!-- check: run[; status N][; needs TARGET][; expect TEXT][; makes FILE] -->
#       runs the block; its status must be N (0); TARGET is built first
#       (what an earlier `make test` would have built); the output must
#       contain TEXT; FILE must exist afterwards.
#   <!-- check: program[; keys K ...][; status N] -->
#       the block starts the program: once its window shows, the keys are
#       sent a second apart (default: Escape), and it must end with N (128).
#   <!-- check: own display[; status N] -->
#       as program, for a block that starts its own X server on :5.
#   <!-- check: box -->
#       the block answers the notification box: run while the program shows
#       one (its display the wrong size), the program must end with 15.
#   <!-- check: skip: REASON -->
#       not run here, for the reason given (said in the report).
#
# (The ```bat blocks for a Windows command prompt are run as written under
# Wine by the installer's test, tests/e2e/wine_installer_test.sh.)
#
# An output block (``` without a language) may be checked against
# what the last command made:
#
#   <!-- check: shows FILE -->  or  <!-- check: shows stderr -->
#       same lines, numbers aside (any number matches any other), where a
#       line "..." stands for any run of lines.
set -u
checkout=$(cd "${1:-$(dirname "$0")/..}" && pwd)
work=$(mktemp -d)
clone=$work/clone
failures=0
fail() { echo "FAIL: README line $line: $*"; failures=$((failures + 1)); }
pass() { echo "ok: README line $line: $*"; }

# shellcheck source=tests/e2e/x_servers.sh
. "$checkout/tests/e2e/x_servers.sh"
trap 'stop_xvfb; rm -rf "$work"' EXIT
git clone -q "$checkout" "$clone" || exit 2
cd "$clone" || exit 2

# The blocks, in order: block-N (its text) and a line "N LINE LANG CHECK"
# each (tab-separated; LANG "-" for an output block).
mkdir "$work/blocks"
awk -v dir="$work/blocks" '
  /^```/ && !inside { inside = 1; n++; lang = substr($0, 4)
                      printf "%d\t%d\t%s\t%s\n", n, NR, lang == "" ? "-" : lang, marker; marker = ""; next }
  /^```/ && inside  { inside = 0; close(dir "/block-" n); next }
  inside            { print > (dir "/block-" n); next }
  /^<!-- check: .* -->$/ { marker = $0; sub(/^<!-- check: /, "", marker); sub(/ -->$/, "", marker); next }
  NF                { marker = "" }
' README.md >"$work/blocks/list"

# option NAME CHECK: the value of "; NAME VALUE" in a check line.
option() { tr ';' '\n' <<<"$2" | sed -n "s/^ *$1 //p" | head -1; }

# The display every block runs on.
start_xvfb 1024x768x24 || { echo "Xvfb did not start"; exit 2; }

# canvas_on DISPLAY: the program's window is shown there.
canvas_on() { DISPLAY=$1 xdotool search --onlyvisible --name "Kestravon Main Window" >/dev/null 2>&1; }

# run_program BLOCK CHECK WINDOW_DISPLAY: the block in the background; keys
# to its window on that display.
run_program() {
  local block=$1 check=$2 keys status expected
  keys=$(option keys "$check")
  expected=$(option status "$check")
  bash "$block" >"$work/stdout" 2>"$work/stderr" &
  local pid=$!
  # make run builds first: the window can take minutes.
  for _ in $(seq 3000); do
    canvas_on "$3" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if canvas_on "$3"; then
    sleep 1  # the stimulus running a moment, as a person sees it
    for key in ${keys:-Escape}; do
      DISPLAY=$3 xdotool windowfocus --sync "$(DISPLAY=$3 window_id "Kestravon Main Window")" key "$key" 2>/dev/null
      sleep 1  # a person's pace (and longer than a session's gap)
    done
  else
    fail "no program window: $(tail -c 1500 "$work/stderr")"
  fi
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    fail "still running after its keys: killed"
    pkill -P "$pid"
    kill "$pid"
  fi
  wait "$pid"
  status=$?
  [ "$status" = "${expected:-128}" ] && pass "status $status" || fail "status $status, expected ${expected:-128}: $(tail -c 1500 "$work/stderr")"
}

# shape FILE: numbers made alike.
shape() { sed -E 's/-?[0-9]+(\.[0-9]+)?(e[-+]?[0-9]+)?/N/g' "$1"; }

# shows BLOCK FILE: the file has the block's lines, numbers aside, "..."
# standing for any run of lines.
shows() {
  awk '
    # fits(i, j): want[i..] fits have[j..], "..." taking any run of lines.
    function fits(i, j,    k) {
      if (i > i_far || (i == i_far && j > j_far)) { i_far = i; j_far = j }
      if (i > w) return j > h
      if (want[i] == "...") {
        for (k = j; k <= h + 1; k++) if (fits(i + 1, k)) return 1
        return 0
      }
      return j <= h && have[j] == want[i] && fits(i + 1, j + 1)
    }
    NR == FNR { want[++w] = $0; next }
    { have[++h] = $0 }
    END {
      if (fits(1, 1)) exit 0
      if (i_far > w) printf "more than shown, from: %s\n", have[j_far]
      else printf "expected: %s\n     got: %s\n", want[i_far], (j_far <= h ? have[j_far] : "(the end)")
      exit 1
    }
  ' <(shape "$1") <(shape "$2")
}

while IFS=$'\t' read -r n line lang check; do
  block=$work/blocks/block-$n
  [ -e "$block" ] || : >"$block"
  kind=${check%%;*}
  if [ "$lang" != sh ]; then
    case "$kind" in
      "shows stderr") what=$work/stderr ;;
      shows\ *) what=${kind#shows } ;;
      *) continue ;;
    esac
    if [ ! -e "$what" ]; then fail "nothing to compare: $what was not made"
    elif diff=$(shows "$block" "$what"); then pass "shown as made (${kind#shows })"
    else fail "${kind#shows } differs from the README: $diff"; fi
    continue
  fi
  echo "--- README line $line: $(head -1 "$block")"
  case "$kind" in
    run)
      target=$(option needs "$check")
      if [ -n "$target" ] && ! cmake --build build --target "$target" >"$work/needs.log" 2>&1; then
        fail "could not build $target: $(tail -20 "$work/needs.log")"
        continue
      fi
      bash "$block" >"$work/stdout" 2>"$work/stderr"
      status=$?
      expected=$(option status "$check")
      [ "$status" = "${expected:-0}" ] && pass "status $status" ||
        fail "status $status, expected ${expected:-0}: $(tail -c 1500 "$work/stderr") $(tail -c 1500 "$work/stdout")"
      text=$(option expect "$check")
      if [ -n "$text" ]; then
        grep -qF "$text" "$work/stdout" "$work/stderr" && pass "says \"$text\"" ||
          fail "does not say \"$text\": $(tail -c 1500 "$work/stdout")"
      fi
      made=$(option makes "$check")
      [ -z "$made" ] || { [ -s "$made" ] && pass "made $made" || fail "did not make $made"; }
      ;;
    program) run_program "$block" "$check" "$DISPLAY" ;;
    "own display") run_program "$block" "$check" :5; pkill -f 'Xvfb :5 ' ;;
    box)
      stop_xvfb
      start_xvfb 1280x1024x24 || { fail "no Xvfb of 1280x1024"; continue; }
      build/stimulus/stimulus 2>/dev/null &
      pid=$!
      for _ in $(seq 300); do [ -n "$(window_id "Kestravon Notification")" ] && break; sleep 0.1; done
      sleep 0.5  # the box drawn and ready for its key
      bash "$block" >"$work/stdout" 2>"$work/stderr" || fail "status $?: $(cat "$work/stderr")"
      for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -0 "$pid" 2>/dev/null && { fail "the box was not answered"; kill "$pid"; }
      wait "$pid"
      status=$?
      [ "$status" = 15 ] && pass "the box answered: the program ended with 15" || fail "program status $status, expected 15"
      stop_xvfb
      start_xvfb 1024x768x24 || exit 2
      ;;
    skip:*) echo "skipped: ${check#skip: }" ;;
    *) fail "no <!-- check: ... --> line before this block" ;;
  esac
done <"$work/blocks/list"

echo "$failures failed"
[ "$failures" = 0 ]
