#!/usr/bin/env bash
# The man pages list the options their programs take: tolvane-modem-sim's options and faults
# against its --help, tolvane-reg's commands and switches against its /? text, and tolvane's
# options against the README's table of them.
#   check-man-options.sh SOURCE_DIR BIN_DIR
set -euo pipefail
src=$1 bin=$2
man=$src/packaging/man
status=0

# Words that name options in roff source or plain text, one a line, sorted: --long, -x, /x,
# and fault names such as no-file-input or delay=.
words() { sed 's/\\-/-/g' | grep -oE -- "$1" | sort -u; }
same() {
  if [ "$2" != "$3" ]; then
    echo "$1 differ (< usage, > man page):"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") || true
    status=1
  fi
}
# The lines after each .TP of a man page's section, which name what the section describes.
tagged() { awk -v s="$2" '/^\.SH/ { on = ($2 == s) } on && tp { print } { tp = /^\.TP/ }' "$man/$1"; }
section() { awk -v s="$2" '/^\.SH/ { on = ($2 == s); next } on' "$man/$1"; }

options='(^|[ ,])(--|-)[a-z][a-z-]*'
help=$("$bin/tolvane-modem-sim" --help)
same "tolvane-modem-sim options" "$(words "$options" <<<"${help%%Stops*}" | tr -d ' ,' | sort -u)" \
  "$(tagged tolvane-modem-sim.1 OPTIONS | words "$options" | tr -d ' ,' | sort -u)"
faults='[a-z]+(-[a-z]+)+|[a-z]+='
same "tolvane-modem-sim faults" "$(sed -n '/--fault/,/--help/p' <<<"$help" | tail -n +2 | words "$faults")" \
  "$(sed -n '/^\.BI \\-\\-fault/,/^\.TP/p' "$man/tolvane-modem-sim.1" | grep -E '^\.BI? ' | words "$faults")"

usage=$("$bin/tolvane-reg" '/?')
same "tolvane-reg commands and switches" "$(grep '^  tolvane-reg' <<<"$usage" | words 'tolvane-reg [a-z]+|/[a-z]+')" \
  "$(section tolvane-reg.1 SYNOPSIS | tr '\n' ' ' | sed 's/\.B tolvane\\-reg /\ntolvane-reg /g' | words 'tolvane-reg [a-z]+|/[a-z]+')"

table=$(sed -n '/^| option | meaning |/,/^$/p' "$src/README.md")
same "tolvane options" "$(words '^\| `-[a-z]' <<<"$table" | tr -d '|` ' | sort -u)" \
  "$(tagged tolvane.1 OPTIONS | words '^\.BI? -[a-z]' | sed 's/^\.BI\? //' | sort -u)"
exit $status
