#!/usr/bin/env bash
# The Debian package, built from the build tree of the given game binary and
# checked the way a distribution would:
#   - cpack -G DEB builds it; lintian reports no error; its desktop entry
#     passes desktop-file-validate, its metainfo appstreamcli validate
#     --no-net, both manual pages render with man -l; the icon is there in
#     every hicolor size from 16 to 256 px and as SVG;
#   - `apt-get install ./vonkel_*.deb` works in a clean Debian 12 root
#     (debootstrap minbase) and pulls in the libraries the package names;
#     there `vonkel-lab song --seed 1` runs and `vonkel` opens its window on
#     a private X server.
# The clean root is made once and kept under the build tree, with apt's
# downloads; each run installs into a throwaway copy of it (an overlay, or
# a plain copy where overlays cannot be mounted), inside a private mount
# namespace where one can be made (not in a chroot, whose / is no mount
# point: there the mounts are made and taken down again by hand), so the
# kept root stays clean; apt's package lists and downloads are kept beside
# it. Needs root (an ordinary user's run goes through sudo when it asks for
# no password) and, the first time and when Debian's packages change, the
# network. Where the environment gives neither, the clean root is left out
# and the test ends with status 77, which CTest counts as skipped, saying
# why.
# Prints "installed size: N KiB" and "depends: ...".
#
# usage: package_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]
set -u

vonkel=${1:?usage: package_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]}
# debootstrap and chroot live in the system's folders, which an ordinary
# user's PATH may lack.
export PATH="$PATH:/usr/sbin:/sbin"
# An ordinary user: the whole test again as root, if sudo allows it without
# a password.
if [ "$(id -u)" -ne 0 ] && [ -z "${VONKEL_PACKAGE_TEST_NO_SUDO:-}" ] && sudo -n true 2>/dev/null; then
    exec sudo -n env PATH="$PATH" VONKEL_DEBIAN_MIRROR="${VONKEL_DEBIAN_MIRROR:-}" bash "$0" "$@"
fi
test_name=package_test
source "$(dirname "$0")/lib.sh"

# skip REASON: the environment cannot run what is left; CTest's skip code.
skip() {
    echo "package_test: SKIPPED: $*"
    exit 77
}

require_tools cpack lintian desktop-file-validate appstreamcli man dpkg-deb Xvfb xdotool
build=$(cd "$(dirname "$vonkel")" && pwd)
[ -f "$build/CPackConfig.cmake" ] || fail "no CPack configuration in $build"
mirror=${VONKEL_DEBIAN_MIRROR:-http://deb.debian.org/debian}

# --- the package -------------------------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$work/package") >"$work/cpack.log" 2>&1 || fail "cpack: $(tail -n 5 "$work/cpack.log")"
deb=$(ls "$work"/package/vonkel_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no vonkel_*.deb: $(tail -n 5 "$work/cpack.log")"
lintian "$deb" >"$work/lintian.txt" 2>&1
grep '^E:' "$work/lintian.txt" && fail "lintian reports errors"
depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for library in libsdl2-2.0-0 libportaudio2 libasound2 libpng16-16 libc6 libavcodec59 libavformat59 libsndfile1; do
    grep -q "\b$library\b" <<<"$depends" || fail "the package does not depend on $library: $depends"
done

dpkg-deb -x "$deb" "$work/files"
share=$work/files/usr/share
[ -x "$work/files/usr/bin/vonkel" ] && [ -x "$work/files/usr/bin/vonkel-lab" ] || fail "the programs are not in /usr/bin"
desktop=$(ls "$share"/applications/*.desktop)
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml >"$work/appstream.txt" 2>&1 ||
    fail "appstreamcli: $(cat "$work/appstream.txt")"
for page in man6/vonkel.6.gz man1/vonkel-lab.1.gz; do
    MANWIDTH=80 man -l "$share/man/$page" >"$work/page.txt" 2>"$work/man.err" || fail "man -l $page: $(cat "$work/man.err")"
    [ -s "$work/man.err" ] && fail "man -l $page warns: $(cat "$work/man.err")"
    grep -q '^SYNOPSIS' "$work/page.txt" || fail "$page has no SYNOPSIS"
done
for size in 16 32 48 64 128 256; do
    icon=$share/icons/hicolor/${size}x${size}/apps/vonkel.png
    [ "$(identify -format '%w %h' "$icon" 2>/dev/null)" = "$size $size" ] || fail "no $size px icon at $icon"
done
grep -q '<svg' "$share/icons/hicolor/scalable/apps/vonkel.svg" || fail "no scalable icon"

# --- the clean root, made once -------------------------------------------------------------
[ "$(id -u)" -eq 0 ] || skip "installing into a clean Debian root needs root, or sudo without a password"
command -v debootstrap >/dev/null && command -v chroot >/dev/null || skip "debootstrap is not installed"
cache=$build/package-test-root
base=$cache/base
if [ ! -f "$cache/ready" ]; then
    echo "package_test: making a clean Debian 12 root under $cache (once)"
    rm -rf "$cache"
    mkdir -p "$cache/archives"
    if ! debootstrap --variant=minbase bookworm "$base" "$mirror" >"$work/debootstrap.log" 2>&1; then
        rm -rf "$cache"
        grep -qiE 'resolv|connect|unreachable|network|Temporary failure|Failed getting release file' "$work/debootstrap.log" &&
            skip "no Debian mirror can be reached ($mirror): $(tail -n 1 "$work/debootstrap.log")"
        fail "debootstrap: $(tail -n 5 "$work/debootstrap.log")"
    fi
    touch "$cache/ready"
fi

# --- installing into a throwaway copy of it -------------------------------------------------
start_xvfb
mkdir -p "$work/debs"
cp "$deb" "$work/debs/"
cat >"$work/inside.sh" <<'SCRIPT'
# Runs in the private mount namespace, or without one where none can be
# made: prepares the throwaway root and installs the package there, then
# runs vonkel-lab and starts the game. Every mount is taken down again at
# the end, which matters only without a namespace of its own.
set -eu
root=$1 cache=$2 work=$3 deb=$4
trap 'umount -R "$root" 2>/dev/null || umount -R -l "$root" 2>/dev/null || true' EXIT
mkdir -p "$work/upper" "$work/overlay-work" "$root"
if ! mount -t overlay overlay -o "lowerdir=$cache/base,upperdir=$work/upper,workdir=$work/overlay-work" "$root" 2>/dev/null; then
    cp -a "$cache/base/." "$root/"
fi
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mkdir -p "$root/tmp/.X11-unix" "$root/var/cache/apt/archives" "$root/var/lib/apt/lists" "$root/package"
mkdir -p "$cache/lists"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
mount --bind "$cache/archives" "$root/var/cache/apt/archives"
mount --bind "$cache/lists" "$root/var/lib/apt/lists"
mount --bind "$work/debs" "$root/package"
cp /etc/resolv.conf "$root/etc/resolv.conf"
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
chroot "$root" apt-get update -qq >"$work/apt-update.log" 2>&1
chroot "$root" apt-get install -y -qq --no-install-recommends "/package/$(basename "$deb")" >"$work/apt-install.log" 2>&1
chroot "$root" dpkg-query -W -f='${Installed-Size}\n' vonkel >"$work/installed-size"
chroot "$root" vonkel-lab song --seed 1 >"$work/song.json"
chroot "$root" env DISPLAY="$DISPLAY" SDL_VIDEODRIVER=x11 ALSA_CONFIG_PATH=/dev/null vonkel &
echo $! >"$work/game.pid"
echo ready >"$work/installed"
wait $! || true
SCRIPT
namespace=(unshare --mount --fork --kill-child)
if ! unshare --mount --propagation private true 2>/dev/null; then
    echo "package_test: no private mount namespace here (a chroot?): the mounts are made and taken down by hand"
    namespace=()
fi
"${namespace[@]}" bash "$work/inside.sh" "$work/root" "$cache" "$work" "$deb" >"$work/inside.out" 2>"$work/inside.err" &
game_pid=$!
started+=("$game_pid")
game_name="the installed game"
for _ in $(seq 3000); do
    [ -f "$work/installed" ] && break
    ended "$game_pid" && fail "installing into the clean root failed: $(tail -n 5 "$work/inside.err") $(tail -n 5 "$work"/apt-*.log 2>/dev/null)"
    sleep 0.1
done
[ -f "$work/installed" ] || fail "installing into the clean root took more than 300 s"
# The game itself is stopped first; then the script takes its mounts down.
started=("$(cat "$work/game.pid")" "${started[@]}")
grep -q '"chunksPerStep":' "$work/song.json" || fail "vonkel-lab song --seed 1 printed: $(head -c 300 "$work/song.json")"
echo "installed size: $(cat "$work/installed-size") KiB"
find_window
[ "$(xwininfo -id "$window" | awk '/^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print w, h }')" = "640 480" ] ||
    fail "the installed game's window is not 640 x 480"
kill "$(cat "$work/game.pid")"
retry 15 ended "$game_pid" || fail "the installed game did not stop"
echo "package_test: all cases passed"
