#!/usr/bin/env bash
# Help on the demo database: F1 and Help > Contents open the program's own
# help window, titled "ZIL Help", placed on the screen by the program, and
# Escape closes it. File > Exit is clicked last; the time until the window
# and the process are gone is logged.
#
# usage: help.sh CMAKE BUILD_DIR SOURCE_DIR OUT_DIR [CONFIG]
source "$(dirname "$0")/lib.sh"

start_on_demo


help_title="ZIL Help"
# on_screen WINDOW: the window lies wholly on the 1024 x 768 screen.
on_screen() {
    geometry "$1"
    [ "$gx" -ge 0 ] && [ "$gy" -ge 0 ] && [ $((gx + gw)) -le 1024 ] && [ $((gy + gh)) -le 768 ] \
        && [ "$gw" -ge 200 ] && [ "$gh" -ge 150 ]
}
# help_opens HOW SHOT: the help window is shown, on the screen, and closes on
# Escape.
help_opens() {
    local how=$1 win
    if ! poll "$ui_limit" is_visible "$help_title"; then
        fault "$how shows no window titled \"$help_title\""
        return 0
    fi
    win=$(visible_window "$help_title")
    shot "$2"
    check "$how: the help window lies on the screen (at $gx,$gy, ${gw}x$gh)" on_screen "$win"
    focus "$win"
    keys Escape
    check "Escape closes the help window" poll "$ui_limit" is_gone "$help_title"
}

focus "$main"
keys F1
help_opens "F1" help-window-f1.png

# Help > Contents, by the mouse: the Help title lies right of the other three.
if click_menu_title h; then
    # "&Contents" is the first of the menu's items.
    x xdotool mousemove $((px + pw / 2)) $((py + 10)) click 1
    help_opens "Help > Contents" help-window-contents.png
else
    fault "a click on \"&Help\" opens no menu"
fi

exit_by_click
finish
