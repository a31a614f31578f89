#!/usr/bin/env bash
# Runs every libFuzzer target of a LARKSPIRE_FUZZ build for a fixed number of inputs (and at
# most a fixed time), starting from its seed corpus under fuzz/corpus. New inputs the fuzzer
# keeps go to the build directory, never into the source tree. Stops at the first finding.
# The random seed is fixed (FUZZ_SEED, 1 unless set), so a run over a fresh build gives the
# same inputs every time and a gate that passed once passes again; set FUZZ_SEED=0 for a
# seed from the clock, as a hand run that looks for new findings should. A finding's input
# belongs in the target's seed corpus once it is mended.
# Usage: scripts/fuzz.sh BUILD_DIR RUNS [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
runs=$2
seconds=${3:-600}
shift $(( $# < 3 ? $# : 3 ))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for seeds in fuzz/corpus/*/; do targets+=("$(basename "$seeds")"); done
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for target in "${targets[@]}"; do
  work="$build/fuzz-corpus/$target"
  mkdir -p "$work" "$build/fuzz-findings/$target"
  echo "== fuzz_$target: $runs runs, at most $seconds s"
  "$build/fuzz/fuzz_$target" -runs="$runs" -max_total_time="$seconds" -timeout=20 \
    -seed="${FUZZ_SEED:-1}" \
    -artifact_prefix="$build/fuzz-findings/$target/" -print_final_stats=1 \
    "$work" "fuzz/corpus/$target"
done
