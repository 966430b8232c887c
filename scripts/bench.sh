#!/usr/bin/env bash
# Sets up what is missing, builds the benchmarks in Release and runs each; every figure and
# ratio is printed. Not part of the tests.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$top/build-bench"
"$top/scripts/setup.sh"
cmake -S "$top" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build_dir" -j "$(nproc)" --target bench_code_page bench_regex bench_name_list bench_batch
for bench in bench_code_page bench_regex bench_name_list bench_batch; do
    echo "== $bench"
    "$build_dir/bench/$bench"
done
