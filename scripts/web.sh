#!/usr/bin/env bash
# Installs what is missing, builds the web page (preset `web`, emcc) and
# serves it on http://127.0.0.1:8000 until interrupted. VONKEL_WEB_PORT
# picks another port.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh web
cmake --preset web >/dev/null
cmake --build --preset web -j 2
port=${VONKEL_WEB_PORT:-8000}
echo "vonkel: open http://127.0.0.1:$port/ (Ctrl+C stops the server)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web/site
