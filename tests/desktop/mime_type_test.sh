#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the tape MIME package into a scratch XDG_DATA_HOME and asks
# xdg-mime for the type of a real tape image (a composed one where the real
# ones are absent) and of a C16 tape without extension, which only the
# signature at offset 0 can name. Every resolver xdg-mime can use here is
# asked: the generic one (mimetype) and GNOME's (gio). Exit 77: skipped.
#   mime_type_test.sh MIME_PACKAGE MIME_TYPE REAL_TAPES_FOLDER
set -euo pipefail
package=$1 type=$2 real=$3

for tool in xdg-mime update-mime-database; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (install xdg-utils and shared-mime-info)"; exit 77; }
done
desktops=()
command -v mimetype >/dev/null && desktops+=(generic)
command -v gio >/dev/null && desktops+=(GNOME)
[ ${#desktops[@]} -gt 0 ] ||
  { echo "SKIP: xdg-mime has no resolver here (install libfile-mimeinfo-perl or libglib2.0-bin)"; exit 77; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/data/mime/packages"
cp "$package" "$scratch/data/mime/packages/"
XDG_DATA_HOME="$scratch/data" update-mime-database "$scratch/data/mime"

tape=
[ -d "$real" ] && tape=$(find "$real" -maxdepth 1 -name '*.tap' | sort | head -n 1)
if [ -n "$tape" ]; then
  cp "$tape" "$scratch/real.tap"
else
  echo "no real tape images in $real: a composed one stands in"
  printf 'C64-TAPE-RAW\001\000\000\000\004\000\000\000\060\060\060\060' >"$scratch/real.tap"
fi
printf 'C16-TAPE-RAW\001\002\000\000\004\000\000\000\060\060\060\060' >"$scratch/c16tape"

failures=0
for desktop in "${desktops[@]}"; do
  for file in real.tap c16tape; do
    current=()
    [ "$desktop" = generic ] || current=("XDG_CURRENT_DESKTOP=$desktop")
    found=$(cd "$scratch" && env -u XDG_CURRENT_DESKTOP "${current[@]}" XDG_DATA_HOME="$scratch/data" \
            XDG_DATA_DIRS=/usr/share GIO_USE_VFS=local xdg-mime query filetype "$file")
    echo "$desktop: $file is $found"
    [ "$found" = "$type" ] || failures=$((failures + 1))
  done
done
[ "$failures" -eq 0 ]
