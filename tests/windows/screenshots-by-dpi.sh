#!/usr/bin/env bash
# Screenshots of tolvane.exe's window under Wine on Xvfb at 96, 144 and 192 dots per inch, idle
# and with the password panel, to look at (no test reads them):
#
#   screenshots-by-dpi.sh FOLDER TOLVANE_EXE MODEM_SIM
#
# FOLDER/screenshots/wine-<dpi>dpi-{idle,password-panel}.png. Each shot has a fresh prefix in
# FOLDER and the program runs from its own drive C:, as in upgrade-under-wine.sh; a window manager
# (openbox, when installed) draws the title bar with the icon.
set -euo pipefail
if [ "${TOLVANE_ON_XVFB:-}" != 1 ]; then
    exec env TOLVANE_ON_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" "$@"
fi
folder=$(realpath -m "$1")
exe=$(realpath "$2")
sim=$(realpath "$3")
here=$(dirname "$(realpath "$0")")
pids=()
wine_run() { "$here/wine-run.sh" "$folder/screenshots-wine" "$@"; }
cleanup() {
    wine_run stop || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT
mkdir -p "$folder/screenshots"
if command -v openbox >/dev/null; then
    openbox >/dev/null 2>&1 &
    pids+=($!)
fi

# shot DPI: both screenshots at one resolution, the password refused once by the stand-in.
shot() {
    local dpi=$1 drive_c=$folder/screenshots-wine/prefix/drive_c settings address modem program
    wine_run start
    mkdir -p "$drive_c/Tolvane"
    cp "$exe" "$drive_c/Tolvane/tolvane.exe"
    settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
    wine_run reg add "$settings" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null
    wine_run reg add "$settings\Zones\3" /v 1601 /t REG_DWORD /d 0 /f >/dev/null
    wine_run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
    rm -f "$folder/modem.out" && mkfifo "$folder/modem.out"
    "$sim" --listen 127.0.0.1:0 --version "0.39 (Oct 3 2005)" --password secret --time-scale 0.1 \
        --state-file "$folder/modem.json" >"$folder/modem.out" 2>"$folder/modem.log" &
    modem=$!
    read -r address <"$folder/modem.out"
    printf '{"adapters": [{"index": 7, "description": "LAN", "ip": "127.0.0.1", "gateway": "%s", "dhcp": true}]}\n' \
        "${address#listening on }" >"$drive_c/adapters.json"
    TOLVANE_ADAPTERS='C:\adapters.json' TOLVANE_TIME_SCALE=0.1 \
        wine_run 'C:\Tolvane\tolvane.exe' -k 'HKEY_CURRENT_USER\Software\Screenshots' -p admin &
    program=$!
    xdotool search --sync --name 'Tolvane ver 0.42 Ver 0.51' >/dev/null
    sleep 3
    import -display "$DISPLAY" -window root "$folder/screenshots/wine-${dpi}dpi-idle.png"
    xdotool key Return # Start has the focus
    timeout 60 sh -c 'until grep -q "login refused" "$1"; do sleep 0.2; done' sh "$folder/modem.log"
    sleep 3
    import -display "$DISPLAY" -window root "$folder/screenshots/wine-${dpi}dpi-password-panel.png"
    wine_run stop
    kill "$modem" "$program" 2>/dev/null || true
    wait "$modem" "$program" 2>/dev/null || true
}

for dpi in 96 144 192; do shot "$dpi"; done
ls "$folder/screenshots"
