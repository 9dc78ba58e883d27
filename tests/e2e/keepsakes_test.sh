#!/usr/bin/env bash
# End-to-end checks that nothing a player makes is lost, on a private X server
# without a sound device:
#   - a clip without a sound device has a sound track of silence as long as
#     its pictures, at a constant 62.5 pictures a second, and a converter
#     reads it without complaint and keeps every picture;
#   - a clip recording when the terminal goes away (SIGHUP) is finished, and
#     the game ends with status 0;
#   - a clip recording when another program destroys the window is finished,
#     and the game says so in one line and ends with status 1;
#   - two games of one song saving screenshots into one folder at the same
#     moments lose none of them;
#   - a game started with stdout and stderr closed runs and ends on SIGTERM;
#   - a capture folder reached through a link that leads nowhere yet is made
#     where it leads; a path with a newline is printed escaped; a temporary
#     file a killed game left there long ago is removed, a fresh one is not.
# usage: keepsakes_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]
set -u

vonkel=${1:?usage: keepsakes_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]}
test_name=keepsakes_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool ffmpeg ffprobe
start_xvfb
export SDL_VIDEODRIVER=x11 ALSA_CONFIG_PATH=/dev/null

# run_game NAME ARGS...: a game with --verbose, its window found and focused.
run_game() {
    game_name=$1
    shift
    "$vonkel" --verbose --no-settings "$@" >"$work/$game_name.out" 2>"$work/$game_name.err" &
    game_pid=$!
    started+=("$game_pid")
    window=$(window_of "$game_pid")
    xdotool windowfocus --sync "$window"
}
# ends_with CODE: the game ends, with that status.
ends_with() {
    retry 15 ended "$game_pid" || fail "$game_name: did not end"
    wait "$game_pid"
    local code=$?
    [ "$code" -eq "$1" ] || fail "$game_name: ended with status $code: $(cat "$work/$game_name.err")"
}
probe() { ffprobe -v error -select_streams "$2" -show_entries "$3" -of csv=p=0 "$1"; }
no_temporaries() {
    [ -z "$(ls -A "$1" | grep '^\.vonkel-')" ] || fail "$game_name: temporary files left: $(ls -A "$1")"
}

# --- a clip without a sound device; the terminal goes away while it records -------------------
folder="$work/clips"
mkdir -p "$folder"
touch -d '2 hours ago' "$folder/.vonkel-stale1"
touch "$folder/.vonkel-fresh1"
run_game hangup --seed 3 --capture-dir "$folder"
xdotool key F9
sleep 2.5
kill -HUP "$game_pid"
ends_with 0
clip=$(ls "$folder"/*.mp4) || fail "the clip recording at SIGHUP was not saved"
[ "$(ls "$folder"/*.mp4 | wc -l)" -eq 1 ] || fail "more than one clip: $(ls "$folder")"
[ -e "$folder/.vonkel-stale1" ] && fail "the stale temporary file was not removed"
[ -e "$folder/.vonkel-fresh1" ] || fail "a fresh temporary file (another game's) was removed"
rm "$folder/.vonkel-fresh1"
no_temporaries "$folder"
picture=$(probe "$clip" v stream=duration,r_frame_rate,avg_frame_rate,nb_frames)
sound=$(probe "$clip" a stream=codec_name,duration)
echo "keepsakes_test: a clip without sound: pictures $picture; sound $sound"
IFS=, read -r rate avg video_s frames <<<"$picture"
IFS=, read -r codec audio_s <<<"$sound"
[ "$codec" = aac ] || fail "the clip has no sound track: '$sound'"
[ "$rate" = 125/2 ] && [ "$avg" = 125/2 ] || fail "the clip's pictures are not at 62.5 a second: $picture"
awk -v a="$audio_s" -v v="$video_s" 'BEGIN { exit !(v >= 2 && a - v < 0.03 && v - a < 0.03) }' ||
    fail "the sound ($audio_s s) does not last as long as the pictures ($video_s s)"
complaints=$(ffmpeg -v error -i "$clip" -f null - 2>&1)
[ -z "$complaints" ] || fail "the clip is not a clean stream: $complaints"
ffmpeg -v error -y -i "$clip" -c:v libx264 -preset ultrafast -an "$work/again.mp4" || fail "cannot convert the clip"
again=$(probe "$work/again.mp4" v stream=nb_frames)
[ "$again" = "$frames" ] || fail "converting the clip kept $again of its $frames pictures"

# --- the window destroyed by another program while a clip records ----------------------------
run_game destroyed --seed 3 --capture-dir "$folder"
xdotool key F9
sleep 1.5
xdotool windowclose "$window"
ends_with 1
[ "$(ls "$folder"/*.mp4 | wc -l)" -eq 2 ] || fail "the clip recording when the window went was not saved"
[ "$(wc -l <"$work/destroyed.err")" -eq 1 ] && grep -q "went away" "$work/destroyed.err" ||
    fail "the game did not say once why it ended: $(cat "$work/destroyed.err")"
no_temporaries "$folder"

# --- two games of one song, one folder, screenshots at the same moments -----------------------
shots="$work/shots"
run_game first --seed 5 --capture-dir "$shots"
first=$window first_pid=$game_pid
run_game second --seed 5 --capture-dir "$shots"
for _ in $(seq 6); do
    xdotool key --window "$first" F12 &
    xdotool key --window "$window" F12
    wait $!
    sleep 0.3
done
retry 10 sh -c "[ \$(ls '$shots' | grep -c '\\.png\$') -eq 12 ]" ||
    fail "screenshots lost: $(ls "$shots" | tr '\n' ' ') $(cat "$work/first.err" "$work/second.err")"
kill "$game_pid" "$first_pid"
[ -s "$work/first.err" ] || [ -s "$work/second.err" ] && fail "$(cat "$work/first.err" "$work/second.err")"

# --- stdout and stderr closed ------------------------------------------------------------------
"$vonkel" --verbose --seed 3 --no-settings >&- 2>&- &
game_pid=$! game_name=closed
started+=("$game_pid")
window=$(window_of "$game_pid")
sleep 1
kill -TERM "$game_pid"
ends_with 0

# --- odd capture folders ----------------------------------------------------------------------------
ln -s "$work/made-later" "$work/link"
run_game linked --seed 4 --capture-dir "$work/link"
xdotool key F12
retry 10 sh -c "ls '$work/made-later'/*.png >/dev/null 2>&1" || fail "no screenshot through a dangling link: $(cat "$work/linked.err")"
kill "$game_pid"
odd="$work/a
b"
run_game newline --seed 4 --capture-dir "$odd"
xdotool key F12
retry 10 grep -q '^saved ' "$work/newline.out" || fail "no screenshot in a folder with a newline: $(cat "$work/newline.err")"
grep -qF "saved $work/a\\nb/vonkel-" "$work/newline.out" || fail "the path was not printed escaped: $(cat "$work/newline.out")"
kill "$game_pid"
echo "keepsakes_test: all cases passed"
