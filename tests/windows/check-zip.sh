#!/usr/bin/env bash
# The zip for Windows users holds what its README promises, as Windows users open it:
#
#   check-zip.sh ZIP TOLVANE_EXE SOURCE_FOLDER
set -euo pipefail
zip=$(realpath "$1")
exe=$(realpath "$2")
source=$(realpath "$3")
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

listed=$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')
[ "$listed" = "LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt tolvane.exe " ] ||
    fail "the zip holds $listed"
(cd "$work" && cmake -E tar xf "$zip")
cmp -s "$work/tolvane.exe" "$exe" || fail "tolvane.exe is not the one built"

for text in README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt; do
    # Every line ends in CR LF: once the pairs are gone, no CR and no LF is left.
    perl -0777 -ne 'exit(s/\r\n//gr =~ /[\r\n]/)' "$work/$text" ||
        fail "$text has a line end other than CR LF"
done
tr -d '\r' <"$work/LICENSE.txt" | cmp -s - "$source/LICENSE" || fail "LICENSE.txt is not LICENSE"
grep -q 'GNU GENERAL PUBLIC LICENSE' "$source/LICENSE" || fail "LICENSE is not the GPL"

! grep -q '@' "$work/README.txt" || fail "README.txt holds an unreplaced @VARIABLE@"
# The notices are those of the versions built from: packaging/windows/take-notices after an update.
while read -r source binary; do
    phrase="Debian's source package $source $(dpkg-query -W -f='${Version}' "$binary")"
    grep -qF -- "$phrase" "$work/THIRD-PARTY-NOTICES.txt" || fail "the notices lack: $phrase"
done <<'PACKAGES'
qt6-base qt6-base-dev
libxml2 libxml2-dev
mingw-w64 mingw-w64-x86-64-dev
PACKAGES
grep -qF 'GNU LESSER GENERAL PUBLIC LICENSE' "$work/THIRD-PARTY-NOTICES.txt" || fail "no LGPL text"
echo "PASS: $(stat -c %s "$zip") bytes"
