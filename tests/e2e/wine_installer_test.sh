#!/usr/bin/env bash
# The Windows installer under Wine, as a lab's IT department deploys it:
# its tables hold what it promises; a silent install into a fresh prefix
# puts the program, its README and licence in Program Files\Kestravon and
# one entry in the Start menu; the installed program shows the stimulus,
# writes a --record file and ends with 128 on Escape, also when started
# from the Start-menu entry, and from the README's command-prompt and
# batch-file blocks as written; a silent uninstall leaves nothing of it in
# Program Files, the Start menu or the registry. The zip holds the same
# program.
#   wine_installer_test.sh MSI ZIP PNG_PROBE
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/lib.sh
. "$here/lib.sh"
msi=$1
zip=$2
probe=$3

# shellcheck source=tests/e2e/wine.sh
. "$here/wine.sh"
wine_setup "$(dirname "$msi")/wineprefix-installer"
cleanup() { wine_stop; rm -rf "$WINEPREFIX" "$WINEPREFIX-tmp"; }
e2e_begin

# What the tables say (msitools has no ICE validation; these are the
# promises a lab relies on).
table() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r'; }
files=$(table File | cut -f3 | sort | tr '\n' ' ')
[ "$files" = "LICENSE.txt README.md kestravon-stimulus.exe " ] && pass "installs the program, README and licence" ||
  fail "files in the installer: $files"
table Directory | grep -q $'^INSTALLDIR\tProgramFiles64Folder\tKestravon$' && pass "into Program Files\\Kestravon" ||
  fail "install folder: $(table Directory | tr '\n' ' ')"
table Shortcut | grep -q $'\tProgramMenuFolder\tKestravon Stimulus\t' && pass "one Start-menu entry" ||
  fail "shortcuts: $(table Shortcut)"
msiinfo suminfo "$msi" | grep -q '^Template: x64;1033$' && pass "a 64-bit package" ||
  fail "summary: $(msiinfo suminfo "$msi" | tr '\n' ' ')"
table Property | grep -q $'^ALLUSERS\t1$' && pass "installed for every user of the computer" ||
  fail "ALLUSERS: $(table Property | grep ALLUSERS)"

e2e_xvfb 1024x768x24
wine_prepare
drive=$WINEPREFIX/drive_c
folder="$drive/Program Files/Kestravon"
# The Start menu of every user (Windows) or of the installing user (Wine
# puts per-machine entries there).
menus=("$drive/ProgramData/Microsoft/Windows/Start Menu" "$drive/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu")
windows_msi=$("$wine" winepath -w "$msi" 2>/dev/null)

"$wine" msiexec /i "$windows_msi" /qn
STATUS=$?
expect_status "silent install" 0
for f in kestravon-stimulus.exe README.md LICENSE.txt; do
  [ -s "$folder/$f" ] || fail "not installed: Program Files\\Kestravon\\$f"
done
[ -s "$folder/kestravon-stimulus.exe" ] && pass "program installed"
entry=$(find "${menus[@]}" -name 'Kestravon Stimulus.lnk' 2>/dev/null | head -1)
[ -n "$entry" ] && pass "Start-menu entry made" || fail "no Start-menu entry: $(find "${menus[@]}" 2>&1)"

# The installed program, from a command prompt, with options.
if start_canvas "installed program" "$work/stderr" \
  "$wine" "C:\\Program Files\\Kestravon\\kestravon-stimulus.exe" --record "$work/record.csv"; then
  wait_for_stimulus "installed program" && pass "installed program shows the stimulus"
  focus_canvas
  xdotool key Escape
fi
wait_pid "$pid" 10
expect_status "installed program, Escape" 128
grep -q '^# Kestravon .*, session record' "$work/record.csv" 2>/dev/null &&
  grep -q '^0,0.000,Bar Width,6' "$work/record.csv" && pass "--record file written" ||
  fail "record: $(head -c 600 "$work/record.csv" 2>&1)"

# From the Start-menu entry, as a person starts it (start returns once the
# shortcut has started the program).
if [ -n "$entry" ]; then
  "$wine" start /unix "$entry"
  if wait_for_window "Kestravon Main Window"; then
    wait_for_stimulus "Start-menu entry" && pass "the Start-menu entry starts the stimulus"
    focus_canvas
    xdotool key Escape
    eventually 10 eval '! pgrep -f kestravon-stimulus.exe >/dev/null' && pass "and Escape ends it" ||
      fail "the program from the Start menu still runs after Escape"
  else
    fail "the Start-menu entry started no canvas"
  fi
fi
wine_stop

# The README's two ways of running it with options, as written there: a
# command prompt with start /wait, and a batch file. (Documents is a
# folder of the prefix here: Wine links it to the home folder.)
readme=$here/../../README.md
bat_block() { awk -v text="$1" '/^```bat/ { block = ""; inside = 1; next }
  /^```/ && inside { inside = 0; if (index(block, text)) printf "%s", block; next }
  inside { block = block $0 "\r\n" }' "$readme"; }
documents="$drive/users/$(id -un)/Documents"
rm -f "$documents"
mkdir -p "$documents" "$work/session"
bat_block "start /wait" >"$work/command-prompt.bat"
bat_block "@echo off" >"$work/session/s1.bat"
for way in command-prompt.bat session/s1.bat; do
  out=$work/${way//\//-}.out
  (cd "$work" && echo | "$wine" cmd /c "$way" >"$out" 2>&1) &
  starter=$!
  if wait_for_window "Kestravon Main Window"; then
    wait_for_stimulus "README, $way" && focus_canvas && xdotool key Escape
  else
    fail "README, $way: no canvas: $(cat "$out")"
  fi
  wait_pid $starter 20
done
tr -d '\r' <"$work/session-s1.bat.out" | grep -q "^The program ended with status 128; its messages are in s1-messages.txt.$" &&
  grep -q "^Kestravon: [0-9]* frames presented" "$work/session/s1-messages.txt" &&
  [ -s "$work/session/s1-timing.csv" ] && pass "README batch file: status 128 said, messages and files beside it" ||
  fail "README batch file: $(cat "$work/session-s1.bat.out" "$work/session/s1-messages.txt" 2>&1)"
wine_stop
[ "$(tr -d '\r' <"$work/command-prompt.bat.out" | grep -v '^ *$' | tail -1)" = 128 ] && [ -s "$documents/s1-record.csv" ] &&
  [ -s "$documents/s1-timing.csv" ] && pass "README command prompt: status 128 echoed, the files in Documents" ||
  fail "README command prompt: $(cat "$work/command-prompt.bat.out"; ls "$documents")"

"$wine" msiexec /x "$windows_msi" /qn
STATUS=$?
expect_status "silent uninstall" 0
[ ! -e "$folder" ] && pass "nothing left in Program Files" || fail "left in Program Files: $(find "$folder")"
left=$(find "${menus[@]}" "$drive/Program Files" "$drive/Program Files (x86)" -iname '*kestravon*' 2>/dev/null)
[ -z "$left" ] && pass "nothing left in the Start menu" || fail "left behind: $left"
"$wine" reg query 'HKLM\Software\Kestravon' >/dev/null 2>&1 && fail "registry key HKLM\\Software\\Kestravon left" ||
  pass "nothing left in the registry"
wine_stop

# The zip: the same program, README and licence, in one folder.
mkdir -p "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
unpacked=$(find "$work/zip" -type f -printf '%P\n' | sort | tr '\n' ' ')
name=$(basename "$zip" -windows-x64.zip)
[ "$unpacked" = "$name/LICENSE.txt $name/README.md $name/kestravon-stimulus.exe " ] &&
  pass "zip holds the program, README and licence" || fail "zip holds: $unpacked"

echo "$failures failed"
[ "$failures" = 0 ]
