#!/usr/bin/env bash
# Installs the Debian packages that vonkel needs to build, run and test,
# skipping those already present. Quiet when nothing is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libsdl2-dev portaudio19-dev libasound2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libpng-dev libcli11-dev nlohmann-json3-dev
  xvfb xdotool x11-utils imagemagick sox
  pulseaudio pulseaudio-utils libasound2-plugins alsa-utils libxdamage-dev
  openbox desktop-file-utils appstream lintian man-db debootstrap fakeroot
)

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
