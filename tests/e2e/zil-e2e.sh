#!/usr/bin/env bash
# End-to-end run of the installed program on a real X display.
#
# Installs ZIL into a prefix inside OUT_DIR, makes the protected demo database
# with the installed zil-makedb, writes zil.INI beside the installed program,
# starts an Xvfb display of its own and drives ZIL with xdotool as a user
# would: a name typed into the search field, both tabs through the View menu,
# the criteria dialog, Save as PDF from the Report menu, and File > Exit.
# What can be seen from outside is checked: the window titled "ZIL", the
# index files of the first start, the text of the saved sheets and the exit
# status.
#
# Every wait polls with a bound, so a failure ends the run instead of hanging
# it; on failure a screenshot of the display and ZIL's output stay in OUT_DIR.
#
# usage: zil-e2e.sh CMAKE BUILD_DIR SOURCE_DIR OUT_DIR [CONFIG]
set -euo pipefail

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
# They only turn a hang into a failure.
start_limit=180 # start-up, including the index rebuild of the first start
step_limit=90   # a window appearing or going, a file being written
exit_limit=90   # the process ending after Exit

xvfb_pid=
zil_pid=
display=

log() { echo "e2e: $*"; }

screenshot() {
    if [ -n "$display" ] && command -v import >/dev/null; then
        DISPLAY=$display XAUTHORITY=$out/Xauthority import -window root "$out/$1" 2>/dev/null \
            && log "screenshot: $out/$1"
    fi
    return 0
}

fail() {
    echo "e2e: FAILED: $*" >&2
    screenshot failure.png
    if [ -n "$xvfb_pid" ]; then
        if kill -0 "$xvfb_pid" 2>/dev/null; then
            echo "Xvfb ($xvfb_pid) runs on display $display" >&2
        else
            echo "Xvfb ($xvfb_pid) has ended" >&2
        fi
        [ ! -s "$out/xvfb.log" ] || tail -n 20 "$out/xvfb.log" >&2
    fi
    if [ -s "$out/zil.log" ]; then
        echo "--- zil output ---" >&2
        tail -n 40 "$out/zil.log" >&2
    fi
    exit 1
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
# after LIMIT seconds, or at once when ZIL has ended while it was expected
# to run.
wait_until() {
    local limit=$1 what=$2
    shift 2
    local deadline=$((SECONDS + limit))
    until "$@"; do
        if [ -n "$zil_pid" ] && ! zil_running; then
            fail "ZIL ended while waiting for $what"
        fi
        if [ "$SECONDS" -ge "$deadline" ]; then
            fail "no $what after ${limit}s"
        fi
        sleep 0.1
    done
}

# X helpers; the display and its cookie are set once Xvfb runs.
x() { DISPLAY=$display XAUTHORITY=$out/Xauthority "$@"; }
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
# The first mapped window titled exactly TITLE.
visible_window() {
    local ids
    ids=$(windows --onlyvisible "$1")
    echo "${ids%%$'\n'*}"
}
is_visible() { [ -n "$(visible_window "$1")" ]; }
is_gone() { ! is_visible "$1"; }
# A window that was created and is now unmapped: shown once and hidden again.
was_shown_and_hidden() { [ -n "$(windows "$1")" ] && is_gone "$1"; }
# Keyboard focus straight to a window; there is no window manager to do it.
focus() {
    timeout "$step_limit" env DISPLAY="$display" XAUTHORITY="$out/Xauthority" \
        xdotool windowfocus --sync "$1" || fail "could not focus window $1"
}
keys() { x xdotool key --delay 30 "$@"; }
type_text() { x xdotool type --delay 30 -- "$1"; }
pdf_written() { [ -s "$1" ] && tail -c 64 "$1" | grep -q '%%EOF'; }

# --- the installed program -------------------------------------------------

prefix=$out/prefix
log "installing into $prefix"
"$cmake" --install "$build" --prefix "$prefix" ${config:+--config "$config"} \
    >"$out/install.log" 2>&1 || {
    cat "$out/install.log" >&2
    fail "cmake --install failed"
}
for f in bin/zil bin/zil-makedb share/doc/zil/zil.html; do
    [ -e "$prefix/$f" ] || fail "the installed layout lacks $f"
done

# The demo database, protected as a delivered one is; ZIL makes its indexes
# at the first start.
db=$out/demo-db
"$prefix/bin/zil-makedb" --protect "$source/demo" "$db" >"$out/makedb.log" 2>&1 || {
    cat "$out/makedb.log" >&2
    fail "zil-makedb failed"
}
[ ! -e "$db/material.xg1" ] || fail "the new database already has index files"

cat >"$prefix/bin/zil.INI" <<INI
[Database]
Path=$db/

[Help]
File Name=$prefix/share/doc/zil/zil.html
INI

# --- the display -----------------------------------------------------------

# Xvfb picks a free display number itself and writes it to fd 3. Only
# clients with the cookie may connect. Without -noreset the server resets
# whenever its last client leaves, and drops a client that is connecting at
# that moment: ZIL starting while an xdotool poll ends.
cookie=$(od -An -tx1 -N16 /dev/urandom | tr -d ' \n')
: >"$out/Xauthority.server"
: >"$out/Xauthority"
xauth -q -f "$out/Xauthority.server" add :0 MIT-MAGIC-COOKIE-1 "$cookie"
Xvfb -displayfd 3 -noreset -nolisten tcp -auth "$out/Xauthority.server" -screen 0 1024x768x24 \
    3>"$out/display" >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
xvfb_ready() {
    kill -0 "$xvfb_pid" 2>/dev/null || {
        cat "$out/xvfb.log" >&2
        fail "Xvfb ended at start"
    }
    [ -n "$(head -n 1 "$out/display" 2>/dev/null)" ]
}
wait_until "$step_limit" "X display" xvfb_ready
display=:$(head -n 1 "$out/display")
xauth -q -f "$out/Xauthority" add "$display" MIT-MAGIC-COOKIE-1 "$cookie"
log "display $display"

# --- ZIL -------------------------------------------------------------------

# A home and runtime directory of its own: the file dialog starts in the
# home directory, and nothing of the user's is read or written.
mkdir -p "$out/home" "$out/runtime"
chmod 700 "$out/runtime"
(
    cd "$out/home"
    # No scaling or theme from the caller's environment: the clicks below
    # rely on the window's design size.
    exec env -u QT_QPA_PLATFORMTHEME -u QT_STYLE_OVERRIDE -u QT_SCALE_FACTOR \
        -u QT_SCREEN_SCALE_FACTORS -u QT_FONT_DPI -u QT_ENABLE_HIGHDPI_SCALING \
        DISPLAY="$display" XAUTHORITY="$out/Xauthority" QT_QPA_PLATFORM=xcb \
        HOME="$out/home" XDG_RUNTIME_DIR="$out/runtime" XDG_CONFIG_HOME="$out/home/.config" \
        "$prefix/bin/zil"
) >"$out/zil.log" 2>&1 &
zil_pid=$!
log "started zil ($zil_pid)"

wait_until "$start_limit" 'window "ZIL"' is_visible ZIL
main=$(visible_window ZIL)
[ -e "$db/material.xg1" ] || fail "the first start wrote no index files"
log "main window $main"

focus "$main"
# The search field of the Materials tab, at its place in the window's design
# size; its label's accelerator focuses it as well, should the click miss.
x xdotool mousemove --window "$main" 156 89 click 1
keys alt+e ctrl+a

# save_pdf NAME: Report > Save as PDF..., the file NAME typed into the file
# dialog, which opens in the home directory. The names begin with different
# characters, so the dialog's completer never offers a match that Enter would
# take instead of saving.
save_pdf() {
    local name=$1
    local file=$out/home/$name
    focus "$main"
    keys alt+r p
    wait_until "$step_limit" '"Save as PDF" dialog' is_visible "Save as PDF"
    focus "$(visible_window "Save as PDF")"
    keys ctrl+a
    type_text "$name"
    keys Return
    wait_until "$step_limit" "closed file dialog" is_gone "Save as PDF"
    wait_until "$step_limit" "$name written" pdf_written "$file"
    log "saved $name"
}

# sheet_text NAME: the text of a saved sheet, kept beside it.
sheet_text() {
    pdftotext -layout "$out/home/$1" "$out/${1%.pdf}.txt" || fail "pdftotext cannot read $1"
    cat "$out/${1%.pdf}.txt"
}
# first_line NAME: the first line with text on the sheet, blanks squeezed.
first_line() {
    local text
    text=$(sheet_text "$1")
    text=$(grep -m 1 '[^[:space:]]' <<<"$text") || true
    sed 's/[[:space:]]\+/ /g; s/^ //; s/ $//' <<<"$text"
}

# 1. A material typed into the search field becomes current; its sheet
#    starts with its name and CAS number.
type_text "Vanillin"
save_pdf 1-typed.pdf
line=$(first_line 1-typed.pdf)
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
#    Switching tabs empties the search field with a search, which would make
#    the first material current; the order toggle empties it first and keeps
#    Vanillin current.
click_order_button
keys alt+v s
save_pdf 2-supplier.pdf
text=$(sheet_text 2-supplier.pdf)
grep -Eq '^ *121-33-5 +Vanillin *$' <<<"$text" || fail "the supplier sheet does not list Vanillin"

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
save_pdf 3-selected.pdf
line=$(first_line 3-selected.pdf)
[ "$line" = "Vanillin 121-33-5" ] || fail "after the selection the sheet begins '$line'"

# 4. File > Exit ends the program cleanly.
focus "$main"
keys alt+f x
exit_start=$SECONDS
deadline=$((SECONDS + exit_limit))
while zil_running; do
    [ "$SECONDS" -lt "$deadline" ] || fail "ZIL still runs ${exit_limit}s after Exit"
    sleep 0.1
done
status=0
wait "$zil_pid" || status=$?
zil_pid=
[ "$status" -eq 0 ] || fail "ZIL ended with status $status"
log "ZIL ended with status 0 within $((SECONDS - exit_start + 1))s of Exit"

log "passed in ${SECONDS}s"
