#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks what a desktop finds there, and starts the
# installed program as a user who cannot write beside it: it must settle in the download folder.
#   tests/install/install_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
program_pid=
cleanup() {
    [[ -z $program_pid ]] || kill "$program_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"
prefix=$work/prefix
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

desktop=$prefix/share/applications/net.mojing.shuxia.desktop
metainfo=$prefix/share/metainfo/net.mojing.shuxia.metainfo.xml
[[ -x $prefix/bin/mojing-shuxia ]] || fail "no executable"
[[ -f $desktop ]] || fail "no desktop entry"
desktop-file-validate "$desktop"
grep -qx 'Name=墨鲸书匣' "$desktop" || fail "the entry's name"
grep -qx 'Icon=mojing-shuxia' "$desktop" || fail "the entry's icon"
grep -qx 'Categories=Network;FileTransfer;' "$desktop" || fail "the entry's categories"
grep -qx 'Exec=mojing-shuxia' "$desktop" || fail "the entry's command"
appstreamcli validate --no-net "$metainfo"

for size in 128 64 48 32 16; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/mojing-shuxia.png
    [[ -f $icon ]] || fail "no $size px icon"
    # The PNG header's width and height, big-endian 32-bit words from byte 16 on.
    read -r -a dims < <(od -An -tu1 -j16 -N8 "$icon")
    width=$(( (dims[2] << 8) | dims[3] )) height=$(( (dims[6] << 8) | dims[7] ))
    [[ $width == "$size" && $height == "$size" ]] || fail "$icon is ${width}x$height"
done
[[ -f $prefix/share/icons/hicolor/scalable/apps/mojing-shuxia.svg ]] || fail "no scalable icon"

version=$("$prefix/bin/mojing-shuxia" --version)
[[ $version == "墨鲸书匣 1.2.0.0" ]] || fail "--version said: $version"

# Root may write anywhere, so root runs it as nobody; anyone else takes the write bits away.
home=$work/home
runtime=$work/runtime
mkdir -m 777 "$home"
mkdir -m 700 "$runtime"
run_as=()
if [[ $(id -u) -eq 0 ]]; then
    run_as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chown 65534:65534 "$runtime"
else
    chmod a-w "$prefix/bin"
fi
"${run_as[@]}" test ! -w "$prefix/bin" || fail "the executable's folder is writable for the test user"
downloads=$home/下载
"${run_as[@]}" env -u XDG_CONFIG_HOME HOME="$home" XDG_DOWNLOAD_DIR="$downloads" \
    XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen "$prefix/bin/mojing-shuxia" \
    >"$work/program.log" 2>&1 &
program_pid=$!
for _ in $(seq 300); do
    [[ -d $downloads/墨鲸书匣 ]] && break
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
[[ -d $downloads/墨鲸书匣 ]] || { cat "$work/program.log" >&2; fail "no folder in the download folder"; }
kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.log" >&2; fail "the window did not stay up"; }
[[ -z $(ls -A "$prefix/bin" | grep -v '^mojing-shuxia$') ]] || fail "something was written beside the program"
echo "install test: everything in place"
