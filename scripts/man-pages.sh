#!/usr/bin/env bash
# Writes the manual pages of the pella tool from its own help texts: pella.1 for the tool and
# pella-COMMAND.1 for each command. Usage: scripts/man-pages.sh PELLA OUTPUT_FOLDER VERSION
set -euo pipefail
pella=$1 out=$2 version=$3
mkdir -p "$out"

# Help text as roff: backslashes escaped, lines that roff would take as requests guarded.
as_roff() { sed -e 's/\\/\\e/g' -e "s/^\([.']\)/\\\\\&\1/"; }

page() {  # page NAME SUMMARY HELP_TEXT
  local name=$1 summary=$2 help=$3 upper
  upper=$(printf '%s' "$name" | tr '[:lower:]' '[:upper:]')
  {
    printf '.TH %s 1 "" "Pella %s" "Pella manual"\n' "$upper" "$version"
    printf '.SH NAME\n%s \\- %s\n' "$name" "$(printf '%s' "$summary" | as_roff)"
    printf '.SH DESCRIPTION\n.nf\n'
    printf '%s\n' "$help" | as_roff
    printf '.fi\n'
    [ "$name" = pella ] || printf '.SH SEE ALSO\n\\fBpella\\fR(1)\n'
  } >"$out/$name.1"
}

overview=$("$pella" --help)
page pella "DICOM network and file toolkit" "$overview"
# The command lines of the overview: two spaces, the command, spaces, its summary.
printf '%s\n' "$overview" | sed -n 's/^  \([a-z][a-z0-9-]*\)  *\(.*\)$/\1\t\2/p' |
  while IFS=$'\t' read -r command summary; do
    page "pella-$command" "$summary" "$("$pella" "$command" --help)"
  done
