#!/usr/bin/env bash
# End-to-end checks of the game with its sound played the way a desktop plays
# it: a private PulseAudio server with a null sink (which takes the samples
# at the pace of a real sound card), the game's ALSA output routed to it, and
# the sink's monitor recorded. On a private X server without window manager:
#   - from the first second after the window appears, the recording holds
#     music: clearly not silent, every sample a finite number;
#   - the game shows about 62.5 frames per second, counted from outside
#     through the X server's damage reports on the window;
#   - losing the keyboard focus releases every key: a held arrow stops
#     moving the player while another window has the focus, and moves it
#     again once the game has the focus back;
#   - Z in the scope view starts a new song, and the view shows its
#     waveform; the song's first step sounds one step (104 to 137 ms) after
#     the silence of the restart began (the beat's exact length is
#     desktop_test's to check);
#   - a close request ends the game with exit code 0 while the sound stream
#     runs, and the game has printed nothing.
# The script prints the measured "fps: N", "step: about N blocks" and "rms: N".
#
# usage: sound_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]
# Helpers: the close-request helper from $VONKEL_CLOSE_HELPER; frame_probe,
# audio_probe, x11_frame_counter and x11_focus_window from the folder
# $VONKEL_E2E_HELPERS.
#
# The waits below are hang guards or give the game time to act, not
# measurements of its speed; the one measured rate, the frame rate, is
# judged within a generous band.
set -u

vonkel=${1:?usage: sound_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]}
close_helper=${VONKEL_CLOSE_HELPER:-}
helpers=${VONKEL_E2E_HELPERS:-}

test_name=sound_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool import pulseaudio pactl parec
[ -x "$vonkel" ] || fail "no game binary at '$vonkel'"
[ -n "$close_helper" ] && [ -x "$close_helper" ] || fail "VONKEL_CLOSE_HELPER does not name the close-request helper"
for helper in frame_probe audio_probe x11_frame_counter x11_focus_window; do
    [ -n "$helpers" ] && [ -x "$helpers/$helper" ] || fail "VONKEL_E2E_HELPERS does not name the folder of $helper"
done
probe=$helpers/frame_probe

# --- the private X server ----------------------------------------------------------
start_xvfb

# --- the private sound server (its files all under $work) ------------------------
start_sound_server

# A second window, to take the keyboard focus away from the game.
"$helpers/x11_focus_window" "$work/focus-window" 2>"$work/focus-window.err" &
started+=($!)
retry 15 test -s "$work/focus-window" || fail "the second window did not open: $(cat "$work/focus-window.err")"
other_window=$(cat "$work/focus-window")

# --- the game -------------------------------------------------------------------------
ALSA_CONFIG_PATH="$work/pulse-alsa.conf" SDL_VIDEODRIVER=x11 "$vonkel" >"$work/game.out" 2>"$work/game.err" &
game_pid=$!
started+=("$game_pid")

find_window

# The recording starts as soon as the window is there.
start_recording "$work/sound.raw"

# --- screenshots -----------------------------------------------------------------------
# shot, fact, player_count, player_x, game_over and restart_game come from
# lib.sh; the screenshots stay in $work, which is kept when a check fails.
player_at() { fact "$1" player | cut -d' ' -f2-3; }

# The window shows the game's first picture (until then it may be blank).
first_picture() {
    shot first
    [ "$(fact first panel)" = ok ]
}

# --- losing the keyboard focus ------------------------------------------------------------
# An arrow is held the whole time: the player moves while the game has the
# focus, stands still while the second window has it, and moves again once
# the game has it back. The player walks away from the nearer side edge so
# that it cannot reach it. A game that ends on the way (the player can walk
# into a hazard and run out of energy) proves nothing either way, and the
# check is tried again in a new game.
# shift_x FROM TO DIRECTION: the player's move along x between two
# screenshots, counted positive in the walking direction.
shift_x() { echo "$(player_x "$1") $(player_x "$2") $3" | awk '{ v = ($2 - $1) * $3; if (v == 0) v = 0; printf "%.2f", v }'; }
at_least() { echo "$1 $2" | awk '{ exit !($1 >= $2) }'; }
retry 10 first_picture || fail "the window shows no status panel: $(fact first panel)"
focus_checked=""
for _ in 1 2 3; do
    xdotool windowfocus --sync "$window"
    shot focus-0
    if game_over focus-0; then restart_game; continue; fi
    [ "$(player_count focus-0)" -gt 0 ] || fail "no player on the field"
    if at_least "$(player_x focus-0)" 160; then key=Left sign=-1; else key=Right sign=1; fi
    xdotool keydown "$key"
    sleep 0.5
    shot focus-1
    xdotool windowfocus --sync "$other_window"
    sleep 0.3
    shot focus-2
    sleep 1
    shot focus-3
    xdotool windowfocus --sync "$window"
    sleep 0.5
    shot focus-4
    xdotool keyup "$key"
    gone=""
    for name in focus-1 focus-2 focus-3 focus-4; do game_over "$name" && gone=yes; done
    if [ -n "$gone" ]; then restart_game; continue; fi
    for name in focus-1 focus-2 focus-3 focus-4; do
        [ "$(player_count "$name")" -gt 0 ] || fail "$name: no player on the field"
    done
    focused_move=$(shift_x focus-0 focus-1 "$sign")
    unfocused_move=$(shift_x focus-2 focus-3 "$sign")
    refocused_move=$(shift_x focus-3 focus-4 "$sign")
    at_least "$focused_move" 4 || fail "holding $key with the focus on the game moved the player by $focused_move pixels"
    [ "$(player_at focus-2)" = "$(player_at focus-3)" ] ||
        fail "with the focus on another window, the held $key moved the player from $(player_at focus-2) to $(player_at focus-3)"
    at_least "$refocused_move" 4 ||
        fail "with the focus back on the game, the held $key moved the player by $refocused_move pixels"
    echo "sound_test: held $key moved the player by $focused_move, then $unfocused_move without focus, then $refocused_move"
    focus_checked=yes
    break
done
[ -n "$focus_checked" ] || fail "the game was over before every try of the focus check"

# --- the frame rate -------------------------------------------------------------------------
# The frame loop starts a frame at most every 16 ms: 62.5 frames per second
# on a machine that keeps up. The frames are counted for 3 s from the X
# server's own time stamps; the rate judged is that of the median time
# between two frames, which a few frames held up by a busy machine do not
# move. The band of 15 to 20 ms (50 to 67 fps) is generous on purpose: it
# allows for a loaded machine and for the server's whole-millisecond time
# stamps, yet catches a loop without pacing (10 ms or less between frames)
# or one that waits twice per frame (26 ms).
frames_line=$("$helpers/x11_frame_counter" "$window" 3) || fail "no frames counted: $frames_line"
frames_value() { echo "$frames_line" | awk -v key="$1" '{ for (i = 1; i < NF; ++i) if ($i == key) print $(i + 1) }'; }
fps=$(frames_value median_fps)
echo "fps: $fps"
echo "sound_test: frames seen: $frames_line"
echo "$fps" | awk '{ exit !($1 >= 50 && $1 <= 67) }' || fail "the game shows $fps frames per second ($frames_line), expected about 62.5"

# --- a new song in the scope view ----------------------------------------------------------
# Escape opens the scope view; once it has run for more than 30 frames, Z
# starts a new game with a new song, and the view stays. The song then plays
# on without game events, whatever happened to the game before.
xdotool windowfocus --sync "$window"
xdotool keydown Escape
sleep 0.1
xdotool keyup Escape
sleep 1.3
song_started=$(now_ms)
xdotool keydown z
sleep 0.2
xdotool keyup z
ended "$game_pid" && fail "the game ended in the scope view"
# The trace shows the music: a waveform, not the flat line of silence.
sleep 0.5
waveform=""
for _ in 1 2 3 4 5; do
    shot scope
    [ "$(fact scope band)" = ok ] || fail "scope: the waveform band is wrong: $(fact scope band)"
    [ "$(player_count scope)" = 0 ] || fail "scope: the player is drawn in the scope view"
    if [ "$(fact scope trace_rows)" -gt 1 ]; then
        waveform=yes
        break
    fi
    sleep 0.2
done
[ -n "$waveform" ] || fail "scope: the trace stays a flat line while the music plays"

# --- the close request while the sound plays -------------------------------------------------
# 2.5 s of the new song play before the window is closed: the close marks
# the end of the sound, from which the restart is found in the recording.
close_at=$((song_started + 2500))
while [ "$(now_ms)" -lt "$close_at" ]; do sleep 0.1; done
ended "$game_pid" && fail "the game ended before the close request"
closed_at=$(now_ms)
"$close_helper" "$window" || fail "could not send the close request"
retry 15 ended "$game_pid" || fail "the close request did not end the game"
wait "$game_pid"
code=$?
[ "$code" -eq 0 ] || fail "the close request ended the game with exit code $code"
[ -s "$work/game.out" ] && fail "the game printed on stdout: $(head -c 500 "$work/game.out")"
[ -s "$work/game.err" ] && fail "the game printed on stderr: $(head -c 500 "$work/game.err")"

# --- the recording ------------------------------------------------------------------------------
sleep 0.3
kill "$recorder_pid"
retry 10 ended "$recorder_pid" || fail "the recorder did not stop"
recorded_s=$(($(stat -c %s "$work/sound.raw") / 4 / 44100 + 1))
whole=$("$helpers/audio_probe" stats "$work/sound.raw" 0 "$recorded_s") || fail "cannot read the recording"
whole_value() { echo "$whole" | awk -v key="$1" '$1 == key { print $2 }'; }
[ "$(whole_value nonfinite)" = 0 ] || fail "the recording holds $(whole_value nonfinite) samples that are not finite numbers"
[ "$(whole_value first_sound)" != - ] || fail "the recording is silent: $(cat "$work/parec.err")"

# Music from the first second on: the recording, started when the window
# appeared, has sound within its first second, and its first 1.5 s are far
# from silent (the music plays at a master gain of 0.2; silence is 0), in
# each half second, not only in a burst.
echo "$(whole_value first_sound)" | awk '{ exit !($1 <= 1.0) }' ||
    fail "the first sound comes $(whole_value first_sound) s after the window appeared"
first=$("$helpers/audio_probe" stats "$work/sound.raw" 0 1.5) || fail "cannot read the recording's start"
rms=$(echo "$first" | awk '$1 == "rms" { print $2 }')
echo "rms: $rms"
echo "$rms" | awk '{ exit !($1 >= 0.02) }' || fail "the first 1.5 s of sound have an RMS of $rms: silent or nearly"
for second in 0.5 1.0; do
    part=$("$helpers/audio_probe" stats "$work/sound.raw" "$second" "$(echo "$second" | awk '{ print $1 + 0.5 }')" |
        awk '$1 == "rms" { print $2 }')
    echo "$part" | awk '{ exit !($1 >= 0.01) }' || fail "the sound from $second s on has an RMS of $part"
done

# One step of the new song: a new game silences every voice at once, and
# its song's first step, which always sounds, comes one step later, when the
# music's clock has counted the song's 37 to 47 blocks of 128 samples (the
# block in which the game restarted is one of them or is left silent). So
# the recording holds, where Z was pressed, a silence of 36 to 47 blocks,
# 104 to 137 ms, that starts with a sudden stop: one step less at most one
# block. It is found from the close request, which ended the sound
# (closed_at - song_started) ms after Z. If the music happened to be silent
# already when Z came, the silence is longer and starts softly, and this
# check is not judged.
restart_at=$(whole_value last_sound | awk -v gap=$((closed_at - song_started)) '{ printf "%.3f", $1 - gap / 1000 }')
"$helpers/audio_probe" silences "$work/sound.raw" 0 "$recorded_s" >"$work/silences.txt" || fail "cannot read the recording's silences"
# The restart's silence is the longest one near that time (within 0.6 s:
# the keys and the close take effect at the game's next frame, and the sound
# still on its way when the game ends may be lost) that starts with a sudden
# stop (a dropout of the sound server, the only other sudden stop, lasts
# less than a step); failing that, the longest one there.
restart=$(awk -v at="$restart_at" '{
        d = $2 - at; if (d < 0) d = -d
        if (d > 0.6) next
        if ($4 == "cut" && (cut == "" || $3 > cutn)) { cut = $0; cutn = $3 }
        if ($4 != "cut" && (soft == "" || $3 > softn)) { soft = $0; softn = $3 }
    } END { print (cut != "") ? cut : soft }' "$work/silences.txt")
[ -n "$restart" ] || fail "no silence in the recording near $restart_at s, where Z started a new song: $(tr '\n' ';' <"$work/silences.txt")"
read -r _ restart_start restart_samples restart_kind <<<"$restart"
if [ "$restart_kind" = cut ]; then
    echo "$restart_samples" | awk '{ exit !($1 >= 36 * 128 && $1 <= 47 * 128) }' ||
        fail "the new song starts after $restart_samples samples of silence, expected one step (36 to 47 blocks of 128)"
    step_blocks=$(echo "$restart_samples" | awk '{ printf "%d", int($1 / 128 + 0.5) + 1 }')
    echo "step: about $step_blocks blocks of 128 samples (the new song began after $restart_samples samples of silence at $restart_start s; Z was expected near $restart_at s)"
else
    echo "sound_test: the music was silent when Z came (near $restart_at s: $(tr '\n' ';' <"$work/silences.txt")); the first step is not judged"
fi

echo "sound_test: all cases passed"
