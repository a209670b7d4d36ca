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
# build/bin) anew. ORDER=desktop-first (the default) starts openbox and trayer before the
# program, ORDER=program-first a second after it (a panel that comes up late, a window manager
# restarted), ORDER=both alternates the sessions between the two and counts each order apart.
# Needs the Debian packages xvfb openbox trayer xdotool x11-utils. LIMIT (seconds, default 15),
# BIN and KEEP=1 (keep the temporary folder with the logs) come from the environment.
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=${1:-5}
sessions=${2:-4}
loops=${3:-$(($(nproc) * 2))}
limit=${LIMIT:-15}
bin=${BIN:-build/bin}
work=$(mktemp -d "${TMPDIR:-/tmp}/tray_first_click.XXXXXX")
order=${ORDER:-desktop-first}
case $order in desktop-first | program-first | both) ;; *) echo "ORDER: desktop-first, program-first or both" >&2; exit 2 ;; esac
source tests/common/tray_host.sh

cleanup() {
    end_since 0
    if [ "${KEEP:-0}" = 1 ]; then echo "logs: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

fail() {
    echo "$*" >&2
    exit 1
}

# Session NUMBER in ORDER: the desktop (openbox, trayer) a second before the program, or the
# program a second before the desktop.
start_session() {
    local dir=$work/session$1
    mkdir -p "$dir/config/Quillmere" "$dir/bin"
    cp "$bin/quillmere" "$dir/bin/"
    printf '[Options]\nMinimizeToTray=1\nShowQuickStart=0\nCheckForUpdates=0\n' >"$dir/bin/Quillmere.ini"
    printf '[Options]\nAskForSettings=1\n' >"$dir/config/Quillmere/Quillmere.conf"
    start_display "$dir" || fail "session $1: Xvfb did not start"
    if [ "$2" = program-first ]; then
        start_program "$dir/bin" "$dir/config"
        sleep 1
    fi
    start_desktop "$dir" || fail "session $1: trayer did not start"
    [ "$2" = program-first ] || start_program "$dir/bin" "$dir/config"
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

declare -A first total times
for ((s = 1; s <= sessions; s++)); do
    session_order=$order
    [ "$order" = both ] && session_order=$([ $((s % 2)) = 1 ] && echo desktop-first || echo program-first)
    running=${#pids[@]}
    start_session "$s" "$session_order"
    window=$(main_window)
    wait_for 20 is_viewable "$window" || fail "session $s: the main window was not shown"
    for ((r = 1; r <= rounds; r++)); do
        read -r seconds clicks < <(round "$window") || exit 1
        total[$session_order]=$((${total[$session_order]:-0} + 1))
        [ "$clicks" = 1 ] && first[$session_order]=$((${first[$session_order]:-0} + 1)) \
            && times[$session_order]+="$seconds "
        echo "session $s ($session_order) round $r: viewable after ${seconds}s, clicks: $clicks"
    done
    end_since "$running" # this session's X server, window manager, tray host and program
    sleep 1
done

for o in "${!total[@]}"; do
    median=$(printf '%s\n' ${times[$o]:-} | sort -n | awk 'NF { v[++n] = $1 } END { print n ? v[int((n + 1) / 2)] : "-" }')
    echo "$o: restored on the first click: ${first[$o]:-0} of ${total[$o]} (at $loops busy loops); median time to viewable: ${median}s"
done
