#!/usr/bin/env bash
# Key-to-picture latency of the real game: on a private X server (no window
# manager, no sound device, so the game runs silent), starts GAMES fresh
# games, `vonkel --seed 1` to `--seed GAMES`, and in each measures with
# key_to_picture the time from pressing Escape to the first read of the
# window that shows the scope view. Prints one line per game and then
#   median X ms (min A, max B) over N games
#
# usage: key_to_picture.sh GAME_BINARY [GAMES=20]
# key_to_picture is taken from $KEY_TO_PICTURE, or else from bench/ in the
# build folder that holds GAME_BINARY.
set -u

game=${1:?usage: key_to_picture.sh GAME_BINARY [GAMES=20]}
games=${2:-20}
tool=${KEY_TO_PICTURE:-$(dirname "$game")/bench/key_to_picture}

test_name=key_to_picture
source "$(dirname "$0")/../tests/e2e/lib.sh"

require_tools Xvfb xdotool
[ -x "$game" ] || fail "no game binary at '$game'"
[ -x "$tool" ] || fail "no key_to_picture at '$tool' (set KEY_TO_PICTURE)"
[[ $games =~ ^[1-9][0-9]*$ ]] || fail "GAMES must be a positive number, got '$games'"

start_xvfb
xvfb_pid=${started[0]}
printf 'pcm.!default { type plug slave.pcm "nonexistent" }\n' >"$work/no-device.conf"

: >"$work/times"
for seed in $(seq "$games"); do
    ALSA_CONFIG_PATH="$work/no-device.conf" SDL_VIDEODRIVER=x11 "$game" --seed "$seed" \
        >"$work/game.out" 2>"$work/game.err" &
    game_pid=$!
    started=("$xvfb_pid" "$game_pid")
    find_window
    # key_to_picture waits for the game's picture and one more second itself.
    result=$("$tool" "$window" 2>"$work/tool.err") ||
        fail "seed $seed: $(cat "$work/tool.err"); game: $(tail -n 3 "$work/game.err")"
    ms=${result#latency_ms }
    echo "game $seed (seed $seed): $ms ms"
    echo "$ms" >>"$work/times"
    kill "$game_pid" 2>/dev/null
    wait "$game_pid" 2>/dev/null
    started=("$xvfb_pid")
done

sort -n "$work/times" | awk '
    { t[NR] = $1 }
    END {
        median = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
        printf "median %.1f ms (min %.1f, max %.1f) over %d games\n", median, t[1], t[NR], NR
    }'
