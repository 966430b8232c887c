#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test through CTest.
#   scripts/test.sh [--werror] [--sanitize address,undefined] [--build-dir DIR] [-- ctest args]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$top/build"
cmake_args=()
while (($#)); do
    case "$1" in
        --werror) cmake_args+=(-DMOJING_WERROR=ON) ;;
        # Benchmarks mean nothing under a sanitizer, and libstdc++'s regex trips its warnings.
        --sanitize) cmake_args+=("-DMOJING_SANITIZE=$2" -DMOJING_BUILD_BENCHMARKS=OFF); shift ;;
        --build-dir) build_dir="$2"; shift ;;
        --) shift; break ;;
        *) echo "test.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
"$top/scripts/setup.sh"
cmake -S "$top" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cmake_args[@]}"
cmake --build "$build_dir" -j "$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" "$@"
