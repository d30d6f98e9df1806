#!/usr/bin/env bash
# A whole upgrade by tolvane.exe under Wine against the stand-in modem (a Linux program):
#
#   upgrade-under-wine.sh silent|netns|window FOLDER TOLVANE_EXE MODEM_SIM
#
#   silent  -s with simulated adapters, the stand-in on 127.0.0.1 (Wine shares the host's loopback)
#   netns   -s with the real IP Helper, inside network namespaces made here, where the stand-in
#           at the modem namespace's address, port 80, is the only gateway
#   window  the window on Xvfb: the password refused first, Start and Login pressed with xdotool
#
# Each run has a fresh prefix in FOLDER whose server is stopped at the end. The program runs from
# a copy in the prefix's own drive C:, so its work folder is C:\TFWU there, never the host's /TFWU.
# Answers 77 (skipped) where a network namespace cannot be made.
set -euo pipefail
mode=$1
folder=$(realpath -m "$2")
exe=$(realpath "$3")
sim=$(realpath "$4")
here=$(dirname "$(realpath "$0")")
scale=0.1
# Outside every ANSI code page: the key must reach the registry as the installer wrote it.
key='HKEY_CURRENT_USER\Software\Отчёт'
program='C:\Tolvane\tolvane.exe'
drive_c=$folder/prefix/drive_c
export TOLVANE_TIME_SCALE=$scale
pids=()

fail() { echo "FAIL ($mode): $*" >&2; exit 1; }
wine_run() { "$here/wine-run.sh" "$folder" "$@"; }
cleanup() {
    wine_run stop || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}

# start_modem [COMMAND...] -- OPTIONS...: the stand-in, at 0.39 and with the password "secret";
# sets $address to where it listens.
start_modem() {
    local launch=()
    while [ "$1" != -- ]; do launch+=("$1") && shift; done
    shift
    mkfifo "$folder/modem.out"
    "${launch[@]}" "$sim" --version "0.39 (Oct 3 2005)" --password secret --time-scale "$scale" \
        --state-file "$folder/modem.json" "$@" >"$folder/modem.out" 2>"$folder/modem.log" &
    pids+=($!)
    read -r address <"$folder/modem.out" || fail "the stand-in did not start: $(cat "$folder/modem.log")"
    address=${address#listening on }
}

simulated_adapters() {
    printf '{"adapters": [{"index": 7, "description": "Simulated LAN", "ip": "127.0.0.1", "gateway": "%s", "dhcp": true}]}\n' \
        "$address" >"$drive_c/adapters.json"
    export TOLVANE_ADAPTERS='C:\adapters.json'
}

# The client's namespace (this process, started again inside it) and the modem's, joined by a veth
# pair; the modem's address is the client's only gateway. Both addresses exist only in there.
client_address=192.168.2.10 modem_address=192.168.2.1 # netns hosts only
enter_namespaces() {
    if [ "${TOLVANE_IN_TEST_NETNS:-}" != 1 ]; then
        unshare --net true 2>/dev/null || { echo "SKIP: no network namespace can be made here (it needs root)"; exit 77; }
        exec unshare --net env TOLVANE_IN_TEST_NETNS=1 "$0" "$@"
    fi
    ip link set lo up
    unshare --net sleep infinity &
    pids+=($!)
    modem_net=/proc/$!/ns/net
    sleep 0.2
    ip link add tolvane0 type veth peer name tolvane1 netns "$!"
    ip addr add "$client_address/24" dev tolvane0
    ip link set tolvane0 up
    ip route add default via "$modem_address"
    nsenter --net="$modem_net" sh -c "ip link set lo up && ip addr add $modem_address/24 dev tolvane1 && ip link set tolvane1 up"
}

# reported NAME: a value under the report key, as Wine's own reg.exe shows it.
reported() {
    wine_run reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"
}

check_outcome() {
    local name expected # an empty expectation: no such value
    while IFS='=' read -r name expected; do
        [ "$(reported "$name")" = "$expected" ] || fail "$name is '$(reported "$name")', not '$expected'"
    done <<EOF
Firmware_Status=Done
Old_Firmware_Version=0.39
New_Firmware_Version=0.42
Operation_System=Windows XP
Mac_Address=00:17:3F:5A:21:C4
Error_Msg=
EOF
    grep -q '"version": *"0.42 (Mar 14 2006)"' "$folder/modem.json" || fail "the modem is not at 0.42"
    [ -z "$(ls -A "$drive_c/TFWU" 2>/dev/null)" ] || fail "C:\\TFWU still holds $(ls "$drive_c/TFWU")"
}

silent_upgrade() { wine_run "$program" -s -k "$key" -p secret || fail "tolvane.exe failed"; }

# click X Y: a left click at a point of the window's client area, given in twips. The centres of
# buttons in Frame1, which sits 415 twips from the top once loaded (the logo's 315 and 100 more).
click() { xdotool mousemove --window "$window" $(($1 / 15)) $(($2 / 15)) click 1; }

window_upgrade() {
    wine_run "$program" -k "$key" -p admin &
    local run=$!
    window=$(xdotool search --sync --name 'Tolvane ver 0.42 Ver 0.51' | head -n 1)
    sleep 2
    # An earlier instance is running: a second start ends at once and reports nothing.
    wine_run "$program" -s -k 'HKEY_CURRENT_USER\Software\Tolvane Second' -p secret
    ! wine_run reg query 'HKCU\Software\Tolvane Second' >/dev/null 2>&1 || fail "a second instance ran"

    click $((120 + 2588 + 547)) $((415 + 1920 + 187)) # Start
    timeout 60 sh -c 'until grep -q "login refused" "$1"; do sleep 0.1; done' sh "$folder/modem.log" ||
        fail "the stand-in never logged 'login refused'"
    sleep 2
    xdotool type --delay 50 secret && sleep 1
    click $((120 + 2520 + 607)) $((415 + 1320 + 187)) # Login, on the panel in Frame1's place
    for _ in $(seq 300); do
        [ "$(reported Firmware_Status)" = Done ] && break
        sleep 1
    done
    sleep 2
    click $((120 + 3788 + 547)) $((415 + 1920 + 187)) # Exit
    wait "$run" || fail "tolvane.exe failed"
}

[ ! -e /TFWU ] || fail "/TFWU exists on this machine before the run"
[ "$mode" != netns ] || enter_namespaces "$@"
trap cleanup EXIT
if [ "$mode" = window ] && [ "${TOLVANE_ON_XVFB:-}" != 1 ]; then
    exec env TOLVANE_ON_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi
[ "$mode" = window ] || unset DISPLAY WAYLAND_DISPLAY
wine_run start
mkdir -p "$drive_c/Tolvane"
cp "$exe" "$drive_c/Tolvane/tolvane.exe"
# What a Windows profile holds and a fresh prefix lacks: the proxy setting and zone 3's rule 1601.
settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
wine_run reg add "$settings" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null
wine_run reg add "$settings\Zones\3" /v 1601 /t REG_DWORD /d 0 /f >/dev/null
# Windows XP is a version the program names, which shows that it reads the system's own record.
wine_run reg add 'HKCU\Software\Wine\AppDefaults\tolvane.exe' /v Version /d winxp /f >/dev/null

case "$mode" in
silent) start_modem -- --listen 127.0.0.1:0 && simulated_adapters && silent_upgrade ;;
netns) start_modem nsenter --net="$modem_net" -- --listen "$modem_address:80" && silent_upgrade ;;
window) start_modem -- --listen 127.0.0.1:0 && simulated_adapters && window_upgrade ;;
esac
check_outcome
[ ! -e /TFWU ] || fail "/TFWU appeared on this machine"
echo "PASS ($mode)"
