#!/usr/bin/env bash
# End-to-end checks of the game's window on a private X server, on a machine
# without sound card, sound server or window manager:
#   - without a display the game ends with exit code 1 and one line on stderr;
#   - without an audio device it opens a centred window titled "vonkel" with a
#     640 x 480 client area, Ctrl+2, Ctrl+4 and Ctrl+1 zoom it, and a window
#     manager's close request ends it with exit code 0;
#   - with an ALSA configuration that defines no PCM at all it runs silent;
#   - with an audio device that takes the samples (ALSA's null device) a close
#     request, and quitting from the game with Escape, both end it cleanly
#     while the audio thread runs.
# Every other run must print nothing. Nothing here depends on what the game
# draws.
#
# usage: window_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]
# The close-request helper is taken from $VONKEL_CLOSE_HELPER.
#
# The waits below are hang guards, not measurements: they are generous so
# that a busy machine does not fail the test.
set -u

vonkel=${1:?usage: window_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]}
close_helper=${VONKEL_CLOSE_HELPER:-}

test_name=window_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool xwininfo
[ -x "$vonkel" ] || fail "no game binary at '$vonkel'"
[ -n "$close_helper" ] && [ -x "$close_helper" ] || fail "VONKEL_CLOSE_HELPER does not name the close-request helper"

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

# Checks that the game has ended with exit code 0 and printed nothing.
expect_clean_end() {
    retry 15 ended "$game_pid" || fail "$game_name: still running"
    wait "$game_pid"
    local code=$?
    [ "$code" -eq 0 ] || fail "$game_name: exit code $code"
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

close_window() {
    "$close_helper" "$window" || fail "$game_name: could not send the close request"
}

# --- without a display: one line that says so, exit code 1 ----------------------------
game_name=no-display
env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 ALSA_CONFIG_PATH="$work/no-device.conf" \
    "$vonkel" >"$work/$game_name.out" 2>"$work/$game_name.err" &
game_pid=$!
started+=("$game_pid")
retry 15 ended "$game_pid" || fail "$game_name: still running"
wait "$game_pid"
code=$?
[ "$code" -eq 1 ] || fail "$game_name: exit code $code, expected 1"
[ "$(cat "$work/$game_name.err")" = "vonkel: no display (set DISPLAY or WAYLAND_DISPLAY; vonkel-lab runs headless)" ] ||
    fail "$game_name: printed on stderr: $(head -c 500 "$work/$game_name.err")"

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
close_window
expect_clean_end

# --- an ALSA configuration without any PCM: the game runs silent ------------------
start_game no-pcm "$work/no-pcm.conf"
find_window
close_window
expect_clean_end

# --- a working audio device: ending while the audio thread runs ---------------------
start_game null-device-close "$work/null-device.conf"
find_window
sleep 0.5  # let the stream run for a while
close_window
expect_clean_end

# Escape opens the scope view; once that has run for a moment, Escape quits.
start_game null-device-quit "$work/null-device.conf"
find_window
xdotool windowfocus --sync "$window"
for _ in $(seq 40); do
    ended "$game_pid" && break
    xdotool keydown Escape
    sleep 0.25
    xdotool keyup Escape
    sleep 0.5
done
expect_clean_end

echo "window_test: all cases passed"
