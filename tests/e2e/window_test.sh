#!/usr/bin/env bash
# End-to-end checks of the game's window on a private X server without
# window manager, first without sound card or sound server:
#   - without an audio device it opens a centred window titled "vonkel" with a
#     640 x 480 client area, Ctrl+2, Ctrl+4 and Ctrl+1 zoom it, and a window
#     manager's close request ends it;
#   - with an ALSA configuration that defines no PCM at all it runs silent
#     and a close request ends it;
#   - with an audio device that takes the samples (ALSA's null device) a
#     close request ends it while the audio thread runs;
# then with a private sound server that the game plays to through ALSA's
# pulse plugin, the way a desktop plays it, where stopping the stream waits
# on the server:
#   - a close request, Escape in the scope view once it has run for more
#     than 30 frames, and SIGTERM each end it.
# Every end goes through the game's orderly shutdown: exit code 0 within
# 200 ms of the request (the script prints "close to exit: N ms" and the
# like for each), and nothing printed.
#
# usage: window_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]
# The close-request helper is taken from $VONKEL_CLOSE_HELPER, and
# x11_frame_counter from the folder $VONKEL_E2E_HELPERS.
#
# The waits below are hang guards, not measurements, generous so that a
# busy machine does not fail the test; the one limit on time is that of the
# shutdown.
set -u

vonkel=${1:?usage: window_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]}
close_helper=${VONKEL_CLOSE_HELPER:-}
frame_counter=${VONKEL_E2E_HELPERS:-}/x11_frame_counter

test_name=window_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool xwininfo pulseaudio pactl
[ -x "$vonkel" ] || fail "no game binary at '$vonkel'"
[ -n "$close_helper" ] && [ -x "$close_helper" ] || fail "VONKEL_CLOSE_HELPER does not name the close-request helper"
[ -x "$frame_counter" ] || fail "VONKEL_E2E_HELPERS does not name the folder of x11_frame_counter"

# --- the private X server ----------------------------------------------------
start_xvfb
readonly screen_width=1920 screen_height=1080

# --- ALSA configurations -------------------------------------------------------
# Only PCM fails to open: PortAudio finds no output device.
printf 'pcm.!default { type plug slave.pcm "nonexistent" }\n' >"$work/no-device.conf"
# No PCM at all.
: >"$work/no-pcm.conf"
# A PCM that takes every sample and discards it.
printf 'pcm.!default { type null }\n' >"$work/null-device.conf"

# --- running the game ----------------------------------------------------------
game_pid=""
game_name=""

# start_game NAME ALSA-CONFIG
start_game() {
    game_name=$1
    ALSA_CONFIG_PATH=$2 SDL_VIDEODRIVER=x11 "$vonkel" >"$work/$game_name.out" 2>"$work/$game_name.err" &
    game_pid=$!
    started+=("$game_pid")
}

# ends_in_order WHAT COMMAND...: COMMAND asks the game to end; it must end
# with exit code 0 within 200 ms of the request and have printed nothing.
# The time runs from just before COMMAND to the moment `wait` sees the game
# end (bash learns of it at once, no polling). A watchdog kills a game that
# is still running after 15 s (a hang guard). A slow end is noted in `slow`
# and judged at the end of the script, so that every case is measured.
readonly shutdown_limit_ms=200
slow=()
ends_in_order() {
    local what=$1 watchdog start finish code elapsed
    shift
    ( trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
      sleep 15 & sleeper=$!
      wait "$sleeper" && kill -KILL "$game_pid" ) 2>/dev/null &
    watchdog=$!
    started+=("$watchdog")
    start=${EPOCHREALTIME//[!0-9]/}  # microseconds, read without starting a process
    "$@" || fail "$game_name: could not $what"
    wait "$game_pid"
    code=$?
    finish=${EPOCHREALTIME//[!0-9]/}
    kill "$watchdog" 2>/dev/null
    elapsed=$(((finish - start) / 1000))
    echo "window_test: $game_name: $what to exit: $elapsed ms"
    [ "$code" -eq 0 ] || fail "$game_name: exit code $code after the $what"
    [ "$elapsed" -le "$shutdown_limit_ms" ] || slow+=("$game_name: $elapsed ms from the $what to the end")
    [ -s "$work/$game_name.out" ] && fail "$game_name: printed on stdout: $(head -c 500 "$work/$game_name.out")"
    [ -s "$work/$game_name.err" ] && fail "$game_name: printed on stderr: $(head -c 500 "$work/$game_name.err")"
    return 0
}

# geometry and geometry_is come from lib.sh.

# The geometry of a window of the given size centred on the screen. Without a
# window manager there is no frame, so the outer size is the client size.
centred() {
    echo "$(((screen_width - $1) >> 1)) $(((screen_height - $2) >> 1)) $1 $2"
}

close_window() { "$close_helper" "$window"; }

# --- without an audio device: the window, the zoom and the close request ---------
start_game no-device "$work/no-device.conf"
find_window
xwininfo -id "$window" | grep -q '^xwininfo: Window id: [^ ]* "vonkel"$' || fail "window title is not vonkel"
expected=$(centred 640 480)
[ "$(geometry)" = "$expected" ] || fail "initial window at '$(geometry)', expected '$expected' (x y width height)"

for zoom in 2 4 1; do
    xdotool key --window "$window" "ctrl+$zoom"
    expected=$(centred $((640 * zoom)) $((480 * zoom)))
    retry 15 geometry_is "$expected" || fail "after ctrl+$zoom the window is at '$(geometry)', expected '$expected'"
done
ended "$game_pid" && fail "no-device: ended while zooming"
ends_in_order close close_window

# --- an ALSA configuration without any PCM: the game runs silent ------------------
start_game no-pcm "$work/no-pcm.conf"
find_window
ends_in_order close close_window

# --- a working audio device: ending while the audio thread runs ---------------------
start_game null-device-close "$work/null-device.conf"
find_window
sleep 0.5  # let the stream run for a while
ends_in_order close close_window

# --- the sound server: ending while the stream plays to it ------------------------------
start_sound_server

# The null sink runs up to about 1.5 s behind in a new stream's first
# second, the way a sink with a long latency (a wireless headset) does:
# closed 1 s after the start, a game that waits for its queued sound to be
# played before it ends would show it here.
start_game pulse-close "$work/pulse-alsa.conf"
find_window
sleep 1
ends_in_order close close_window

# Escape opens the scope view; Escape in a frame of the view after its
# 31st ends the game. The frames the window shows are counted from the X
# server's damage reports (x11_frame_counter), however slow the machine:
# two frames while Escape is held (the second read the keys after the
# first was shown, so with Escape down), then more than 31 after it.
frames_seen() { "$frame_counter" "$window" "$1" | awk '{ n = $2 } END { print n + 0 }'; }
start_game pulse-escape "$work/pulse-alsa.conf"
find_window
xdotool windowfocus --sync "$window"
sleep 0.5
xdotool keydown Escape
held_frames=$(frames_seen 0.2)
xdotool keyup Escape
[ "$held_frames" -ge 2 ] || fail "$game_name: $held_frames frames shown while Escape was held"
scope_frames=0
for _ in $(seq 20); do
    [ "$scope_frames" -gt 31 ] && break
    scope_frames=$((scope_frames + $(frames_seen 0.5)))
done
[ "$scope_frames" -gt 31 ] || fail "$game_name: only $scope_frames frames of the scope view in 10 s"
ended "$game_pid" && fail "$game_name: ended in the scope view before the second Escape"
ends_in_order escape xdotool keydown Escape
xdotool keyup Escape

# SIGTERM, which SDL turns into the same quit event as a close request.
start_game pulse-sigterm "$work/pulse-alsa.conf"
find_window
sleep 1
ends_in_order SIGTERM kill -TERM "$game_pid"

[ "${#slow[@]}" -eq 0 ] || fail "the game took more than $shutdown_limit_ms ms to end: $(printf '%s; ' "${slow[@]}")"
echo "window_test: all cases passed"
