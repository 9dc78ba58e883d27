# Shared set-up of the end-to-end scripts. Source it after setting
# `test_name`; it provides fail, a work folder that is removed on success
# (kept and named on failure), the list `started` of processes that are
# stopped at exit, retry, ended, now_ms, start_xvfb, find_window, the
# screenshot readers shot, fact, player_count and player_x, and game_over and
# restart_game for checks that a game over would spoil.
# The waits are hang guards, generous so that a busy machine does not fail.

fail() {
    echo "$test_name: FAIL: $*" >&2
    exit 1
}

# require_tools TOOL...: each must be on the PATH.
require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || fail "$tool is not installed"
    done
}

work=$(mktemp -d)
started=()
# The games under test keep their settings in the work folder, never in the
# user's.
export XDG_CONFIG_HOME="$work/config"
e2e_cleanup() {
    local status=$? pid
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
    # A process that does not end within 15 s of SIGTERM is a fault of its
    # own: named, killed, and the check fails (rather than hang to its timeout).
    for pid in "${started[@]}"; do
        retry 15 ended "$pid" && continue
        echo "$test_name: $(cat "/proc/$pid/cmdline" 2>/dev/null | tr '\0' ' ') did not end on SIGTERM" >&2
        # Where each of its threads waits, for whoever reads the log.
        if command -v gdb >/dev/null; then
            gdb -p "$pid" -batch -ex 'thread apply all bt 12' 2>/dev/null | grep -E '^(Thread|#)' >&2
        fi
        kill -KILL "$pid" 2>/dev/null
        status=1
    done
    for pid in "${started[@]}"; do wait "$pid" 2>/dev/null; done
    if [ "$status" -eq 0 ]; then
        rm -rf "$work"
    else
        echo "$test_name: recordings, screenshots and logs kept in $work" >&2
    fi
    exit "$status"
}
trap e2e_cleanup EXIT
trap 'exit 1' INT TERM

# retry LIMIT-SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds;
# fails once the limit has passed.
retry() {
    local limit=$1
    shift
    local end=$((SECONDS + limit))
    until "$@"; do
        [ "$SECONDS" -ge "$end" ] && return 1
        sleep 0.1
    done
}

# Whether the process has ended (a child that has ended but was not yet
# waited for still answers kill -0, so its state is read as well).
ended() {
    ! kill -0 "$1" 2>/dev/null || [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" = Z ]
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# A private X server on a free display (-displayfd lets the server pick one
# and report it); exports DISPLAY. -noreset: by default the server resets
# when its last client leaves, and a client that connects meanwhile (a game
# started right after another one ended) is turned away. More arguments are
# passed on to Xvfb.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset "$@" 3>"$work/display" 2>"$work/xvfb.log" &
    started+=($!)
    retry 30 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    DISPLAY=":$(head -n 1 "$work/display")"
    export DISPLAY
}

# find_window: sets `window` to the id of the game's visible window (the game
# runs as $game_pid), once the same single window has been seen twice in a
# row: a toolkit may map a first window and replace it.
window=""
find_window() {
    local previous="" current count
    for _ in $(seq 300); do
        if ended "$game_pid"; then
            wait "$game_pid"
            fail "${game_name:-the game}: ended (exit code $?) before showing its window"
        fi
        current=$(xdotool search --onlyvisible --name '^vonkel$' 2>/dev/null)
        count=$(printf '%s' "$current" | grep -c .)
        if [ "$count" -eq 1 ] && [ "$current" = "$previous" ]; then
            window=$current
            return 0
        fi
        [ "$count" -gt 1 ] && current=""
        previous=$current
        sleep 0.1
    done
    fail "${game_name:-the game}: no window titled vonkel"
}

# Screenshots, read by the frame_probe helper ($probe).
# shot NAME: a screenshot of the client area into NAME.png and what frame_probe
# reads in it into NAME.txt.
shot() {
    import -window "$window" "png:$work/$1.png" 2>"$work/$1.import.err" ||
        fail "no screenshot $1: $(cat "$work/$1.import.err")"
    "$probe" "$work/$1.png" >"$work/$1.txt" || fail "cannot read screenshot $1"
}
# fact NAME KEY: the values that frame_probe gave for KEY in screenshot NAME.
fact() { awk -v key="$2" '$1 == key { $1 = ""; sub(/^ /, ""); print; exit }' "$work/$1.txt"; }
player_count() { fact "$1" player | cut -d' ' -f1; }
player_x() { fact "$1" player | cut -d' ' -f2; }

# The player can walk into a hazard and run out of energy; a check spoiled
# that way proves nothing either way and is tried again in a new game.
# game_over NAME: screenshot NAME shows a game that is over: the status panel
# with an empty energy bar, and no player on the field.
game_over() { [ "$(fact "$1" panel)" = ok ] && [ "$(fact "$1" energy)" = 0 ] && [ "$(player_count "$1")" = 0 ]; }
# restart_game: Z starts a new game once the game-over screen has run for a
# moment; Z is held, with the focus on the game, until the player is back.
player_back() {
    shot restart
    [ "$(player_count restart)" != 0 ]
}
restart_game() {
    echo "$test_name: the game was over; starting a new one with Z"
    xdotool windowfocus --sync "$window"
    xdotool keydown z
    retry 10 player_back || fail "Z did not start a new game after a game over"
    xdotool keyup z
}

# start_sound_server: a private PulseAudio server with a null sink
# "vonkel_sink" in the game's own format (mono 32-bit float at 44100 Hz), so
# that its monitor records the game's samples unconverted. Everything it and
# its clients read or write lives under $work. Writes $work/pulse-alsa.conf,
# an ALSA configuration whose default device plays through it, and which
# also names the sink as a device of its own, "vonkel_sink".
# The sink does not rewind: a null sink that rewinds after a client's first
# underrun holds a client with a buffer under 200 ms silent for about two
# seconds, which a sound card does not.
start_sound_server() {
    mkdir -p "$work/home" "$work/run"
    chmod 700 "$work/home" "$work/run"
    export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config"
    export PULSE_SERVER="unix:$work/run/pulse/native" PULSE_CLIENTCONFIG="$work/client.conf"
    export DBUS_SESSION_BUS_ADDRESS=disabled:
    printf 'autospawn = no\n' >"$work/client.conf"
    launch_sound_server
    printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\npcm.vonkel_sink { type pulse device vonkel_sink }\n' \
        >"$work/pulse-alsa.conf"
}

# launch_sound_server: starts the server that start_sound_server set up
# (again, after stop_sound_server); sets sound_server_pid.
launch_sound_server() {
    env -u DISPLAY pulseaudio -n --daemonize=no --system=false --exit-idle-time=-1 --use-pid-file=false \
        --disable-shm=yes --realtime=no --high-priority=no --no-cpu-limit=yes --log-target=stderr \
        -L "module-null-sink sink_name=vonkel_sink format=float32le rate=44100 channels=1 channel_map=mono norewinds=1" \
        -L "module-native-protocol-unix auth-anonymous=1" >>"$work/pulse.out" 2>>"$work/pulse.log" &
    sound_server_pid=$!
    started+=($!)
    retry 20 pactl info >/dev/null 2>&1 || fail "the sound server did not start: $(tail -n 5 "$work/pulse.log")"
    pactl set-default-sink vonkel_sink || fail "cannot make vonkel_sink the default sink"
}

# stop_sound_server: ends the server the way a crash or a restart does.
stop_sound_server() {
    kill -KILL "$sound_server_pid"
    retry 10 ended "$sound_server_pid" || fail "the sound server did not stop"
    wait "$sound_server_pid" 2>/dev/null
}

# window_of PID: the id of the one visible window titled vonkel of the
# process PID, once it has been seen twice in a row; fails after 30 s.
window_of() {
    local previous="" current
    for _ in $(seq 300); do
        ended "$1" && fail "the game $1 ended before showing its window"
        current=$(xdotool search --all --onlyvisible --pid "$1" --name '^vonkel' 2>/dev/null)
        if [ "$(printf '%s' "$current" | grep -c .)" -eq 1 ] && [ "$current" = "$previous" ]; then
            echo "$current"
            return 0
        fi
        previous=$current
        sleep 0.1
    done
    fail "no window of the game $1"
}

# start_game_at NAME [ARGS...]: starts $vonkel (behind ${run_as:-}, when a
# test runs it as another user) with its output in $work/NAME.out and .err;
# sets game_name, game_pid and window. The caller exports ALSA_CONFIG_PATH
# and SDL_VIDEODRIVER.
start_game_at() {
    game_name=$1
    shift
    ${run_as:-} "$vonkel" "$@" >"$work/$game_name.out" 2>"$work/$game_name.err" &
    game_pid=$!
    started+=("$game_pid")
    window=$(window_of "$game_pid")
    [ -n "$window" ] || fail "$game_name: no window"
}
# close_game: a close request ($close_helper) that must end the game with status 0.
close_game() {
    "$close_helper" "$window" || fail "$game_name: could not send the close request"
    retry 15 ended "$game_pid" || fail "$game_name: the close request did not end the game"
    wait "$game_pid"
    local code=$?
    [ "$code" -eq 0 ] || fail "$game_name: ended with status $code: $(cat "$work/$game_name.err")"
}

# start_recording FILE: records the sink's monitor into FILE (raw float
# samples) from now on; sets recorder_pid.
start_recording() {
    parec --device=vonkel_sink.monitor --format=float32le --rate=44100 --channels=1 --latency-msec=50 \
        >"$1" 2>"$work/parec.err" &
    recorder_pid=$!
    started+=("$recorder_pid")
}

# start_window_manager: Openbox on $DISPLAY, for what only a window manager
# does (fullscreen, giving the window its place back).
start_window_manager() {
    mkdir -p "$work/wm-home"
    HOME="$work/wm-home" DBUS_SESSION_BUS_ADDRESS=disabled: openbox --sm-disable >"$work/openbox.log" 2>&1 &
    started+=($!)
    retry 20 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        fail "the window manager did not start: $(tail -n 5 "$work/openbox.log")"
}

# "x y width height" of the client area of $window, in screen coordinates.
geometry() {
    xwininfo -id "$window" | awk '
        /Absolute upper-left X:/ { x = $NF }
        /Absolute upper-left Y:/ { y = $NF }
        /^ *Width:/ { w = $NF }
        /^ *Height:/ { h = $NF }
        END { print x, y, w, h }'
}
geometry_is() { [ "$(geometry)" = "$1" ]; }

# A player's hands: toggle_random_key presses or lets go of one of the
# caller's `keys`, then waits 0.1 to 0.5 s; release_keys lets go of every
# key still held. Seed RANDOM first for a repeatable run.
held=()
toggle_random_key() {
    local key=${keys[$((RANDOM % ${#keys[@]}))]}
    if [[ " ${held[*]} " == *" $key "* ]]; then
        xdotool keyup "$key"
        held=("${held[@]/$key}")
    else
        xdotool keydown "$key"
        held+=("$key")
    fi
    sleep "0.$((RANDOM % 5 + 1))"
}
release_keys() {
    local key
    for key in "${held[@]}"; do [ -n "$key" ] && xdotool keyup "$key"; done
    held=()
}
