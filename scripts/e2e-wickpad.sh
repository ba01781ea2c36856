#!/usr/bin/env bash
# Wickpad end to end, as a new user meets it, under a real X server (Xvfb) driven with the mouse
# (xdotool) and looked at through screenshots (ImageMagick): start with no book, the Library
# appears, tap the book's row, press Open, tap the page to turn it (and a key on and back), quit
# with "Close Reader", start again: the same book opens by itself at the same page.
#
# What is checked: the Library window appears; choosing opens the book (its place file appears);
# the tap changes what the screen shows, Down and Up turn on and back; "Close Reader" ends the
# program with status 0; the place file holds page 2 (index 1) and the handheld's own section
# names the book as its last;
# the second start opens that book without the Library (not the desktop's last book, which the
# store also holds) and shows exactly the screen the first run ended on, still at page 2.
#
# Usage: scripts/e2e-wickpad.sh [BUILD_DIR]   (default build/release). Screenshots are kept in
# BUILD_DIR/e2e-wickpad/. Everything else lives in a temporary folder removed at the end, with
# the X server and the program.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$top/build/release}" && pwd)"
wickpad="$build/device/wickpad"
say() { echo "e2e-wickpad: $*"; }
[ -x "$wickpad" ] || { say "FAIL: $wickpad is not built"; exit 1; }
for tool in Xvfb xdotool import convert compare od; do
    command -v "$tool" >/dev/null || { say "FAIL: $tool is missing (scripts/setup-deps.sh)"; exit 1; }
done

work="$(mktemp -d /tmp/e2e-wickpad.XXXXXX)"
shots="$build/e2e-wickpad"
mkdir -p "$shots"
rm -f "$shots"/*.png
xvfb=""
app=""
cleanup() {
    if [ -n "$app" ] && kill -0 "$app" 2>/dev/null; then kill "$app" 2>/dev/null || true; fi
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
shot() { import -window root "$shots/$1.png"; }
fail() {
    say "FAIL: $*"
    shot failure 2>/dev/null || true
    [ -s "$work/wickpad.log" ] && sed 's/^/  wickpad: /' "$work/wickpad.log" | tail -n 20
    # Whether the X server itself went away, and what it said.
    kill -0 "$xvfb" 2>/dev/null && say "the X server on $DISPLAY is still running" ||
        say "the X server on ${DISPLAY:-?} has ended"
    [ -s "$work/xvfb.log" ] && sed 's/^/  Xvfb: /' "$work/xvfb.log" | tail -n 20
    exit 1
}

# The X server picks a free display itself, so that runs beside each other never clash.
Xvfb -displayfd 3 -screen 0 720x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "the X server did not start"
export DISPLAY=":$(cat "$work/display")"
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

# A new user: empty configuration and data folders, a documents folder holding one book. The
# store also holds the desktop reader's last book (another book) and both programs' "Start
# program with last eBook" turned on.
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_DOCUMENTS_DIR="$HOME/Documents" XDG_RUNTIME_DIR="$work/run"
export QT_QPA_PLATFORM=xcb
unset PAGEWICK_DEVICE_ROOT DBUS_SESSION_BUS_ADDRESS
mkdir -p "$XDG_CONFIG_HOME/Ambervale" "$XDG_DATA_HOME" "$XDG_DOCUMENTS_DIR" "$HOME/elsewhere"
mkdir -m 700 "$XDG_RUNTIME_DIR"
book="$XDG_DOCUMENTS_DIR/Trial.htm"
{
    echo "<html><head><title>Trial Book</title></head><body>"
    for i in $(seq 0 599); do
        echo "<p>Paragraph $i of the trial book, with words enough to fill a line or two.</p>"
    done
    echo "</body></html>"
} >"$book"
echo "The desktop's book." >"$HOME/elsewhere/Desktop.txt"
printf '[Pagewick]\nAutoOpen=1\nLastBook=%s\n\n[Wickpad]\nAutoOpen=1\n' \
    "$HOME/elsewhere/Desktop.txt" >"$XDG_CONFIG_HOME/Ambervale/Pagewick.conf"

start() {
    "$wickpad" >>"$work/wickpad.log" 2>&1 &
    app=$!
}
# The first window with that name, waited for up to $2 tenths of a second.
window() {
    for _ in $(seq "$2"); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
        [ -n "$w" ] && { echo "$w"; return 0; }
        kill -0 "$app" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
# Pixels that differ between two screenshots.
differ() { compare -metric AE "$shots/$1.png" "$shots/$2.png" null: 2>&1 || true; }
# The current page the place file holds: after the version, the title's length and its UTF-16.
page_in() {
    local n
    n=$(od -An -t d4 -j 4 -N 4 "$1" | tr -d ' ')
    od -An -t d4 -j $((8 + 2 * n)) -N 4 "$1" | tr -d ' '
}
# "Close Reader" from the Tools menu: the menu opened with the mouse, its last command taken.
close_reader() {
    xdotool mousemove $((fx + 24)) $((fy + 8)) click 1
    sleep 0.7
    xdotool key Up Return
    for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$app" 2>/dev/null && fail "\"Close Reader\" did not end the program"
    local status=0
    wait "$app" || status=$?
    app=""
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

say "first start, no book given"
start
lib=$(window '^Library$' 150) || fail "the Library did not appear"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$lib")"
lx=$X ly=$Y lw=$WIDTH lh=$HEIGHT
shot 1-library
# The list's rows: the first (the folder) is selected; its highlight gives where rows begin and
# how high they are. The book is the last row: after the help book when that is installed.
band=$(convert "$shots/1-library.png" -crop "1x${lh}+$((lx + lw / 2))+${ly}" txt:- |
    sed -nE 's/^0,([0-9]+): \(([0-9.]+),([0-9.]+),([0-9.]+).*/\1 \2 \4/p' |
    awk '$3 > $2 + 60 { if (first == "") first = $1; last = $1 } END { print first, last }')
read -r top_row bottom_row <<<"$band"
[ -n "${bottom_row:-}" ] || fail "no selected row in the Library"
row_height=$((bottom_row - top_row + 1))
row=1
[ -f "$build/device/Pagewick Help.pawk" ] && row=2
xdotool mousemove $((lx + lw / 2)) $((ly + top_row + row * row_height + row_height / 2)) click 1
sleep 0.5
shot 2-book-selected
xdotool mousemove $((lx + lw / 6)) $((ly + lh - 23)) click 1  # "Open"
for _ in $(seq 100); do
    [ -z "$(xdotool search --onlyvisible --name '^Library$' 2>/dev/null)" ] && break
    sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name '^Library$' 2>/dev/null)" ] ||
    fail "the Library stayed open after Open"
for _ in $(seq 50); do [ -f "$book.pwk2" ] && break; sleep 0.1; done
[ -f "$book.pwk2" ] || fail "the book was not opened"
frame=$(window '^Pagewick$' 50) || fail "no reading window"
eval "$(xdotool getwindowgeometry --shell "$frame")"
fx=$X fy=$Y fw=$WIDTH fh=$HEIGHT
sleep 1
shot 3-first-page
# A tap on the right of the page, where no link lies, turns it.
xdotool mousemove $((fx + fw * 5 / 6)) $((fy + fh / 2)) click 1
sleep 1
shot 4-turned
[ "$(differ 3-first-page 4-turned)" -gt 1000 ] || fail "the tap did not turn the page"
# The keys reach the page once the Library has closed: one page on and back.
xdotool key Down
sleep 1
shot 4-key-down
[ "$(differ 4-turned 4-key-down)" -gt 1000 ] || fail "the Down key did not turn the page"
xdotool key Up
sleep 1
shot 4-key-up
[ "$(differ 4-turned 4-key-up)" -le 50 ] || fail "the Up key did not turn back"
close_reader
[ -f "$book.pwk" ] || fail "no place file was written"
[ "$(page_in "$book.pwk")" -eq 1 ] || fail "the place file holds page $(page_in "$book.pwk"), not 1"
grep -qxF "LastBook=$book" "$XDG_CONFIG_HOME/Ambervale/Pagewick.conf" ||
    fail "the book is not the handheld's last book"

say "second start: the last book at its page"
start
window '^Library$' 30 >/dev/null && fail "the Library appeared instead of the last book"
kill -0 "$app" 2>/dev/null || fail "the program ended at the second start"
frame=$(window '^Pagewick$' 50) || fail "no reading window at the second start"
sleep 2
shot 5-again
[ "$(differ 4-turned 5-again)" -le 50 ] ||
    fail "the second start does not show the page the first ended on"
close_reader
[ "$(page_in "$book.pwk")" -eq 1 ] || fail "the second run moved the place to $(page_in "$book.pwk")"
say "passed (screenshots in $shots)"
