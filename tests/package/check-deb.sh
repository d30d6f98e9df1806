#!/usr/bin/env bash
# Checks the Tolvane .deb: its files and control fields, the menu entry, the metainfo, the man
# pages, lintian (errors and warnings fail: a warning accepted is overridden in
# packaging/lintian-overrides with its reason), and an installed run as scripts/demo makes
# it: the unpacked tolvane upgrades the package's own tolvane-modem-sim from 0.39 to 0.42, and
# the package's tolvane-reg reads the report back.
#
#   check-deb.sh DEB              check that package
#   check-deb.sh --cpack BUILD    make the package from the build tree BUILD first
#
# A missing tool skips the check (exit 77), except under CI=true, where it fails.
set -euo pipefail
work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
need() {
  for tool; do
    command -v "$tool" >/dev/null && continue
    [ "${CI:-}" = true ] && fail "$tool is not installed"
    echo "SKIP: $tool is not installed"; exit 77
  done
}
need dpkg-deb desktop-file-validate appstreamcli man lintian file
if [ "${1:-}" = --cpack ]; then
  need cpack dpkg-shlibdeps
  cpack --config "$2/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" || { cat "$work/cpack.log"; fail cpack; }
  deb=$(echo "$work"/out/tolvane_*_amd64.deb)
else
  deb=$1
fi
[ -f "$deb" ] || fail "no package $deb"

# The unpacked package's root folder is also the drive the installed program runs from: it
# takes its drive from its own path, up to the first ":\", so its work folder is
# "$work/C:\TFWU", never the machine's /TFWU.
root="$work/C:\\"
dpkg-deb -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "tolvane_${version}_amd64.deb" ] || fail "file name $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package Architecture | tr '\n' ' ')" = "Package: tolvane Architecture: amd64 " ] ||
  fail "control: $(dpkg-deb -f "$deb" Package Architecture)"
depends=$(dpkg-deb -f "$deb" Depends)
for package in pkexec libqt6widgets6 libsqlite3-0; do
  [[ ", $depends," == *", $package"[\ ,]* ]] || fail "Depends lacks $package: $depends"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = isc-dhcp-client ] || fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $6}' | sort >"$work/files"
diff -u - "$work/files" <<'FILES' || fail "the package's files differ"
-rw-r--r-- ./usr/share/applications/org.tolvane.Tolvane.desktop
-rw-r--r-- ./usr/share/doc/tolvane/changelog.gz
-rw-r--r-- ./usr/share/doc/tolvane/copyright
-rw-r--r-- ./usr/share/icons/hicolor/256x256/apps/tolvane.png
-rw-r--r-- ./usr/share/lintian/overrides/tolvane
-rw-r--r-- ./usr/share/man/man1/tolvane-modem-sim.1.gz
-rw-r--r-- ./usr/share/man/man1/tolvane-reg.1.gz
-rw-r--r-- ./usr/share/man/man1/tolvane.1.gz
-rw-r--r-- ./usr/share/metainfo/org.tolvane.Tolvane.metainfo.xml
-rw-r--r-- ./usr/share/polkit-1/actions/org.tolvane.pkexec.tolvane.policy
-rwxr-xr-x ./usr/bin/tolvane
-rwxr-xr-x ./usr/bin/tolvane-modem-sim
-rwxr-xr-x ./usr/bin/tolvane-reg
FILES

share="$root/usr/share"
grep -qx 'License: GPL-3+' "$share/doc/tolvane/copyright" || fail "the copyright file grants no GPL-3+"
desktop-file-validate "$share/applications/org.tolvane.Tolvane.desktop" || fail desktop-file-validate
grep -qx 'Exec=pkexec /usr/bin/tolvane' "$share/applications/org.tolvane.Tolvane.desktop" || fail "Exec line"
grep -q '"org.freedesktop.policykit.exec.path">/usr/bin/tolvane<' "$share"/polkit-1/actions/*.policy ||
  fail "the polkit action is not for /usr/bin/tolvane"
grep -q '"org.freedesktop.policykit.exec.allow_gui">true<' "$share"/polkit-1/actions/*.policy ||
  fail "without allow_gui pkexec drops the user's display"
appstreamcli validate --no-net "$share/metainfo/org.tolvane.Tolvane.metainfo.xml" || fail appstreamcli
file -b "$share/icons/hicolor/256x256/apps/tolvane.png" | grep -q '^PNG image data, 256 x 256,' || fail icon
# The metainfo, the changelog and the man pages name the version: a new one must update them all.
grep -q "<release version=\"$version\"" "$share/metainfo/org.tolvane.Tolvane.metainfo.xml" || fail "metainfo release"
zcat "$share/doc/tolvane/changelog.gz" | head -n 1 | grep -qF "tolvane ($version)" || fail "changelog version"
for page in "$share"/man/man1/*.1.gz; do
  zgrep -qF "\"Tolvane $version\"" "$page" || fail "$(basename "$page") does not name version $version"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
# lintian leaves its ELF cache (mldbm-elf-*) in TMPDIR: the work folder's, removed at the end.
mkdir "$work/tmp"
TMPDIR="$work/tmp" lintian --fail-on error,warning "$deb" || fail lintian

# The installed run, with the package's three commands.
bin="$root/usr/bin"
scale=0.1
export TOLVANE_REGISTRY="$work/registry.sqlite" XDG_RUNTIME_DIR="$work" TOLVANE_TIME_SCALE=$scale
key='HKEY_CURRENT_USER\Software\TolvanePackageCheck'
mkfifo "$work/sim.out"
"$bin/tolvane-modem-sim" --listen 127.0.0.1:0 --version "0.39 (Oct 3 2005)" \
  --time-scale $scale --state-file "$work/modem.json" >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!
read -r line <"$work/sim.out"
cat >"$work/adapters.json" <<JSON
{"adapters": [{"index": 7, "description": "Package check LAN", "ip": "127.0.0.1",
  "gateway": "${line#listening on }", "dhcp": true}]}
JSON
machine_work_folder=$(ls -d /TFWU 2>/dev/null || true)
TOLVANE_ADAPTERS="$work/adapters.json" QT_QPA_PLATFORM=offscreen \
  timeout 300 "$bin/tolvane" -s -k "$key" -p admin 2>"$work/program.log" ||
  { cat "$work/program.log" "$work/sim.log"; fail "the installed tolvane"; }
[ -n "$machine_work_folder" ] || [ ! -e /TFWU ] || fail "the installed run wrote the machine's /TFWU"
report() { "$bin/tolvane-reg" query "$key" /v "$1" | sed -n 's/.*REG_SZ    //p'; }
for expected in Old_Firmware_Version=0.39 New_Firmware_Version=0.42 Firmware_Status=Done; do
  [ "$(report "${expected%%=*}")" = "${expected#*=}" ] ||
    { "$bin/tolvane-reg" query "$key"; cat "$work/program.log"; fail "report: $expected"; }
done
echo "PASS: $(basename "$deb"), $(stat -c %s "$deb") bytes"
