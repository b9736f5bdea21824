#!/usr/bin/env bash
# Criteria words marked, on the demo database: after a selection by name and
# flavour the detail pane shows the words marked in yellow, and "Select all"
# takes the marks away again.
#
# usage: marks.sh CMAKE BUILD_DIR SOURCE_DIR OUT_DIR [CONFIG]
source "$(dirname "$0")/lib.sh"

start_on_demo

# marked_pixels: how many pixels of the main window show the marks' yellow.
marked_pixels() {
    x import -window root -crop "${gw}x${gh}+${wx}+${wy}" +repage -depth 8 txt:- 2>/dev/null \
        | grep -c '#FFEB00' || true
}
has_marks() { [ "$(marked_pixels)" -gt 20 ]; }
no_marks() { [ "$(marked_pixels)" -eq 0 ]; }

# criteria KEYS...: the criteria dialog opened by its key, KEYS typed and
# pressed in it; waits until it has closed.
criteria() {
    focus "$main"
    keys alt+s
    wait_until "$step_limit" '"Search" dialog' is_visible Search
    focus "$(visible_window Search)"
    local k
    for k in "$@"; do
        case "$k" in
        alt+* | Return) keys "$k" ;;
        *) type_text "$k" ;;
        esac
    done
    wait_until "$step_limit" "closed criteria dialog" is_gone Search
}

park
check "no marks before a selection" no_marks
criteria ethyl alt+f fruity Return
wait_until "$step_limit" "end of the selection run" was_shown_and_hidden 'Selecting...'
park
poll "$ui_limit" has_marks || fault "no words marked after the selection"
shot marks.png
criteria alt+a
park
poll "$ui_limit" no_marks || fault "the marks stay after Select all"
finish
