#!/usr/bin/env bash
# Makes a Wine prefix of the test's own whose drive D: reads a fixture image as its raw volume.
#   map-drive.sh REPO PREFIX IMAGE
set -euo pipefail
REPO=$1 PREFIX=$2 IMAGE=$3
SHARED=${QUORRET_WINEPREFIX:-$HOME/.quorret-wine}
if [ ! -f "$PREFIX/system.reg" ]; then
    rm -rf "$PREFIX.part"
    if [ -f "$SHARED/system.reg" ]; then
        cp -a "$SHARED" "$PREFIX.part"
    else
        WINEPREFIX="$PREFIX.part" QUORRET_WINE_NO_DISPLAY=1 "$REPO/tools/wine-run" cmd /c exit 0 >/dev/null 2>&1 || true
    fi
    mv "$PREFIX.part" "$PREFIX"
fi
WINEPREFIX="$PREFIX" "$REPO/tools/wine-map-drive" d "$IMAGE"
