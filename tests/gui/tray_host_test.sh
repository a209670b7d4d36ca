#!/usr/bin/env bash
# The notification-area icon and the program's dialogs against a real window manager and tray
# host: a private Xvfb with openbox and trayer, the program driven with xdotool.
#
#   tests/gui/tray_host_test.sh PROGRAM
set -uo pipefail
source "$(dirname "$0")/../common/tray_host.sh"

program=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/tray_host_test.XXXXXX")
failures=0
trap 'end_since 0; rm -rf "$work"' EXIT

die() {
    echo "FAILED: set-up at line ${BASH_LINENO[0]}"
    exit 1
}

check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# A fresh program folder and per-user store named NAME, with the settings file OPTIONS.
prepare() {
    mkdir -p "$work/$1/bin" "$work/$1/config/Quillmere"
    cp "$program" "$work/$1/bin/"
    printf '[Options]\nMinimizeToTray=1\nCheckForUpdates=0\n%b' "$2" >"$work/$1/bin/Quillmere.ini"
}

# The client windows from the bottom of the stack to its top, as openbox keeps them.
stacking() {
    local id
    for id in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g'); do printf '%d ' "$id"; done
}
# True when window UPPER is viewable and stacked above window LOWER.
above() {
    is_viewable "$1" || return 1
    stacking | awk -v u="$(($1))" -v l="$(($2))" '{ for (i = 1; i <= NF; i++) p[$i] = i } END { exit !(p[u] > p[l]) }'
}
# True when window UPPER is above LOWER and has the input focus.
in_front_of() { above "$1" "$2" && [ "$(xdotool getwindowfocus)" = "$(($1))" ]; }
viewable_count_is() { [ "$(count_viewable "$1")" = "$2" ]; }
gone() { viewable_count_is "$1" 0; }
has_window() { [ -n "$(window_named "$1")" ]; }

# Minimises the main window into the icon and waits for the icon.
to_tray() {
    xdotool windowminimize "$1"
    wait_for 10 is_unmapped "$1" && wait_for 10 has_tray_icon
}
# True when WINDOW is viewable again, the icon gone, and both still so a second later.
back_for_good() { wait_for 10 is_viewable "$1" && wait_for 10 no_icon && sleep 1 && is_viewable "$1" && no_icon; }
no_icon() { ! has_tray_icon; }

# A window manager too busy to map the window at once: openbox is stopped while the icon is
# clicked, and the window reports the state it left with before it is mapped again. The click is
# sent to the icon itself: a real one waits for the stopped openbox, which holds the button.
left_click_busy_window_manager() {
    kill -STOP "$openbox"
    xdotool click --window "$(tray_icon)" 1
    sleep 0.5
    kill -CONT "$openbox"
}
left_click() { click_icon 1; }
# A right click on the icon, then "Restore" in its menu.
restore_from_menu() { click_icon 3 && sleep 0.5 && xdotool key Down Return; }

# The program first, the desktop a second later: the first click restores the window in every
# round, the left click or "Restore" in the menu of the right, and the next minimise still works.
prepare late 'ShowQuickStart=0\n'
printf '[Options]\nAskForSettings=1\n' >"$work/late/config/Quillmere/Quillmere.conf"
running=${#pids[@]}
start_display "$work/late" || die
start_program "$work/late/bin" "$work/late/config"
sleep 1
start_desktop "$work/late" || die
openbox=${pids[$((running + 2))]}
wait_for 20 has_main_window && main=$(main_window) && wait_for 20 is_viewable "$main" || die
sleep 3 # past the splash
for click in left_click_busy_window_manager left_click restore_from_menu left_click; do
    check "minimised into the icon" to_tray "$main"
    $click
    check "$click restores the window for good" back_for_good "$main"
done
end_since "$running"

# A first run. F4 before the splash opens Settings, and the start-up sequence opens no second
# one over it. Its OK shows a box (the time is invalid), and a minimise takes the window, the
# dialog and the box into the icon: "Restore" in the icon's menu brings them back, the box in
# front of the others and ready for input. The Settings that the sequence opens while the window
# is in the icon is in front of it once it is restored.
prepare first 'ShowQuickStart=0\nScheduledScan=1|\nScheduledTime=99:99\n'
start_display "$work/first" || die
start_desktop "$work/first" || die
start_program "$work/first/bin" "$work/first/config"
wait_for 20 has_main_window && main=$(main_window) && wait_for 20 is_viewable "$main" || die
xdotool windowactivate "$main" key F4
wait_for 10 has_window Settings || die
sleep 4 # past the splash
check "one Settings dialog at a time" viewable_count_is Settings 1
settings=$(window_named Settings)
xdotool key Return
wait_for 10 has_window "Scheduled scanning" || die
box=$(window_named "Scheduled scanning")
check "the box goes into the icon with the window" to_tray "$main"
check "the box did not stay on the screen" gone "Scheduled scanning"
restore_from_menu
check "the window comes back" back_for_good "$main"
check "the dialog comes back behind the box" above "$settings" "$main"
check "the box in front" in_front_of "$box" "$settings"
xdotool key Return
check "the box was in front and took the key" wait_for 5 gone "Scheduled scanning"
check "then the dialog" wait_for 5 in_front_of "$settings" "$main"
xdotool key Escape
check "the dialog took the key" wait_for 5 gone Settings

# The sequence goes on: minimised at once, the window waits in the icon while the splash and
# then the first run's Settings open.
check "minimised into the icon before the splash" to_tray "$main"
check "Settings opens while the window is in the icon" wait_for 10 viewable_count_is Settings 1
click_icon 1
check "the window comes back" back_for_good "$main"
settings=$(window_named Settings)
check "the Settings opened meanwhile is in front" wait_for 5 in_front_of "$settings" "$main"
xdotool key Escape
check "and takes the input" wait_for 5 gone Settings

[ "$failures" = 0 ]
