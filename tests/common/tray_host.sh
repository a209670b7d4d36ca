# Shell helpers for driving the program under a private Xvfb with a real window manager (openbox)
# and tray host (trayer), shared by the tray bench and the tray test. Sourced, not run. Needs the
# Debian packages xvfb openbox trayer xdotool x11-utils. Every process started is recorded in
# the array pids, for the caller to end.

pids=()

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }

# Polls COMMAND (a shell function and its arguments) every 50 ms for up to SECONDS.
wait_for() {
    local seconds=$1 start
    shift
    start=$(now)
    until "$@"; do
        awk -v a="$start" -v b="$(now)" -v s="$seconds" 'BEGIN { exit !(b - a > s) }' && return 1
        sleep 0.05
    done
}

map_state() { xwininfo -id "$1" 2>/dev/null | sed -n 's/^ *Map State: //p'; }
is_viewable() { [ "$(map_state "$1")" = IsViewable ]; }
is_unmapped() { [ "$(map_state "$1")" = IsUnMapped ]; }

# The first of the program's client windows whose title is TITLE (empty when there is none).
window_named() { xwininfo -root -tree | awk -v t="\"$1\": (\"quillmere\" " 'index($0, t) && !id { id = $1 } END { print id }'; }
# How many of the program's windows titled TITLE are viewable.
count_viewable() {
    local id n=0
    for id in $(xwininfo -root -tree | awk -v t="\"$1\": (\"quillmere\" " 'index($0, t) { print $1 }'); do
        is_viewable "$id" && n=$((n + 1))
    done
    echo "$n"
}
main_window() { window_named "Quill Mere"; }
has_main_window() { [ -n "$(main_window)" ]; }

# trayer's panel, once it is there.
tray_panel() { xwininfo -root -tree | awk '/\("panel" "trayer"\)/ && !id { id = $1 } END { print id }'; }
has_tray_panel() { [ -n "$(tray_panel)" ]; }

# The program's window inside trayer's panel, once it is shown there.
tray_icon() {
    local panel icon
    panel=$(tray_panel)
    [ -n "$panel" ] || return 1
    icon=$(xwininfo -id "$panel" -tree | awk '/\("quillmere" / && !id { id = $1 } END { print id }')
    [ -n "$icon" ] && is_viewable "$icon" && echo "$icon"
}
has_tray_icon() { tray_icon >/dev/null; }

# Clicks the icon with BUTTON (default 1, the left one).
click_icon() {
    local icon
    icon=$(tray_icon) || return 1
    xdotool mousemove --window "$icon" 8 8 click "${1:-1}"
}

# Starts a private Xvfb whose display number goes to DIR/display and exports its DISPLAY.
start_display() {
    local dir=$1
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
    pids+=($!)
    wait_for 10 test -s "$dir/display" || return 1
    export DISPLAY=:$(head -n 1 "$dir/display")
}

# Starts openbox and, a second later, trayer at the bottom right; logs go to DIR.
start_desktop() {
    local dir=$1
    openbox >"$dir/openbox.log" 2>&1 &
    pids+=($!)
    sleep 1
    trayer --edge bottom --align right --widthtype request --height 32 --SetDockType true >"$dir/trayer.log" 2>&1 &
    pids+=($!)
    wait_for 10 has_tray_panel
}

# Starts the copy of the program in PROGRAM_DIR with its per-user store in CONFIG_DIR on the xcb
# platform; its output goes to PROGRAM_DIR/program.log.
start_program() {
    local program_dir=$1 config_dir=$2
    mkdir -p "$config_dir/runtime"
    chmod 700 "$config_dir/runtime"
    (cd "$program_dir" && exec env -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$config_dir" \
        XDG_RUNTIME_DIR="$config_dir/runtime" ./quillmere) >"$program_dir/program.log" 2>&1 &
    pids+=($!)
}

# Ends the processes started since the array held COUNT of them, latest first.
end_since() {
    local count=$1 i
    for ((i = ${#pids[@]} - 1; i >= count; i--)); do kill "${pids[$i]}" 2>/dev/null || true; done
    for ((i = ${#pids[@]} - 1; i >= count; i--)); do wait "${pids[$i]}" 2>/dev/null || true; done
    pids=("${pids[@]:0:count}")
}
