#!/usr/bin/env bash
# "cmake --install" into a temporary prefix gives a layout that runs on its own: with the build
# and source folders hidden (an empty folder mounted over each in a private mount namespace),
# the installed programs start, pagewick installs the handheld reader from the prefix's data
# folder through the prefix's librapi.so, and wickstand registers its installed path with the
# desktop. Exit 77 (skipped) where no mount namespace can be made (not root).
#   check-install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd) source=$(cd "$2" && pwd)
if ! unshare -m true 2>/dev/null; then
    echo "cannot make a mount namespace here (needs root)"
    exit 77
fi
work=$(mktemp -d /tmp/pagewick-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

# What a person runs, and what they find in the desktop's menu.
for file in bin/wickstand bin/wickpad bin/pagewick lib/librapi.so lib/libpagewick-draw.so \
    "share/pagewick/Pagewick Help.pawk" share/pagewick/WickpadPPC.exe.device \
    share/pagewick/WickpadPPC.lnk.device share/pagewick/WickpadSP.exe.device \
    share/pagewick/WickpadSP.lnk.device share/applications/wickstand.desktop \
    share/applications/wickpad.desktop share/mime/packages/pagewick-pawk.xml \
    share/mime/packages/pagewick-lit.xml share/metainfo/com.ambervale.Pagewick.metainfo.xml \
    share/man/man1/pagewick.1.gz share/man/man1/wickstand.1.gz share/man/man1/wickpad.1.gz \
    share/bash-completion/completions/pagewick share/icons/hicolor/scalable/apps/wickstand.svg \
    share/icons/hicolor/scalable/apps/wickpad.svg \
    share/icons/hicolor/scalable/mimetypes/application-x-pawk.svg; do
    [ -e "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
for size in 16 22 24 32 48 64 128 256; do
    for icon in apps/wickstand apps/wickpad mimetypes/application-x-pawk; do
        png="$prefix/share/icons/hicolor/${size}x${size}/$icon.png"
        [ -f "$png" ] || { echo "not installed: $png"; exit 1; }
        # A PNG of the size its folder says (width and height at bytes 16 to 23).
        dims=$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')
        [ "$dims" = "$(printf '%08x%08x' "$size" "$size")" ] ||
            { echo "$png is not $size by $size"; exit 1; }
    done
done
[ -x "$prefix/bin/pagewick" ] && [ -x "$prefix/share/pagewick/WickpadPPC.exe.device" ]

# The checks below run with the build and source folders out of sight.
cat >"$work/hidden.sh" <<'INNER'
set -euo pipefail
prefix=$1 work=$2
shift 2
for folder in "$@"; do mount -t tmpfs hidden "$folder"; done
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_DOCUMENTS_DIR="$work/docs" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DOCUMENTS_DIR" "$XDG_RUNTIME_DIR" "$work/handheld"
chmod 700 "$XDG_RUNTIME_DIR"
cd "$work"
"$prefix/bin/pagewick" help >/dev/null
# The commands that draw find the drawing part in the prefix's library folder.
"$prefix/bin/pagewick" render "$prefix/share/pagewick/Pagewick Help.pawk" -o "$work/page.png" |
    grep -q "^page 1 written to "
"$prefix/bin/wickstand" --version | grep -q "^wickstand (Pagewick) "
"$prefix/bin/wickpad" --version | grep -q "^wickpad (Pagewick) "
# The reader builds and the help book from the data folder, the link from the library folder.
PAGEWICK_DEVICE_ROOT="$work/handheld" "$prefix/bin/pagewick" device install pocketpc
cmp "$prefix/share/pagewick/WickpadPPC.exe.device" "$work/handheld/Program Files/Pagewick/WickpadPPC.exe"
cmp "$prefix/share/pagewick/Pagewick Help.pawk" "$work/handheld/Program Files/Pagewick/Pagewick Help.pawk"
cmp "$prefix/share/pagewick/WickpadPPC.lnk.device" "$work/handheld/Windows/Start Menu/Programs/Pagewick.lnk"
# The desktop entry a start writes names the installed program.
"$prefix/bin/wickstand" regserver
grep -qx "Exec=$prefix/bin/wickstand %f" "$XDG_DATA_HOME/applications/wickstand.desktop"
# Both readers start and draw the first page of the installed help book.
WICKSTAND_TIME_FIRST_PAGE=1 timeout 60 "$prefix/bin/wickstand" "$prefix/share/pagewick/Pagewick Help.pawk" 2>&1 |
    grep -q "first page drawn"
WICKPAD_TIME_FIRST_PAGE=1 timeout 60 "$prefix/bin/wickpad" "$prefix/share/pagewick/Pagewick Help.pawk" 2>&1 |
    grep -q "first page drawn"
echo "the installed programs run from $prefix alone"
INNER
unshare -m bash "$work/hidden.sh" "$prefix" "$work" "$build" "$source"
