#!/usr/bin/env bash
# Runs Windows programs under Wine, in a Wine prefix of their own.
#
#   wine-run.sh FOLDER start              fresh prefix in FOLDER/prefix, its server kept running
#   wine-run.sh FOLDER PROGRAM [ARGS...]  runs PROGRAM in it; answers with the program's exit code
#   wine-run.sh FOLDER stop               ends the prefix's server and every program still in it
#
# Every call of one FOLDER uses the same TMPDIR (FOLDER/tmp): Wine finds the server of a prefix
# through a socket under TMPDIR, so a call with another TMPDIR would start a second server on the
# same prefix. Programs get the caller's DISPLAY: a prefix started without one has no windows.
set -euo pipefail
folder=$(realpath -m "$1")
shift
export WINEPREFIX="$folder/prefix" TMPDIR="$folder/tmp" WINEDEBUG="${WINEDEBUG:--all}" WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

case "$1" in
start)
    if [ -d "$TMPDIR" ]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    rm -rf "$folder"
    mkdir -p "$TMPDIR" "$WINEPREFIX"
    # Kept until stop, so that each program does not pay for starting the prefix's services. The
    # server and the services outlive this call: none may hold the caller's output open.
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
*) exec wine "$@" ;;
esac
