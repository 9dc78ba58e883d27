#!/usr/bin/env bash
# End-to-end checks of the game's sound output, with a private PulseAudio
# server and its null sink, on a private X server without window manager:
#   - --list-audio-devices lists the sink (a device of the ALSA
#     configuration), one line each, the default marked;
#   - --audio-device with an unknown name ends with status 2 and the list,
#     before any window; with the sink's name the game plays on it (the
#     recording of the sink holds music);
#   - the sound server stops while the game plays and starts again: the
#     sound comes back within a few seconds (recorded), the game says so in
#     one line on stderr, which names the buffer the new stream has, and a
#     close still ends it with status 0;
#   - `vonkel --verbose --seed 5 | head -1`: the first song's line, and the
#     game goes on after its reader has gone, through a new game (Escape,
#     then Z once the scope view has run 31 frames), and quits with status
#     0.
# Prints "sound back after: N ms" (from the server's restart to the first
# recorded sound).
#
# usage: audio_output_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]
# Helpers: the close-request helper from $VONKEL_CLOSE_HELPER; audio_probe
# from the folder $VONKEL_E2E_HELPERS.
set -u

vonkel=${1:?usage: audio_output_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]}
close_helper=${VONKEL_CLOSE_HELPER:-}
helpers=${VONKEL_E2E_HELPERS:-}
test_name=audio_output_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool pulseaudio pactl parec
[ -x "$vonkel" ] || fail "no game binary at '$vonkel'"
[ -n "$close_helper" ] && [ -x "$close_helper" ] || fail "VONKEL_CLOSE_HELPER does not name the close-request helper"
[ -n "$helpers" ] && [ -x "$helpers/audio_probe" ] || fail "VONKEL_E2E_HELPERS does not name the folder of audio_probe"

start_xvfb
start_sound_server
export ALSA_CONFIG_PATH="$work/pulse-alsa.conf" SDL_VIDEODRIVER=x11

# rms FILE FROM TO: the RMS of a recording between two times (s).
rms() { "$helpers/audio_probe" stats "$1" "$2" "$3" | awk '$1 == "rms" { print $2 }'; }
loud() { echo "$1" | awk '{ exit !($1 >= 0.02) }'; }

# --- the list ------------------------------------------------------------------------------
"$vonkel" --list-audio-devices >"$work/list.out" 2>"$work/list.err" || fail "--list-audio-devices ended with status $?"
[ -s "$work/list.err" ] && fail "--list-audio-devices printed on stderr: $(cat "$work/list.err")"
grep -qP '^[0-9]+\tALSA\tvonkel_sink\t44100 Hz$' "$work/list.out" || fail "the sink is not listed: $(cat "$work/list.out")"
[ "$(grep -cP '\tdefault$' "$work/list.out")" -eq 1 ] || fail "not one default device: $(cat "$work/list.out")"
echo "audio_output_test: devices: $(tr '\t\n' ' ;' <"$work/list.out")"

# --- an unknown device, a known one ------------------------------------------------------------
"$vonkel" --audio-device no-such-device >"$work/unknown.out" 2>"$work/unknown.err"
code=$?
[ "$code" -eq 2 ] || fail "--audio-device no-such-device ended with status $code"
grep -q "no-such-device" "$work/unknown.err" && grep -qP '\tvonkel_sink\t' "$work/unknown.err" ||
    fail "--audio-device no-such-device does not name it and list the devices: $(cat "$work/unknown.err")"

pactl set-default-sink vonkel_sink
start_game_at chosen --audio-device vonkel_sink
start_recording "$work/chosen.raw"
sleep 2.5
close_game
sleep 0.2
kill "$recorder_pid"
[ -s "$work/chosen.err" ] && fail "the game on vonkel_sink printed: $(cat "$work/chosen.err")"
level=$(rms "$work/chosen.raw" 0.5 2)
loud "$level" || fail "the game on --audio-device vonkel_sink was not heard on the sink (RMS $level)"

# --- the sound server restarts ---------------------------------------------------------------------
start_game_at restart --verbose
sleep 1.5
stop_sound_server
sleep 2
launch_sound_server
start_recording "$work/back.raw"
# The game tries again every few seconds: the sound is back within 8 s.
back=""
for _ in $(seq 16); do
    sleep 0.5
    level=$(rms "$work/back.raw" 0 30 2>/dev/null)
    if [ -n "$level" ] && loud "$level"; then back=yes; break; fi
done
[ -n "$back" ] || fail "the sound did not come back within 8 s of the server's restart"
# The keeper's line names the buffer it asked for, and the sound server
# holds a buffer of about that length.
said=$(grep -oE 'with a [0-9]+ ms buffer' "$work/restart.err" | grep -oE '[0-9]+')
held=$(pactl list sink-inputs | awk '/Buffer Latency:/ { print int($3 / 1000) }' | head -n 1)
echo "the keeper said ${said:-?} ms; the server holds a ${held:-?} ms buffer"
[ -n "$said" ] && [ -n "$held" ] && [ "$held" -ge $((said * 8 / 10)) ] ||
    fail "the keeper's line names a ${said:-?} ms buffer, the stream has one of ${held:-?} ms"
first=$("$helpers/audio_probe" stats "$work/back.raw" 0 30 | awk '$1 == "first_sound" { print $2 }')
echo "sound back after: $(echo "$first" | awk '{ printf "%d", $1 * 1000 }') ms (the first sound in a recording begun as the server came back)"
close_game
kill "$recorder_pid"
[ "$(wc -l <"$work/restart.err")" -eq 1 ] || fail "expected one line on stderr, got: $(cat "$work/restart.err")"
grep -qE "sound output (stopped|failed)" "$work/restart.err" || fail "the line does not say what happened: $(cat "$work/restart.err")"
grep -qE '^audio: [0-9]+ output underflows, stream reopened [1-9][0-9]* times;' "$work/restart.out" ||
    fail "--verbose does not report the reopening: $(cat "$work/restart.out")"

# --- a reader that goes away ------------------------------------------------------------------------------
( "$vonkel" --verbose --seed 5 2>"$work/pipe.err"; echo $? >"$work/pipe.status" ) | head -1 >"$work/pipe.line" &
started+=($!)
retry 30 sh -c "xdotool search --onlyvisible --name '^vonkel$' >/dev/null" || fail "the piped game shows no window"
window=$(xdotool search --onlyvisible --name '^vonkel$' | head -n 1)
game_pid=$(pgrep -n -f -- "--verbose --seed 5")
retry 10 test -s "$work/pipe.line" || fail "no line reached head"
[ "$(cat "$work/pipe.line")" = "song 5: vonkel-lab audio --seed 5 --seconds 60 --out song-5.wav" ] ||
    fail "the first line is: $(cat "$work/pipe.line")"
xdotool windowfocus --sync "$window"
xdotool keydown Escape; sleep 0.1; xdotool keyup Escape
sleep 1.3
xdotool keydown z; sleep 0.2; xdotool keyup z
sleep 1
[ -e "$work/pipe.status" ] && fail "the game ended when its reader had gone: status $(cat "$work/pipe.status")"
"$close_helper" "$window" || fail "could not close the piped game"
retry 15 test -s "$work/pipe.status" || fail "the piped game did not end"
[ "$(cat "$work/pipe.status")" = 0 ] || fail "the piped game ended with status $(cat "$work/pipe.status"): $(cat "$work/pipe.err")"

echo "audio_output_test: all cases passed"
