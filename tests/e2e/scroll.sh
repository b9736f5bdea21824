#!/usr/bin/env bash
# Scrolling the material list of a database of 3,000 materials with the
# mouse wheel and the scroll bar, and criteria runs while the list is
# scrolled far down: the current material follows the scrolling as it should
# and a run keeps the current material when it stays selected, or goes to
# the first row when it does not. Rows scrolled into view are drawn with
# their names.
#
# usage: scroll.sh CMAKE BUILD_DIR SOURCE_DIR OUT_DIR [CONFIG]
source "$(dirname "$0")/lib.sh"

materials=3000
start_on_synthetic "$materials"
measure_list

# current_id: the id of the current material, read from its sheet.
current_id() {
    local line id
    line=$(current_sheet_line)
    id=$(line_id "$line")
    [ -n "$id" ] || fail "no material begins the sheet line '$line'"
    echo "$id"
}

# --- the wheel ---------------------------------------------------------------

# Two notches down: the first row leaves the view at the top, and the
# current material follows to the first visible row.
focus "$main"
x xdotool mousemove --window "$main" 100 $((row_top + 5 * row_h)) click 5 click 5
park
check "after the wheel scrolled down the current row is the first visible one" \
    poll "$ui_limit" band_at "$row_top"
down=$(current_id)
log "the wheel made material $down current"
check "the wheel moved the current material off the first one" test "$down" -gt 1

# Two notches up again: the list is back at its top and the current material
# stays, now shown further down.
x xdotool mousemove --window "$main" 100 $((row_top + 5 * row_h)) click 4 click 4
park
check "after the wheel scrolled back up material $down stands on row $down" \
    poll "$ui_limit" band_at $((row_top + (down - 1) * row_h))

# --- the scroll bar ----------------------------------------------------------

# The bar runs down the right edge of the list; its handle stands at the top
# while the first row is in view. Dragging it half way down scrolls far.
bar_x=$((detail_left - 6))
focus "$main"
x xdotool mousemove --window "$main" "$bar_x" $((row_top + 6)) mousedown 1
x xdotool mousemove --window "$main" "$bar_x" $((row_top + 80)) \
    mousemove --window "$main" "$bar_x" $((row_top + 150)) mouseup 1
park
check "after dragging the scroll bar down the current row is the first visible one" \
    poll "$ui_limit" band_at "$row_top"
dragged=$(current_id)
log "dragging the scroll bar made material $dragged current"
check "dragging the scroll bar went far down the list" test "$dragged" -gt 100

# A click on the bar above the handle pages up: the current material leaves
# the view at the bottom and the last whole row becomes current.
click "$bar_x" $((row_top + 20))
park
check "after paging up with the scroll bar the current row is the lowest whole one" \
    poll "$ui_limit" band_low
paged=$(current_id)
log "paging up made material $paged current"
check "paging up moved the current material up the list ($paged < $dragged)" \
    test "$paged" -lt "$dragged"

# --- criteria runs while scrolled ----------------------------------------------

# A material near the end, found by typing its name; the text stays in the
# search field. The first criterion is the last word of its name, which
# keeps it among many others, far down their list; the second excludes it.
target=$((materials - 50))
target_name=$(sql "$db" material.db "select name from material where id = $target")
keep=${target_name##* }
keep=${keep,,}
drop=acetate
kept=$(matching "count(*)" "$keep")
[ "$(matching "count(*) filter (where id = $target)" "$keep")" = 1 ] \
    || fail "material $target '$target_name' is not selected by '$keep'"
[ "$(matching "count(*) filter (where id = $target)" "$drop")" = 0 ] \
    || fail "material $target '$target_name' is selected by '$drop'"
[ "$(matching "count(*) filter (where id < $target)" "$keep")" -gt 60 ] \
    || fail "'$keep' selects too few materials before '$target_name' to scroll the list"
first_dropped=$(matching "min(id)" "$drop")
[ -n "$first_dropped" ] && [ "$(matching "count(*)" "$drop")" -gt 60 ] \
    || fail "'$drop' selects too few materials to scroll the list"
log "'$keep' selects $kept materials, '$target_name' among the last"

focus "$main"
search_field_click
type_text "$target_name"
park
check "typing '$target_name' scrolls the list to it" poll "$ui_limit" band_low

run_criteria "$keep"
line=$(current_sheet_line)
shot criteria-run-while-scrolled.png
check "a criteria run that keeps the current material keeps it current (sheet: '$line')" \
    test "$line" = "$(material_line "$target")"

run_criteria "$drop"
line=$(current_sheet_line)
shot criteria-run-excluding-current.png
check "a criteria run that drops the current material goes to its first row (sheet: '$line')" \
    test "$line" = "$(material_line "$first_dropped")"
park
check "after that run the first row is the current one" poll "$ui_limit" band_at "$row_top"

# --- rows scrolled into view ----------------------------------------------------

# The lowest whole row made current by a click, then the wheel: the list
# scrolls and the current material, still in view, stays. Every whole row
# place then shows a name: the row that was cut by the bottom edge, drawn
# empty there, must not move up empty.
places=$(((gh - 4 - row_top) / row_h))
blank_rows() {
    local i y
    for ((i = 0; i < places; i++)); do
        y=$((row_top + i * row_h))
        [ "$(ink_pixels 4 200 $((y + 2)) $((y + row_h - 3)))" -gt 10 ] || echo -n "$((i + 1)) "
    done
}
no_blank_rows() { [ -z "$(blank_rows)" ]; }
focus "$main"
click 100 $((row_top + (places - 1) * row_h + row_h / 2))
park
check "a click on the lowest whole row makes it current" \
    poll "$ui_limit" band_at $((row_top + (places - 1) * row_h))
for notch in 1 2 3; do
    x xdotool mousemove --window "$main" 100 $((row_top + 5 * row_h)) click 5
    sleep 0.2
done
park
shot wheel-with-current-in-view.png
check "after the wheel the current row moved up with the list" \
    poll "$ui_limit" band_at $((row_top + (places - 10) * row_h))
check "after the wheel every whole row place shows a name" poll "$ui_limit" no_blank_rows
log "empty row places after the wheel: $(blank_rows)"

focus "$main"
t0=$(now_ms)
keys alt+f x
wait_exit "$t0" "File > Exit by its keys"
finish
