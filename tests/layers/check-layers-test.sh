#!/bin/bash
# The layer check over a made-up tree: includes down the table pass; an upward one, one from the
# handheld into the desktop program and a sideways one between two codecs fail with their file
# and line, and nothing else is reported.
set -u
script="$1"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{util,engine,formats/lit,pawk,device,desktop}
touch "$tree"/util/Host.h "$tree"/formats/Reader.h "$tree"/pawk/PawkReader.h "$tree"/desktop/Dialogs.h
printf '#include "util/Host.h"\n#include "Local.h"\n' > "$tree"/engine/Good.cpp
touch "$tree"/engine/Local.h
printf '// the engine asks a reader\n#include <vector>\n  #  include "formats/Reader.h"\n' \
    > "$tree"/engine/Bad.cpp
printf '#include "pawk/PawkReader.h"\n' > "$tree"/formats/lit/Sideways.cpp
printf '#include "desktop/Dialogs.h"\n' > "$tree"/device/Shared.cpp

output=$(python3 "$script" --root "$tree" 2>/dev/null)
status=$?
expected='device/Shared.cpp:1: device/ may not include "desktop/Dialogs.h" (desktop/)
engine/Bad.cpp:3: engine/ may not include "formats/Reader.h" (formats/)
formats/lit/Sideways.cpp:1: formats/lit/ may not include "pawk/PawkReader.h" (pawk/)'
if [ "$status" -ne 1 ] || [ "$output" != "$expected" ]; then
    echo "status $status, output:"; echo "$output"
    exit 1
fi
# Mended, the tree passes.
rm "$tree"/engine/Bad.cpp "$tree"/formats/lit/Sideways.cpp "$tree"/device/Shared.cpp
python3 "$script" --root "$tree" || { echo "a clean tree failed"; exit 1; }
echo "layer check: the upward and sideways includes were found"
