#!/usr/bin/env bash
# Sets up what is missing, builds, and starts the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$top/build"
"$top/scripts/setup.sh"
cmake -S "$top" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j "$(nproc)" --target mojing-shuxia
exec "$build_dir/app/mojing-shuxia" "$@"
