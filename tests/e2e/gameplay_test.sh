#!/usr/bin/env bash
# End-to-end checks of the game as a player sees it, on a private X server,
# without sound card (the only ALSA PCM fails to open, so the game runs
# silent). Screenshots of the window are read pixel by pixel:
#   - the picture is a 320 x 240 image shown doubled, in the game's colours
#     only: terrain tiles of all three kinds, the player, and the status panel
#     with a full energy bar, an empty boost bar and the score 000000;
#   - holding Right moves the player to the right, holding Down moves it down;
#   - Escape opens the scope view: the black band in the middle with its two
#     blue lines and a white waveform trace in every column, terrain above
#     and below, no player and no panel; an Escape in the first frames of the
#     view does not end the program;
#   - Escape again, once the view has run for a moment, ends the program with
#     exit code 0, and the game has printed nothing.
#
# usage: gameplay_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]
# The helper programs (frame_probe) are taken from the folder
# $VONKEL_E2E_HELPERS.
#
# The waits below are hang guards or give the game time to act on a key, not
# measurements of its speed. Where a check depends on how many frames fit in
# a stretch of time, the script measures the stretch and only judges when the
# result is certain whatever the machine's speed.
set -u

vonkel=${1:?usage: gameplay_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]}
helpers=${VONKEL_E2E_HELPERS:-}

test_name=gameplay_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool import
[ -x "$vonkel" ] || fail "no game binary at '$vonkel'"
probe=$helpers/frame_probe
[ -n "$helpers" ] && [ -x "$probe" ] || fail "VONKEL_E2E_HELPERS does not name the folder of frame_probe"

# --- the private X server, no sound card -------------------------------------
start_xvfb

printf 'pcm.!default { type plug slave.pcm "nonexistent" }\n' >"$work/no-device.conf"

ALSA_CONFIG_PATH="$work/no-device.conf" SDL_VIDEODRIVER=x11 "$vonkel" >"$work/game.out" 2>"$work/game.err" &
game_pid=$!
started+=("$game_pid")

# --- screenshots -----------------------------------------------------------------
# shot, fact, player_count, player_x, game_over and restart_game come from
# lib.sh; the screenshots stay in $work, which is kept when a check fails.
player_y() { fact "$1" player | cut -d' ' -f3; }

# The window shows the game's first picture (until then it may be blank).
first_picture() {
    shot first
    [ "$(fact first panel)" = ok ]
}

# A picture of the running game, in the game's colours, doubled.
expect_play_view() {
    local name=$1
    [ "$(fact "$name" size)" = "640 480" ] || fail "$name: picture of $(fact "$name" size), expected 640 480"
    [ "$(fact "$name" doubled)" = 0 ] || fail "$name: $(fact "$name" doubled) 2x2 blocks are not one colour"
    [ "$(fact "$name" foreign)" = 0 ] || fail "$name: $(fact "$name" foreign) pixels of colours the game never draws"
    local counts
    read -r -a counts <<<"$(fact "$name" terrain)"
    [ "${counts[0]}" -gt 0 ] && [ "${counts[1]}" -gt 0 ] && [ "${counts[2]}" -gt 0 ] ||
        fail "$name: terrain pixels of the three kinds: ${counts[*]} (each should be above 0)"
    [ "$(fact "$name" panel)" = ok ] || fail "$name: status panel $(fact "$name" panel)"
    [ "$(fact "$name" band)" != ok ] || fail "$name: shows the scope band in the running game"
}

# Releases every key the script may hold, whatever happened.
release_keys() { xdotool keyup Right keyup Down keyup z keyup Escape 2>/dev/null; }

# --- the first picture ------------------------------------------------------------
find_window
xdotool windowfocus --sync "$window"
retry 10 first_picture || fail "the window shows no status panel: $(fact first panel)"
shot start
expect_play_view start
[ "$(player_count start)" -gt 0 ] || fail "start: no player (colour 0xC0FFFF) on the field"
energy=$(fact start energy)
# The player starts on a tile that does not drain energy; only if the tile
# under it has already turned into a hazard may a little be gone.
if [ "$energy" != 120 ]; then
    [ "$(fact start player_tile)" = 0xA04080 ] && [ "$energy" -ge 90 ] ||
        fail "start: energy bar $energy pixels long, expected full (120)"
fi
[ "$(fact start boost)" = 0 ] || fail "start: boost bar $(fact start boost) pixels long, expected empty"
[ "$(fact start score)" = 000000 ] || fail "start: score shows '$(fact start score)', expected 000000"
echo "gameplay_test: start: player at $(player_x start),$(player_y start), energy $energy, score $(fact start score)"

# --- moving the player ----------------------------------------------------------------
# hold KEY SECONDS
hold() {
    xdotool keydown "$1"
    sleep "$2"
    xdotool keyup "$1"
}
# moved FROM TO: "dx dy" of the player's centroid between two screenshots.
moved() { echo "$(player_x "$1") $(player_y "$1") $(player_x "$2") $(player_y "$2")" | awk '{ dx = $3 - $1; dy = $4 - $2; if (dx == 0) dx = 0; if (dy == 0) dy = 0; printf "%.2f %.2f", dx, dy }'; }
# Whether "dx dy" is a move of at least 4 pixels along the axis (x or y)
# and of at most 2 across it (one last step the old way and the turn of the
# glyph shift the centroid by less than that).
along() {
    echo "$1" | awk -v axis="$2" '{ a = (axis == "x") ? $1 : $2; c = (axis == "x") ? $2 : $1; if (c < 0) c = -c; exit !(a >= 4 && c <= 2) }'
}

# A game over on the way sends the moves to a new game (see game_over in
# lib.sh). The player moves at least one pixel every other frame: half a
# second of a held key moves it by about 15 pixels or more.
moves_checked=""
for _ in 1 2 3; do
    shot before
    if game_over before; then restart_game; continue; fi
    [ "$(player_count before)" -gt 0 ] || fail "before moving: no player on the field"
    hold Right 0.5
    shot right
    if game_over right; then restart_game; continue; fi
    hold Down 0.5
    shot down
    if game_over down; then restart_game; continue; fi
    [ "$(player_count right)" -gt 0 ] && [ "$(player_count down)" -gt 0 ] || fail "the player vanished while moving"
    expect_play_view down
    right_move=$(moved before right)
    down_move=$(moved right down)
    along "$right_move" x || fail "holding Right moved the player by (dx dy) = ($right_move) pixels"
    along "$down_move" y || fail "holding Down moved the player by (dx dy) = ($down_move) pixels"
    echo "gameplay_test: Right moved the player by ($right_move), Down by ($down_move)"
    moves_checked=yes
    break
done
[ -n "$moves_checked" ] || fail "the game was over before every try of the moves"
ended "$game_pid" && fail "the game ended while the player moved"

# --- the scope view -----------------------------------------------------------------
# Escape opens the view. A second Escape within the view's first 30 frames
# does nothing: a frame of the view lasts at least 25 ms, so 30 frames take
# at least 750 ms, and an Escape released sooner than that after the first
# must leave the game running. The screenshot is taken between the two and
# read afterwards, to keep the second one early.
entered=$(now_ms)
hold Escape 0.1
import -window "$window" "png:$work/scope.png" 2>"$work/scope.import.err" ||
    fail "no screenshot of the scope view: $(cat "$work/scope.import.err")"
hold Escape 0.1
early=$(($(now_ms) - entered))
sleep 0.2
if [ "$early" -lt 750 ]; then
    ended "$game_pid" && fail "an Escape ${early} ms after entering the scope view ended the program"
    echo "gameplay_test: an Escape ${early} ms after entering the scope view left the game running"
else
    echo "gameplay_test: the early Escape came ${early} ms after the first; not judged"
fi

"$probe" "$work/scope.png" >"$work/scope.txt" || fail "cannot read the screenshot of the scope view"
[ "$(fact scope size)" = "640 480" ] || fail "scope: picture of $(fact scope size)"
[ "$(fact scope doubled)" = 0 ] || fail "scope: $(fact scope doubled) 2x2 blocks are not one colour"
[ "$(fact scope foreign)" = 0 ] || fail "scope: $(fact scope foreign) pixels of colours the game never draws"
[ "$(fact scope band)" = ok ] || fail "scope: the waveform band is wrong: $(fact scope band)"
[ "$(player_count scope)" = 0 ] || fail "scope: the player is drawn in the scope view"
[ "$(fact scope panel)" != ok ] && [ "$(fact scope energy)" = 0 ] || fail "scope: the status panel is drawn in the scope view"
read -r -a counts <<<"$(fact scope terrain)"
[ $((counts[0] + counts[1] + counts[2])) -gt 0 ] || fail "scope: no terrain above and below the band"

# Escape once the view has run for well over 31 frames ends the program. The
# taps are repeated (a hang guard) in case the machine runs slow.
while [ $(($(now_ms) - entered)) -lt 1300 ]; do sleep 0.1; done
for _ in $(seq 10); do
    ended "$game_pid" && break
    hold Escape 0.15
    retry 2 ended "$game_pid" && break
done
release_keys
retry 15 ended "$game_pid" || fail "Escape in the scope view did not end the program"
wait "$game_pid"
code=$?
[ "$code" -eq 0 ] || fail "the program ended with exit code $code"
[ -s "$work/game.out" ] && fail "the game printed on stdout: $(head -c 500 "$work/game.out")"
[ -s "$work/game.err" ] && fail "the game printed on stderr: $(head -c 500 "$work/game.err")"

echo "gameplay_test: all cases passed"
