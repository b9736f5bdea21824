# Shared helpers of the end-to-end scripts; sourced, never run.
#
# Each script installs ZIL into a prefix inside its own output directory,
# makes the databases it needs with the installed zil-makedb, starts an Xvfb
# display of its own, and drives ZIL with xdotool as a user would. What can
# be seen from outside is read back: window titles and mapped windows, the
# pixels of a screenshot (the current row of a list is drawn white on pure
# blue) and the text of sheets saved as PDF.
#
# Every wait polls with a bound, so a failure ends the run instead of hanging
# it. A script stops at a fault that leaves nothing sensible to do; faults
# that leave the program usable are counted by `check` and the script goes
# on, so one run reports every fault it meets. Screenshots named by the
# scripts and ZIL's output stay in the output directory.
#
# The scripts take: CMAKE BUILD_DIR SOURCE_DIR OUT_DIR [CONFIG]

set -euo pipefail
shopt -s inherit_errexit

if [ $# -lt 4 ]; then
    echo "usage: $0 CMAKE BUILD_DIR SOURCE_DIR OUT_DIR [CONFIG]" >&2
    exit 2
fi
cmake=$1
build=$2
source=$3
out=$4
config=${5:-}

case "$out" in
"" | / | "$HOME" | "$source" | "$build")
    echo "refusing to use '$out' as the output directory" >&2
    exit 2
    ;;
esac
rm -rf -- "$out"
mkdir -p -- "$out"
out=$(cd "$out" && pwd)

# Bounds of the waits: generous, since other builds may load the machine.
# They only turn a hang into a failure. A reaction to a click or key (a menu
# or window appearing, the list moving) gets ui_limit; what the program does
# at once when it works, so a fault costs this much and no more.
start_limit=180 # start-up, including the index rebuild of the first start
step_limit=90   # a dialog appearing or going, a file being written
ui_limit=6      # a menu, a help window, a moved list
exit_limit=90   # the process ending after Exit

xvfb_pid=
zil_pid=
display=
main=
faults=0
e2e_name=$(basename "$0" .sh)
e2e_started=$(date +%s)

# Everything the run reports goes to standard error, so that functions whose
# output is read stay clean.
log() { echo "e2e[$e2e_name]: $*" >&2; }

# shot NAME: a screenshot of the whole display, kept as OUT_DIR/NAME.
shot() {
    [ -n "$display" ] || return 0
    x import -window root "$out/$1" 2>/dev/null && log "screenshot: $out/$1"
    return 0
}

fail() {
    echo "e2e[$e2e_name]: FAILED: $*" >&2
    shot failure.png
    if [ -n "$xvfb_pid" ] && ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "Xvfb ($xvfb_pid) has ended" >&2
        [ ! -s "$out/xvfb.log" ] || tail -n 20 "$out/xvfb.log" >&2
    fi
    if [ -s "$out/zil.log" ]; then
        echo "--- zil output ---" >&2
        tail -n 40 "$out/zil.log" >&2
    fi
    exit 1
}

# fault WHAT: a fault that leaves the program usable; the run goes on and
# fails at its end.
fault() {
    faults=$((faults + 1))
    echo "e2e[$e2e_name]: FAULT: $*" >&2
    shot "fault-$faults.png"
}

# check WHAT COMMAND...: COMMAND must succeed, else a fault.
check() {
    local what=$1
    shift
    if "$@"; then
        log "ok: $what"
    else
        fault "$what"
    fi
}

# finish: the verdict of the run.
finish() {
    [ "$faults" -eq 0 ] || fail "$faults fault(s), listed above"
    log "passed in $(($(date +%s) - e2e_started))s"
}

cleanup() {
    if [ -n "$zil_pid" ] && kill -0 "$zil_pid" 2>/dev/null; then
        kill "$zil_pid" 2>/dev/null || true
        wait "$zil_pid" 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

zil_running() { [ -n "$zil_pid" ] && kill -0 "$zil_pid" 2>/dev/null; }

# wait_until LIMIT WHAT COMMAND...: polls COMMAND until it succeeds; fails
# the run after LIMIT seconds, or at once when ZIL has ended while it was
# expected to run.
wait_until() {
    local limit=$1 what=$2
    shift 2
    poll "$limit" "$@" && return 0
    if [ -n "$zil_pid" ] && ! zil_running; then
        fail "ZIL ended while waiting for $what"
    fi
    fail "no $what after ${limit}s"
}

# poll LIMIT COMMAND...: polls COMMAND until it succeeds (status 0) or LIMIT
# seconds pass, or ZIL ends (status 1).
poll() {
    local limit=$1
    shift
    local deadline=$(($(date +%s) + limit))
    until "$@"; do
        if [ -n "$zil_pid" ] && ! zil_running; then
            return 1
        fi
        [ "$(date +%s)" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# --- the installed program and its databases -------------------------------

prefix=$out/prefix
install_zil() {
    log "installing into $prefix"
    "$cmake" --install "$build" --prefix "$prefix" ${config:+--config "$config"} \
        >"$out/install.log" 2>&1 || {
        cat "$out/install.log" >&2
        fail "cmake --install failed"
    }
    local f
    for f in bin/zil bin/zil-makedb share/doc/zil/zil.html; do
        [ -e "$prefix/$f" ] || fail "the installed layout lacks $f"
    done
}

# make_demo_db DIR: the demo database, protected as a delivered one is.
make_demo_db() {
    "$prefix/bin/zil-makedb" --protect "$source/demo" "$1" >"$out/makedb.log" 2>&1 || {
        cat "$out/makedb.log" >&2
        fail "zil-makedb failed on the demo sources"
    }
}

# make_synthetic_db N DIR: a generated database of N materials, unprotected
# so that the scripts can read what a row should show with sqlite3.
make_synthetic_db() {
    "$prefix/bin/zil-makedb" --synthetic "$1" "$2" >"$out/makedb.log" 2>&1 || {
        cat "$out/makedb.log" >&2
        fail "zil-makedb --synthetic $1 failed"
    }
}

# sql DB QUERY: one query on a table file of an unprotected database.
sql() {
    local file
    file=$(find "$1" -maxdepth 1 -iname "$2" -type f | head -n 1)
    [ -n "$file" ] || fail "no $2 in $1"
    sqlite3 -readonly -batch -noheader "$file" "$3"
}

# write_ini DB: the settings beside the installed program.
write_ini() {
    cat >"$prefix/bin/zil.INI" <<INI
[Database]
Path=$1/

[Help]
File Name=$prefix/share/doc/zil/zil.html
INI
}

# --- the display -----------------------------------------------------------

x() { DISPLAY=$display XAUTHORITY=$out/Xauthority "$@"; }

# Xvfb picks a free display number itself and writes it to fd 3. Only
# clients with the cookie may connect. Without -noreset the server resets
# whenever its last client leaves, and drops a client that is connecting at
# that moment: ZIL starting while an xdotool poll ends.
start_display() {
    local cookie
    cookie=$(od -An -tx1 -N16 /dev/urandom | tr -d ' \n')
    : >"$out/Xauthority.server"
    : >"$out/Xauthority"
    xauth -q -f "$out/Xauthority.server" add :0 MIT-MAGIC-COOKIE-1 "$cookie"
    Xvfb -displayfd 3 -noreset -nolisten tcp -auth "$out/Xauthority.server" \
        -screen 0 1024x768x24 3>"$out/display" >"$out/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_until "$step_limit" "X display" xvfb_ready
    display=:$(head -n 1 "$out/display")
    xauth -q -f "$out/Xauthority" add "$display" MIT-MAGIC-COOKIE-1 "$cookie"
    log "display $display"
}
xvfb_ready() {
    kill -0 "$xvfb_pid" 2>/dev/null || {
        cat "$out/xvfb.log" >&2
        fail "Xvfb ended at start"
    }
    [ -n "$(head -n 1 "$out/display" 2>/dev/null)" ]
}

# windows [--onlyvisible] TITLE: the windows titled exactly TITLE. xdotool
# matches titles as regular expressions without regard to case, and the
# splash window is titled "zil", so each candidate's title is compared again.
windows() {
    local only=()
    if [ "$1" = --onlyvisible ]; then
        only=(--onlyvisible)
        shift
    fi
    local title=$1 pattern ids id
    pattern=$(sed 's/[][\.*^$+?(){}|]/\\&/g' <<<"$title")
    ids=$(x xdotool search "${only[@]}" --name "^$pattern\$" 2>/dev/null) || true
    for id in $ids; do
        [ "$(x xdotool getwindowname "$id" 2>/dev/null)" = "$title" ] && echo "$id"
    done
    return 0
}
visible_window() {
    local ids
    ids=$(windows --onlyvisible "$1")
    echo "${ids%%$'\n'*}"
}
is_visible() { [ -n "$(visible_window "$1")" ]; }
is_gone() { ! is_visible "$1"; }
# A window that was created and is now unmapped: shown once and hidden again.
was_shown_and_hidden() { [ -n "$(windows "$1")" ] && is_gone "$1"; }

# geometry WINDOW: sets gx, gy, gw, gh to the window's place and size on the
# screen. Without a window manager a top-level window has no frame, so this
# is its client area.
geometry() {
    local X Y WIDTH HEIGHT
    eval "$(x xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9]+$')"
    gx=$X gy=$Y gw=$WIDTH gh=$HEIGHT
}

# The mapped popup windows of the program, one line each: "id x y width
# height" on the screen. A menu's popup is a window that the program places
# itself, outside any window manager's care (override-redirect).
menu_popups() {
    local id info
    for id in $(x xdotool search --onlyvisible --classname '^zil$' 2>/dev/null); do
        [ "$id" != "$main" ] || continue
        info=$(x xwininfo -id "$id" 2>/dev/null) || continue
        grep -q 'Override Redirect State: yes' <<<"$info" || continue
        grep -q 'Map State: IsViewable' <<<"$info" || continue
        awk -v id="$id" -F': *' '
            /Absolute upper-left X/ { px = $2 }
            /Absolute upper-left Y/ { py = $2 }
            /^ *Width/ { pw = $2 }
            /^ *Height/ { ph = $2 }
            END { print id, px, py, pw, ph }' <<<"$info"
    done
    return 0
}
menu_open() { [ -n "$(menu_popups)" ]; }
menu_closed() { [ -z "$(menu_popups)" ]; }
# close_menu: Escape closes the open menu; a second one takes the menu bar
# out of its keyboard mode, so that the next Alt key opens a menu again.
close_menu() {
    keys Escape
    wait_until "$ui_limit" "menu closed by Escape" menu_closed
    keys Escape
}

# Keyboard focus straight to a window; there is no window manager to do it.
focus() {
    timeout "$step_limit" env DISPLAY="$display" XAUTHORITY="$out/Xauthority" \
        xdotool windowfocus --sync "$1" || fail "could not focus window $1"
}
keys() { x xdotool key --delay 30 "$@"; }
type_text() { x xdotool type --delay 30 -- "$1"; }
# click X Y [BUTTON]: a click at a point of the main window.
click() { x xdotool mousemove --window "$main" "$1" "$2" click "${3:-1}"; }
# Rest the pointer on the window's title-less top-left corner, so that no
# hover highlight changes the pixels that are read.
park() { x xdotool mousemove --window "$main" 586 446; }

# click_menu_title LETTER: the menu whose title has that key letter opened by
# a click a few pixels inside the title's left edge, found where the key
# opens it. Status 1 when the click opens no menu; else px py pw ph hold the
# popup's place and size on the screen.
click_menu_title() {
    focus "$main"
    keys "alt+$1"
    wait_until "$ui_limit" "the menu of Alt+$1 opened by its key" menu_open
    read -r _ px py pw ph <<<"$(menu_popups | head -n 1)"
    close_menu
    click $((px - wx + 8)) $((menu_bottom / 2))
    poll "$ui_limit" menu_open || return 1
    read -r _ px py pw ph <<<"$(menu_popups | head -n 1)"
}

# --- ZIL -------------------------------------------------------------------

# start_zil: starts the installed program, waits for its main window and
# measures the frame: wx, wy (the window's place), menu_bottom (height of the
# menu bar, read from where the File menu opens), file_x (left edge of the
# File title) and bar_top (top of the button bar, right under the menu bar).
start_zil() {
    mkdir -p "$out/home" "$out/runtime"
    chmod 700 "$out/runtime"
    (
        cd "$out/home"
        # No scaling or theme from the caller's environment: the clicks
        # rely on the window's design size.
        exec env -u QT_QPA_PLATFORMTHEME -u QT_STYLE_OVERRIDE -u QT_SCALE_FACTOR \
            -u QT_SCREEN_SCALE_FACTORS -u QT_FONT_DPI -u QT_ENABLE_HIGHDPI_SCALING \
            DISPLAY="$display" XAUTHORITY="$out/Xauthority" QT_QPA_PLATFORM=xcb \
            HOME="$out/home" XDG_RUNTIME_DIR="$out/runtime" \
            XDG_CONFIG_HOME="$out/home/.config" "$prefix/bin/zil"
    ) >"$out/zil.log" 2>&1 &
    zil_pid=$!
    log "started zil ($zil_pid)"
    local t0
    t0=$(now_ms)
    wait_until "$start_limit" 'window "ZIL"' is_visible ZIL
    main=$(visible_window ZIL)
    log "main window $main after $(($(now_ms) - t0)) ms"
    geometry "$main"
    wx=$gx wy=$gy
    [ "$gw" -ge 590 ] && [ "$gh" -ge 450 ] || fail "the main window is ${gw}x$gh"
    measure_menu_bar
}

# The File menu opened by its key drops down right under its title: the top
# of its popup is the bottom of the menu bar, where the button bar begins.
measure_menu_bar() {
    focus "$main"
    keys alt+f
    wait_until "$ui_limit" "File menu opened by its key" menu_open
    local id px py pw ph
    read -r id px py pw ph <<<"$(menu_popups | head -n 1)"
    close_menu
    menu_bottom=$((py - wy))
    file_x=$((px - wx))
    [ "$menu_bottom" -gt 5 ] && [ "$menu_bottom" -lt 60 ] \
        || fail "the File menu opens at y $py, the window's top is at $wy"
    bar_top=$menu_bottom
    log "menu bar ${menu_bottom} px high"
}

# start_on DB: ZIL started on a display of its own, its settings naming the
# database directory DB.
start_on() {
    write_ini "$1"
    start_display
    start_zil
}

# start_on_demo [--plain]: ZIL installed and started on the demo database,
# made protected as delivered in OUT_DIR/demo-db. With --plain the same
# sources are also made without protection, into db=OUT_DIR/demo-plain, so
# that the script can read with sql what a list shows.
start_on_demo() {
    install_zil
    make_demo_db "$out/demo-db"
    if [ "${1:-}" = --plain ]; then
        db=$out/demo-plain
        "$prefix/bin/zil-makedb" "$source/demo" "$db" >"$out/makedb-plain.log" 2>&1 \
            || fail "zil-makedb failed on the demo sources without protection"
    fi
    start_on "$out/demo-db"
}

# start_on_synthetic N: ZIL installed and started on a generated database of
# N materials, made in db=OUT_DIR/db.
start_on_synthetic() {
    install_zil
    db=$out/db
    make_synthetic_db "$1" "$db"
    start_on "$db"
}

# --- reading the screen ----------------------------------------------------

# pixel_band X0 X1 Y0 Y1 PATTERN: the first and last line (window
# coordinates) inside the rectangle in which the pixels that PATTERN (an awk
# pattern over a pixel's line: $2 its line, $3 to $5 its red, green and blue)
# picks cover at least half its width. Prints nothing when there is none.
pixel_band() {
    local x0=$1 x1=$2 y0=$3 y1=$4 w h
    w=$((x1 - x0)) h=$((y1 - y0))
    x import -window root -crop "${w}x${h}+$((wx + x0))+$((wy + y0))" +repage \
        -depth 8 txt:- 2>/dev/null \
        | awk -v y0="$y0" -v w="$w" -F'[,:() ]+' "$5"' { n[$2]++ }
            END {
                first = -1
                for (y in n) if (n[y] * 2 >= w) {
                    if (first < 0 || y + 0 < first) first = y + 0
                    if (y + 0 > last) last = y + 0
                }
                if (first >= 0) print first + y0, last + y0
            }'
}

# blue_band X0 X1 Y0 Y1: the lines of pure blue pixels: the current row of
# the material list.
blue_band() { pixel_band "$1" "$2" "$3" "$4" '/#0000FF/'; }

# colour_band X0 X1 Y0 Y1: the current row of a data grid, drawn in the
# style's highlight colour: the lines of coloured pixels (not black, white or
# grey).
colour_band() { pixel_band "$1" "$2" "$3" "$4" '/^[0-9]/ && !($3 == $4 && $4 == $5)'; }

# light_pixels X0 X1 Y0 Y1: how many pixels of the rectangle are near white:
# the text of a current row, drawn light on the highlight colour.
light_pixels() {
    x import -window root -crop "$(($2 - $1))x$(($4 - $3 + 1))+$((wx + $1))+$((wy + $3))" +repage \
        -depth 8 txt:- 2>/dev/null \
        | awk -F'[,:() ]+' '/^[0-9]/ && $3 > 200 && $4 > 200 && $5 > 200 { n++ } END { print n + 0 }'
}

# ink_pixels X0 X1 Y0 Y1: how many pixels of the rectangle are not near
# white: the text of a row, or the highlight of the current one.
ink_pixels() {
    x import -window root -crop "$(($2 - $1))x$(($4 - $3 + 1))+$((wx + $1))+$((wy + $3))" +repage \
        -depth 8 txt:- 2>/dev/null \
        | awk -F'[,:() ]+' '/^[0-9]/ && ($3 < 160 || $4 < 160 || $5 < 160) { n++ } END { print n + 0 }'
}

# region_sum X0 Y0 W H: a checksum of the pixels of a region of the window.
region_sum() {
    x import -window root -crop "${3}x${4}+$((wx + $1))+$((wy + $2))" +repage \
        -depth 8 rgb:- 2>/dev/null | md5sum | cut -d' ' -f1
}

# --- sheets ----------------------------------------------------------------

mkdir -p "$out/sheets"
pdf_written() { [ -s "$1" ] && tail -c 64 "$1" | grep -q '%%EOF'; }

# save_pdf: Report > Save as PDF... for the tab in view; the sheet goes to a
# fresh directory of its own, typed as a whole path, so the dialog's
# completer finds no name to offer that Enter would take instead. Sets
# sheet to the saved file.
save_pdf() {
    local dir
    dir=$(mktemp -d "$out/sheets/XXXXXX")
    sheet=$dir/sheet.pdf
    focus "$main"
    keys alt+r p
    wait_until "$step_limit" '"Save as PDF" dialog' is_visible "Save as PDF"
    focus "$(visible_window "Save as PDF")"
    keys ctrl+a
    type_text "$sheet"
    keys Return
    wait_until "$step_limit" "closed file dialog" is_gone "Save as PDF"
    wait_until "$step_limit" "$sheet written" pdf_written "$sheet"
}

# first_line: the first line with text on the last saved sheet, blanks
# squeezed: the material's name and CAS number, or the supplier's name.
first_line() {
    local text
    text=$(pdftotext -layout "$sheet" - 2>/dev/null) || fail "pdftotext cannot read $sheet"
    printf '%s\n' "$text" >"${sheet%.pdf}.txt"
    text=$(grep -m 1 '[^[:space:]]' <<<"$text") || true
    sed 's/[[:space:]]\+/ /g; s/^ //; s/ $//' <<<"$text"
}

# current_sheet_line: the first line of a sheet saved now.
current_sheet_line() {
    save_pdf
    first_line
}

# --- leaving ---------------------------------------------------------------

# wait_exit T0 HOW: waits for the process to end after an exit started at
# T0 (milliseconds) and logs how long the window and the process took.
wait_exit() {
    local t0=$1 how=$2 window_ms="" deadline
    deadline=$(($(date +%s) + exit_limit))
    while zil_running; do
        if [ -z "$window_ms" ] && is_gone ZIL; then
            window_ms=$(($(now_ms) - t0))
        fi
        [ "$(date +%s)" -lt "$deadline" ] || fail "ZIL still runs ${exit_limit}s after $how"
        sleep 0.02
    done
    local end_ms status=0
    end_ms=$(($(now_ms) - t0))
    wait "$zil_pid" || status=$?
    zil_pid=
    [ -n "$window_ms" ] || window_ms=$end_ms
    log "$how: window gone after ${window_ms} ms, process ended after ${end_ms} ms"
    [ "$status" -eq 0 ] || fail "ZIL ended with status $status"
}

# --- the material list -----------------------------------------------------

row_h=18 # the height of a grid row, grid line included

# measure_list: with the first material current and the list at its top,
# finds the rows of the material grid on the screen: row_top (first material
# row), page_top (top of the tab's page, 35 pixels of search strip and the
# caption row above the grid's first row), detail_left (left edge of the
# 340 pixels wide detail pane), tab_y and detail_tab_y (heights at which to
# click the tabs of the main window and of the detail pane).
measure_list() {
    park
    local band
    poll "$ui_limit" has_band || fail "no current row is drawn in the material list"
    band=$(band_now)
    row_top=${band%% *}
    page_top=$((row_top - row_h - 35 - 1))
    detail_left=$((gw - 340 - 4))
    # The main tab bar lies under the 29 pixels of the button bar, the
    # detail pane's at the top of the page; 11 pixels down is inside a tab.
    tab_y=$((bar_top + 29 + 11))
    detail_tab_y=$((page_top + 12))
    log "first material row at y $row_top, page at y $page_top"
}
band_now() { blue_band 4 200 $((bar_top + 29)) $((gh - 2)); }
has_band() { [ -n "$(band_now)" ]; }
# band_at Y: the current row is drawn whole, starting at line Y.
band_at() {
    local band
    band=$(band_now)
    [ "${band%% *}" = "$1" ] && [ $((${band##* } - ${band%% *})) -ge $((row_h - 2)) ]
}
# band_low: the current row is drawn whole in the lowest row place.
band_low() {
    local band top bottom
    band=$(band_now)
    [ -n "$band" ] || return 1
    top=${band%% *} bottom=${band##* }
    [ $((bottom - top)) -ge $((row_h - 2)) ] && [ "$top" -ge $((gh - 2 - 2 * row_h)) ]
}

# material_line ID: what the first line of a material's sheet holds, its
# name and CAS number, for a material of an unprotected database.
material_line() {
    sql "$db" material.db "select name || ' ' || coalesce(cas, '') from material where id = $1" \
        | sed 's/[[:space:]]\+/ /g; s/^ //; s/ $//'
}

# line_id LINE: the id of the material whose sheet begins with LINE.
line_id() {
    local q=${1//\'/\'\'}
    sql "$db" material.db "select id from material
        where trim(name || ' ' || coalesce(cas, '')) = '$q' limit 1"
}

# matching WHERE CRITERION: a query on the materials that a name criterion
# selects, the criterion occurring in the upper-cased name or a synonym.
# WHERE is what to select: "count(*)", "min(id)".
matching() {
    local c=${2//\'/\'\'}
    local syn
    syn=$(find "$db" -maxdepth 1 -iname synon.db -type f | head -n 1)
    sql "$db" material.db "attach '$syn' as s; select $1 from material m
        where instr(upper(m.name), upper('$c')) > 0
           or exists (select 1 from s.synon y
                      where y.materialid = m.id and instr(upper(y.name), upper('$c')) > 0)"
}

# search_field_click: a click into the search field of the tab in view.
search_field_click() { click 156 $((page_top + 18)); }

# run_criteria TEXT: the button "&Select", TEXT as the material criterion
# and Enter, which selects.
run_criteria() {
    focus "$main"
    click 267 $((bar_top + 14))
    wait_until "$step_limit" '"Search" dialog' is_visible Search
    focus "$(visible_window Search)"
    keys alt+m ctrl+a
    type_text "$1"
    keys Return
    wait_until "$step_limit" "closed criteria dialog" is_gone Search
}

# exit_by_click: File > Exit clicked with the mouse, timed from the click;
# when the File menu does not open to a click, a fault, and Exit by its keys.
exit_by_click() {
    local px py pw ph t0
    focus "$main"
    click $((file_x + 8)) $((menu_bottom / 2))
    if poll "$ui_limit" menu_open; then
        read -r _ px py pw ph <<<"$(menu_popups | head -n 1)"
        # The menu's one item, "E&xit", fills the popup.
        x xdotool mousemove $((px + pw / 2)) $((py + ph / 2))
        t0=$(now_ms)
        x xdotool click 1
        wait_exit "$t0" "a click on File > Exit"
    else
        fault "File > Exit cannot be clicked: a click on \"&File\" opens no menu"
        focus "$main"
        t0=$(now_ms)
        keys alt+f x
        wait_exit "$t0" "File > Exit by its keys"
    fi
}

# --- tabs --------------------------------------------------------------------

# A checksum of the right-hand pane, which differs between the tabs of the
# main window and between the pages of the detail pane.
pane_sum() { region_sum 260 $((page_top + 30)) 300 100; }
# find_tab FROM TO Y: where a tab lies depends on the width of the captions
# before it, so it is found by clicking from x FROM to TO in steps of 12
# pixels at height Y until the right-hand pane changes; prints the x that
# changed it. Clicks on the tab already in view change nothing.
find_tab() {
    local tx before
    park
    before=$(pane_sum)
    for ((tx = $1; tx <= $2; tx += 12)); do
        click "$tx" "$3"
        park
        pane_changed() { [ "$(pane_sum)" != "$before" ]; }
        if poll 2 pane_changed; then
            echo "$tx"
            return 0
        fi
    done
    return 1
}

# --- the grids of the right-hand pane --------------------------------------

# The current row of the data grid in the right-hand pane: "top bottom".
grid_band() { colour_band $((detail_left + 20)) $((detail_left + 320)) $((page_top + 24)) $((page_top + 190)); }
has_grid_band() { [ -n "$(grid_band)" ]; }
grid_band_at() { [ "$(grid_band)" = "$1" ]; }
# pick_supplier_of MATERIAL N: MATERIAL typed into the search field of the
# Materials tab, the detail page "Suppliers" opened by a click on its tab and
# row N of the material's supplier list clicked (pick_grid_row).
pick_supplier_of() {
    focus "$main"
    search_field_click
    type_text "${1,,}"
    find_tab $((detail_left + 30)) $((detail_left + 200)) "$detail_tab_y" >/dev/null \
        || fail "no click opens the detail page \"Suppliers\""
    pick_grid_row "$2"
}
# pick_grid_row N: a click on row N of that grid; waits until it is current.
# Sets grid_row_y to the middle of that row.
pick_grid_row() {
    local band top bottom height want
    poll "$ui_limit" has_grid_band || fail "no current row in the grid of the detail pane"
    band=$(grid_band)
    top=${band%% *} bottom=${band##* }
    height=$((bottom - top + 2))
    want="$((top + ($1 - 1) * height)) $((bottom + ($1 - 1) * height))"
    grid_row_y=$((top + ($1 - 1) * height + height / 2))
    click 400 "$grid_row_y"
    park
    poll "$ui_limit" grid_band_at "$want" || fail "a click on row $1 of the grid does not make it current"
}
