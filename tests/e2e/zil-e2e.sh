#!/usr/bin/env bash
# The keyboard round of the installed program on the demo database, whose
# directory also holds other people's files: a name
# typed into the search field, both tabs through the View menu, the criteria
# dialog, Save as PDF from the Report menu, and File > Exit. What can be seen
# from outside is checked: the window titled "ZIL", the index files of the
# first start, the text of the saved sheets and the exit status.
#
# usage: zil-e2e.sh CMAKE BUILD_DIR SOURCE_DIR OUT_DIR [CONFIG]
source "$(dirname "$0")/lib.sh"

install_zil
# The maker writes the index files with the tables; a database without them
# has them made by ZIL at its first start.
db=$out/demo-db
make_demo_db "$db"
[ -e "$db/material.xg1" ] || fail "the maker wrote no index files"
rm -f "$db"/*.px "$db"/*.xg?
# Other people's files share the directory, some named like the program's
# own, and a link named like an index file points out of it. The rebuild of
# the first start deletes none of them and follows no link.
foreign=(prices.xls MATERIAL.XLS material.xml notes.px)
for f in "${foreign[@]}"; do
    echo "kept by someone else: $f" >"$db/$f"
done
echo "a file outside the database" >"$out/outside.xg0"
ln -s "$out/outside.xg0" "$db/supplier.xg9"
start_on "$db"
[ -e "$db/material.xg1" ] || fail "the first start wrote no index files"
kept() { [ "$(cat "$db/$1" 2>/dev/null)" = "kept by someone else: $1" ]; }
for f in "${foreign[@]}"; do
    check "the first start keeps $f" kept "$f"
done
check "the first start keeps the link supplier.xg9" test -L "$db/supplier.xg9"
check "the first start leaves the file that a link in the database points to" \
    test "$(cat "$out/outside.xg0")" = "a file outside the database"

# The search field of the Materials tab, at its place in the window's design
# size; its label's accelerator focuses it as well, should the click miss.
focus "$main"
x xdotool mousemove --window "$main" 156 89 click 1
keys alt+e ctrl+a

# 1. A material typed into the search field becomes current; its sheet
#    starts with its name and CAS number.
type_text "Vanillin"
line=$(current_sheet_line)
[ "$line" = "Vanillin 121-33-5" ] || fail "the sheet of the typed material begins '$line'"

# The order button toggles between name and CAS order and empties the search
# field without a search. It is clicked with the mouse: its accelerator
# clicks only after a delay, which later keys could overtake. It is never
# clicked right after a menu: the menu's pointer grab, held until ZIL has
# read the menu's keys, could take the click.
click_order_button() {
    focus "$main"
    x xdotool mousemove --window "$main" 175 32 click 1
}

# 2. Entering the Suppliers tab shows a supplier of the current material.
#    The order toggle empties the search field first, so that no search
#    runs on the way.
click_order_button
focus "$main"
keys alt+v s
save_pdf
pdftotext -layout "$sheet" "$out/supplier.txt" || fail "pdftotext cannot read $sheet"
grep -Eq '^ *121-33-5 +Vanillin *$' "$out/supplier.txt" \
    || fail "the supplier sheet does not list Vanillin"

# 3. Back on the Materials tab, still in CAS order, criteria: materials
#    whose name or synonyms hold "vanillin". Back in name order, searching
#    "Vanilla" then lands on Vanillin; in the whole list it would be
#    "Vanilla extract".
focus "$main"
keys alt+v m alt+s
wait_until "$step_limit" '"Search" dialog' is_visible Search
focus "$(visible_window Search)"
type_text "vanillin"
keys Return
wait_until "$step_limit" "closed criteria dialog" is_gone Search
# The progress window is shown and hidden inside the selection run; once it
# is hidden the run is over and the main window takes input again.
wait_until "$step_limit" "end of the selection run" was_shown_and_hidden 'Selecting...'
click_order_button
keys alt+e ctrl+a
type_text "Vanilla"
line=$(current_sheet_line)
[ "$line" = "Vanillin 121-33-5" ] || fail "after the selection the sheet begins '$line'"

# 4. File > Exit by its keys ends the program cleanly.
focus "$main"
t0=$(now_ms)
keys alt+f x
wait_exit "$t0" "File > Exit by its keys"
finish
