#!/usr/bin/env bash
# Writes what boardsim's table of scenario keys describes: the scenario
# file's JSON Schema (docs/scenario.schema.json) and the README's list of
# the keys, the code block between <!-- scenario-keys: begin --> and
# <!-- scenario-keys: end -->.
#
# usage: tools/write-scenario-contract.sh BOARDSIM
set -euo pipefail
[[ $# -eq 1 && -x $1 ]] || { echo "usage: $0 BOARDSIM (the built boardsim program)" >&2; exit 2; }
boardsim=$1
root="$(cd "$(dirname "$0")/.." && pwd)"

"$boardsim" --schema >"$root/docs/scenario.schema.json"
keys=$("$boardsim" --keys)
readme="$root/README.md"
KEYS=$keys awk '
  $0 == "<!-- scenario-keys: begin -->" { print; print "```"; print ENVIRON["KEYS"]; print "```"; skip = 1; next }
  $0 == "<!-- scenario-keys: end -->" { skip = 0; found = 1 }
  !skip { print }
  END { if (!found) { print "write-scenario-contract: no scenario-keys block in README.md" > "/dev/stderr"; exit 1 } }
' "$readme" >"$readme.new"
mv "$readme.new" "$readme"
echo "docs/scenario.schema.json and README.md's list of scenario keys written from boardsim"
