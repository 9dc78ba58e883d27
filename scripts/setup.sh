#!/usr/bin/env bash
# Installs the Debian packages that vonkel needs to build, run and test,
# skipping those already present. Quiet when nothing is missing.
# Usage: setup.sh [play] [web] [web-test]
#   play       only what building and running the game needs
set -euo pipefail

play_packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libx11-dev portaudio19-dev libasound2-dev libpng-dev libcli11-dev libinih-dev
  libsndfile1-dev libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
)
packages=(
  "${play_packages[@]}" clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev ffmpeg
  xvfb xdotool x11-utils imagemagick sox libxtst-dev
  pulseaudio pulseaudio-utils libasound2-plugins alsa-utils libxdamage-dev
  openbox weston desktop-file-utils appstream lintian man-db debootstrap fakeroot
)
# Only on request, being large: `setup.sh web` adds the wasm compiler for
# the web page, `setup.sh web-test` also the browser and driver of its tests.
for group in "$@"; do
  case $group in
    play) packages=("${play_packages[@]}") ;;
    web) packages+=(emscripten) ;;
    web-test) packages+=(emscripten chromium chromium-driver python3-selenium) ;;
    *) echo "setup: unknown group '$group' (play, web, web-test)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
