#!/usr/bin/env bash
# Installs the Debian packages Pagewick builds and runs with (root or sudo). Quiet when they
# are all there already.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libgl-dev
    # Picture decoding: PNG and BMP are built into Qt's GUI library, GIF and JPEG are its
    # plugins in libqt6gui6 (qt6-image-formats-plugins only adds further formats).
    libqt6gui6
    libzip-dev zlib1g-dev libbz2-dev libmd-dev bzip2 gzip
    # The command-line tool's arguments: commands, options and --help through CLI11.
    libcli11-dev
    # EPUB containers, packages and contents are XML, read with expat.
    libexpat1-dev
    # The books the EPUB writer makes are checked by epubcheck in the tests.
    epubcheck default-jre-headless
    # Hyphenation: libhyphen and the pattern dictionaries the tests, fuzzers and benchmarks use.
    libhyphen-dev hyphen-en-us hyphen-de hyphen-fr
    fonts-liberation fonts-liberation2 fonts-dejavu
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-dev
    # The icons are drawn from their SVGs at build time.
    librsvg2-bin
    # Installing: bash completion is tested; the package is made (CPack reads the programs with
    # file and dpkg-shlibdeps), validated, and installed into a fresh root made by debootstrap.
    bash-completion
    file dpkg-dev desktop-file-utils appstream lintian man-db debootstrap
    # The end-to-end runs of the readers under a real X server.
    xvfb
    xdotool
    x11-utils
    imagemagick
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
