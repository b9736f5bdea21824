#!/usr/bin/env bash
# Find on the demo database: with the list narrowed by a criteria run to
# materials that leave Vanillin out (after which the main window has the
# keyboard again), Ctrl+F opens the window titled "Find"
# centred on the main window, a FEMA number typed there lists its material,
# and Enter closes the window and makes that material current on the full
# list (read back from the sheet of the current material).
#
# usage: find.sh CMAKE BUILD_DIR SOURCE_DIR OUT_DIR [CONFIG]
source "$(dirname "$0")/lib.sh"

# ZIL opens the protected database, as delivered; the same sources made
# without protection tell the script what a list shows.
start_on_demo --plain
measure_list

fema=3107
material_id=$(sql "$db" material.db "select id from material where fema = '$fema'")
[ -n "$material_id" ] || fail "no material of FEMA $fema in the demo database"
criterion=oil
count=$(matching "count(*)" "$criterion")
[ "$count" -gt 0 ] || fail "no material holds '$criterion'"
selected=$(matching "sum(m.id = $material_id)" "$criterion")
[ "$selected" = 0 ] || fail "'$criterion' selects the material of FEMA $fema"
run_criteria "$criterion"
log "list narrowed to the materials holding '$criterion'"

# The progress window of the run came and went; the keyboard is the main
# window's again without a click.
has_keyboard() { [ "$(x xdotool getwindowfocus)" = "$1" ]; }
check "the main window has the keyboard after the criteria run" \
    poll "$ui_limit" has_keyboard "$main"
focus "$main"
keys ctrl+f
wait_until "$ui_limit" 'window "Find"' is_visible Find
win=$(visible_window Find)
geometry "$win"
fx=$gx fy=$gy fw=$gw fh=$gh
geometry "$main"
centred() {
    local dx=$((fx + fw / 2 - gx - gw / 2)) dy=$((fy + fh / 2 - gy - gh / 2))
    [ "${dx#-}" -le 20 ] && [ "${dy#-}" -le 20 ]
}
check "the Find window is centred on the main window (at $fx,$fy, ${fw}x$fh)" centred
# The focus is in the field: the number is typed without a click.
type_text "$fema"
sleep 0.5
shot find-window.png
keys Return
check "Enter closes the Find window" poll "$ui_limit" is_gone Find

line=$(current_sheet_line)
check "the material of FEMA $fema is current (sheet: '$line')" \
    test "$line" = "$(material_line "$material_id")"
# The list shows every material again, so the material found can be listed.
shot after-find.png

exit_by_click
finish
