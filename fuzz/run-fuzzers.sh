#!/usr/bin/env bash
# Runs the boot fuzzers of build/fuzz for SECONDS in total, split evenly over
# the modes named (board, hostile; both when none is named). Each mode starts
# from the seeds that the host build's fuzz_seed_corpus writes into
# build/fuzz/seeds/ (the scenarios of examples/, fuzz/seeds/ and fuzz/reproducers/) and the corpus
# kept in build/fuzz/corpus/. Prints executions and executions per second
# for each mode; fails on any finding and names the input that reproduces
# it.
#
# usage: fuzz/run-fuzzers.sh SECONDS [board|hostile]...
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$root/build/fuzz

if [[ $# -lt 1 || ! $1 =~ ^[0-9]+$ || $1 -lt 1 ]]; then
  echo "usage: $0 SECONDS [board|hostile]..." >&2
  exit 2
fi
seconds=$1
shift
modes=("$@")
[[ ${#modes[@]} -eq 0 ]] && modes=(board hostile)
each=$((seconds / ${#modes[@]}))
[[ $each -lt 1 ]] && each=1

PROGRESS_SECONDS=10

for mode in "${modes[@]}"; do
  if [[ $mode != board && $mode != hostile ]]; then
    echo "unknown fuzzer mode '$mode' (board or hostile)" >&2
    exit 2
  fi
done
seedCorpus=$root/build/host/fuzz_seed_corpus
if [[ ! -x $seedCorpus ]]; then
  echo "$seedCorpus is missing: build it with 'make fuzz-build'" >&2
  exit 1
fi
seeds=$build/seeds
"$seedCorpus" "$seeds" "$root/examples" "$here/seeds" "$here/reproducers" \
  >/dev/null || exit 1

# True once the process has ended, or false after PROGRESS_SECONDS.
wait_a_while() {
  local step
  for ((step = 0; step < PROGRESS_SECONDS * 10; step++)); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  ! kill -0 "$1" 2>/dev/null
}

status=0
passed=0
failed=0
for mode in "${modes[@]}"; do
  binary=$build/${mode}_fuzzer
  if [[ ! -x $binary ]]; then
    echo "$binary is missing: build it with 'make fuzz-build'" >&2
    exit 1
  fi
  corpus=$build/corpus/$mode
  findings=$build/findings/$mode
  log=$build/$mode-fuzzer.log
  mkdir -p "$corpus" "$findings"

  # A stuck P2SB takes a few seconds per boot; a boot past 120 s hangs.
  "$binary" -max_total_time="$each" -timeout=120 -max_len=2048 \
    -entropic_scale_per_exec_time=1 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "$seeds/$mode" \
    >"$log" 2>&1 &
  fuzzer=$!
  # A line every PROGRESS_SECONDS while it runs, with the last count
  # libFuzzer printed (it prints one on new coverage and at powers of two).
  started=$SECONDS
  while ! wait_a_while "$fuzzer"; do
    count=$(grep -ao '^#[0-9]*' "$log" | tail -1)
    echo "  ${mode}_fuzzer: $((SECONDS - started)) of ${each} s, at least ${count#\#} boots"
  done
  wait "$fuzzer"
  rc=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  added=$(sed -n 's/^stat::new_units_added: *//p' "$log")
  slowest=$(sed -n 's/^stat::slowest_unit_time_sec: *//p' "$log")
  size=$(find "$corpus" -type f | wc -l)
  if [[ $rc -ne 0 ]]; then
    status=1
    failed=$((failed + 1))
    artifact=$(sed -n "s/^.*Test unit written to \(.*\)$/\1/p" "$log" | tail -1)
    echo "${mode}_fuzzer: FINDING after ${runs:-?} executions (exit $rc)"
    grep -E '^(FINDING|==[0-9]+==ERROR|SUMMARY)|runtime error' "$log" | head -20
    echo "  input: ${artifact:-see $log}"
    echo "  replay: BOARD_FUZZ_DESCRIBE=1 $binary ${artifact:-INPUT}"
    echo "  as a scenario: BOARD_FUZZ_SCENARIO=$build/finding.json $binary" \
      "${artifact:-INPUT}; build/host/boardsim $build/finding.json"
    echo "  log: $log"
    continue
  fi
  if [[ -z $runs || $runs -eq 0 ]]; then
    status=1
    failed=$((failed + 1))
    echo "${mode}_fuzzer: executed nothing; see $log"
    continue
  fi
  passed=$((passed + 1))
  echo "${mode}_fuzzer: $runs boots in ${each} s ($rate/s), no finding;" \
    "corpus $size inputs (+${added:-0}), slowest ${slowest:-0} s"
done
echo "fuzzers: $passed passed, $failed failed"
exit $status
