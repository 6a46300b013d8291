#!/usr/bin/env bash
# Runs the boot fuzzers of build/fuzz for SECONDS in total, split evenly over
# the modes named (board, hostile; both when none is named), which run side
# by side on a machine with a core for each. Each mode starts from the seeds
# that the host build's fuzz_seed_corpus writes into build/fuzz/seeds/ (the
# scenarios of examples/, fuzz/seeds/ and fuzz/reproducers/) and the corpus
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

status=0
passed=0
failed=0
declare -A pids

# Starts MODE's fuzzer in the background on its corpus and seeds.
launch() {
  local mode=$1
  local corpus=$build/corpus/$mode
  mkdir -p "$corpus" "$build/findings/$mode"
  # A stuck P2SB takes a few seconds per boot; a boot past 120 s hangs.
  "$build/${mode}_fuzzer" -max_total_time="$each" -timeout=120 -max_len=2048 \
    -entropic_scale_per_exec_time=1 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$mode/" "$corpus" "$seeds/$mode" \
    >"$build/$mode-fuzzer.log" 2>&1 &
  pids[$mode]=$!
}

# True once every fuzzer of the wave has ended, or false after
# PROGRESS_SECONDS.
wave_ended() {
  local step mode running
  for ((step = 0; step < PROGRESS_SECONDS * 10; step++)); do
    running=0
    for mode in "$@"; do
      kill -0 "${pids[$mode]}" 2>/dev/null && running=1
    done
    [[ $running -eq 0 ]] && return 0
    sleep 0.1
  done
  return 1
}

# Waits for MODE's fuzzer and says how it went.
report() {
  local mode=$1
  local binary=$build/${mode}_fuzzer
  local corpus=$build/corpus/$mode
  local log=$build/$mode-fuzzer.log
  wait "${pids[$mode]}"
  local rc=$?
  local runs rate added slowest size artifact
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
    return
  fi
  if [[ -z $runs || $runs -eq 0 ]]; then
    status=1
    failed=$((failed + 1))
    echo "${mode}_fuzzer: executed nothing; see $log"
    return
  fi
  passed=$((passed + 1))
  echo "${mode}_fuzzer: $runs boots in ${each} s ($rate/s), no finding;" \
    "corpus $size inputs (+${added:-0}), slowest ${slowest:-0} s"
}

for mode in "${modes[@]}"; do
  if [[ ! -x $build/${mode}_fuzzer ]]; then
    echo "$build/${mode}_fuzzer is missing: build it with 'make fuzz-build'" >&2
    exit 1
  fi
done

# The modes run side by side, as many at once as the machine has cores, so
# each has a core of its own for its share of the time.
cores=$(nproc)
for ((first = 0; first < ${#modes[@]}; first += cores)); do
  wave=("${modes[@]:first:cores}")
  for mode in "${wave[@]}"; do
    launch "$mode"
  done
  # A line every PROGRESS_SECONDS while they run, with the last count each
  # printed (libFuzzer prints one on new coverage and at powers of two).
  started=$SECONDS
  while ! wave_ended "${wave[@]}"; do
    for mode in "${wave[@]}"; do
      count=$(grep -ao '^#[0-9]*' "$build/$mode-fuzzer.log" | tail -1)
      echo "  ${mode}_fuzzer: $((SECONDS - started)) of ${each} s, at least ${count#\#} boots"
    done
  done
  for mode in "${wave[@]}"; do
    report "$mode"
  done
done
echo "fuzzers: $passed passed, $failed failed"
exit $status
