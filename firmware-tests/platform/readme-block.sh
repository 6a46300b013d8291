#!/usr/bin/env bash
# Prints the commands of the README's code block between the markers
# <!-- NAME: begin --> and <!-- NAME: end -->, as they stand there (the
# fence lines and the block's indentation left out), so that a test runs
# exactly what the README tells a reader to run.
#
# usage: readme-block.sh NAME [README]
set -euo pipefail
[[ $# -ge 1 && $# -le 2 ]] || { echo "usage: $0 NAME [README]" >&2; exit 2; }
name=$1
readme=${2:-$(cd "$(dirname "$0")/../.." && pwd)/README.md}

awk -v begin="<!-- $name: begin -->" -v end="<!-- $name: end -->" '
  { line = $0; sub(/^[ \t]+/, "", line) }
  line == begin { inside = 1; next }
  line == end { done = 1; exit }
  !inside { next }
  line ~ /^```/ {
    if (fenced) { closed = 1 } else { fenced = 1; match($0, /^[ \t]*/); indent = RLENGTH }
    next
  }
  fenced && !closed { print substr($0, indent + 1); printed = 1 }
  END {
    if (!done || !printed) {
      print "readme-block: no code block between " begin " and " end > "/dev/stderr"
      exit 1
    }
  }' "$readme"
