#!/usr/bin/env bash
# End-to-end checks of the settings file, on a private X server without
# window manager, with ALSA's null device as the sound card:
#   - a round trip: the volume keys and Ctrl+2 in one game, a close, and the
#     next game starts with the window zoomed and the volume where it was
#     (the title shows the level after a key); an option on the command
#     line wins for its run and is not saved;
#   - a broken file (garbage, a huge line, a folder in its place, no
#     permission to read it): the game starts, says so in one line that
#     names the file (and the line), and ends with status 0;
#   - a config folder where none can be made: the game runs, one line;
#   - two games at once, each changing the volume: the file holds one of
#     the two, whole, and no temporary file is left;
#   - --no-settings neither reads nor writes the file.
#
# usage: settings_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]
# The close-request helper is taken from $VONKEL_CLOSE_HELPER.
set -u

vonkel=${1:?usage: settings_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]}
close_helper=${VONKEL_CLOSE_HELPER:-}
test_name=settings_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool xwininfo
[ -x "$vonkel" ] || fail "no game binary at '$vonkel'"
[ -n "$close_helper" ] && [ -x "$close_helper" ] || fail "VONKEL_CLOSE_HELPER does not name the close-request helper"

start_xvfb
printf 'pcm.!default { type null }\n' >"$work/null-device.conf"
export ALSA_CONFIG_PATH="$work/null-device.conf" SDL_VIDEODRIVER=x11
conf=$XDG_CONFIG_HOME/vonkel/vonkel.conf

key() {
    xdotool windowfocus --sync "$window"
    xdotool key --delay 50 "$@"
}
size_is() { [ "$(xwininfo -id "$window" | awk '/^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print w, h }')" = "$1" ]; }
title_is() { [ "$(xdotool getwindowname "$window")" = "$1" ]; }
setting() { awk -F' = ' -v key="$1" '$1 == key { print $2 }' "$conf"; }
no_output() {
    [ -s "$work/$game_name.err" ] && fail "$game_name: printed on stderr: $(head -c 300 "$work/$game_name.err")"
    return 0
}
# one_line_naming TEXT: the game's stderr is one line that holds TEXT.
one_line_naming() {
    [ "$(wc -l <"$work/$game_name.err")" -eq 1 ] || fail "$game_name: expected one line on stderr, got: $(cat "$work/$game_name.err")"
    grep -qF -- "$1" "$work/$game_name.err" || fail "$game_name: the line does not name '$1': $(cat "$work/$game_name.err")"
}

# --- a round trip ------------------------------------------------------------------------
start_game_at first
[ -e "$conf" ] && fail "the game wrote its settings before anything changed"
key minus minus minus ctrl+2
retry 10 title_is "vonkel - volume 70%" || fail "the title does not show the level: $(xdotool getwindowname "$window")"
retry 10 size_is "1280 960" || fail "Ctrl+2 did not zoom the window"
retry 5 title_is "vonkel" || fail "the title does not come back: $(xdotool getwindowname "$window")"
key m
retry 10 title_is "vonkel - sound off (volume 70%)" || fail "M does not show in the title"
key m
close_game
no_output
[ "$(setting volume)" = 70 ] && [ "$(setting zoom)" = 2 ] && [ "$(setting mute)" = false ] ||
    fail "the settings file does not hold volume 70, zoom 2, sound on: $(cat "$conf")"

start_game_at second
retry 10 size_is "1280 960" || fail "the second game's window is not zoomed 2 x 2 again"
key equal
retry 10 title_is "vonkel - volume 80%" || fail "the volume was not kept: $(xdotool getwindowname "$window")"
close_game
no_output
[ "$(setting volume)" = 80 ] || fail "the volume 80 was not saved: $(cat "$conf")"

# Options win for their run and are not saved; a change in the game is.
cp "$conf" "$work/before-options.conf"
start_game_at options --zoom 1 --volume 20 --mute
retry 10 size_is "640 480" || fail "--zoom 1 did not win over the file"
close_game
cmp -s "$conf" "$work/before-options.conf" || fail "options given on the command line were saved: $(cat "$conf")"
start_game_at options-changed --volume 20
key minus
retry 10 title_is "vonkel - volume 10%" || fail "--volume 20 did not win over the file: $(xdotool getwindowname "$window")"
close_game
[ "$(setting volume)" = 10 ] && [ "$(setting zoom)" = 2 ] || fail "the change in the game was not saved alone: $(cat "$conf")"

# --no-settings: the file is neither read nor written.
start_game_at no-settings --no-settings
retry 10 size_is "640 480" || fail "--no-settings read the file"
key equal
close_game
[ "$(setting volume)" = 10 ] || fail "--no-settings wrote the file"

# --- broken files -------------------------------------------------------------------------------
# broken NAME EXPECTED: the game starts on the broken file, says EXPECTED in
# one line, and a close ends it with status 0.
broken() {
    start_game_at "$1"
    [ "$(xdotool getwindowname "$window")" = vonkel ] || fail "$1: the game does not run"
    close_game
    one_line_naming "$2"
}
head -c 3000 /dev/urandom >"$conf"
broken garbage "$conf:"
{ printf '[sound]\nvolume = 50\n'; head -c 20000 /dev/zero | tr '\0' 'x'; printf '\n[window]\nzoom = 2\n'; } >"$conf"
broken huge-line "$conf:3: the line is too long"
rm -f "$conf"
mkdir "$conf"
broken folder "'$conf': a folder"
rmdir "$conf"
printf '[sound]\nvolume = 30\n' >"$conf"
if [ "$(id -u)" -eq 0 ]; then
    # Root reads any file: the game runs as nobody for this case.
    command -v setpriv >/dev/null || fail "setpriv is not installed"
    chmod 755 "$work" && chmod -R a+rX "$work/config"
    run_as="setpriv --reuid=65534 --regid=65534 --clear-groups --"
fi
chmod 000 "$conf"
broken no-permission "cannot read '$conf': Permission denied"
run_as=""
chmod 600 "$conf"

# --- a config folder where none can be made -----------------------------------------------------
printf 'not a folder\n' >"$work/plain-file"
XDG_CONFIG_HOME=$work/plain-file/config start_game_at unwritable
key minus
sleep 1.5
key minus
close_game
one_line_naming "cannot save the settings: "
grep -qF "$work/plain-file/config" "$work/unwritable.err" || fail "the line does not name the folder: $(cat "$work/unwritable.err")"

# --- two games at once ------------------------------------------------------------------------------
rm -f "$conf"
start_game_at one
first_window=$window first_pid=$game_pid
start_game_at two
second_window=$window second_pid=$game_pid
# Each key goes to its game's window itself: switching the focus between
# two windows and typing can deliver a key to the other one.
for round in 1 2 3 4 5; do
    xdotool key --window "$first_window" --delay 50 minus
    xdotool key --window "$second_window" --delay 50 minus minus
done
sleep 0.3
"$close_helper" "$first_window" && "$close_helper" "$second_window" || fail "could not close the two games"
for pid in "$first_pid" "$second_pid"; do
    retry 15 ended "$pid" || fail "a close request did not end one of the two games"
    wait "$pid" || fail "one of the two games ended with status $?"
done
case "$(setting volume)" in
    50 | 0) ;;
    *) fail "after two games, the file holds neither's volume: $(cat "$conf")" ;;
esac
[ "$(cat "$conf")" = "$(sed "s/^volume = .*/volume = $(setting volume)/" "$conf")" ] || fail "the file is broken"
[ "$(grep -c ' = ' "$conf")" -eq 6 ] || fail "the file is not whole: $(cat "$conf")"
[ "$(ls "$(dirname "$conf")")" = vonkel.conf ] || fail "files left beside the settings: $(ls "$(dirname "$conf")")"

echo "settings_test: all cases passed"
