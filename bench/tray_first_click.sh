#!/usr/bin/env bash
# The notification-area icon under load, with a real window manager and tray host: the main
# window is minimised into the icon, and two seconds later the icon is clicked once. A round
# counts as restored on the first click when the window is viewable again within LIMIT seconds
# without another click; otherwise the icon is clicked again until it is, and the next round
# starts from the shown window. The first round of a session minimises the window as soon as it
# is on the screen, while the start-up sequence (the splash) is still to come.
#
#   bench/tray_first_click.sh [ROUNDS [SESSIONS [LOOPS]]]   # defaults: 5 rounds, 4 sessions,
#                                                           # twice as many busy loops as cores
#
# Each session starts Xvfb, openbox, trayer and the program (a fresh copy of BIN, default
# build/bin) anew. Needs the Debian packages xvfb openbox trayer xdotool x11-utils. LIMIT
# (seconds, default 15), BIN and KEEP=1 (keep the temporary folder with the logs) come from the
# environment.
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=${1:-5}
sessions=${2:-4}
loops=${3:-$(($(nproc) * 2))}
limit=${LIMIT:-15}
bin=${BIN:-build/bin}
work=$(mktemp -d "${TMPDIR:-/tmp}/tray_first_click.XXXXXX")
pids=()

cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    if [ "${KEEP:-0}" = 1 ]; then echo "logs: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }

map_state() { xwininfo -id "$1" 2>/dev/null | sed -n 's/^ *Map State: //p'; }

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

is_viewable() { [ "$(map_state "$1")" = IsViewable ]; }
is_unmapped() { [ "$(map_state "$1")" = IsUnMapped ]; }

# The program's window inside trayer's panel, once it is shown there.
tray_icon() {
    local panel icon
    panel=$(xwininfo -root -tree | awk '/\("panel" "trayer"\)/ && !id { id = $1 } END { print id }')
    [ -n "$panel" ] || return 1
    icon=$(xwininfo -id "$panel" -tree | awk '/\("quillmere" / && !id { id = $1 } END { print id }')
    [ -n "$icon" ] && is_viewable "$icon" && echo "$icon"
}
has_tray_icon() { tray_icon >/dev/null; }

main_window() { xwininfo -root -tree | awk '/"Quill Mere": \("quillmere" / && !id { id = $1 } END { print id }'; }
has_main_window() { [ -n "$(main_window)" ]; }

fail() {
    echo "$*" >&2
    exit 1
}

click_icon() {
    local icon
    icon=$(tray_icon) || return 1
    xdotool mousemove --window "$icon" 8 8 click 1
}

start_session() {
    local dir=$work/session$1 display
    mkdir -p "$dir/config/Quillmere" "$dir/runtime"
    chmod 700 "$dir/runtime"
    mkdir "$dir/bin"
    cp "$bin/quillmere" "$dir/bin/"
    printf '[Options]\nMinimizeToTray=1\nShowQuickStart=0\nCheckForUpdates=0\n' >"$dir/bin/Quillmere.ini"
    printf '[Options]\nAskForSettings=1\n' >"$dir/config/Quillmere/Quillmere.conf"

    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
    pids+=($!)
    wait_for 10 test -s "$dir/display" || fail "session $1: Xvfb did not start"
    display=:$(head -n 1 "$dir/display")
    export DISPLAY=$display
    openbox >"$dir/openbox.log" 2>&1 &
    pids+=($!)
    sleep 1
    trayer --edge bottom --align right --widthtype request --height 32 --SetDockType true >"$dir/trayer.log" 2>&1 &
    pids+=($!)
    sleep 1
    (cd "$dir/bin" && exec env XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/runtime" ./quillmere) \
        >"$dir/program.log" 2>&1 &
    pids+=($!)
    wait_for 20 has_main_window || fail "session $1: the main window did not appear"
}

# Minimise, wait for the icon, two seconds, one click; prints the seconds to viewable and the
# clicks it took.
round() {
    local window=$1 start clicks=1
    xdotool windowminimize "$window"
    { wait_for 20 is_unmapped "$window" && wait_for 20 has_tray_icon; } || fail "not minimised into the icon"
    sleep 2
    click_icon
    start=$(now)
    until wait_for "$limit" is_viewable "$window"; do
        echo "    not viewable after ${limit}s:" "$(xprop -id "$window" WM_STATE _NET_WM_STATE | tr '\n\t' '  ')" >&2
        clicks=$((clicks + 1))
        click_icon || true
    done
    echo "$(elapsed "$start") $clicks"
}

for ((i = 0; i < loops; i++)); do
    (while :; do :; done) &
    pids+=($!)
done

first=0 total=0 times=()
for ((s = 1; s <= sessions; s++)); do
    start_session "$s"
    window=$(main_window)
    wait_for 20 is_viewable "$window" || fail "session $s: the main window was not shown"
    for ((r = 1; r <= rounds; r++)); do
        read -r seconds clicks < <(round "$window") || exit 1
        total=$((total + 1))
        [ "$clicks" = 1 ] && first=$((first + 1)) && times+=("$seconds")
        echo "session $s round $r: viewable after ${seconds}s, clicks: $clicks"
    done
    # This session's X server, window manager, tray host and program.
    for pid in "${pids[@]: -4}"; do kill "$pid" 2>/dev/null || true; done
    pids=("${pids[@]:0:${#pids[@]}-4}")
    sleep 1
done

median=$(printf '%s\n' "${times[@]}" | sort -n | awk 'NF { v[++n] = $1 } END { print n ? v[int((n + 1) / 2)] : "-" }')
echo "restored on the first click: $first of $total (at $loops busy loops); median time to viewable: ${median}s"
