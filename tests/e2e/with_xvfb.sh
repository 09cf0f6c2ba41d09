#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private 1024x768 Xvfb server.
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/x_servers.sh
. "$here/x_servers.sh"
start_xvfb 1024x768x24 || exit 1
"$@"
status=$?
stop_xvfb
exit $status
