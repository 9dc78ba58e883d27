#!/usr/bin/env bash
# The game on a Wayland compositor without graphics hardware: Debian's
# weston with its X11 back end, inside a private X server, and the game
# told to use Wayland (no DISPLAY). Where SDL's software renderer cannot be
# made for a Wayland window, the game takes any renderer it can:
#   - the window appears and the game prints nothing;
#   - F11 fills weston's screen with the picture (read back from the X
#     server and scaled to 640 x 480: the status panel and the player);
#   - a held arrow key moves the player;
#   - Escape, then Escape again once the scope view has run 31 frames,
#     ends the game with status 0.
#
# usage: wayland_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]
# frame_probe is taken from the folder $VONKEL_E2E_HELPERS.
set -u

vonkel=${1:?usage: wayland_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]}
helpers=${VONKEL_E2E_HELPERS:-}
test_name=wayland_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool weston import convert
[ -x "$vonkel" ] || fail "no game binary at '$vonkel'"
[ -n "$helpers" ] && [ -x "$helpers/frame_probe" ] || fail "VONKEL_E2E_HELPERS does not name the folder of frame_probe"
probe=$helpers/frame_probe

start_xvfb
mkdir -p "$work/run"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR=$work/run
# weston's screen: 1024 x 768, 4:3 like the game's picture, at the X
# screen's top left corner.
weston --backend=x11-backend.so --socket=wayland-vonkel --width=1024 --height=768 --idle-time=0 --no-config \
    >"$work/weston.log" 2>&1 &
started+=($!)
retry 30 test -S "$work/run/wayland-vonkel" || fail "weston did not start: $(tail -n 5 "$work/weston.log")"
printf 'pcm.!default { type null }\n' >"$work/null-device.conf"

env -u DISPLAY WAYLAND_DISPLAY=wayland-vonkel SDL_VIDEODRIVER=wayland ALSA_CONFIG_PATH="$work/null-device.conf" \
    "$vonkel" --seed 3 >"$work/game.out" 2>"$work/game.err" &
game_pid=$!
started+=("$game_pid")

# screen NAME: weston's screen, read back and sampled down to the picture's
# size, as frame_probe reads a window.
screen() {
    import -window root -crop 1024x768+0+0 "png:$work/$1-full.png" 2>/dev/null || fail "no screenshot $1"
    convert "$work/$1-full.png" -sample 640x480 "png:$work/$1.png" || fail "cannot scale screenshot $1"
    "$probe" "$work/$1.png" >"$work/$1.txt" || fail "cannot read screenshot $1"
}
showing_game() {
    screen "$1"
    [ "$(fact "$1" panel)" = ok ] && [ "$(player_count "$1")" -gt 0 ]
}

sleep 2
ended "$game_pid" && fail "the game ended under Wayland: $(cat "$work/game.err")"
# weston gives a new window the keyboard; without a window manager the X
# server gives weston's window the keys while the pointer is over it.
xdotool mousemove 1000 760
sleep 0.3
xdotool key F11
retry 10 showing_game fullscreen ||
    fail "F11 did not fill weston's screen with the picture: panel $(fact fullscreen panel), player $(player_count fullscreen)"

screen before
if [ "$(player_x before | cut -d. -f1)" -ge 160 ]; then key=Left sign=-1; else key=Right sign=1; fi
xdotool keydown "$key"
sleep 0.6
xdotool keyup "$key"
screen after
moved=$(echo "$(player_x before) $(player_x after) $sign" | awk '{ printf "%.1f", ($2 - $1) * $3 }')
echo "$moved" | awk '{ exit !($1 >= 4) }' || fail "holding $key moved the player by $moved pixels"
echo "wayland_test: $key moved the player by $moved pixels"

# The game reads the keys held at each frame: each is held for a while.
press() { xdotool keydown "$1"; sleep 0.15; xdotool keyup "$1"; }
xdotool key F11
sleep 0.5
press Escape
sleep 1.3
press Escape
retry 15 ended "$game_pid" || fail "Escape in the scope view did not end the game"
wait "$game_pid"
code=$?
[ "$code" -eq 0 ] || fail "the game ended with status $code"
[ -s "$work/game.err" ] && fail "the game printed on stderr: $(head -c 500 "$work/game.err")"
echo "wayland_test: all cases passed"
