#!/usr/bin/env bash
# Runs a command (CI: make test) and fails if it left anything new in /tmp
# or in the user's home, beyond what is expected to stay: Mesa's shader
# cache (~/.cache/mesa_shader_cache), which makes the next run's GL start
# faster, and the X servers' socket folder (/tmp/.X11-unix, the system's).
# The checkout itself is not looked at.
#
#   scripts/leftovers.sh COMMAND [ARGS...]
set -u
[ $# -gt 0 ] || { echo "usage: scripts/leftovers.sh COMMAND [ARGS...]" >&2; exit 2; }
checkout=$(cd "$(dirname "$0")/.." && pwd)
# What the tests could leave: an entry of /tmp itself (a folder of mktemp,
# a server's folder), anything in the home folder.
listing() {
  {
    find /tmp -mindepth 1 -maxdepth 1 ! -path /tmp/.X11-unix
    find "$HOME" -xdev -mindepth 1 -maxdepth 4 \
      \( -path "$checkout" -o -path "$HOME/.cache/mesa_shader_cache" \) -prune -o -print
  } 2>/dev/null | sort
}
before=$(mktemp)
listing >"$before"
"$@"
status=$?
left=$(listing | comm -13 "$before" - | grep -vxF "$HOME/.cache")
rm -f "$before"
if [ -n "$left" ]; then
  echo "left behind by $*:" >&2
  echo "$left" | head -40 >&2
  [ "$status" != 0 ] || status=1
fi
exit "$status"
