#!/usr/bin/env bash
# End-to-end checks of screenshots and clips in the real game, on a private X
# server and a private sound server whose sink is recorded (see lib.sh):
#   - F12 writes a PNG named vonkel-DATE-TIME-song-N.png into --capture-dir:
#     the picture of the window (it moves on between a screenshot of the
#     window and the game's own, so it is judged against the nearer of two
#     taken around the key, and by what frame_probe reads in it);
#   - F9, about 3 s, F9 writes an MP4 of about 3 s, 640 x 480, H.264 and AAC,
#     whose sound is not silent and is the sound the sink heard (it fits the
#     recording closely, and its two halves fit it at the same place);
#   - the window's title says "recording" meanwhile and names the file after;
#   - a clip is finished when the game is closed while it records;
#   - a capture folder that cannot be made: one line on stderr, the game goes
#     on, nothing is written.
# usage: capture_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]
set -u

vonkel=${1:?usage: capture_test.sh PATH-TO-vonkel [PATH-TO-vonkel-lab]}
helpers=${VONKEL_E2E_HELPERS:-}
close_helper=${VONKEL_CLOSE_HELPER:-}
test_name=capture_test
source "$(dirname "$0")/lib.sh"

require_tools Xvfb xdotool xprop import compare pulseaudio pactl parec ffmpeg ffprobe
[ -n "$close_helper" ] && [ -x "$close_helper" ] || fail "VONKEL_CLOSE_HELPER does not name the close-request helper"
for helper in frame_probe audio_probe; do
    [ -n "$helpers" ] && [ -x "$helpers/$helper" ] || fail "VONKEL_E2E_HELPERS does not name the folder of $helper"
done
probe=$helpers/frame_probe

start_xvfb
start_sound_server
start_recording "$work/sink.raw"

captures=$work/captures
start_game() {
    game_name=$1
    shift
    ALSA_CONFIG_PATH="$work/pulse-alsa.conf" SDL_VIDEODRIVER=x11 "$vonkel" --verbose "$@" \
        >"$work/$game_name.out" 2>"$work/$game_name.err" &
    game_pid=$!
    started+=("$game_pid")
    find_window
    xdotool windowfocus --sync "$window"
}
title() { xprop -id "$window" WM_NAME | sed -E 's/^[^"]*"(.*)"$/\1/'; }
# saved SONG EXTENSION COUNT: the game has said it saved COUNT such files.
saved() { [ "$(grep -c "^saved $captures/vonkel-[0-9]\{8\}-[0-9]\{6\}-song-$1\.$2\$" "$work/$game_name.out")" = "$3" ]; }

# sound_for SECONDS: the sink has recorded that much of the game's sound.
sound_for() {
    "$helpers/audio_probe" stats "$work/sink.raw" 0 600 2>/dev/null |
        awk -v s="$1" '$1 == "last_sound" { exit !($2 != "-" && $2 >= s) }'
}

# --- a screenshot ------------------------------------------------------------------
start_game capture --seed 7 --capture-dir "$captures"
sleep 0.5
shot before
xdotool key F12
shot after
retry 10 saved 7 png 1 || fail "F12 saved no PNG: $(cat "$work/capture.out" "$work/capture.err")"
png=$(ls "$captures"/*.png)
"$probe" "$png" >"$work/png.txt" || fail "cannot read the screenshot $png"
grep -qx 'size 640 480' "$work/png.txt" && grep -qx 'doubled 0' "$work/png.txt" && grep -qx 'foreign 0' "$work/png.txt" &&
    grep -qx 'panel ok' "$work/png.txt" || fail "the screenshot is not the game's picture: $(tr '\n' ' ' <"$work/png.txt")"
differing=$( (compare -metric AE "$png" "$work/before.png" null: 2>&1; echo; compare -metric AE "$png" "$work/after.png" null: 2>&1; echo) |
    sort -n | head -n 1)
echo "screenshot: $differing of 307200 pixels differ from the nearer window screenshot"
[ "${differing%%.*}" -le 15000 ] || fail "the screenshot differs from the window in $differing pixels"

# --- a clip of about 3 s -------------------------------------------------------------
# In the scope view the music plays on at full strength (a game over would
# fade it out). The clip's sound must lie wholly inside the recording, and
# the stream play steadily: a fresh stream on the null sink stalls for a
# second or more after its first blocks, while the sink plays what it holds.
xdotool keydown Escape  # held for some frames: the game reads its keys once a frame
sleep 0.2
xdotool keyup Escape
sleep 3
retry 20 sound_for 1.5 || fail "the sink recorded no sound"
# record_clip N: F9, about 3 s, F9; the clip is the Nth MP4 saved. Sets mp4.
record_clip() {
    xdotool key F9
    sleep 1
    case "$(title)" in "vonkel - recording 0:0"*) ;; *) fail "while recording the title is '$(title)'" ;; esac
    sleep 2
    xdotool key F9
    retry 30 saved 7 mp4 "$1" || fail "F9 saved no MP4: $(cat "$work/capture.out" "$work/capture.err")"
    mp4=$(ls -t "$captures"/*.mp4 | head -n 1)
    case "$(title)" in "vonkel - saved $(basename "$mp4")") ;; *) fail "after the clip the title is '$(title)'" ;; esac
}
# matches_sink: the clip's sound is what the sink heard: it fits the
# recording closely, and its two halves at the same place (within 50 ms).
matches_sink() {
    ffmpeg -v error -y -i "$mp4" -map 0:a -ac 1 -ar 44100 -f f32le "$work/clip.raw" || fail "cannot decode the clip's sound"
    "$helpers/audio_probe" stats "$work/clip.raw" 0 2 | awk '$1 == "rms" { exit !($2 > 0.01) }' || fail "the clip is silent"
    # The recorder writes in chunks: wait until it holds two seconds more
    # than when the clip ended, so that the clip lies wholly inside it.
    heard=$("$helpers/audio_probe" stats "$work/sink.raw" 0 600 | awk '$1 == "last_sound" { print $2 }')
    retry 20 sound_for "$(echo "$heard" | awk '{ print $1 + 2 }')" || fail "the sink recorded nothing after the clip"
    "$helpers/audio_probe" match "$work/clip.raw" "$work/sink.raw" >"$work/match.txt" || fail "audio_probe match failed"
    echo "clip against the sink: $(tr '\n' ' ' <"$work/match.txt")"
    awk '$1 == "correlation" { c = $2 } $1 == "halves_apart_ms" { h = $2 } END { exit !(c >= 0.9 && h <= 50) }' \
        "$work/match.txt"
}
record_clip 1
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$mp4")
streams=$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 "$mp4" | tr '\n' ' ')
echo "clip: $duration s, $streams"
echo "$duration" | awk '{ exit !($1 >= 2.5 && $1 <= 3.8) }' || fail "the clip lasts $duration s, not about 3 s"
[ "$streams" = "h264,640,480 aac " ] || fail "the clip's streams are $streams"
# A dropout of the sound server (exact silence cutting the music off, which
# a loaded machine can cause) shifts what the sink heard after it; the clip
# holds the music without it. Then one more clip is taken.
clips=1
until matches_sink; do
    "$helpers/audio_probe" silences "$work/sink.raw" 0 600 | grep -q ' cut$' ||
        fail "the clip's sound is not what the sink heard: $(tr '\n' ' ' <"$work/match.txt")"
    [ "$clips" -lt 3 ] || fail "three clips met dropouts of the sound server"
    echo "capture_test: the sound server dropped sound: another clip"
    clips=$((clips + 1))
    record_clip "$clips"
done

# --- closed while recording: the clip is finished ----------------------------------------
xdotool key F9
sleep 1.5
case "$(title)" in "vonkel - recording 0:0"*) ;; *) fail "F9 started no clip: the title is '$(title)'" ;; esac
"$close_helper" "$window" || fail "the close-request helper failed"
wait "$game_pid"
code=$?
[ "$code" -eq 0 ] || fail "closed while recording: exit code $code"
[ "$(ls "$captures"/*.mp4 | wc -l)" -eq $((clips + 1)) ] || fail "the clip that was recording at the close was not saved"
last=$(ls -t "$captures"/*.mp4 | head -n 1)
ffprobe -v error -show_entries format=duration -of csv=p=0 "$last" | awk '{ exit !($1 >= 1.0) }' ||
    fail "the clip finished at the close is not whole: $last"
[ -z "$(ls -A "$captures" | grep -v '^vonkel-')" ] || fail "temporary files were left: $(ls -A "$captures")"

# --- a folder that cannot be made ----------------------------------------------------
touch "$work/not-a-folder"
start_game unwritable --seed 8 --capture-dir "$work/not-a-folder/captures"
xdotool key F12
retry 10 test -s "$work/unwritable.err" || fail "no message for a capture folder that cannot be made"
sleep 0.5
[ "$(wc -l <"$work/unwritable.err")" -eq 1 ] && grep -q '^vonkel: cannot make the capture folder' "$work/unwritable.err" ||
    fail "the message is '$(cat "$work/unwritable.err")'"
ended "$game_pid" && fail "the game ended after a failed capture"
case "$(title)" in *"capture failed"*) ;; *) fail "after a failed capture the title is '$(title)'" ;; esac
kill "$game_pid"
echo "capture_test: ok"
