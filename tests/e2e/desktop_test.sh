#!/usr/bin/env bash
# End-to-end checks of the game as a desktop program, on private X servers
# (one with the Openbox window manager) and a private sound server:
#   - --help and --version print and exit 0 without opening a window; bad
#     arguments give one line and exit 2;
#   - without a display, and on an 8-bit display, one line on stderr names
#     the cause, exit code 1;
#   - F11 twice, and Alt+Enter twice: the window fills the screen, then has
#     its 640 x 480 client area back at the same place;
#   - --zoom 2 opens a 1280 x 960 client area;
#   - --mute --seed 7 --verbose: prints song 7 first; the recording is
#     silent while the scope view's waveform moves; M brings the sound back,
#     and its beat is the one that `vonkel-lab song --seed 7` gives (four
#     steps of chunksPerStep x 128 samples) within 3%;
#   - a controller plugged in while the game runs (SDL's virtual one,
#     preloaded) moves the player.
# The script prints the measured "beat period: N ms (expected M ms)".
#
# usage: desktop_test.sh PATH-TO-vonkel PATH-TO-vonkel-lab
# Helpers from the folder $VONKEL_E2E_HELPERS: frame_probe, audio_probe and
# virtual_pad.so.
set -u

vonkel=${1:?usage: desktop_test.sh PATH-TO-vonkel PATH-TO-vonkel-lab}
lab=${2:?usage: desktop_test.sh PATH-TO-vonkel PATH-TO-vonkel-lab}
helpers=${VONKEL_E2E_HELPERS:-}

test_name=desktop_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool xwininfo xprop import convert openbox pulseaudio pactl parec
[ -x "$vonkel" ] || fail "no game binary at '$vonkel'"
[ -x "$lab" ] || fail "no vonkel-lab binary at '$lab'"
for helper in frame_probe audio_probe virtual_pad.so; do
    [ -n "$helpers" ] && [ -f "$helpers/$helper" ] || fail "VONKEL_E2E_HELPERS does not name the folder of $helper"
done
probe=$helpers/frame_probe
no_display="vonkel: no display (set DISPLAY or WAYLAND_DISPLAY; vonkel-lab runs headless)"

# run_to_end NAME LIMIT COMMAND...: runs COMMAND, which must end within LIMIT
# seconds; its output goes to NAME.out and NAME.err, its exit code to `code`.
run_to_end() {
    local name=$1 limit=$2
    shift 2
    "$@" >"$work/$name.out" 2>"$work/$name.err" &
    local pid=$!
    started+=("$pid")
    retry "$limit" ended "$pid" || fail "$name: still running after $limit s"
    wait "$pid"
    code=$?
}

# --- the command line, without any display ------------------------------------------
headless() { env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR -u SDL_VIDEODRIVER "$@"; }
run_to_end help 10 headless "$vonkel" --help
[ "$code" -eq 0 ] || fail "--help: exit code $code"
grep -q -- '--seed N' "$work/help.out" && grep -q 'vonkel-lab audio --seed N' "$work/help.out" ||
    fail "--help does not describe --seed: $(head -c 300 "$work/help.out")"
run_to_end version 10 headless "$vonkel" --version
[ "$code" -eq 0 ] || fail "--version: exit code $code"
grep -qxE 'vonkel [0-9]+\.[0-9]+\.[0-9]+' "$work/version.out" || fail "--version printed '$(cat "$work/version.out")'"
run_to_end bad-zoom 10 headless "$vonkel" --zoom 3
[ "$code" -eq 2 ] && [ "$(wc -l <"$work/bad-zoom.err")" -eq 1 ] ||
    fail "--zoom 3: exit code $code, stderr '$(cat "$work/bad-zoom.err")'"

# --- no display, and a display the game cannot draw in -----------------------------------
run_to_end no-display 15 headless "$vonkel"
[ "$code" -eq 1 ] || fail "no display: exit code $code, expected 1"
[ "$(cat "$work/no-display.err")" = "$no_display" ] || fail "no display: stderr '$(cat "$work/no-display.err")'"

Xvfb -displayfd 3 -screen 0 640x480x8 -nolisten tcp 3>"$work/display8" 2>"$work/xvfb8.log" &
started+=($!)
retry 30 test -s "$work/display8" || fail "the 8-bit Xvfb did not start: $(cat "$work/xvfb8.log")"
run_to_end eight-bit 15 env DISPLAY=":$(head -n 1 "$work/display8")" ALSA_CONFIG_PATH=/dev/null "$vonkel"
[ "$code" -eq 1 ] || fail "8-bit display: exit code $code, expected 1"
[ "$(wc -l <"$work/eight-bit.err")" -eq 1 ] && grep -q '^vonkel: unsupported display pixel format' "$work/eight-bit.err" ||
    fail "8-bit display: stderr '$(cat "$work/eight-bit.err")'"

# --- the private X server with a window manager, and the sound server -----------------------
start_xvfb
readonly screen="0 0 1920 1080"
start_window_manager
start_sound_server

game_pid=""
# start_game NAME ARGUMENT...: the game with its sound going to the sink.
start_game() {
    game_name=$1
    shift
    ALSA_CONFIG_PATH="$work/pulse-alsa.conf" SDL_VIDEODRIVER=x11 "$vonkel" "$@" \
        >"$work/$game_name.out" 2>"$work/$game_name.err" &
    game_pid=$!
    started+=("$game_pid")
    find_window
    xdotool windowfocus --sync "$window"
}
stop_game() {
    kill "$game_pid"
    retry 15 ended "$game_pid" || fail "$game_name: did not stop"
}

# --- fullscreen there and back, by F11 and by Alt+Enter -------------------------------------
start_game fullscreen --seed 1
retry 15 sh -c '[ "$(xwininfo -id '"$window"' | awk "/^ *Width:/ { print \$NF }")" = 640 ]' ||
    fail "the window's client area is not 640 wide: $(geometry)"
windowed=$(geometry)
# The keys go through the X server's keyboard (XTEST) to the focused window,
# as a person's would: a synthetic event sent to the window carries no
# modifier state of the server, and SDL reads the modifiers from it when the
# focus changes around a fullscreen switch.
press() {
    xdotool windowfocus --sync "$window"
    xdotool key "$1"
}
for keys in F11 alt+Return; do
    press "$keys"
    retry 15 geometry_is "$screen" || fail "after $keys the window is at '$(geometry)', expected the screen '$screen'"
    if [ "$keys" = F11 ]; then
        sleep 0.3
        import -window "$window" "png:$work/fullscreen.png" 2>"$work/import.err" || fail "no fullscreen screenshot"
    fi
    press "$keys"
    retry 15 geometry_is "$windowed" || fail "after $keys twice the window is at '$(geometry)', expected '$windowed'"
done
stop_game
# The fullscreen picture: the 4:3 image, 1440 x 1080, between black bars.
size=$(identify -format '%w %h' "$work/fullscreen.png")
[ "$size" = "1920 1080" ] || fail "the fullscreen screenshot is $size"
for bar in 240x1080+0+0 240x1080+1680+0; do
    [ "$(convert "$work/fullscreen.png" -crop "$bar" +repage -format '%[max]' info:)" = 0 ] ||
        fail "the bar $bar beside the fullscreen picture is not black"
done
convert "$work/fullscreen.png" -crop 1440x1080+240+0 +repage -filter point -resize 640x480 "png:$work/picture.png"
"$probe" "$work/picture.png" >"$work/picture.txt" || fail "cannot read the fullscreen picture"
[ "$(fact picture panel)" = ok ] || fail "the fullscreen picture is not the game's: $(fact picture panel)"

# --- zoom 2 from the start -------------------------------------------------------------------
start_game zoom --zoom 2 --seed 1
retry 15 sh -c '[ "$(xwininfo -id '"$window"' | awk "/^ *Width:/ { w = \$NF } /^ *Height:/ { h = \$NF } END { print w, h }")" = "1280 960" ]' ||
    fail "--zoom 2: the client area is $(geometry), expected 1280 x 960"
stop_game

# --- muted, song 7, the scope view, then M --------------------------------------------------
# Muted from the start: the recording holds exact silence while the scope
# view shows the music's waveform moving. After M the song is heard.
start_game song --mute --seed 7 --verbose
start_recording "$work/song.raw"
retry 10 test -s "$work/song.out" || fail "--verbose printed nothing"
[ "$(head -n 1 "$work/song.out")" = "song 7: vonkel-lab audio --seed 7 --seconds 60 --out song-7.wav" ] ||
    fail "--verbose printed '$(head -n 1 "$work/song.out")' first"
# The game reads held keys once a frame: Escape is held for a while.
xdotool keydown Escape
sleep 0.15
xdotool keyup Escape
sleep 1
moving=0
previous=""
for n in 1 2 3 4 5 6; do
    shot "scope-$n"
    [ "$(fact "scope-$n" band)" = ok ] || fail "no scope view: $(fact "scope-$n" band)"
    band=$(convert "$work/scope-$n.png" -crop 640x160+0+160 +repage rgb:- | md5sum)
    if [ "$(fact "scope-$n" trace_rows)" -gt 1 ] && [ -n "$previous" ] && [ "$band" != "$previous" ]; then
        moving=$((moving + 1))
    fi
    previous=$band
    sleep 0.15
done
[ "$moving" -ge 2 ] || fail "muted, the scope view's waveform does not move ($moving changes)"
# At least 1.6 s of the muted game on record before M (the recorder may
# have started late on a busy machine).
recorded_at_least() { [ $(($(stat -c %s "$work/song.raw") / 4)) -ge $((44100 * 16 / 10)) ]; }
retry 15 recorded_at_least || fail "the recording holds only $(($(stat -c %s "$work/song.raw") / 4)) samples"
muted_until=$(($(stat -c %s "$work/song.raw") / 4))
xdotool key --window "$window" m
sleep 9
ended "$game_pid" && fail "the game ended while playing song 7"
stop_game
kill "$recorder_pid"
retry 10 ended "$recorder_pid" || fail "the recorder did not stop"
muted_s=$(echo "$muted_until" | awk '{ printf "%.3f", $1 / 44100 }')
echo "$muted_s" | awk '{ exit !($1 >= 1.5) }' || fail "only $muted_s s were recorded before M"
muted=$("$helpers/audio_probe" stats "$work/song.raw" 0 "$muted_s") || fail "cannot read the recording"
[ "$(echo "$muted" | awk '$1 == "first_sound" { print $2 }')" = - ] ||
    fail "muted, the recording is not silent: $(echo "$muted" | tr '\n' ' ')"
whole=$("$helpers/audio_probe" stats "$work/song.raw" 0 60) || fail "cannot read the recording"
last=$(echo "$whole" | awk '$1 == "last_sound" { print $2 }')
[ "$last" != - ] || fail "after M the recording stays silent"
# The beat of the last 7 s before the game stopped, against the song's own.
from=$(echo "$last" | awk '{ printf "%.3f", $1 - 7.2 }')
to=$(echo "$last" | awk '{ printf "%.3f", $1 - 0.2 }')
beat=$("$helpers/audio_probe" beat "$work/song.raw" "$from" "$to") || fail "no beat found in the recording"
beat_ms=$(echo "$beat" | awk '$1 == "beat_ms" { print $2 }')
chunks=$("$lab" song --seed 7 | grep -o '"chunksPerStep":[0-9]*' | cut -d: -f2)
[ -n "$chunks" ] || fail "vonkel-lab song --seed 7 gives no chunksPerStep"
expected_ms=$(echo "$chunks" | awk '{ printf "%.1f", 4 * $1 * 128 * 1000 / 44100 }')
echo "beat period: $beat_ms ms (expected $expected_ms ms for chunksPerStep $chunks)"
echo "$beat_ms $expected_ms" | awk '{ d = ($1 - $2) / $2; if (d < 0) d = -d; exit !(d <= 0.03) }' ||
    fail "the beat lasts $beat_ms ms, song 7's is $expected_ms ms ($(echo "$beat" | tr '\n' ' '))"

# --- a controller plugged in while the game runs ---------------------------------------------
# Plugged in with nothing held, it leaves the player where it is; holding
# the side away from the nearer edge moves the player. A game over on the
# way (see game_over in lib.sh) sends the check to a new game; the
# controller stays plugged in.
pad_file="$work/pad"
export VONKEL_VIRTUAL_PAD="$pad_file"
LD_PRELOAD="$helpers/virtual_pad.so" start_game pad --seed 1
unset VONKEL_VIRTUAL_PAD
sleep 0.5
pad_checked=""
for _ in 1 2 3; do
    shot pad-0
    if game_over pad-0; then restart_game; continue; fi
    [ "$(player_count pad-0)" -gt 0 ] || fail "no player on the field"
    : >"$pad_file"  # plugged in (on the first try), nothing held
    sleep 0.5
    shot pad-1
    if game_over pad-1; then restart_game; continue; fi
    [ "$(player_x pad-0)" = "$(player_x pad-1)" ] || fail "a controller at rest moved the player"
    if echo "$(player_x pad-1)" | awk '{ exit !($1 >= 160) }'; then held=left sign=-1; else held=right sign=1; fi
    echo "$held" >"$pad_file"
    sleep 0.7
    shot pad-2
    : >"$pad_file"
    if game_over pad-2; then restart_game; continue; fi
    [ "$(player_count pad-2)" -gt 0 ] || fail "the player vanished while the controller held $held"
    moved=$(echo "$(player_x pad-1) $(player_x pad-2) $sign" | awk '{ printf "%.2f", ($2 - $1) * $3 }')
    echo "$moved" | awk '{ exit !($1 >= 4) }' || fail "holding $held on the controller moved the player by $moved pixels"
    echo "desktop_test: the controller's $held moved the player by $moved pixels"
    pad_checked=yes
    break
done
[ -n "$pad_checked" ] || fail "the game was over before every try of the controller"
stop_game

echo "desktop_test: all cases passed"
