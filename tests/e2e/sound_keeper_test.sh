#!/usr/bin/env bash
# End-to-end checks of the sound keeper, with a private PulseAudio server and
# its null sink, on a private X server:
#   - ten starts in a row, each playing 5 s: the keeper says nothing, and
#     every recording holds music;
#   - a game started before its sound server plays within a few seconds of
#     the server's start (recorded), and says so in one line;
#   - as an ordinary user without real-time scheduling, beside two busy loops
#     per core, 40 s in the scope view: no line saying that the sound stopped,
#     failed or did not start, and no dropout of 100 ms or more after the
#     first 10 s (the buffer may grow before that).
# Prints the first sound of each start and the dropouts it found.
#
# usage: sound_keeper_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]
# Helpers: the close-request helper from $VONKEL_CLOSE_HELPER; audio_probe
# from the folder $VONKEL_E2E_HELPERS.
set -u

vonkel=${1:?usage: sound_keeper_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]}
close_helper=${VONKEL_CLOSE_HELPER:-}
helpers=${VONKEL_E2E_HELPERS:-}
test_name=sound_keeper_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool pulseaudio pactl parec
[ -n "$close_helper" ] && [ -x "$close_helper" ] || fail "VONKEL_CLOSE_HELPER does not name the close-request helper"
[ -n "$helpers" ] && [ -x "$helpers/audio_probe" ] || fail "VONKEL_E2E_HELPERS does not name the folder of audio_probe"

start_xvfb
export SDL_VIDEODRIVER=x11
rms() { "$helpers/audio_probe" stats "$1" "$2" "$3" | awk '$1 == "rms" { print $2 }'; }
loud() { echo "$1" | awk '{ exit !($1 >= 0.02) }'; }
first_sound() { "$helpers/audio_probe" stats "$1" 0 600 | awk '$1 == "first_sound" { print $2 }'; }
stop_recording() { kill "$recorder_pid"; wait "$recorder_pid" 2>/dev/null; }

# --- a game before its sound server --------------------------------------------------------------
# The server's folders and ALSA configuration, without the server.
mkdir -p "$work/home" "$work/run"
chmod 755 "$work" "$work/home" "$work/run"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config"
export PULSE_SERVER="unix:$work/run/pulse/native" PULSE_CLIENTCONFIG="$work/client.conf"
export DBUS_SESSION_BUS_ADDRESS=disabled:
printf 'autospawn = no\n' >"$work/client.conf"
printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' >"$work/pulse-alsa.conf"
chmod 644 "$work/client.conf" "$work/pulse-alsa.conf"
export ALSA_CONFIG_PATH="$work/pulse-alsa.conf"
start_game_at late --verbose --no-settings --seed 7
sleep 3
launch_sound_server
server_up=$(now_ms)
start_recording "$work/late.raw"
sleep 8
close_game
stop_recording
late=$(first_sound "$work/late.raw")
[ "$late" != "-" ] || fail "the game started before its sound server stayed silent"
echo "sound_keeper_test: a late sound server: first sound $(echo "$late" | awk '{ printf "%d", $1 * 1000 }') ms after it started"
[ "$(wc -l <"$work/late.err")" -eq 1 ] && grep -q "sound output is there now" "$work/late.err" ||
    fail "the late game did not say once that it plays: $(cat "$work/late.err")"
: "$server_up"

# --- ten starts --------------------------------------------------------------------------------
starts=""
for n in $(seq 10); do
    start_recording "$work/start-$n.raw"
    start_game_at "start-$n" --no-settings --seed "$n"
    sleep 5
    close_game
    stop_recording
    [ -s "$work/start-$n.err" ] && fail "start $n: the keeper spoke: $(cat "$work/start-$n.err")"
    level=$(rms "$work/start-$n.raw" 0 10)
    loud "$level" || fail "start $n: no music in the recording (RMS $level)"
    starts+=" $(first_sound "$work/start-$n.raw")"
done
echo "sound_keeper_test: ten starts, first sound (s into each recording):$starts"

# --- contention, as an ordinary user -----------------------------------------------------------------
if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv >/dev/null || fail "setpriv is not installed"
    chmod 755 "$work/run/pulse" 2>/dev/null
    chmod 666 "$work/run/pulse/native"
    run_as="setpriv --reuid=65534 --regid=65534 --clear-groups --"
fi
loops=()
for _ in $(seq $(($(nproc) * 2))); do
    (while :; do :; done) &
    loops+=($!)
    started+=($!)
done
start_recording "$work/busy.raw"
start_game_at busy --verbose --no-settings --seed 3
xdotool windowfocus --sync "$window"
xdotool keydown Escape; sleep 0.25; xdotool keyup Escape
sleep 40
close_game
stop_recording
kill "${loops[@]}"
run_as=""
echo "sound_keeper_test: busy: $(grep '^audio:' "$work/busy.out") $(tr '\n' ' ' <"$work/busy.err")"
grep -E "stopped|failed|did not start" "$work/busy.err" && fail "busy: the keeper said the sound broke: $(cat "$work/busy.err")"
"$helpers/audio_probe" silences "$work/busy.raw" 10 60 | awk '$4 == "cut" && $3 >= 4410' >"$work/dropouts"
[ -s "$work/dropouts" ] && fail "busy: dropouts of 100 ms or more after 10 s: $(tr '\n' ';' <"$work/dropouts")"
echo "sound_keeper_test: all cases passed"
