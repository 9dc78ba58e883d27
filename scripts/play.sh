#!/usr/bin/env bash
# Installs what is missing, builds vonkel (optimised) and starts the game.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target vonkel vonkel-lab
exec build/release/vonkel
