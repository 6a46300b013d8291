#!/usr/bin/env bash
# Boots per second of the boot fuzzers of build/fuzz (or of the binaries in
# BINARIES=dir): each mode runs RUNS inputs with seed 1 from the seeds that
# build/host/fuzz_seed_corpus writes afresh, so that two builds start from
# the same inputs.
# Prints boots per second of wall time and of the CPU time the process used
# (steadier while other work shares the machine), and libFuzzer's last
# status line (coverage, features, corpus).
#
# usage: fuzz/benchmark.sh [RUNS] [board|hostile]...
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
binaries=${BINARIES:-$root/build/fuzz}
runs=${1:-20000}
[[ $# -gt 0 ]] && shift
modes=("$@")
[[ ${#modes[@]} -eq 0 ]] && modes=(board hostile)

seedCorpus=$root/build/host/fuzz_seed_corpus
if [[ ! -x $seedCorpus ]]; then
  echo "$seedCorpus is missing: build it with 'make fuzz-build'" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$seedCorpus" "$work/seeds" "$root/examples" "$here/seeds" "$here/reproducers" >/dev/null
for mode in "${modes[@]}"; do
  binary=$binaries/${mode}_fuzzer
  if [[ ! -x $binary ]]; then
    echo "$binary is missing: build it with 'make fuzz-build'" >&2
    exit 1
  fi
  cp -r "$work/seeds/$mode" "$work/$mode"
  /usr/bin/time -f '%e %U %S' -o "$work/$mode.time" "$binary" -runs="$runs" \
    -seed=1 -max_len=2048 -print_final_stats=1 "$work/$mode" \
    >"$work/$mode.log" 2>&1
  wall=$(awk '{ print $1 }' "$work/$mode.time")
  cpu=$(awk '{ print $2 + $3 }' "$work/$mode.time")
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$mode.log" |
    sed 's/^#[0-9]*[[:space:]]*DONE *//; s/ *exec\/s:.*//')
  per() { awk -v r="$runs" -v s="$1" 'BEGIN { printf "%.0f", r / s }'; }
  echo "${mode}_fuzzer: $runs boots, $(per "$wall") boots/s (wall, ${wall} s)," \
    "$(per "$cpu") boots/s (CPU, ${cpu} s); $done_line"
done
