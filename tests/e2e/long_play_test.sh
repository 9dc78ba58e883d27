#!/usr/bin/env bash
# A long game of the real program: under a private X server with the
# private sound server's null sink, random keys are held and let go (the
# arrows and Z; for the last fifth the scope view with a new game) for
# VONKEL_LONG_PLAY_SECONDS (60 by default). Then:
#   - the resident memory at the end is within 1 MiB of that after 10 s;
#   - --verbose reports no output underflow and no reopened stream, and the
#     game printed nothing else;
#   - a close ends it with status 0.
# Prints "rss: A kB after 10 s, B kB at the end", "cpu: N %" (the game's
# share of one core from 10 s on) and the audio report.
# scripts/soak.sh MINUTES runs it for longer.
#
# usage: long_play_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]
set -u

vonkel=${1:?usage: long_play_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]}
close_helper=${VONKEL_CLOSE_HELPER:-}
seconds=${VONKEL_LONG_PLAY_SECONDS:-60}
test_name=long_play_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool pulseaudio pactl
[ -x "$vonkel" ] || fail "no game binary at '$vonkel'"
[ -n "$close_helper" ] && [ -x "$close_helper" ] || fail "VONKEL_CLOSE_HELPER does not name the close-request helper"
[ "$seconds" -ge 15 ] 2>/dev/null || fail "VONKEL_LONG_PLAY_SECONDS must be 15 or more"

start_xvfb
start_sound_server
ALSA_CONFIG_PATH="$work/pulse-alsa.conf" SDL_VIDEODRIVER=x11 "$vonkel" --verbose >"$work/game.out" 2>"$work/game.err" &
game_pid=$!
started+=("$game_pid")
find_window
xdotool windowfocus --sync "$window"

rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$game_pid/status"; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$game_pid/stat"; }

keys=(Left Right Up Down z)
RANDOM=17
start=$SECONDS
rss_10="" ticks_10="" ms_10=""
while [ $((SECONDS - start)) -lt "$seconds" ]; do
    ended "$game_pid" && fail "the game ended while played: $(cat "$work/game.err")"
    if [ -z "$rss_10" ] && [ $((SECONDS - start)) -ge 10 ]; then
        rss_10=$(rss) ticks_10=$(cpu_ticks) ms_10=$(now_ms)
    fi
    # The scope view once, for the last fifth of the time, with a new game
    # in it (the view stays; Escape there would quit).
    if [ -z "${scope:-}" ] && [ $((SECONDS - start)) -ge $((seconds * 4 / 5)) ]; then
        release_keys
        xdotool keydown Escape; sleep 0.1; xdotool keyup Escape
        sleep 1.3
        xdotool keydown z; sleep 0.2; xdotool keyup z
        scope=yes
        continue
    fi
    toggle_random_key
done
release_keys
rss_end=$(rss) ticks_end=$(cpu_ticks) ms_end=$(now_ms)
"$close_helper" "$window" || fail "could not send the close request"
retry 15 ended "$game_pid" || fail "the close request did not end the game"
wait "$game_pid"
code=$?
[ "$code" -eq 0 ] || fail "the game ended with status $code"

echo "rss: $rss_10 kB after 10 s, $rss_end kB at the end"
echo "cpu: $(awk -v t=$((ticks_end - ticks_10)) -v hz="$(getconf CLK_TCK)" -v ms=$((ms_end - ms_10)) 'BEGIN { printf "%.1f", 100 * t / hz / (ms / 1000) }') % of one core"
report=$(grep '^audio: ' "$work/game.out")
echo "$report"
[ -s "$work/game.err" ] && fail "the game printed on stderr: $(head -c 500 "$work/game.err")"
[ $((rss_end - rss_10)) -le 1024 ] || fail "the resident memory grew by $((rss_end - rss_10)) kB after the first 10 s"
case "$report" in
    "audio: 0 output underflows, stream reopened 0 times;"*) ;;
    *) fail "the sound was not whole: $report" ;;
esac
echo "long_play_test: all cases passed"
