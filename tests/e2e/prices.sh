#!/usr/bin/env bash
# Prices and notes on the demo database, with the mouse: View > Prices and
# notes clicked where the menu draws it, Vanillin typed into the search
# field, and a row of its supplier list read across by clicking along it and
# copying each cell with Ctrl+C: the supplier's name, its price and its
# comment stand side by side as the table holds them. ZIL started again
# still shows them, and the material's sheet has its notes and the price.
#
# usage: prices.sh CMAKE BUILD_DIR SOURCE_DIR OUT_DIR [CONFIG]
source "$(dirname "$0")/lib.sh"

command -v xclip >/dev/null || fail "xclip is needed to read the clipboard"
clipboard() { x xclip -o -selection clipboard 2>/dev/null || true; }

start_on_demo --plain
measure_list

# The View menu opened by a click on its title, found where its key opens
# it, and its last item, "&Prices and notes", clicked.
click_menu_title v || fail "a click on \"&View\" opens no menu"
shot view-menu.png
x xdotool mousemove $((px + pw / 2)) $((py + ph - 12)) click 1
wait_until "$ui_limit" "View menu closed by the click on its item" menu_closed

# The first of Vanillin's suppliers, in supplier id order, whose link has
# both a price and a comment.
material=Vanillin
material_id=$(sql "$db" material.db "select id from material where name = '$material'")
links=$(find "$db" -maxdepth 1 -iname matsupp.db -type f | head -n 1)
supplier_id=$(sqlite3 -readonly -batch "$links" "select min(supplierid) from matsupp
    where materialid = $material_id and coalesce(price, '') <> '' and coalesce(comment, '') <> ''")
[ -n "$supplier_id" ] || fail "no supplier of $material has a price and a comment"
supplier_row=$(sqlite3 -readonly -batch "$links" "select count(*) from matsupp
    where materialid = $material_id and supplierid <= $supplier_id")
IFS=$'\t' read -r price comment < <(sqlite3 -readonly -batch -separator $'\t' "$links" \
    "select price, comment from matsupp where materialid = $material_id and supplierid = $supplier_id")
supplier=$(sql "$db" supplier.db "select name from supplier where id = $supplier_id")

pick_supplier_of "$material" "$supplier_row"
log "picked '$supplier', row $supplier_row of the suppliers of $material"

# Clicked from left to right along the row, each cell copied: the texts met,
# each once, in the order of the columns.
read_row() {
    local cx text last=
    row_texts=()
    for ((cx = detail_left + 30; cx <= gw - 12; cx += 12)); do
        click "$cx" "$grid_row_y"
        keys ctrl+c
        sleep 0.1
        text=$(clipboard)
        if [ -n "$text" ] && [ "$text" != "$last" ]; then
            row_texts+=("$text")
            last=$text
        fi
    done
    park
}
read_row
shot prices-on.png
seen=$(printf '%s|' "${row_texts[@]}")
check "the row reads '$supplier|$price|$comment|' from left to right (read '$seen')" \
    test "$seen" = "$supplier|$price|$comment|"

focus "$main"
t0=$(now_ms)
keys alt+f x
wait_exit "$t0" "File > Exit by its keys"

# Started again, the item is still on: the sheet of the material has its
# notes after the literature and the supplier's price and comment.
start_zil
measure_list
focus "$main"
search_field_click
type_text "${material,,}"
notes=$(sql "$db" material.db "select notes from material where id = $material_id" | head -n 1)
[ -n "$notes" ] || fail "$material has no notes"
save_pdf
first_line >/dev/null
text=$(sed 's/[[:space:]]\+/ /g; s/^ //; s/ $//' "${sheet%.pdf}.txt")
check "the sheet of $material has a NOTES section" grep -qx NOTES <<<"$text"
check "the sheet of $material begins its notes with '${notes:0:40}'" \
    grep -qF -- "${notes:0:40}" <<<"$text"
check "the sheet lists '$supplier $price $comment'" grep -qxF -- "$supplier $price $comment" <<<"$text"
shot prices-remembered.png

exit_by_click
finish
