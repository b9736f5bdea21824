#!/usr/bin/env bash
# Tab switches with text left in either search field, on the demo database:
# the tab being entered shows the item picked last on the other tab. A
# supplier picked in the detail pane's supplier list is the current supplier
# of the Suppliers tab, and a material picked in a supplier's material list
# is the current material of the Materials tab.
#
# usage: tabs.sh CMAKE BUILD_DIR SOURCE_DIR OUT_DIR [CONFIG]
source "$(dirname "$0")/lib.sh"

# ZIL opens the protected database, as delivered; the same sources made
# without protection tell the script what a list shows.
start_on_demo --plain
measure_list

# The tab being entered is clicked where the mouse finds it. The Materials
# tab begins at the left edge of the tab bar.
enter_suppliers_tab() {
    [ -n "${suppliers_tab_x:-}" ] || {
        suppliers_tab_x=$(find_tab 40 250 "$tab_y") || fail "no click enters the Suppliers tab"
        return 0
    }
    click "$suppliers_tab_x" "$tab_y"
}
enter_materials_tab() {
    local before
    park
    before=$(pane_sum)
    click 12 "$tab_y"
    park
    pane_changed() { [ "$(pane_sum)" != "$before" ]; }
    poll "$ui_limit" pane_changed || fail "a click on the Materials tab does not enter it"
}

# --- a supplier picked with text in the material search field ---------------

material=Vanillin
supplier='Oréade Matières SA'
q_supplier=${supplier//\'/\'\'}
material_id=$(sql "$db" material.db "select id from material where name = '$material'")
supplier_id=$(sql "$db" supplier.db "select id from supplier where name = '$q_supplier'")
# The material's suppliers are listed by supplier id.
links=$(find "$db" -maxdepth 1 -iname matsupp.db -type f | head -n 1)
supplier_row=$(sqlite3 -readonly -batch "$links" \
    "select count(*) from matsupp where materialid = $material_id and supplierid <= $supplier_id")
[ "$supplier_row" -gt 1 ] || fail "'$supplier' is not a later supplier of $material"

pick_supplier_of "$material" "$supplier_row"
log "picked '$supplier', row $supplier_row of the suppliers of $material"
enter_suppliers_tab
shot suppliers-tab-after-pick.png
line=$(current_sheet_line)
check "the Suppliers tab shows the supplier picked on the Materials tab (sheet: '$line')" \
    test "$line" = "$supplier"

# --- a material picked with text in the supplier search field ---------------

# The Suppliers tab may stand on any supplier now; the search field picks
# one with several materials.
supplier=Kestrel
focus "$main"
search_field_click
type_text "$supplier"
supplier_id=$(sql "$db" supplier.db "select id from supplier where name like '$supplier%' order by name limit 1")
material_row=3
material_id=$(sqlite3 -readonly -batch "$links" "select materialid from matsupp
    where supplierid = $supplier_id order by materialid limit 1 offset $((material_row - 1))")
[ -n "$material_id" ] || fail "supplier $supplier_id offers fewer than $material_row materials"
find_tab $((detail_left + 30)) $((detail_left + 200)) "$detail_tab_y" >/dev/null \
    || fail "no click opens the detail page \"Materials\" of the Suppliers tab"
pick_grid_row "$material_row"
log "picked row $material_row, material $material_id, of supplier $supplier_id"
enter_materials_tab
shot materials-tab-after-pick.png
line=$(current_sheet_line)
check "the Materials tab shows the material picked on the Suppliers tab (sheet: '$line')" \
    test "$line" = "$(material_line "$material_id")"

focus "$main"
t0=$(now_ms)
keys alt+f x
wait_exit "$t0" "File > Exit by its keys"
finish
