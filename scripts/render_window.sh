#!/usr/bin/env bash
# Draws the main window as it opens, on Qt's offscreen platform, into docs/window.png (or the
# file given). The window shows its working folder in 编辑框4, so it is drawn from a fresh one.
#   scripts/render_window.sh [OUTPUT.png] [--build-dir DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$top/build"
output="$top/docs/window.png"
while (($#)); do
    case "$1" in
        --build-dir) build_dir="$2"; shift ;;
        *) output="$1" ;;
    esac
    shift
done
build_dir=$(realpath -m "$build_dir")
"$top/scripts/setup.sh"
cmake -S "$top" -B "$build_dir" -G Ninja >/dev/null
cmake --build "$build_dir" --target mojing-render-window
mkdir -p "$(dirname "$output")"
output=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/墨鲸书匣"
cd "$folder/墨鲸书匣"
QT_QPA_PLATFORM=offscreen "$build_dir/app/mojing-render-window" "$output"
