# shellcheck shell=bash
# Wine for the end-to-end tests of the Windows build.

# wine_setup PREFIX: sets wine and wineserver, and a fresh WINEPREFIX at
# PREFIX for this run, with no debug chatter, no offer to install Mono or
# Gecko, and no menu entries or file associations made in the user's home
# (winemenubuilder off). The server's folder goes beside the prefix
# (TMPDIR), not into /tmp, where a server that was killed leaves it.
wine_setup() {
  wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
  wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
  export WINEPREFIX=$1
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  rm -rf "$WINEPREFIX" "$WINEPREFIX-tmp"
  mkdir -p "$WINEPREFIX-tmp"
  export TMPDIR=$WINEPREFIX-tmp
}

# wine_stop: ends every Wine process of the prefix.
wine_stop() { "$wineserver" -k 2>/dev/null; }

# wine_prepare: boots the prefix on $DISPLAY for unattended runs: windows
# not managed by a window manager (otherwise Wine waits 2 s on each
# destroyed window and message box), and a crash ends the process instead
# of waiting in a dialog, with no debugger attached. Wine restores, later, the display mode it finds now.
wine_prepare() {
  local started
  started=$(date +%s)
  "$wine" wineboot -i >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # No debugger attaches to a crash: the process ends with the exception's
  # code at once (winedbg's automatic mode now and then ended it with 0).
  "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d "" /f \
    >/dev/null 2>&1
  "$wineserver" -w
  echo "prefix ready in $(($(date +%s) - started)) s"
}
