#!/usr/bin/env bash
# Runs Windows test programs under Wine, in a Wine prefix of their own.
#
#   wine-run FOLDER start              fresh prefix in FOLDER/prefix, its server kept running
#   wine-run FOLDER PROGRAM [ARGS...]  runs PROGRAM in it; answers with the program's exit code
#   wine-run FOLDER stop               ends the prefix's server and every program still in it
#
# Every call of one FOLDER uses the same TMPDIR (FOLDER/tmp): Wine finds the server of a prefix
# through a socket under TMPDIR, so a call with another TMPDIR would start a second server on the
# same prefix. Console programs need no display, and none is offered to them.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 FOLDER start|stop|PROGRAM [ARGS...]" >&2
    exit 2
fi
folder=$(realpath -m "$1")
shift

export WINEPREFIX="$folder/prefix"
export TMPDIR="$folder/tmp"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY

case "$1" in
start)
    if [ -d "$WINEPREFIX" ] && [ -d "$TMPDIR" ]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    rm -rf "$folder"
    mkdir -p "$TMPDIR" "$WINEPREFIX"
    # Persistent until stop: otherwise the server ends three seconds after each program and the
    # next one pays for starting it and the prefix's services again.
    # The server and the services it starts outlive this call: none of them may hold on to the
    # caller's output, or a test runner waiting for its end would wait for them.
    wineserver -p </dev/null >/dev/null 2>&1
    # wineboot reports the missing 32-bit loader of a 64-bit-only Wine; nothing here needs it.
    wine wineboot -i </dev/null >"$folder/wineboot.log" 2>&1 || {
        cat "$folder/wineboot.log" >&2
        exit 1
    }
    ;;
stop)
    [ -d "$TMPDIR" ] || exit 0
    wineserver -k 2>/dev/null || true
    wineserver -w
    ;;
*)
    exec wine "$@"
    ;;
esac
