#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks it as a person installing it would:
# the desktop entries, the AppStream metainfo, the manual pages and the package itself pass
# their validators, and the package installs with apt into a fresh Debian 12 root made here
# (debootstrap, minbase), where the three programs start, "man pagewick" reads, bash completes
# "pagewick <TAB>", and the MIME and desktop databases learn the PAWK type; removing it takes
# everything away again. Needs root (debootstrap, chroot) and the Debian archive.
#   scripts/check-package.sh [BUILD_DIR]      (default build/release)
#   PAGEWICK_SKIP_FRESH_ROOT=1 skips the fresh root (validators and lintian only).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$top/build/release}" && pwd)"
suite=bookworm
mirror="${PAGEWICK_DEBIAN_MIRROR:-http://deb.debian.org/debian}"

for tool in cpack desktop-file-validate appstreamcli lintian man debootstrap; do
    command -v "$tool" >/dev/null || { echo "check-package: $tool is missing (scripts/setup-deps.sh)"; exit 1; }
done

step() { echo "== package: $*"; }
started=$(date +%s)

step "building the package"
rm -f "$build"/pagewick_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/pagewick_*.deb)
echo "$deb"

step "validating the desktop entries, the metainfo and the manual pages"
desktop-file-validate "$top/desktop/wickstand.desktop" "$top/device/wickpad.desktop"
appstreamcli validate --no-net "$top/desktop/com.ambervale.Pagewick.metainfo.xml"
for page in "$top/cli/pagewick.1" "$top/desktop/wickstand.1" "$top/device/wickpad.1"; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        echo "$page: $warnings"
        exit 1
    fi
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" | grep -q "^NAME" || { echo "$page: no NAME"; exit 1; }
done

step "lintian (errors fail, warnings are listed)"
lint=0
lintian --fail-on error "$deb" >"$build/lintian.log" 2>&1 || lint=$?
grep -v "root privileges" "$build/lintian.log" || true
[ "$lint" -eq 0 ] || { echo "lintian found errors"; exit 1; }

if [ -n "${PAGEWICK_SKIP_FRESH_ROOT:-}" ]; then
    echo "package checks: passed (fresh root skipped)"
    exit 0
fi

root=$(mktemp -d /tmp/pagewick-fresh-root.XXXXXX)
cleanup() {
    umount "$root/proc" 2>/dev/null || true
    umount "$root/dev/pts" 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT

step "a fresh Debian 12 root (debootstrap --variant=minbase $suite)"
debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$root.log" 2>&1 ||
    { tail -20 "$root.log"; rm -f "$root.log"; exit 1; }
rm -f "$root.log"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mkdir -p "$root/dev/pts"
mount -t devpts devpts "$root/dev/pts" 2>/dev/null || true
echo "deb $mirror $suite main" >"$root/etc/apt/sources.list"
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
# Inside the root, apt fetches as root (its download user cannot reach this folder).
echo 'APT::Sandbox::User "root";' >"$root/etc/apt/apt.conf.d/00sandbox"

step "apt install ./$(basename "$deb")"
in_root apt-get update -qq
in_root apt-get install -y -qq "/tmp/$(basename "$deb")" man-db bash-completion >"$root/tmp/apt.log" 2>&1 ||
    { tail -30 "$root/tmp/apt.log"; exit 1; }

step "the programs start"
in_root pagewick help | head -3
in_root wickstand --version
in_root wickpad --version
# Each reader draws the first page of the installed help book and ends (a reader left waiting
# for a person is ended after a minute, and fails).
for reader in wickstand wickpad; do
    variable=$(tr a-z A-Z <<<"$reader")_TIME_FIRST_PAGE
    in_root sh -c "cd /tmp && QT_QPA_PLATFORM=offscreen $variable=1 XDG_RUNTIME_DIR=/tmp \
        timeout 60 $reader '/usr/share/pagewick/Pagewick Help.pawk'" 2>&1 |
        grep "first page drawn" || { echo "$reader did not draw its first page"; exit 1; }
done
step "pagewick draws a page through the drawing part of the package"
in_root sh -c "cd /tmp && pagewick render '/usr/share/pagewick/Pagewick Help.pawk' -o /tmp/page.png" |
    grep "^page 1 written to " || { echo "pagewick render failed"; exit 1; }
step "pagewick writes and reads an EPUB through the libzip the package depends on"
in_root sh -c "cd /tmp && pagewick convert '/usr/share/pagewick/Pagewick Help.pawk' -o /tmp/help.epub \
    && pagewick info /tmp/help.epub" | grep "^title: " || { echo "pagewick could not use libzip"; exit 1; }
step "the handheld install finds the reader builds and librapi.so of the package"
mkdir -p "$root/tmp/handheld"
in_root sh -c 'PAGEWICK_DEVICE_ROOT=/tmp/handheld pagewick device install smartphone'
test -f "$root/tmp/handheld/Program Files/Pagewick/WickpadSP.exe"
test -f "$root/tmp/handheld/Program Files/Pagewick/Pagewick Help.pawk"

step "man pagewick, and bash completes pagewick <TAB>"
in_root sh -c 'MANWIDTH=80 man -P cat pagewick' | grep -q "pagewick build" ||
    { echo "man pagewick does not show the page"; exit 1; }
completed=$(in_root bash -c 'source /usr/share/bash-completion/bash_completion
    _completion_loader pagewick
    COMP_WORDS=(pagewick ""); COMP_CWORD=1; COMP_LINE="pagewick "; COMP_POINT=9
    _pagewick; echo "${COMPREPLY[*]}"')
echo "pagewick <TAB>: $completed"
for word in build device info render toc; do
    grep -qw "$word" <<<"$completed" || { echo "completion lacks $word"; exit 1; }
done

step "the desktop knows the PAWK type and the programs"
test -f "$root/usr/share/mime/application/x-pawk.xml"
test -f "$root/usr/share/mime/application/x-lit.xml"
grep -q "application/x-pawk=.*wickstand.desktop" "$root/usr/share/applications/mimeinfo.cache"
test -f "$root/usr/share/icons/hicolor/48x48/apps/wickstand.png"
test -f "$root/usr/share/icons/hicolor/scalable/apps/wickpad.svg"

step "apt remove takes it away again"
in_root apt-get remove -y -qq pagewick >/dev/null
test ! -e "$root/usr/bin/wickstand"
test ! -e "$root/usr/share/mime/application/x-pawk.xml"
if grep -q "wickstand.desktop" "$root/usr/share/applications/mimeinfo.cache"; then
    echo "the desktop database still names wickstand"
    exit 1
fi

echo "package checks: passed in $(( $(date +%s) - started )) s"
