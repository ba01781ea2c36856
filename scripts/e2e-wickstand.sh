#!/usr/bin/env bash
# Wickstand end to end under a real X server, as a person uses it: a new user with one book in
# "My eBooks" starts the reader with no book, the Library appears, the book's row is clicked with
# the mouse and OK pressed, two pages are turned with the keyboard and the reader is quit from
# the File menu. Started again, the Library appears again; the row is clicked and Enter pressed
# (the second start) or double-clicked (the third), and the page left is shown again.
#
# The rows' places come from the Library itself (PAGEWICK_PRINT_GEOMETRY). What is checked: the
# Library closes and no About box appears after each choice; the pages turned differ from the
# first page; each later start shows, pixel for pixel, the window as it was when quit; the book's
# pagination file exists; every run ends by itself with status 0.
#
# Usage: scripts/e2e-wickstand.sh [BUILD_DIR]   (default build/release). Needs Xvfb, xdotool,
# xwininfo (x11-utils) and ImageMagick's import and compare.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build/release}"
program="$build/desktop/wickstand"
[ -x "$program" ] || { echo "e2e-wickstand: no program at $program" >&2; exit 1; }
for tool in Xvfb xdotool xwininfo import compare; do
    command -v "$tool" >/dev/null || { echo "e2e-wickstand: $tool is missing" >&2; exit 1; }
done

unset DISPLAY WAYLAND_DISPLAY
work="$(mktemp -d "${TMPDIR:-/tmp}/e2e-wickstand.XXXXXX")"
xvfb_pid=""
app_pid=""
cleanup() {
    if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then kill "$app_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    if [ -z "${KEEP_E2E:-}" ]; then rm -rf "$work"; else echo "e2e-wickstand: kept $work"; fi
}
trap cleanup EXIT
fail() {
    echo "e2e-wickstand: FAILED: $*" >&2
    [ -n "${DISPLAY:-}" ] && import -window root "$work/failure.png" 2>/dev/null &&
        echo "e2e-wickstand: the screen is in $work/failure.png" >&2
    [ -f "$work/run.log" ] && sed 's/^/    /' "$work/run.log" >&2
    KEEP_E2E=1
    exit 1
}

# A new user: home, configuration, data and documents folders of its own.
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache" XDG_RUNTIME_DIR="$work/runtime"
export XDG_DOCUMENTS_DIR="$HOME/Documents"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_DOCUMENTS_DIR/My eBooks"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER
export QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME= QT_STYLE_OVERRIDE=Fusion
export PAGEWICK_PRINT_GEOMETRY=1
book="$XDG_DOCUMENTS_DIR/My eBooks/Story.htm"
{
    echo "<html><head><title>Story</title></head><body>"
    for i in $(seq 1 400); do
        echo "<p>Paragraph $i of the story, told at some length so that every page holds a"
        echo "different part of it and a turned page can be told from the one before.</p>"
    done
    echo "</body></html>"
} >"$book"

# The X server, on the first free display.
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$work/display")"

# Waits until a visible window of that exact name exists; prints its id.
wait_window() {
    local name="$1" id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -n 1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        kill -0 "$app_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
gone_window() {
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}
# The place of a line the Library printed: "geometry library-row N X Y W H TITLE".
row_centre() {
    local line
    line=$(grep "^geometry library-row [0-9]* .* $1\$" "$work/run.log" | tail -n 1)
    [ -n "$line" ] || return 1
    set -- $line
    echo "$(($4 + $6 / 2)) $(($5 + $7 / 2))"
}
ok_centre() {
    local line
    line=$(grep "^geometry library-ok " "$work/run.log" | tail -n 1)
    [ -n "$line" ] || return 1
    set -- $line
    echo "$(($3 + $5 / 2)) $(($4 + $6 / 2))"
}
# A shot of the main window once it has stopped changing, the pointer out of the way.
shot() {
    xdotool mousemove 1279 1023
    local previous="" i
    for i in $(seq 20); do
        sleep 0.3
        import -window "$main" "$work/$1.png"
        if [ -n "$previous" ] && cmp -s "$previous" "$work/$1.png"; then return 0; fi
        cp "$work/$1.png" "$work/$1.prev.png"
        previous="$work/$1.prev.png"
    done
    return 0
}
differing_pixels() {
    compare -metric AE "$1" "$2" null: 2>&1 || true
}
# Starts the reader with no book and waits for its Library and the rows it lists.
start() {
    : >"$work/run.log"
    "$program" >>"$work/run.log" 2>&1 &
    app_pid=$!
    main=$(wait_window "Pagewick") || fail "the main window did not appear"
    library=$(wait_window "Library") || fail "the Library did not appear at start-up"
    for _ in $(seq 100); do row_centre "Story" >/dev/null && break; sleep 0.1; done
    row_centre "Story" >/dev/null || fail "the Library does not list the book"
}
after_choice() {
    gone_window "Library" || fail "the Library stayed open after the book was chosen ($1)"
    if xdotool search --onlyvisible --name "^About Pagewick\$" >/dev/null 2>&1; then
        fail "the About box appeared instead of the book ($1)"
    fi
    kill -0 "$app_pid" 2>/dev/null || fail "the reader ended instead of opening the book ($1)"
}
quit() {
    xdotool windowfocus --sync "$main"
    xdotool key --clearmodifiers alt+f
    sleep 0.5
    xdotool key x
    for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$app_pid" 2>/dev/null && fail "File > Exit did not end the reader"
    wait "$app_pid" || fail "the reader ended with status $?"
    app_pid=""
}

echo "== first start: the Library, the row clicked, OK, two pages turned, File > Exit"
start
read -r x y < <(row_centre "Story")
xdotool mousemove "$x" "$y" click 1
sleep 0.3
read -r x y < <(ok_centre) || fail "the Library printed no place for OK"
xdotool mousemove "$x" "$y" click 1
after_choice "mouse and OK"
shot first-page
xdotool windowfocus --sync "$main"
xdotool key Next
sleep 0.3
xdotool key Next
shot turned
[ "$(differing_pixels "$work/first-page.png" "$work/turned.png")" != "0" ] ||
    fail "the keys turned no page"
quit
[ -f "$book.pwk" ] || fail "no pagination file was written beside the book"

echo "== second start: the row clicked, Enter; the same page"
start
read -r x y < <(row_centre "Story")
xdotool mousemove "$x" "$y" click 1
sleep 0.3
xdotool key Return
after_choice "mouse and Enter"
shot again
diff_again=$(differing_pixels "$work/turned.png" "$work/again.png")
[ "$diff_again" = "0" ] || fail "the page left was not shown again ($diff_again pixels differ)"
quit

echo "== third start: the row double-clicked; the same page"
start
read -r x y < <(row_centre "Story")
xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
after_choice "double-click"
shot third
diff_third=$(differing_pixels "$work/turned.png" "$work/third.png")
[ "$diff_third" = "0" ] || fail "the page left was not shown again ($diff_third pixels differ)"
quit

echo "e2e-wickstand: passed"
