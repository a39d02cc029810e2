#!/usr/bin/env bash
# Prints the Nth fenced block of language LANG in the section of README.md whose "## "
# heading starts with HEADING; fails when there is none.
#   readme_block.sh README HEADING N LANG
set -euo pipefail
out=$(awk -v head="$2" -v n="$3" -v lang="$4" '
  /^## / && !inblock { insec = (substr($0, 4, length(head)) == head); next }
  insec && !inblock && $0 == "```" lang { count++; inblock = 1; next }
  inblock && /^```/ { inblock = 0; if (count == n) exit; next }
  inblock && count == n { print }
' "$1")
if [ -z "$out" ]; then
  echo "readme_block: no block $3 of \`\`\`$4 under \"## $2\" in $1" >&2
  exit 1
fi
printf '%s\n' "$out"
