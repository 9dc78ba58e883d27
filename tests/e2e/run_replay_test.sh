#!/usr/bin/env bash
# End-to-end check of runs: the real game on a private X server and a private
# sound server, played for about 30 s (Right held into a game over, a new
# game, random held keys, the scope view and a new game from it), F10 saves
# its run, and
# `vonkel-lab replay` plays it again: every picture outside the scope view
# must be equal, and the replay must end with status 0. Prints the replay's
# line (pictures and sound blocks equal, blocks rendered while a frame ran).
#
# usage: run_replay_test.sh PATH-TO-vonkel PATH-TO-vonkel-lab
# Helpers: the close-request helper from $VONKEL_CLOSE_HELPER; frame_probe
# from the folder $VONKEL_E2E_HELPERS.
set -u

vonkel=${1:?usage: run_replay_test.sh PATH-TO-vonkel PATH-TO-vonkel-lab}
lab=${2:?usage: run_replay_test.sh PATH-TO-vonkel PATH-TO-vonkel-lab}
close_helper=${VONKEL_CLOSE_HELPER:-}
helpers=${VONKEL_E2E_HELPERS:-}
test_name=run_replay_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool import pulseaudio pactl
[ -n "$close_helper" ] && [ -x "$close_helper" ] || fail "VONKEL_CLOSE_HELPER does not name the close-request helper"
probe=$helpers/frame_probe
[ -x "$probe" ] || fail "VONKEL_E2E_HELPERS does not name the folder of frame_probe"

start_xvfb
start_sound_server
export ALSA_CONFIG_PATH="$work/pulse-alsa.conf" SDL_VIDEODRIVER=x11
start_game_at game --verbose --no-settings --seed 11 --capture-dir "$work/runs"
xdotool windowfocus --sync "$window"

# Song 11 with Right held runs out of energy within seconds.
xdotool keydown Right
over() { shot now && game_over now; }
retry 20 over || fail "holding Right brought no game over"
xdotool keyup Right
sleep 1.2
xdotool keydown z; sleep 0.2; xdotool keyup z

keys=(Left Right Up Down z)
RANDOM=5
start=$SECONDS
while [ $((SECONDS - start)) -lt 20 ]; do
    # The scope view once, a third of the way in, and a new game from it.
    if [ -z "${scoped:-}" ] && [ $((SECONDS - start)) -ge 10 ]; then
        release_keys
        xdotool keydown Escape; sleep 0.2; xdotool keyup Escape
        sleep 1.5
        xdotool keydown z; sleep 0.2; xdotool keyup z
        scoped=yes
        continue
    fi
    toggle_random_key
done
release_keys
xdotool key F10
retry 10 grep -q '\.vonkelrun$' "$work/game.out" || fail "F10 saved no run: $(cat "$work/game.out" "$work/game.err")"
close_game
run=$(ls "$work"/runs/*.vonkelrun)
echo "run_replay_test: the run: $(stat -c %s "$run") bytes, $(gzip -9c "$run" | wc -c) gzipped"
"$lab" replay "$run" >"$work/replay.out" 2>"$work/replay.err"
code=$?
echo "run_replay_test: replay: $(cat "$work/replay.out")"
[ "$code" -eq 0 ] || fail "the replay ended with status $code: $(cat "$work/replay.err")"
grep -qE '^pictures equal ([0-9]+) of \1' "$work/replay.out" ||
    grep -qE 'differing in the scope view' "$work/replay.out" || fail "pictures differ outside the scope view"
echo "run_replay_test: all cases passed"
