#!/usr/bin/env bash
# Writes the manual page from the program's own help texts plus the hand-written sections.
# Usage: make-manpage.sh TOLVEX_BINARY SECTIONS_FILE OUTPUT
set -euo pipefail
tolvex=$1 sections=$2 output=$3

# Help text as literal roff: backslashes escaped, no line taken for a request.
roff_text() { sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/" -e 's/-/\\-/g'; }

version=$("$tolvex" --version | awk '{print $NF}')
top=$("$tolvex" --help)
commands=$(printf '%s\n' "$top" | awk 'tolower($0) ~ /^subcommands:/ {on=1; next} on && NF {print $1}')

{
  printf '.TH TOLVEX 1 "" "tolvex %s" "User Commands"\n' "$version"
  printf '.SH NAME\ntolvex \\- virtual GPS receiver that feeds NMEA\\-0183 sentences to serial, virtual and network ports\n'
  printf '.SH SYNOPSIS\n.B tolvex\n.br\n.B tolvex\n.I COMMAND\n.RI [ OPTIONS ]\n'
  printf '.SH DESCRIPTION\n'
  printf 'Without arguments (or as \\fBtolvex window\\fR) it opens the panel window. Every other command is headless and needs no display.\n'
  printf '.PP\n.nf\n'
  printf '%s\n' "$top" | roff_text
  printf '.fi\n.SH COMMANDS\n'
  for command in $commands; do
    printf '.SS "tolvex %s"\n.nf\n' "$command"
    "$tolvex" "$command" --help | roff_text
    printf '.fi\n'
  done
  cat "$sections"
} > "$output.tmp"
mv "$output.tmp" "$output"
