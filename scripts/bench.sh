#!/usr/bin/env bash
# `make bench`: the Google Benchmark programs, the data file's memory per entry, the
# side-by-side comparisons with an lxml scraper and with Python's json module, and an
# unattended update run of the program beside a minimal client. Speed is only measured here,
# never in tests.
# The measurements need an optimised build: when the given build tree is not a Release build,
# a Release tree "<build>-bench" is configured beside it and used instead.
# BENCH_ARGS passes options to larkspire_bench, e.g. BENCH_ARGS=--benchmark_filter=Normalize;
# UPDATE_RUN_ARGS to bench/update_run.py, e.g. UPDATE_RUN_ARGS="500 --runs 3".
set -euo pipefail
build=${1:-build}
jobs=${JOBS:-2}
root="$PWD"

type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
if [ "$type" != "Release" ]; then
  build="$build-bench"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLARKSPIRE_GUI=ON \
    -DLARKSPIRE_BENCH=ON >/dev/null
fi
# The update run needs the program itself, which only a GUI tree builds.
gui=$(sed -n 's/^LARKSPIRE_GUI:BOOL=//p' "$build/CMakeCache.txt")
program=()
[ "$gui" = "ON" ] && program=(larkspire larkspire_gui_bench)
cmake --build "$build" -j "$jobs" --target larkspire_bench larkspire_datafile_memory \
  larkspire_extract_pages larkspire-sim "${program[@]}"

echo "== machine"
lscpu | grep -E '^(Model name|Architecture|CPU\(s\)|Thread|Core|Socket|CPU max MHz|L[23] cache)' || true
echo "nproc: $(nproc)"
free -h | sed -n '1,2p'

echo "== benchmarks"
"$build/bench/larkspire_bench" --benchmark_counters_tabular=true \
  --benchmark_out="$build/bench-results.json" --benchmark_out_format=json ${BENCH_ARGS:-}

# The client's list model is measured only when the given tree is an optimised GUI build.
if [ -x "$build/bench/larkspire_gui_bench" ]; then
  echo "== client list model"
  QT_QPA_PLATFORM=offscreen "$build/bench/larkspire_gui_bench"
fi

echo "== data file memory (100,000 entries)"
"$build/bench/larkspire_datafile_memory" 100000

echo "== extraction compared with an lxml scraper"
/usr/bin/python3 "$root/bench/compare/compare.py" "$build"

echo "== Open Data Portal answers mapped beside Python's json module"
/usr/bin/python3 "$root/bench/compare/odp_python.py" "$build"

echo "== unattended update run beside a minimal client"
if [ "$gui" = "ON" ]; then
  /usr/bin/python3 "$root/bench/update_run.py" --build "$build" ${UPDATE_RUN_ARGS:-}
else
  echo "(skipped: $build is built without the GUI, so without the program)"
fi
