#!/usr/bin/env bash
# Plays the real game for MINUTES (default 30) under a private X server and
# sound server with random held keys, as the end-to-end long play does for a
# minute, and reports its memory, processor share and sound underflows.
# Builds the release preset first.
# usage: scripts/soak.sh [MINUTES]
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
[[ "$minutes" =~ ^[1-9][0-9]*$ ]] || { echo "usage: scripts/soak.sh [MINUTES]" >&2; exit 2; }
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target vonkel x11_close_request
VONKEL_LONG_PLAY_SECONDS=$((minutes * 60)) VONKEL_CLOSE_HELPER=build/release/tests/x11_close_request \
    exec bash tests/e2e/long_play_test.sh build/release/vonkel
