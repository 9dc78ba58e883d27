#!/usr/bin/env bash
# Installs what building and running the game needs (not the test tools),
# builds vonkel (optimised, without tests) and starts the game. Arguments
# are passed to the game.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh play
cmake -S . -B build/play -G Ninja -DCMAKE_BUILD_TYPE=Release -DVONKEL_BUILD_TESTS=OFF -DVONKEL_BUILD_BENCH=OFF >/dev/null
cmake --build build/play --target vonkel vonkel-lab
exec build/play/vonkel "$@"
