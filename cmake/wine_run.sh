#!/bin/bash
# Runs one 32-bit Windows program under Wine; the module build's emulator for
# CTest. Usage: wine_run.sh PREFIX PROGRAM [ARGUMENTS...]
#
# PREFIX is a Wine prefix in the build folder, made on first use, so that
# nothing is written to the user's ~/.wine or home. The program's exit code
# is passed on. A machine without Wine fails here with a message, never by
# skipping: run scripts/setup-wine.sh as root to prepare one.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: wine_run.sh PREFIX PROGRAM [ARGUMENTS...]" >&2
  exit 2
fi
prefix=$1
shift

if ! command -v wine > /dev/null || [ ! -x /usr/lib/wine/wine ]; then
  echo "wine_run: Wine with its 32-bit loader (wine32:i386) is not installed;" \
    "run scripts/setup-wine.sh as root" >&2
  exit 1
fi

export WINEPREFIX=$prefix
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko installer prompts, and no menu entries or file
# associations written into the home folder.
export WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=d'
# Wine links the prefix's user folders to the home folder's; a home of its
# own keeps the user's untouched and the runs independent of it.
export HOME=$prefix-home
# Tests have no business opening windows on a developer's desktop.
unset DISPLAY WAYLAND_DISPLAY

# On a kernel without 32-bit support the loader runs only through the qemu
# registration that setup-wine.sh makes, which a reboot undoes.
if ! /usr/lib/wine/wine --version > /dev/null 2>&1; then
  echo "wine_run: Wine's 32-bit loader does not start on this machine;" \
    "run scripts/setup-wine.sh as root" >&2
  exit 1
fi

ready=$prefix/.quillmarch-ready
if [ ! -e "$ready" ]; then
  mkdir -p "$HOME" "$(dirname "$prefix")"
  # Several tests may start at once on a fresh build folder; one makes the
  # prefix while the others wait for it.
  exec 9> "$prefix.lock"
  flock 9
  if [ ! -e "$ready" ]; then
    log=$prefix.log
    if ! wine wineboot --init < /dev/null > "$log" 2>&1; then
      echo "wine_run: could not make the Wine prefix $prefix:" >&2
      cat "$log" >&2
      exit 1
    fi
    # A crashing test must end with its exit code, not wait in a debugger.
    wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /f < /dev/null >> "$log" 2>&1 || true
    wineserver -w
    touch "$ready"
  fi
  exec 9>&-
fi

exec wine "$@"
