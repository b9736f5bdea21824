#!/usr/bin/env bash
# The mouse at real positions, on a database that scrolls: every menu title
# of the menu bar, each button of the button bar near its top and bottom
# edges, rows of the material list and the tabs of the main window and of
# the detail pane, whose supplier list keeps showing names from one material
# to the next. File > Exit is clicked as well, and the time until the window
# and the process are gone is logged.
#
# usage: mouse.sh CMAKE BUILD_DIR SOURCE_DIR OUT_DIR [CONFIG]
source "$(dirname "$0")/lib.sh"

start_on_synthetic 3000
measure_list

# --- the menu bar ------------------------------------------------------------

# Where each menu drops down when opened by its key: the left edge of its
# title, and its height, which tells the menus apart.
declare -A menu_x menu_h
titles=(File View Report Help)
for title in "${titles[@]}"; do
    letter=${title:0:1}
    focus "$main"
    keys "alt+${letter,,}"
    wait_until "$ui_limit" "$title menu opened by its key" menu_open
    read -r _ px _ _ ph <<<"$(menu_popups | head -n 1)"
    menu_x[$title]=$((px - wx))
    menu_h[$title]=$ph
    close_menu
done
log "menu titles at x ${menu_x[File]} ${menu_x[View]} ${menu_x[Report]} ${menu_x[Help]}"

# Each title clicked a few pixels inside its left edge, at the middle of the
# menu bar, opens its own menu.
for title in "${titles[@]}"; do
    focus "$main"
    cx=$((menu_x[$title] + 8)) cy=$((menu_bottom / 2))
    click "$cx" "$cy"
    if poll "$ui_limit" menu_open; then
        read -r _ px _ _ ph <<<"$(menu_popups | head -n 1)"
        shot "menu-${title,,}-clicked.png"
        check "a click on \"&$title\" at ($cx, $cy) opens the $title menu" \
            test "$((px - wx))" -eq "${menu_x[$title]}" -a "$ph" -eq "${menu_h[$title]}"
        close_menu
    else
        fault "a click on \"&$title\" at ($cx, $cy) opens no menu"
    fi
done

# --- rows of the material list -----------------------------------------------

# The grid starts on its first row; a click on the sixth makes the sixth
# material of name order current.
click 100 $((row_top + 5 * row_h + row_h / 2))
park
check "a click on the sixth row makes it the current row" \
    poll "$ui_limit" band_at $((row_top + 5 * row_h))
line=$(current_sheet_line)
expected=$(material_line 6)
check "the sheet after clicking the sixth row is that of '$expected' (got '$line')" \
    test "$line" = "$expected"

# --- the button bar, near the edges of each button ---------------------------

top_y=$((bar_top + 3))    # the second pixel row of a button
bottom_y=$((bar_top + 25)) # its last row but one

# nav BUTTON X Y WHERE: clicks a navigation button and waits for the current
# row to move: WHERE is "+N" or "-N" rows from where it stands, "first" (the
# first row place) or "low" (the lowest row place, after "last").
nav() {
    local name=$1 bx=$2 by=$3 where=$4 now want
    park
    now=$(band_now)
    now=${now%% *}
    case "$where" in
    first) want=$row_top ;;
    low) want=low ;;
    *) want=$((now + where * row_h)) ;;
    esac
    focus "$main"
    click "$bx" "$by"
    park
    if [ "$want" = low ]; then
        poll "$ui_limit" band_low
    else
        poll "$ui_limit" band_at "$want"
    fi || {
        fault "$name clicked at ($bx, $by) does not move the current row from y $now" \
            "to $want: it stands at y $(band_now)"
        return 0
    }
    log "ok: $name clicked at ($bx, $by) moves the current row from y $now to $want"
}
nav NextButton 71 "$top_y" +1
nav NextButton 71 "$bottom_y" +1
nav PriorButton 43 "$top_y" -1
nav PriorButton 43 "$bottom_y" -1
nav LastButton 99 "$top_y" low
nav FirstButton 15 "$top_y" first
nav LastButton 99 "$bottom_y" low
nav FirstButton 15 "$bottom_y" first

# The order button shows its other caption after each click.
order_sum() { region_sum 122 $((bar_top + 4)) 106 21; }
for y in "$top_y" "$bottom_y"; do
    focus "$main"
    park
    before=$(order_sum)
    click 175 "$y"
    park
    changed() { [ "$(order_sum)" != "$before" ]; }
    check "OrderButton clicked at y $y changes its caption" poll "$ui_limit" changed
done

# The select button opens the criteria dialog; Escape closes it unchanged.
for y in "$top_y" "$bottom_y"; do
    focus "$main"
    click 267 "$y"
    if poll "$ui_limit" is_visible Search; then
        log "ok: SearchButton clicked at y $y opens the criteria dialog"
        focus "$(visible_window Search)"
        keys Escape
        wait_until "$step_limit" "closed criteria dialog" is_gone Search
    else
        fault "SearchButton clicked at y $y opens no criteria dialog"
    fi
done

# The print button previews the sheet of the current material, the first.
first_name=$(sql "$db" material.db "select name from material where id = 1")
for y in "$top_y" "$bottom_y"; do
    focus "$main"
    click 362 "$y"
    if poll "$step_limit" is_visible "$first_name"; then
        log "ok: PrintButton clicked at y $y previews the sheet of '$first_name'"
        focus "$(visible_window "$first_name")"
        keys Escape
        wait_until "$step_limit" "closed preview" is_gone "$first_name"
    else
        fault "PrintButton clicked at y $y shows no preview titled '$first_name'"
    fi
done

# --- tabs ------------------------------------------------------------------

# The Suppliers tab lies right of the Materials tab, where exactly depends on
# the width of the captions: it is found by clicking along the tab bar until
# the right-hand pane changes.
focus "$main"
if suppliers_tab_x=$(find_tab 40 250 "$tab_y"); then
    log "ok: the Suppliers tab is entered by a click at x $suppliers_tab_x"
    shot tab-suppliers-clicked.png
    park
    before=$(pane_sum)
    click 12 "$tab_y"
    park
    pane_changed() { [ "$(pane_sum)" != "$before" ]; }
    check "a click on the Materials tab leaves the Suppliers tab" poll "$ui_limit" pane_changed
else
    fault "no click along the main tab bar at y $tab_y enters the Suppliers tab"
fi

# The supplier list of the detail pane: its current row shows a name, also
# for the next material after the list was scrolled sideways as far as the
# wheel takes it: every new list starts at its left edge.
supplier_band() {
    colour_band $((detail_left + 20)) $((detail_left + 320)) $((page_top + 24)) $((page_top + 190))
}
names_shown() {
    local band
    band=$(supplier_band)
    [ -n "$band" ] && [ "$(light_pixels $((detail_left + 20)) $((detail_left + 320)) $band)" -ge 20 ]
}
supplier_names_shown() {
    [ "$(sql "$db" matsupp.db "select count(*) from matsupp where materialid = 2")" -gt 0 ] \
        || fail "the second material has no supplier to show"
    check "the current supplier row shows its name" poll "$ui_limit" names_shown
    x xdotool mousemove --window "$main" $((detail_left + 150)) $((page_top + 80))
    for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
        x xdotool click 7
    done
    focus "$main"
    click 71 "$bottom_y"
    park
    check "after the list was scrolled sideways, the next material's supplier row shows its name" \
        poll "$ui_limit" names_shown
    shot detail-suppliers-next-material.png
}

# The detail pane's page "Suppliers" lists the suppliers of the current
# material; entering it enables the Hide/Show button.
hide_sum() { region_sum 492 $((bar_top + 4)) 96 21; }
park
hide_before=$(hide_sum)
focus "$main"
if find_tab $((detail_left + 30)) $((detail_left + 200)) "$detail_tab_y" >/dev/null; then
    log "ok: the detail page \"Suppliers\" opens by a click"
    hide_enabled() { [ "$(hide_sum)" != "$hide_before" ]; }
    check "the Hide/Show button is enabled on the detail page \"Suppliers\"" \
        poll "$ui_limit" hide_enabled
    shot detail-suppliers-clicked.png
    supplier_names_shown
else
    fault "no click along the detail pane's tab bar opens its page \"Suppliers\""
fi

# --- File > Exit, by the mouse -----------------------------------------------

exit_by_click
finish
